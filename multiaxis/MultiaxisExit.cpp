#include "multiaxis/MultiaxisExit.h"

#include <algorithm>

#include "trov.h"

MultiaxisExit::Plan MultiaxisExit::begin(const QVector<bool>& stoppable, const QVector<bool>& reachable, qint64 nowMs)
{
    Plan plan;
    axes = QVector<Axis>(stoppable.size());
    for (int axis = 0; axis < axes.size(); ++axis) {
        if (!stoppable[axis]) {
            plan.skipped.append(axis);
            continue;
        }
        plan.softStop.append(axis);
        axes[axis].waited = true;
        if (axis >= reachable.size() || !reachable[axis]) {
            plan.away.append(axis);
            axes[axis].away = true;
        }
    }
    plan.wait = !plan.softStop.isEmpty();
    isPending = true;
    lost = -1;
    rounds = 0;
    beganMs = nowMs;
    return plan;
}

void MultiaxisExit::softStopSent(int axis, bool ok, quint64 readsBegun, qint64 nowMs)
{
    if (axis < 0 || axis >= axes.size())
        return;
    Axis& a = axes[axis];
    // One waited for apart joins late: its soft stop gets the whole wait.
    if (a.away && ok)
        beganMs = std::max(beganMs, nowMs);
    a.answered = true;
    a.away = false;
    a.softStopFailed = !ok;
    a.readsBegunAtStop = readsBegun;
    a.sampled = false;
}

bool MultiaxisExit::softStopsAnswered() const
{
    for (const Axis& axis : axes) {
        if (axis.waited && !axis.answered && !axis.away)
            return false;
    }
    return true;
}

QVector<int> MultiaxisExit::failedSoftStops() const
{
    QVector<int> failed;
    for (int axis = 0; axis < axes.size(); ++axis) {
        if (axes[axis].softStopFailed)
            failed.append(axis);
    }
    return failed;
}

QVector<int> MultiaxisExit::awaiting() const
{
    QVector<int> waiting;
    for (int axis = 0; axis < axes.size(); ++axis) {
        if (axes[axis].waited && !axes[axis].answered)
            waiting.append(axis);
    }
    return waiting;
}

bool MultiaxisExit::awaitingOnlyAway() const
{
    for (const Axis& axis : axes) {
        if (axis.waited && !axis.answered && !axis.away)
            return false;
    }
    return true;
}

void MultiaxisExit::setAway(int axis)
{
    if (axis >= 0 && axis < axes.size() && axes[axis].waited && !axes[axis].answered)
        axes[axis].away = true;
}

bool MultiaxisExit::away(int axis) const
{
    return axis >= 0 && axis < axes.size() && axes[axis].away;
}

void MultiaxisExit::awaitAgain(int axis)
{
    if (axis < 0 || axis >= axes.size())
        return;
    Axis& a = axes[axis];
    a.answered = false;
    a.away = true;
    a.sampled = false;
    a.due = false;
    if (lost == axis)
        lost = -1;
}

void MultiaxisExit::cancel()
{
    isPending = false;
}

void MultiaxisExit::sample(int axis, int mvcmd, bool connected, int mode, quint64 statusReadNumber)
{
    if (!isPending || axis < 0 || axis >= axes.size() || !inPlay(axes[axis]))
        return;
    // A loss is news whenever it arrives, once the soft stop has gone: the axis may still move.
    if (!connected || mode != 2) {
        if (lost < 0)
            lost = axis;
        return;
    }
    // Before its soft stop has answered, a sample shows the command before it.
    if (statusReadNumber <= axes[axis].readsBegunAtStop)
        return;
    axes[axis].sampled = true;
    axes[axis].mvcmd = mvcmd;
}

bool MultiaxisExit::readyToPowerOff() const
{
    bool any = false;
    int combined = 0;
    for (const Axis& axis : axes) {
        if (!inPlay(axis) || axis.due)
            continue;
        if (!axis.sampled)
            return false;
        any = true;
        combined |= axis.mvcmd;
    }
    return any && combined == MVCMD_SSTP;
}

MultiaxisExit::Decision MultiaxisExit::decide(qint64 nowMs) const
{
    if (!isPending)
        return Decision::Idle;
    if (lost >= 0)
        return Decision::Lost;
    bool due = false;
    bool open = false;
    bool complete = true;
    int combined = 0;
    for (const Axis& axis : axes) {
        if (!inPlay(axis))
            continue;
        if (axis.due) {
            due = true;
            continue;
        }
        open = true;
        complete = complete && axis.sampled;
        combined |= axis.mvcmd;
    }
    if (due || readyToPowerOff())
        return Decision::PowerOff;
    if (!open)
        return awaiting().isEmpty() ? Decision::Wait : Decision::Awaiting;
    if (complete && combined != (MVCMD_SSTP | MVCMD_RUNNING))
        return Decision::External;
    if (nowMs - beganMs > waitLimitMs)
        return Decision::TimedOut;
    return Decision::Wait;
}

QVector<int> MultiaxisExit::beginPowerOffRound()
{
    const bool ready = readyToPowerOff();
    QVector<int> round;
    for (int axis = 0; axis < axes.size(); ++axis) {
        Axis& a = axes[axis];
        if (!inPlay(a) || (!a.due && !ready))
            continue;
        if (!a.due) {
            // New axes to power off: they get their own tries.
            a.due = true;
            rounds = 0;
        }
        round.append(axis);
    }
    return round;
}

void MultiaxisExit::powerOffResult(int axis, bool ok)
{
    if (axis >= 0 && axis < axes.size() && ok)
        axes[axis].poweredOff = true;
}

bool MultiaxisExit::finishRound()
{
    ++rounds;
    for (const Axis& axis : axes) {
        if (inPlay(axis) && axis.due)
            return false;
    }
    return true;
}
