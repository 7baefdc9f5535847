#pragma once
// Platform facts that differ by operating system: the ping command front and
// the markers of its output, where ping result files live, how a path is
// quoted for the command interpreter, and where the fixed Windows database
// path lies on this machine.

#include <string>

namespace platform {

// Markers that pick the reply line and the time out of ping's output: the
// reply line is the first line holding `reply` and `time`; the time text runs
// from the first character after the time marker's sign up to `unit`.
struct TPingMarkers {
    std::string reply;
    std::string time;
    std::string unit;
};

// The fixed front of the ping command line, with its trailing blank; the
// probe appends the address and the output redirection.
// Windows: %WINDIR%\System32\cmd.exe /C ping -n 1
// POSIX:   LC_ALL=C ping -n -c 1 -W 4   (run through /bin/sh -c)
std::string PingCommandFront();

TPingMarkers PingMarkers();

// Directory for ping result files, without a trailing separator.
// Windows: %TEMP% (empty when unset: the root of the current drive).
// POSIX: $XDG_RUNTIME_DIR when it is a private directory of this user,
// otherwise a private directory made once with mkdtemp (mode 0700) and
// removed at exit when empty.
std::string PingResultDirectory();

// Separator between a directory and a file name ("\\" on Windows, "/" else).
std::string PathSeparator();

// `path` quoted as one word for the command interpreter that runs the ping
// command line (double quotes for cmd.exe, single quotes for /bin/sh).
std::string QuotePathForShell(const std::string& path);

// Where the file at a fixed Windows path (drive letter C:) lies here.
// Windows: unchanged. POSIX: inside the Wine prefix's drive_c ($WINEPREFIX,
// default ~/.wine); path components are matched without regard to case when
// the exact spelling does not exist, as Wine does; an absolute path of this
// machine (beginning with "/") is returned as it stands.
std::string NativePathOf(const std::string& windowsPath);

} // namespace platform
