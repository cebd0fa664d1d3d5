#ifndef MULTIAXISEXIT_H
#define MULTIAXISEXIT_H

#include <QVector>
#include <QtGlobal>

// The decisions of the multi-axis window's Exit, kept apart from its widgets: which axes get the
// soft stop, which samples count afterwards, when to power off, when to give up. Times are
// milliseconds on one clock of the caller's choosing.
class MultiaxisExit
{
public:
    // A wait longer than this gives up with a message.
    static constexpr qint64 waitLimitMs = 30000;
    // Power-off rounds before the user is asked.
    static constexpr int powerOffTries = 3;

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
        // Axes to soft-stop, wait for and power off, in axis order: those in their firmware.
        QVector<int> softStop;
        // The others (lost or in their bootloader): left alone.
        QVector<int> skipped;
        // False: no axis to wait for; the window closes at once.
        bool wait = false;
    };

    bool pending() const { return isPending; }
    // Exit pressed, with each open axis' last sample (one entry per axis).
    Plan begin(const QVector<bool>& connected, const QVector<int>& modes, qint64 nowMs);
    // After each soft stop, with its result and the axis' UpdateThread::statusReadsBegun() taken
    // once the call has returned: a sample whose status read began before that (one that held
    // the gateway's lock while the soft stop waited) still shows the old command.
    void softStopSent(int axis, bool ok, quint64 readsBegun);
    // Every axis of the plan has answered its soft stop.
    bool softStopsAnswered() const;
    QVector<int> failedSoftStops() const;
    // Cancel, a failure or an abort: the exit is given up at once.
    void cancel();

    // Every sample while pending, with the number of its status read.
    void sample(int axis, int mvcmd, bool connected, int mode, quint64 statusReadNumber);
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
        bool answered = false;
        bool softStopFailed = false;
        quint64 readsBegunAtStop = 0;
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

#endif // MULTIAXISEXIT_H
