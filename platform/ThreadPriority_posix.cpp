#include "ThreadPriority.h"

#ifdef __linux__
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace platform {

void LowerCurrentThreadPriority(int Steps) {
#ifdef __linux__
    if (Steps <= 0)
        return;
    // On Linux a thread id names the thread alone for PRIO_PROCESS.
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno != 0)
        return;
    setpriority(PRIO_PROCESS, self, std::min(now + std::min(Steps, 19), 19));
#else
    (void)Steps;
#endif
}

} // namespace platform
