#ifndef WAITS_H
#define WAITS_H

#include <ctime>
#include <functional>

// Blocks the calling thread for ms milliseconds; signals do not cut the sleep short.
void sleepMs(unsigned int ms);
// Processes the calling thread's events until ms milliseconds have passed (0: one pass),
// resting a millisecond or two between passes.
void waitProcessingEvents(int ms);
// Runs the calling thread's event loop until done() holds, looking each time the loop is about to
// sleep: nothing is spent while no event comes. False when the loop was ended from outside (the
// application quitting) before done() held.
bool runEventsUntil(const std::function<bool()>& done);
// The point in time ms milliseconds after from (used by sleepMs; free of overflow).
timespec deadlineAfterMs(const timespec& from, unsigned int ms);

#endif
