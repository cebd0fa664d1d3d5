#include "multiaxis/ExitSequence.h"

#include "trov.h"

ExitSequence::Plan ExitSequence::begin(const QVector<bool>& connected, const QVector<int>& modes, qint64 nowMs)
{
    Plan plan;
    plan.wait = true;
    axes = QVector<Axis>(connected.size());
    for (int axis = 0; axis < axes.size(); ++axis) {
        const bool firmware = connected[axis] && axis < modes.size() && modes[axis] == 2;
        if (firmware)
            plan.softStop.append(axis);
        else
            plan.wait = false;
    }
    for (int axis : plan.softStop)
        axes[axis].waited = plan.wait;
    isPending = true;
    poweringOff = false;
    lost = -1;
    rounds = 0;
    beganMs = nowMs;
    return plan;
}

void ExitSequence::softStopSent(int axis, bool ok, qint64 sentMs)
{
    if (axis < 0 || axis >= axes.size())
        return;
    axes[axis].softStopFailed = !ok;
    axes[axis].sentMs = sentMs;
    axes[axis].sampled = false;
}

QVector<int> ExitSequence::failedSoftStops() const
{
    QVector<int> failed;
    for (int axis = 0; axis < axes.size(); ++axis) {
        if (axes[axis].softStopFailed)
            failed.append(axis);
    }
    return failed;
}

void ExitSequence::cancel()
{
    isPending = false;
    poweringOff = false;
}

void ExitSequence::sample(int axis, int mvcmd, bool connected, int mode, qint64 stampMs)
{
    if (!isPending || axis < 0 || axis >= axes.size() || !axes[axis].waited)
        return;
    // A loss is news whenever it arrives.
    if (!connected || mode != 2) {
        if (lost < 0)
            lost = axis;
        return;
    }
    if (stampMs - readLeadMs < axes[axis].sentMs)
        return;
    axes[axis].sampled = true;
    axes[axis].mvcmd = mvcmd;
}

ExitSequence::Decision ExitSequence::decide(qint64 nowMs) const
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

QVector<int> ExitSequence::powerOffAxes() const
{
    QVector<int> remaining;
    for (int axis = 0; axis < axes.size(); ++axis) {
        if (axes[axis].waited && !axes[axis].poweredOff)
            remaining.append(axis);
    }
    return remaining;
}

void ExitSequence::powerOffResult(int axis, bool ok)
{
    if (axis >= 0 && axis < axes.size() && ok)
        axes[axis].poweredOff = true;
}

bool ExitSequence::finishRound()
{
    poweringOff = true;
    ++rounds;
    return powerOffAxes().isEmpty();
}
