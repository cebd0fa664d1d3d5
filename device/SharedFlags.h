#ifndef SHAREDFLAGS_H
#define SHAREDFLAGS_H

#include <atomic>

// Program-wide flags, written by one thread and read by the polling threads without a lock.

// False while some part holds a long exchange with the controller; only PollingSilencer
// writes it, so that several silencers can overlap.
extern std::atomic<bool> pollingAllowed;
// Chart data is read while either is set; analog data while analogDataWanted is set.
extern std::atomic<bool> chartRecording;
extern std::atomic<bool> joystickCalibrationOpen;
extern std::atomic<bool> analogDataWanted;
// Cleared when a library call fails while a window sets itself up; lastFailedFunction names
// the call (a static literal).
extern std::atomic<bool> deviceInitOk;
extern std::atomic<const char*> lastFailedFunction;

#endif // SHAREDFLAGS_H
