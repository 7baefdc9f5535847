#pragma once
// The share of the processor a thread gets against the program's other
// threads.

namespace platform {

// Lowers the calling thread's scheduling priority by `Steps` (1 to 19), and
// with it that of the processes it starts from then on. Never fails: a
// system that will not lower it leaves the thread as it was.
//
// Linux: the thread's nice value is raised by `Steps` (each step is about a
// fifth less of the processor when threads compete), and the thread takes
// the batch policy (SCHED_BATCH: its wake-ups do not preempt other
// threads). Qt's thread priorities change nothing there for ordinary
// threads, so this is how a low priority is given. Windows and other systems: nothing; Qt's
// priorities apply.
void LowerCurrentThreadPriority(int Steps);

} // namespace platform
