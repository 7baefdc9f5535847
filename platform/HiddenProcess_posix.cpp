#include "HiddenProcess.h"

#include "StartGate.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

extern char** environ;

namespace platform {

struct TStopSignal::TState {
    std::mutex Lock;
    bool Raised = false; // guarded by Lock
    pid_t Group = 0;     // the process group of the command in flight; guarded by Lock
};

TStopSignal::TStopSignal() : FState(std::make_unique<TState>()) {}

TStopSignal::~TStopSignal() = default;

void TStopSignal::Raise() {
    {
        std::lock_guard<std::mutex> guard(FState->Lock);
        FState->Raised = true;
        // The group is valid while it is registered: the runner takes it
        // back before the shell, whose process id names the group, is reaped.
        if (FState->Group > 0)
            kill(-FState->Group, SIGKILL);
    }
    // A run still waiting for its turn to start gives up.
    StartGateInterrupt(FState.get());
}

bool TStopSignal::Raised() const {
    std::lock_guard<std::mutex> guard(FState->Lock);
    return FState->Raised;
}

namespace {

// The shell's script around the command. The command runs as a background
// job so that the shell stays free to act on a signal: SIGTERM, which the
// kernel sends when the panel's thread that started the shell ends (a kill -9
// of the panel included), ends the whole process group, `ping` and all. A
// shell waiting for a foreground command would act on the signal only after
// that command. The command stands on lines of its own inside a group, so
// that a complete command line stays one; the job's shell runs its last
// command without another fork, as `sh -c` does.
std::string GuardScript(const std::string& commandLine) {
    return "trap 'kill -KILL 0' TERM\n{\n" + commandLine + "\n} & wait $!";
}

// Everything the child needs, made before vfork: between vfork and exec the
// child runs on the parent's memory and makes system calls only.
struct TChildStart {
    const char* Shell;
    char* const* Argv;
    int DevNull;
    pid_t Parent;
};

[[noreturn]] void StartChild(const TChildStart& start) {
    // A group of its own: a stop request ends the shell and everything it
    // started with one kill.
    setpgid(0, 0);
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The panel may have ended before the request was made.
    if (getppid() != start.Parent)
        _exit(127);
#endif
    // No terminal: the command reads nothing, and a controlling terminal of
    // the panel (when started from one) is not handed on as its input.
    if (start.DevNull >= 0 && start.DevNull != 0)
        dup2(start.DevNull, 0);
    // Default signal dispositions (ignored ones would otherwise stay
    // ignored through exec) and no blocked signal.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            sigaction(sig, &dfl, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(start.Shell, start.Argv, environ);
    _exit(127);
}

pid_t SpawnShell(const std::string& commandLine) {
    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    std::string script = GuardScript(commandLine);
    char* argv[] = {shell.data(), dashC.data(), script.data(), nullptr};
    TChildStart start{shell.c_str(), argv, open("/dev/null", O_RDONLY | O_CLOEXEC), getpid()};

    // No signal handler of the panel may run in the child while it shares
    // the parent's memory.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    const pid_t pid = vfork();
    if (pid == 0)
        StartChild(start);
    const int err = errno;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (start.DevNull >= 0)
        close(start.DevNull);
    if (pid < 0)
        throw std::system_error(err, std::generic_category(), "vfork /bin/sh");
    // The child has made its group before vfork returns; set here as well, as
    // is usual, so that the group never depends on the child's order.
    setpgid(pid, pid);
    return pid;
}

#ifdef __linux__
// Processes that the shell leaves behind when it is ended (the background
// job, `ping`) come to the panel, which reaps them, instead of to whatever
// process of the machine adopts orphans (in a container, perhaps one that
// never does).
void BecomeSubreaper() {
    static std::once_flag once;
    std::call_once(once, [] { prctl(PR_SET_CHILD_SUBREAPER, 1); });
}
#else
void BecomeSubreaper() {}
#endif

// Waits up to `limit` for process `pid` (a child not yet reaped) to end.
void WaitAtMost(pid_t pid, std::chrono::milliseconds limit) {
#if defined(__linux__) && defined(SYS_pidfd_open)
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0)
        return; // a kernel without process descriptors: no wait
    pollfd ended{fd, POLLIN, 0};
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || poll(&ended, 1, static_cast<int>(left.count())) >= 0 ||
            errno != EINTR)
            break;
    }
    close(fd);
#else
    (void)pid;
    (void)limit;
#endif
}

} // namespace

TRunEnd RunHiddenAndWait(const std::string& commandLine, TStopSignal* stop,
                         const std::string& removeWhenStopped) {
    TStopSignal local;
    TStopSignal::TState& state = (stop ? stop : &local)->State();
    auto removeResult = [&] {
        if (!removeWhenStopped.empty())
            unlink(removeWhenStopped.c_str());
    };
    if (stop && stop->Raised()) {
        removeResult();
        return TRunEnd::Stopped;
    }
    BecomeSubreaper();
    TStartPlace place;
    if (!StartGateEnter(&state, [&state] {
            std::lock_guard<std::mutex> guard(state.Lock);
            return state.Raised;
        })) {
        removeResult();
        return TRunEnd::Stopped;
    }
    place.Taken();
    const pid_t pid = SpawnShell(commandLine);
    {
        std::lock_guard<std::mutex> guard(state.Lock);
        state.Group = pid;
        if (state.Raised) // raised while the shell was being started
            kill(-pid, SIGKILL);
    }
    WaitAtMost(pid, StartWindow);
    place.Leave();
    // Waits for the shell's end without reaping it: while it is a zombie its
    // process id, which names the group, cannot be given to another process.
    siginfo_t info{};
    int waited = 0;
    while ((waited = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT)) < 0 &&
           errno == EINTR) {
    }
    bool stopped = false;
    {
        std::lock_guard<std::mutex> guard(state.Lock);
        state.Group = 0;
        stopped = state.Raised;
    }
    // Whatever of the command is left ends with it. (Not when the shell was
    // reaped elsewhere, SIGCHLD being ignored: its id may be reused already.)
    if (waited == 0)
        kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // The group's other processes, adopted by the panel when the shell ended
    // before them, are reaped as they end.
    for (;;) {
        if (waitpid(-pid, &status, 0) < 0 && errno != EINTR)
            break;
    }
    if (stopped) {
        removeResult();
        return TRunEnd::Stopped;
    }
    return TRunEnd::Ended;
}

} // namespace platform
