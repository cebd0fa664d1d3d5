#ifndef SEENORDER_H
#define SEENORDER_H

#include <mutex>

class QThread;

// Qt orders work between threads through its own locks (its event queue, QThread::wait()),
// which ThreadSanitizer cannot see, Qt not being instrumented: what one thread allocated then
// looks freed or written by the other without an order, now and then. A SeenOrder repeats such
// an order with a lock the sanitizer sees; it changes nothing about when things happen. It is
// made before the other thread starts (a member made before start(), or a static), since that
// thread cannot see it made otherwise.
class SeenOrder
{
public:
    void pass() { std::lock_guard<std::mutex> locker(mutex); }
    // The thread passes the lock once its run() has returned; a pass() after wait() then comes
    // after all the thread did. Connected before start().
    void passAtEndOf(QThread* thread);

private:
    std::mutex mutex;
};

#endif
