#pragma once
// How many hidden commands may be starting at once (used by the runners).
//
// Starting a command costs a few milliseconds of processor (a command
// interpreter, the command, their loading), most of it in its first
// moments. Hundreds of threads starting their commands together (a roster
// being built) would put hundreds of processes on the run queue at once,
// each taking a share of the processor from the program's GUI thread. So a
// command takes a place before it starts and gives it back when it has
// ended or has run for StartWindow, whichever comes first; there are as many
// places as processors. Commands that wait (a host that does not answer)
// hold nobody up for longer, and the commands as a whole end no later than
// the processors would have let them anyway.

#include <chrono>
#include <functional>

namespace platform {

constexpr std::chrono::milliseconds StartWindow(10);

// Takes a place, in turn. Returns false, without one, once `Stopped` (asked
// under the gate's lock) is true; whoever makes it true then calls
// StartGateInterrupt(Key) with the same key.
bool StartGateEnter(const void* Key, const std::function<bool()>& Stopped);

// Gives a place back.
void StartGateLeave();

// Wakes the run waiting with `Key`, if any, to ask its `Stopped` again.
void StartGateInterrupt(const void* Key);

// A place taken and given back at the latest when this goes.
class TStartPlace {
public:
    TStartPlace() = default;
    TStartPlace(const TStartPlace&) = delete;
    TStartPlace& operator=(const TStartPlace&) = delete;
    ~TStartPlace() { Leave(); }
    void Taken() { FHeld = true; }
    void Leave() {
        if (FHeld)
            StartGateLeave();
        FHeld = false;
    }

private:
    bool FHeld = false;
};

} // namespace platform
