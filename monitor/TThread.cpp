#include "TThread.h"

#include "HiddenProcess.h"
#include "MonitorLog.h"
#include "ThreadPriority.h"

#include <QCoreApplication>
#include <chrono>
#include <deque>
#include <exception>
#include <stdexcept>

namespace {

// One pending blocking call, living on the caller's stack until it has run.
struct TSyncRequest {
    std::function<void()> Method;
    std::exception_ptr Failure;
    bool Done = false;
    std::condition_variable DoneSignal;
};

// Receives the wake-ups of the GUI thread's event loop. The work itself is
// handed over through the facility's lock, never inside the posted event.
class TGuiDispatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void Dispatch();
};

// State shared by every thread of the facility: the pending calls, the queued
// methods and the ends of bodies, under one lock, with one signal the GUI
// thread waits on.
struct TFacility {
    std::mutex Lock;
    std::condition_variable GuiWake;
    std::deque<TSyncRequest*> Pending;
    std::deque<std::function<void()>> Queued;
    bool WakePosted = false; // a Dispatch is on its way
    TGuiDispatcher* Dispatcher = nullptr;
};

TFacility& Facility() {
    static TFacility facility;
    return facility;
}

// The dispatcher living on the GUI thread (made on first use); under the lock.
TGuiDispatcher* DispatcherLocked(TFacility& f, QCoreApplication* app) {
    if (f.Dispatcher)
        return f.Dispatcher;
    auto* dispatcher = new TGuiDispatcher;
    if (dispatcher->thread() != app->thread())
        dispatcher->moveToThread(app->thread());
    else
        dispatcher->setParent(app);
    QObject::connect(dispatcher, &QObject::destroyed, [] {
        TFacility& facility = Facility();
        std::lock_guard<std::mutex> guard(facility.Lock);
        facility.Dispatcher = nullptr;
        facility.WakePosted = false;
    });
    f.Dispatcher = dispatcher;
    return dispatcher;
}

// Makes sure a Dispatch will run on the GUI thread; under the lock.
void WakeGuiLocked(TFacility& f, QCoreApplication* app) {
    if (f.WakePosted)
        return;
    f.WakePosted = true;
    // Invoked by name: the event is made by Qt and carries no data of ours.
    QMetaObject::invokeMethod(DispatcherLocked(f, app), "Dispatch", Qt::QueuedConnection);
}

// Carries out pending blocking calls until none is left or `Budget` has
// passed; true when some are left.
bool ServeSynchronize(std::chrono::steady_clock::duration Budget) {
    TFacility& f = Facility();
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        TSyncRequest* request = nullptr;
        {
            std::lock_guard<std::mutex> guard(f.Lock);
            if (f.Pending.empty())
                return false;
            if (std::chrono::steady_clock::now() - start >= Budget)
                return true;
            request = f.Pending.front();
            f.Pending.pop_front();
        }
        try {
            request->Method();
        } catch (...) {
            request->Failure = std::current_exception();
        }
        // Signalled under the lock: the caller cannot leave (and free the
        // request) before the signal has been given.
        std::lock_guard<std::mutex> guard(f.Lock);
        request->Done = true;
        request->DoneSignal.notify_one();
    }
}

// How long one turn of the event loop serves blocking calls. Many threads
// whose checks fall due together (a roster of hundreds) would otherwise hold
// the GUI thread for their whole burst; past this budget the rest is served
// at the next turn, after timers, input and painting.
constexpr std::chrono::milliseconds DispatchBudget(8);

void TGuiDispatcher::Dispatch() {
    TFacility& f = Facility();
    std::deque<std::function<void()>> queued;
    {
        std::lock_guard<std::mutex> guard(f.Lock);
        f.WakePosted = false;
        queued.swap(f.Queued);
    }
    const bool more = ServeSynchronize(DispatchBudget);
    for (std::function<void()>& method : queued) {
        try {
            method();
        } catch (const std::exception& failure) {
            // Nobody waits for a queued method: its failure goes nowhere.
            qCDebug(lcMonitor) << "queued method failed:" << failure.what();
        } catch (...) {
            qCDebug(lcMonitor) << "queued method failed";
        }
    }
    if (more) {
        std::lock_guard<std::mutex> guard(f.Lock);
        if (QCoreApplication* app = QCoreApplication::instance())
            WakeGuiLocked(f, app);
    }
}

} // namespace

TThread::TThread(bool CreateSuspended) : FStopSignal(std::make_unique<platform::TStopSignal>()) {
    Q_UNUSED(CreateSuspended);
}

TThread::~TThread() {
    if (!Suspended()) {
        Terminate();
        WaitFor();
        wait();
    }
}

void TThread::StartUnlessSuspended(bool CreateSuspended) {
    if (!CreateSuspended)
        Start();
}

void TThread::Start() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        TFacility& f = Facility();
        std::lock_guard<std::mutex> guard(f.Lock);
        DispatcherLocked(f, app);
    }
    bool expected = false;
    if (FStarted.compare_exchange_strong(expected, true)) {
        FStartSteps = LowerSteps(FPriority);
        start(FPriority);
    }
}

void TThread::Terminate() {
    FTerminated.store(true);
    FStopSignal->Raise();
    // Taking the lock after the flag is set means that a body about to wait
    // either sees the flag or is waiting already. The wake comes after the
    // lock is let go, so that the woken body does not block on it at once.
    { std::lock_guard<std::mutex> guard(FSleepLock); }
    FSleepWake.notify_all();
}

void TThread::WakeUp() {
    {
        std::lock_guard<std::mutex> guard(FSleepLock);
        FWakeUp = true;
    }
    FSleepWake.notify_all();
}

void TThread::SetThreadPriority(QThread::Priority value) {
    FPriority = value;
    if (isRunning())
        setPriority(value);
}

bool TThread::Finished() const {
    std::lock_guard<std::mutex> guard(Facility().Lock);
    return FFinished;
}

void TThread::Sleep(quint32 MSecInterval) {
    if (MSecInterval == 0)
        return;
    std::unique_lock<std::mutex> lock(FSleepLock);
    FSleepWake.wait_for(lock, std::chrono::milliseconds(MSecInterval),
                        [this] { return FWakeUp || Terminated(); });
    FWakeUp = false;
}

int TThread::LowerSteps(QThread::Priority Priority) {
    switch (Priority) {
    case QThread::LowestPriority:
        return 10;
    case QThread::LowPriority:
        return 5;
    default:
        return 0;
    }
}

void TThread::run() {
    // Where Qt's priorities change nothing (Linux), a low priority still
    // leaves the GUI thread ahead when many threads wake at once.
    platform::LowerCurrentThreadPriority(FStartSteps);
    try {
        Execute();
    } catch (const std::exception& failure) {
        // A failure ends the body without a box (nobody to report to).
        qCDebug(lcMonitor) << "thread body ended by a failure:" << failure.what();
    } catch (...) {
        qCDebug(lcMonitor) << "thread body ended by a failure";
    }
    // Freed by the owner's thread; the destructor waits for the system
    // thread's very end. Nothing of the object is touched once the end is
    // signalled, as the owner may free it from then on.
    if (FFreeOnTerminate.load())
        deleteLater();
    // The wake is given under the lock: once the lock is let go, the owner
    // (or the program's end) may free what this thread still touches.
    TFacility& f = Facility();
    std::lock_guard<std::mutex> guard(f.Lock);
    FFinished = true;
    f.GuiWake.notify_all();
}

void TThread::WaitFor() {
    if (Suspended())
        return;
    TFacility& f = Facility();
    if (!IsGuiThread()) {
        std::unique_lock<std::mutex> lock(f.Lock);
        f.GuiWake.wait(lock, [this] { return FFinished; });
    } else {
        for (;;) {
            CheckSynchronize();
            std::unique_lock<std::mutex> lock(f.Lock);
            if (FFinished)
                break;
            if (!f.Pending.empty())
                continue;
            f.GuiWake.wait_for(lock, std::chrono::milliseconds(1000));
        }
    }
    wait(); // the system thread itself ends right after the body
}

bool TThread::IsGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void TThread::Synchronize(const std::function<void()>& Method) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        throw std::logic_error("Synchronize needs a running application");
    if (IsGuiThread()) {
        Method();
        return;
    }
    TFacility& f = Facility();
    TSyncRequest request;
    request.Method = Method;
    {
        std::unique_lock<std::mutex> lock(f.Lock);
        f.Pending.push_back(&request);
        WakeGuiLocked(f, app);
        f.GuiWake.notify_all(); // a WaitFor on the GUI thread serves it too
        request.DoneSignal.wait(lock, [&request] { return request.Done; });
    }
    if (request.Failure)
        std::rethrow_exception(request.Failure);
}

void TThread::Queue(std::function<void()> Method) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        throw std::logic_error("Queue needs a running application");
    TFacility& f = Facility();
    std::lock_guard<std::mutex> guard(f.Lock);
    f.Queued.push_back(std::move(Method));
    WakeGuiLocked(f, app);
}

void TThread::CheckSynchronize() {
    ServeSynchronize(std::chrono::steady_clock::duration::max());
}

#include "TThread.moc"
