#ifndef LEFTRUNNING_H
#define LEFTRUNNING_H

#include <QList>

#include <functional>

class QThread;

// A thread that does not end at shut-down (it waits in a library call) is left running. What it
// still reads (its window's handles, the thread objects) is kept until it has ended; while
// anything is kept, start-up frees no gateway, and the program ends without the destructors of
// its exit.
class LeftRunning
{
public:
    // Once every one of the threads has ended, free runs in the calling thread's event loop; with
    // no loop left (at the exit) it never does.
    static void keep(const QList<QThread*>& threads, std::function<void()> free);
    static bool any();
};

#endif // LEFTRUNNING_H
