#ifndef TIMER_H
#define TIMER_H

#include <ctime>

// Microsecond stopwatch on the monotonic clock.
class Timer
{
public:
    Timer();
    void start();
    void stop();
    double getElapsedTime();
    double getElapsedTimeInSec();
    double getElapsedTimeInMilliSec();
    double getElapsedTimeInMicroSec();

private:
    double startTimeInMicroSec;
    double endTimeInMicroSec;
    int stopped;
    timespec startCount;
    timespec endCount;
};

#endif
