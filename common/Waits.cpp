#include "common/Waits.h"

#include "common/ElapsedTimer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <cerrno>

timespec deadlineAfterMs(const timespec& from, unsigned int ms)
{
    timespec deadline = from;
    deadline.tv_sec += static_cast<time_t>(ms / 1000u);
    deadline.tv_nsec += static_cast<long>(ms % 1000u) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

void sleepMs(unsigned int ms)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const timespec deadline = deadlineAfterMs(now, ms);
    // An absolute deadline lets an interrupted sleep resume without drifting.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

void waitProcessingEvents(int ms)
{
    if (ms <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    const ElapsedTimer timer;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const int left = ms - timer.elapsedMsecs();
        if (left <= 0)
            break;
        QThread::msleep(left < 2 ? static_cast<unsigned long>(left) : 2ul);
    }
}

bool runEventsUntil(const std::function<bool()>& done)
{
    if (done())
        return true;
    QEventLoop loop;
    bool ended = false;
    // Every change that can make done() hold comes with an event; the loop looks after each
    // batch of them, just before it would sleep. Quitting wakes the dispatcher, so only once: a
    // loop nested in this one would otherwise never get to sleep.
    const QMetaObject::Connection watch =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                         [&loop, &done, &ended] {
                             if (!ended && done()) {
                                 ended = true;
                                 loop.quit();
                             }
                         });
    loop.exec();
    QObject::disconnect(watch);
    return done();
}
