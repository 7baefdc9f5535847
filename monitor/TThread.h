#pragma once
// The thread facility the monitor threads are built on: a QThread whose body
// polls a stop flag, paces itself with a wait that a stop request ends at
// once, and hands work to the GUI thread with a blocking call that carries
// failures back to the caller.

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {
class TStopSignal;
}

class TThread : public QThread {
    Q_OBJECT
public:
    // The system thread only runs once Start() is called; a thread that is not
    // created suspended is started by the derived constructor when it has
    // finished (see StartUnlessSuspended), never before its fields are set.
    explicit TThread(bool CreateSuspended);
    // Requests the stop and waits for the body's end when it is still running.
    ~TThread() override;

    // Starts a thread created suspended; does nothing when already started.
    void Start();
    // True while the system thread has not been started.
    bool Suspended() const { return !FStarted.load(); }

    // Stop request: sets the flag the body polls, ends the pacing wait and
    // ends the command the body is running (StopSignal), if any. Any thread
    // may call it.
    void Terminate();
    // Ends the pacing wait in progress, or the next one when the body is not
    // waiting right now, without asking for a stop. Any thread may call it.
    void WakeUp();
    bool Terminated() const { return FTerminated.load(); }

    // When set (the default), the object deletes itself once its body has
    // ended (through the GUI thread's event loop).
    bool FreeOnTerminate() const { return FFreeOnTerminate.load(); }
    void SetFreeOnTerminate(bool value) { FFreeOnTerminate.store(value); }

    // Scheduling priority, applied when the thread starts (and at once when it
    // already runs).
    QThread::Priority ThreadPriority() const { return FPriority; }
    void SetThreadPriority(QThread::Priority value);
    // How far a thread of this priority is lowered below the others where Qt
    // does not lower it itself (see platform::LowerCurrentThreadPriority):
    // 5 steps for LowPriority, 10 for LowestPriority, none otherwise.
    static int LowerSteps(QThread::Priority Priority);

    // Waits for the end of the body. On the GUI thread it carries out pending
    // Synchronize calls meanwhile, and nothing else (no user input, no
    // painting). Returns at once for a thread never started or already ended.
    void WaitFor();
    // True once the body has returned (or ended by a failure).
    bool Finished() const;

    // Runs `Method` on the GUI thread and returns when it has run. A failure it
    // raises is caught on the GUI thread and raised again here. On the GUI
    // thread itself it runs at once. Served by the GUI thread's event loop and
    // by WaitFor.
    static void Synchronize(const std::function<void()>& Method);
    // Hands `Method` to the GUI thread without waiting for it: queued methods
    // run there from the event loop, in the order queued. A failure they raise
    // is dropped. On the GUI thread too, the method is queued, not run.
    static void Queue(std::function<void()> Method);
    // Carries out every pending Synchronize call (GUI thread only).
    static void CheckSynchronize();
    static bool IsGuiThread();

protected:
    // The thread body.
    virtual void Execute() = 0;
    // Returns when `MSecInterval` milliseconds have passed, a stop is
    // requested or WakeUp is called; 0 returns at once.
    void Sleep(quint32 MSecInterval);
    void StartUnlessSuspended(bool CreateSuspended);
    // Raised by Terminate: a command run with it ends at the stop request.
    platform::TStopSignal* StopSignal() const { return FStopSignal.get(); }

private:
    void run() final;

    std::atomic<bool> FStarted{false};
    std::atomic<bool> FTerminated{false};
    bool FFinished = false; // guarded by the facility's lock
    std::atomic<bool> FFreeOnTerminate{true};
    QThread::Priority FPriority = QThread::InheritPriority;
    int FStartSteps = 0; // set before the system thread starts
    std::mutex FSleepLock;
    std::condition_variable FSleepWake;
    bool FWakeUp = false; // guarded by FSleepLock
    std::unique_ptr<platform::TStopSignal> FStopSignal;
};
