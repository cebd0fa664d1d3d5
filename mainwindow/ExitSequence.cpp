#include "mainwindow/ExitSequence.h"

void ExitSequence::begin(quint64 readsBegun)
{
    waiting = true;
    readsBegunAtSoftStop = readsBegun;
    powerOffFailures = 0;
}

ExitSequence::Action ExitSequence::onSample(bool connected, int mode, quint64 statusReadNumber, uint32_t mvCmdSts,
                                            bool boxShown)
{
    if (!waiting)
        return Action::Wait;
    // Cancel hides the box: the axis goes on soft-stopping, the window stays.
    if (!boxShown) {
        waiting = false;
        return Action::Cancelled;
    }
    const bool deciding = connected && mode == 2 && statusReadNumber > readsBegunAtSoftStop;
    if (!deciding || mvCmdSts == (MVCMD_SSTP | MVCMD_RUNNING))
        return Action::Wait;
    if (mvCmdSts == MVCMD_SSTP)
        return Action::PowerOff;
    waiting = false;
    return Action::Aborted;
}

ExitSequence::PowerOff ExitSequence::powerOffResult(result_t result)
{
    if (result == result_ok) {
        waiting = false;
        return PowerOff::Done;
    }
    if (++powerOffFailures < maxPowerOffTries)
        return PowerOff::Retry;
    waiting = false;
    return PowerOff::GaveUp;
}
