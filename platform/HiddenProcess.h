#pragma once
// Runs a command line hidden (no window, no terminal) and waits for its end,
// or until a stop request ends it.

#include <memory>
#include <string>

namespace platform {

// A stop request that a running command watches. Raised once, from any
// thread, it ends the command in flight at once, and every command run with
// it afterwards ends before it starts. It is never lowered again.
//
// Windows: a manual-reset event. POSIX: a flag and the process group of the
// command in flight, which Raise ends itself.
class TStopSignal {
public:
    TStopSignal();
    ~TStopSignal();
    TStopSignal(const TStopSignal&) = delete;
    TStopSignal& operator=(const TStopSignal&) = delete;

    void Raise();
    bool Raised() const;

    // What the runner and Raise share; each platform defines it.
    struct TState;
    TState& State() const { return *FState; }

private:
    std::unique_ptr<TState> FState;
};

// How a run ended.
enum class TRunEnd {
    Ended,   // the command ran to its end (whatever its exit code)
    Stopped, // the stop request ended it, or came before it started
};

// Starts `commandLine` (UTF-8) without a window and blocks, without a time-out,
// until it has ended, or until `stop` (when given) is raised. The exit code is
// not looked at. Throws std::system_error carrying the operating system's
// error code and message when the command cannot be started.
//
// Runs from many threads take turns to start (StartGate.h): a command may
// begin a few milliseconds late when many start together, never later than
// the processors allow, and a stop request also ends a run still waiting for
// its turn.
//
// A stopped command leaves nothing behind: every process it started is ended
// and, on POSIX, reaped; then `removeWhenStopped` (when not empty) is deleted,
// as the file the command was writing. Processes a command leaves running
// after its own end are ended as well when it ends.
//
// Windows: CreateProcessW(CREATE_NO_WINDOW, inherited handles) in a job object
// that ends its processes when it is closed; the wait watches the process and
// the stop event together. A result file that another program still holds
// open is deleted as soon as it can be (at the next runs).
// POSIX: /bin/sh -c <commandLine> in a process group of its own, stdin from
// /dev/null, waited for with waitid. On Linux the shell is told of the
// panel's end (PR_SET_PDEATHSIG, asked for in the child between vfork and
// exec) and then ends its whole group, so no command outlives the program,
// not even after a kill -9.
TRunEnd RunHiddenAndWait(const std::string& commandLine, TStopSignal* stop = nullptr,
                         const std::string& removeWhenStopped = {});

} // namespace platform
