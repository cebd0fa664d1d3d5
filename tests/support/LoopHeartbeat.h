#ifndef LOOPHEARTBEAT_H
#define LOOPHEARTBEAT_H

// A 10 ms timer on the thread's event loop: the largest gap between its beats is the longest
// the loop was held while it lived.

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

class LoopHeartbeat
{
public:
    LoopHeartbeat()
    {
        clock.start();
        QObject::connect(&beat, &QTimer::timeout, [this] {
            largest = std::max(largest, clock.restart());
        });
        beat.start(10);
    }
    LoopHeartbeat(const LoopHeartbeat&) = delete;
    LoopHeartbeat& operator=(const LoopHeartbeat&) = delete;

    // Milliseconds, the time since the last beat included.
    qint64 largestGapMs() const { return std::max(largest, clock.elapsed()); }

private:
    QTimer beat;
    QElapsedTimer clock;
    qint64 largest = 0;
};

#endif // LOOPHEARTBEAT_H
