#pragma once
// Whether a directory is private to this user (POSIX only).

#include <string>

namespace platform {

// True when `dir` is an absolute path to a directory of this user (not reached
// through a symbolic link) that nobody else may read, write or enter, and that
// this user may write and enter.
bool IsPrivateDirectory(const std::string& dir);

} // namespace platform
