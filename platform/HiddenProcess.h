#pragma once
// Runs a command line hidden (no window, no terminal) and waits for its end.

#include <string>

namespace platform {

// Starts `commandLine` (UTF-8) without a window and blocks, without a time-out,
// until it has ended. The exit code is not looked at. Throws std::system_error
// carrying the operating system's error code and message when the command
// cannot be started.
//
// Windows: CreateProcessW(CREATE_NO_WINDOW, inherited handles) + INFINITE wait.
// POSIX: posix_spawn of /bin/sh -c <commandLine>, stdin from /dev/null, and
// waitpid.
void RunHiddenAndWait(const std::string& commandLine);

} // namespace platform
