#ifndef EXITSEQUENCE_H
#define EXITSEQUENCE_H

#include <QtGlobal>

#include "trov.h"

// The exit button's wait for its soft stop. Only samples that read the controller after the
// soft stop was sent decide: a sample whose status read began earlier (one that held the
// gateway's lock while the soft stop waited for it) still shows the old command. A lost or
// bootloader sample decides nothing; the user's Cancel still ends the wait.
class ExitSequence
{
public:
    static constexpr int maxPowerOffTries = 3;

    enum class Action {
        Wait,      // nothing yet
        PowerOff,  // the soft stop has ended: send the power off, then report powerOffResult
        Cancelled, // the user cancelled: the window stays, silently
        Aborted    // another command took over: log it, the window stays
    };
    enum class PowerOff { Done, Retry, GaveUp };

    bool active() const { return waiting; }
    // After command_sstp returned 0; readsBegun: UpdateThread::statusReadsBegun() taken then.
    void begin(quint64 readsBegun);
    // Ends the wait without a decision.
    void end() { waiting = false; }
    // One sample while active. boxShown: the stopping box is still up (hidden: the user cancelled).
    Action onSample(bool connected, int mode, quint64 statusReadNumber, uint32_t mvCmdSts, bool boxShown);
    // The power off's result: Done ends the sequence; Retry tries again at the next deciding
    // sample; after maxPowerOffTries failures GaveUp ends it.
    PowerOff powerOffResult(result_t result);

private:
    bool waiting = false;
    quint64 readsBegunAtSoftStop = 0;
    int powerOffFailures = 0;
};

#endif // EXITSEQUENCE_H
