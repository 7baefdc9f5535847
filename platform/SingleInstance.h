#pragma once
// The single-instance rule: a named marker that exists once per user session,
// and the search for the running instance's main window.

#include <cstdint>
#include <string>

namespace platform {

// The name of the program's single-instance marker.
inline constexpr char AppMutexName[] = "Zidirovoru";

// The program-wide single-instance marker.
// Windows: CreateMutexW(default security, initial owner, name) followed at
// once by GetLastError; the handle is closed by the destructor.
// POSIX: an exclusive, non-blocking flock on a file of that name in the
// user's private runtime directory ($XDG_RUNTIME_DIR when it is a private
// directory of this user, else a per-user folder under /tmp made 0700); the
// kernel frees the lock when the process ends, however it ends.
class TAppMutex {
public:
    // Creates or opens the marker. Throws std::system_error with the operating
    // system's error when the system refuses it (no handle, no lock file).
    explicit TAppMutex(const std::string& name);
    ~TAppMutex();
    TAppMutex(const TAppMutex&) = delete;
    TAppMutex& operator=(const TAppMutex&) = delete;

    // The last-error value read right after the marker was created or opened:
    // 0 when this process holds it first, non-zero when another process
    // already held it (ERROR_ALREADY_EXISTS on Windows, EWOULDBLOCK on POSIX).
    int LastError() const { return FLastError; }

private:
    // Windows: the mutex handle (0 for none). POSIX: the lock file's
    // descriptor (-1 for none).
    std::intptr_t FHandle = -1;
    int FLastError = 0;
};

// POSIX: the private directory that holds the lock file and the raise channel:
// $XDG_RUNTIME_DIR when it is a directory of this user that nobody else may
// enter, else UserFolderUnder("/tmp"). Windows: empty.
std::string InstanceDirectory();

// POSIX: <base>/painel-pesagram-<uid>, made with mode 0700 when missing and
// narrowed to 0700 when it is ours but wider. Throws std::system_error when it
// is not a directory of this user (someone else's, a symbolic link, a file).
std::string UserFolderUnder(const std::string& base);

// A top-level window of the running instance, or nullptr.
using TWindowHandle = void*;

// Looks for a top-level window whose title is `title` (UTF-8; the comparison
// ignores case). Windows: FindWindowW with no window class. POSIX: connects to
// the raise channel of this user's running instance; the handle holds that
// connection until ReleaseWindowHandle.
TWindowHandle FindTopLevelWindow(const std::string& title);

// Asks the system to make `window` the foreground window. Nothing else is done
// to it (not restored, not shown). POSIX: sends the running instance one line
// asking it to raise its main window, which it does only if that window is on
// screen.
void SetForegroundWindow(TWindowHandle window);

// Frees what FindTopLevelWindow kept for `window` (nothing on Windows).
void ReleaseWindowHandle(TWindowHandle window);

// Where the running instance listens for raise requests. POSIX: the path of a
// local socket named after AppMutexName and the user id, in the same private
// directory as the lock file. Windows: empty (the window is found by its title
// instead). Throws std::system_error when there is no private directory.
std::string RaiseChannelName();

// The line a raise request consists of, without its line feed.
std::string RaiseRequestLine(const std::string& title);

} // namespace platform
