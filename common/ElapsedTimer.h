#ifndef ELAPSEDTIMER_H
#define ELAPSEDTIMER_H

#include <QElapsedTimer>

// Stopwatch started at construction; monotonic, so clock changes do not disturb it.
class ElapsedTimer
{
public:
    ElapsedTimer();
    void restart();
    int elapsedSecs() const;
    int elapsedMsecs() const;

private:
    QElapsedTimer start;
};

#endif
