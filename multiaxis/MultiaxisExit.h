#ifndef MULTIAXISEXIT_H
#define MULTIAXISEXIT_H

#include <QVector>
#include <QtGlobal>

// The decisions of the multi-axis window's Exit, kept apart from its widgets: which axes get the
// soft stop, which samples count afterwards, when to power off, when to give up. Times are
// milliseconds on one clock of the caller's choosing. An axis whose soft stop has not gone (its
// controller lost, or a call holds it) is waited for apart: the others are powered off meanwhile,
// and it joins the exit once its soft stop has gone.
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
        Lost,     // an axis was lost or left its firmware after its soft stop: it gets another
        Awaiting, // every axis whose soft stop went is off; those of awaiting() wait for theirs
        TimedOut  // waitLimitMs without an end: abort with a message
    };

    struct Plan
    {
        // Axes with something to stop, in axis order: each gets its soft stop.
        QVector<int> softStop;
        // Of those, the ones lost now: their soft stop waits for their return.
        QVector<int> away;
        // The others (in their bootloader): left alone.
        QVector<int> skipped;
        // False: no axis to wait for; the window closes at once.
        bool wait = false;
    };

    bool pending() const { return isPending; }
    // Exit pressed: per open axis, whether it has something to stop, and whether its controller is
    // there to take the soft stop now.
    Plan begin(const QVector<bool>& stoppable, const QVector<bool>& reachable, qint64 nowMs);
    // After each soft stop, with its result and the axis' UpdateThread::statusReadsBegun() taken
    // once the call has returned: a sample whose status read began before that (one that held
    // the gateway's lock while the soft stop waited) still shows the old command.
    void softStopSent(int axis, bool ok, quint64 readsBegun, qint64 nowMs = 0);
    // Every axis of the plan that is not waited for apart has answered its soft stop.
    bool softStopsAnswered() const;
    QVector<int> failedSoftStops() const;
    // The axes whose soft stop has not gone yet.
    QVector<int> awaiting() const;
    // Every axis of awaiting() is waited for apart (setAway).
    bool awaitingOnlyAway() const;
    // Its soft stop waits for its controller or a held call: the others go on without it.
    void setAway(int axis);
    bool away(int axis) const;
    // The axis was lost after its soft stop went: another, given now, waits for its return.
    void awaitAgain(int axis);
    // Cancel, a failure or an abort: the exit is given up at once.
    void cancel();

    // Every sample while pending, with the number of its status read.
    void sample(int axis, int mvcmd, bool connected, int mode, quint64 statusReadNumber);
    Decision decide(qint64 nowMs) const;
    // The axis that made decide() answer Lost, -1 for none.
    int lostAxis() const { return lost; }

    // One power-off round: the axes to power off now (from then on they are powered off whatever
    // a later sample says); record each result.
    QVector<int> beginPowerOffRound();
    void powerOffResult(int axis, bool ok);
    // Called after each round: true when every axis of it is off.
    bool finishRound();
    // powerOffTries rounds have failed.
    bool powerOffExhausted() const { return rounds >= powerOffTries; }

private:
    struct Axis
    {
        bool waited = false;
        bool away = false;
        bool answered = false;
        bool softStopFailed = false;
        quint64 readsBegunAtStop = 0;
        bool sampled = false;
        int mvcmd = 0;
        bool due = false;
        bool poweredOff = false;
    };
    // Waited, its soft stop gone and taken, not yet off.
    bool inPlay(const Axis& axis) const
    {
        return axis.waited && axis.answered && !axis.softStopFailed && !axis.poweredOff;
    }
    // The axes in play that are not yet due all show a finished soft stop.
    bool readyToPowerOff() const;

    QVector<Axis> axes;
    bool isPending = false;
    int lost = -1;
    int rounds = 0;
    qint64 beganMs = 0;
};

#endif // MULTIAXISEXIT_H
