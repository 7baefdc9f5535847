#pragma once
// The operating system's error codes and their messages in UTF-8.

#include <string>
#include <system_error>

namespace platform {

// The category of the operating system's own error codes: GetLastError values
// on Windows, errno values elsewhere. Its message() is UTF-8 in the system's
// language. Windows: built with FormatMessageW and converted to UTF-8 (the
// standard system category of MinGW's library gives text in the ANSI code
// page, which garbles accented letters), without the full stop and line
// break Windows ends it with (the caller ends its sentence itself).
// POSIX: std::system_category().
const std::error_category& SystemCategory();

// SystemCategory().message(code).
std::string SystemMessage(int code);

} // namespace platform
