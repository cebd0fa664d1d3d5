#include "common/Timer.h"

namespace {

double toMicroSec(const timespec& t)
{
    return static_cast<double>(t.tv_sec) * 1000000.0 + static_cast<double>(t.tv_nsec) / 1000.0;
}

} // namespace

Timer::Timer()
    : startTimeInMicroSec(0), endTimeInMicroSec(0), stopped(0), startCount{}, endCount{}
{
}

void Timer::start()
{
    stopped = 0;
    clock_gettime(CLOCK_MONOTONIC, &startCount);
}

void Timer::stop()
{
    stopped = 1;
    clock_gettime(CLOCK_MONOTONIC, &endCount);
}

double Timer::getElapsedTimeInMicroSec()
{
    if (!stopped)
        clock_gettime(CLOCK_MONOTONIC, &endCount);
    startTimeInMicroSec = toMicroSec(startCount);
    endTimeInMicroSec = toMicroSec(endCount);
    return endTimeInMicroSec - startTimeInMicroSec;
}

double Timer::getElapsedTimeInMilliSec()
{
    return getElapsedTimeInMicroSec() * 0.001;
}

double Timer::getElapsedTimeInSec()
{
    return getElapsedTimeInMicroSec() * 0.000001;
}

double Timer::getElapsedTime()
{
    return getElapsedTimeInSec();
}
