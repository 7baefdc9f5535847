#include "PrivateDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool IsPrivateDirectory(const std::string& dir) {
    struct stat st {};
    if (dir.empty() || dir[0] != '/' || lstat(dir.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 0077) == 0 &&
           access(dir.c_str(), W_OK | X_OK) == 0;
}

} // namespace platform
