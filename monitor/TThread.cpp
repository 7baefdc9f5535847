#include "TThread.h"

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

// State shared by every thread of the facility: the pending calls and the
// ends of bodies, under one lock, with one signal the GUI thread waits on.
struct TFacility {
    std::mutex Lock;
    std::condition_variable GuiWake;
    std::deque<TSyncRequest*> Pending;
    bool PostQueued = false;
};

TFacility& Facility() {
    static TFacility facility;
    return facility;
}

} // namespace

TThread::TThread(bool CreateSuspended) {
    Q_UNUSED(CreateSuspended);
    // finished is emitted on this thread; the slot runs on the owner's thread.
    connect(this, &QThread::finished, this, [this] {
        if (FFreeOnTerminate)
            deleteLater();
    });
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
    bool expected = false;
    if (FStarted.compare_exchange_strong(expected, true))
        start(FPriority);
}

void TThread::Terminate() {
    FTerminated.store(true);
    std::lock_guard<std::mutex> guard(FSleepLock);
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
                        [this] { return Terminated(); });
}

void TThread::run() {
    try {
        Execute();
    } catch (...) {
        // A failure ends the body silently.
    }
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
    bool post = false;
    {
        std::lock_guard<std::mutex> guard(f.Lock);
        f.Pending.push_back(&request);
        post = !f.PostQueued;
        f.PostQueued = true;
        f.GuiWake.notify_all();
    }
    if (post)
        QMetaObject::invokeMethod(app, &TThread::CheckSynchronize, Qt::QueuedConnection);
    {
        std::unique_lock<std::mutex> lock(f.Lock);
        request.DoneSignal.wait(lock, [&request] { return request.Done; });
    }
    if (request.Failure)
        std::rethrow_exception(request.Failure);
}

void TThread::CheckSynchronize() {
    TFacility& f = Facility();
    for (;;) {
        TSyncRequest* request = nullptr;
        {
            std::lock_guard<std::mutex> guard(f.Lock);
            if (f.Pending.empty()) {
                f.PostQueued = false;
                return;
            }
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
