#ifndef WAITS_H
#define WAITS_H

#include <ctime>

// Blocks the calling thread for ms milliseconds; signals do not cut the sleep short.
void sleepMs(unsigned int ms);
// Processes the calling thread's events until ms milliseconds have passed (0: one pass),
// resting a millisecond or two between passes.
void waitProcessingEvents(int ms);
// The point in time ms milliseconds after from (used by sleepMs; free of overflow).
timespec deadlineAfterMs(const timespec& from, unsigned int ms);

#endif
