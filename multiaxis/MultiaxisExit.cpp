#include "multiaxis/MultiaxisExit.h"

#include "trov.h"

MultiaxisExit::Plan MultiaxisExit::begin(const QVector<bool>& connected, const QVector<int>& modes, qint64 nowMs)
{
    Plan plan;
    axes = QVector<Axis>(connected.size());
    for (int axis = 0; axis < axes.size(); ++axis) {
        const bool firmware = connected[axis] && axis < modes.size() && modes[axis] == 2;
        (firmware ? plan.softStop : plan.skipped).append(axis);
        axes[axis].waited = firmware;
    }
    plan.wait = !plan.softStop.isEmpty();
    isPending = true;
    poweringOff = false;
    lost = -1;
    rounds = 0;
    beganMs = nowMs;
    return plan;
}

void MultiaxisExit::softStopSent(int axis, bool ok, quint64 readsBegun)
{
    if (axis < 0 || axis >= axes.size())
        return;
    axes[axis].answered = true;
    axes[axis].softStopFailed = !ok;
    axes[axis].readsBegunAtStop = readsBegun;
    axes[axis].sampled = false;
}

bool MultiaxisExit::softStopsAnswered() const
{
    for (const Axis& axis : axes) {
        if (axis.waited && !axis.answered)
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

void MultiaxisExit::cancel()
{
    isPending = false;
    poweringOff = false;
}

void MultiaxisExit::sample(int axis, int mvcmd, bool connected, int mode, quint64 statusReadNumber)
{
    if (!isPending || axis < 0 || axis >= axes.size() || !axes[axis].waited)
        return;
    // A loss is news whenever it arrives.
    if (!connected || mode != 2) {
        if (lost < 0)
            lost = axis;
        return;
    }
    // Before its soft stop has answered, a sample shows the command before it.
    if (!axes[axis].answered || statusReadNumber <= axes[axis].readsBegunAtStop)
        return;
    axes[axis].sampled = true;
    axes[axis].mvcmd = mvcmd;
}

MultiaxisExit::Decision MultiaxisExit::decide(qint64 nowMs) const
{
    if (!isPending)
        return Decision::Idle;
    if (poweringOff)
        return Decision::PowerOff;
    if (lost >= 0)
        return Decision::Lost;
    int combined = 0;
    bool complete = true;
    for (const Axis& axis : axes) {
        if (!axis.waited)
            continue;
        complete = complete && axis.sampled;
        combined |= axis.mvcmd;
    }
    if (complete && combined == MVCMD_SSTP)
        return Decision::PowerOff;
    if (complete && combined != (MVCMD_SSTP | MVCMD_RUNNING))
        return Decision::External;
    if (nowMs - beganMs > waitLimitMs)
        return Decision::TimedOut;
    return Decision::Wait;
}

QVector<int> MultiaxisExit::powerOffAxes() const
{
    QVector<int> remaining;
    for (int axis = 0; axis < axes.size(); ++axis) {
        if (axes[axis].waited && !axes[axis].poweredOff)
            remaining.append(axis);
    }
    return remaining;
}

void MultiaxisExit::powerOffResult(int axis, bool ok)
{
    if (axis >= 0 && axis < axes.size() && ok)
        axes[axis].poweredOff = true;
}

bool MultiaxisExit::finishRound()
{
    poweringOff = true;
    ++rounds;
    return powerOffAxes().isEmpty();
}
