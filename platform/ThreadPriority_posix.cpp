#include "ThreadPriority.h"

#ifdef __linux__
#include <algorithm>
#include <cerrno>
#include <sched.h>
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
    // The batch policy keeps the nice value and the thread's fair share, but
    // a thread of it (or a process it starts) that wakes up does not push
    // the running thread off its core: hundreds of threads woken together
    // (a refresh stopping them all) wait for their turn instead of
    // interrupting the GUI thread one after the other. On Linux the first
    // argument 0 names the calling thread alone.
    const sched_param param{};
    sched_setscheduler(0, SCHED_BATCH, &param);
#else
    (void)Steps;
#endif
}

} // namespace platform
