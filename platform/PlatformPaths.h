#pragma once
// Platform facts that differ by operating system: where ping result files
// live and where the fixed Windows database path lies on this machine. (The
// probe's own recipe, its command line and output markers, is in
// monitor/MonitorProbe.)

#include <string>

namespace platform {

// Directory for ping result files, without a trailing separator.
// Windows: %TEMP% (empty when unset: the root of the current drive).
// POSIX: $XDG_RUNTIME_DIR when it is a private directory of this user,
// otherwise a private directory made once with mkdtemp (mode 0700) and
// removed at exit when empty.
std::string PingResultDirectory();

// Separator between a directory and a file name ("\\" on Windows, "/" else).
std::string PathSeparator();

// Where the file at a fixed Windows path (drive letter C:) lies here.
// Windows: unchanged. POSIX: inside the Wine prefix's drive_c ($WINEPREFIX,
// default ~/.wine); path components are matched without regard to case when
// the exact spelling does not exist, as Wine does; an absolute path of this
// machine (beginning with "/") is returned as it stands.
std::string NativePathOf(const std::string& windowsPath);

} // namespace platform
