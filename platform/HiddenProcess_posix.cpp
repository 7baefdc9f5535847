#include "HiddenProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>

extern char** environ;

namespace platform {

void RunHiddenAndWait(const std::string& commandLine) {
    posix_spawn_file_actions_t actions;
    if (int rc = posix_spawn_file_actions_init(&actions); rc != 0)
        throw std::system_error(rc, std::generic_category(), "posix_spawn_file_actions_init");
    // No terminal: the command reads nothing, and a controlling terminal of the
    // panel (when started from one) is not handed on as its input.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Start the child with the default signal mask and dispositions, whatever
    // the calling thread has blocked.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    std::string cmd = commandLine;
    char* argv[] = {shell.data(), dashC.data(), cmd.data(), nullptr};

    pid_t pid = 0;
    const int rc = posix_spawn(&pid, shell.c_str(), &actions, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::system_error(rc, std::generic_category(), "posix_spawn /bin/sh");

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "waitpid");
    }
}

} // namespace platform
