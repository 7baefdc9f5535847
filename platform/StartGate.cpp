#include "StartGate.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace platform {

namespace {

struct TWaiter {
    const void* Key;
    std::condition_variable Wake;
    bool Granted = false;
};

struct TGate {
    std::mutex Lock;
    int Free = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
    std::deque<TWaiter*> Queue; // first come, first served
};

TGate& Gate() {
    static TGate gate;
    return gate;
}

// Gives a place to the first in the queue, or back to the pool; under the lock.
void GiveLocked(TGate& gate) {
    if (gate.Queue.empty()) {
        ++gate.Free;
        return;
    }
    TWaiter* next = gate.Queue.front();
    gate.Queue.pop_front();
    next->Granted = true;
    next->Wake.notify_one();
}

} // namespace

bool StartGateEnter(const void* Key, const std::function<bool()>& Stopped) {
    TGate& gate = Gate();
    std::unique_lock<std::mutex> lock(gate.Lock);
    if (gate.Free > 0 && gate.Queue.empty()) {
        --gate.Free;
        return true;
    }
    TWaiter self{Key, {}, false};
    gate.Queue.push_back(&self);
    for (;;) {
        if (self.Granted)
            return true;
        if (Stopped()) {
            gate.Queue.erase(std::find(gate.Queue.begin(), gate.Queue.end(), &self));
            return false;
        }
        self.Wake.wait(lock);
    }
}

void StartGateLeave() {
    TGate& gate = Gate();
    std::lock_guard<std::mutex> guard(gate.Lock);
    GiveLocked(gate);
}

void StartGateInterrupt(const void* Key) {
    TGate& gate = Gate();
    std::lock_guard<std::mutex> guard(gate.Lock);
    for (TWaiter* waiter : gate.Queue)
        if (waiter->Key == Key)
            waiter->Wake.notify_one();
}

} // namespace platform
