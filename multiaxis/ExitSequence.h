#ifndef EXITSEQUENCE_H
#define EXITSEQUENCE_H

#include <QVector>
#include <QtGlobal>

// The decisions of the multi-axis window's Exit, kept apart from its widgets: which axes get the
// soft stop, which samples count afterwards, when to power off, when to give up. Times are
// milliseconds on one clock of the caller's choosing.
class ExitSequence
{
public:
    // A wait longer than this gives up with a message.
    static constexpr qint64 waitLimitMs = 30000;
    // Power-off rounds before the user is asked.
    static constexpr int powerOffTries = 3;
    // Polling stamps a sample after its reads, and the next tick reads a period (100 ms) later:
    // a sample stamped less than half a period after a soft stop may carry a status read from
    // before it. Such a sample decides nothing.
    static constexpr qint64 readLeadMs = 50;

    enum class Decision {
        Idle,     // no exit pending
        Wait,     // soft stops still running, or no sample taken after them yet
        PowerOff, // every axis shows a finished soft stop: power off (again)
        External, // another command on some axis: abort with the warning
        Lost,     // an axis was lost or left its firmware: abort with a message
        TimedOut  // waitLimitMs without an end: abort with a message
    };

    struct Plan
    {
        // Axes to soft-stop, in axis order.
        QVector<int> softStop;
        // False: some axis is lost or in its bootloader; after the soft stops the window closes.
        bool wait = false;
    };

    bool pending() const { return isPending; }
    // Exit pressed, with each open axis' last sample (one entry per axis).
    Plan begin(const QVector<bool>& connected, const QVector<int>& modes, qint64 nowMs);
    // After each soft stop, with its result; sentMs is taken once the call has returned.
    void softStopSent(int axis, bool ok, qint64 sentMs);
    QVector<int> failedSoftStops() const;
    // Cancel, a failure or an abort: the exit is given up at once.
    void cancel();

    // Every sample while pending; stampMs is when polling stamped it.
    void sample(int axis, int mvcmd, bool connected, int mode, qint64 stampMs);
    Decision decide(qint64 nowMs) const;
    // The axis that made decide() answer Lost, -1 for none.
    int lostAxis() const { return lost; }

    // One power-off round: the axes still to power off; record each result.
    QVector<int> powerOffAxes() const;
    void powerOffResult(int axis, bool ok);
    // Called after each round: true when every axis is off.
    bool finishRound();
    // powerOffTries rounds have failed.
    bool powerOffExhausted() const { return rounds >= powerOffTries; }

private:
    struct Axis
    {
        bool waited = false;
        bool softStopFailed = false;
        qint64 sentMs = 0;
        bool sampled = false;
        int mvcmd = 0;
        bool poweredOff = false;
    };

    QVector<Axis> axes;
    bool isPending = false;
    bool poweringOff = false;
    int lost = -1;
    int rounds = 0;
    qint64 beganMs = 0;
};

#endif // EXITSEQUENCE_H
