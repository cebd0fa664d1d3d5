#ifndef RECONNECTREAD_H
#define RECONNECTREAD_H

#include <atomic>

#include "device/ControllerIdentity.h"
#include "settings_model/MotorSettings.h"
#include "trov.h"

class DeviceInterface;

// What a window reads of a controller that has come back, on the axis' courier thread: its
// identity and, in firmware mode, its basic settings records, each into a copy made on the
// window's thread. The window's own models are never touched here; its thread takes the copies
// in the courier's reply, which hands them over.
class ReconnectRead
{
public:
    enum class What { Identity, Settings, Both };

    ReconnectRead(What what, const ControllerIdentity& identity, const MotorSettings& settings);

    // The command the courier runs: reads into the copies; the first failure of the identity
    // (result_error) or of the records, result_ok when all went.
    result_t run(DeviceInterface& gateway, const std::atomic<device_t>& handle);

    // It ran (the courier may have dropped it unsent).
    bool ran() const { return hasRun; }
    // A call found the controller gone, or it no longer ran its firmware: what it read is of no
    // use to a window that shows the controller back.
    bool lostMeanwhile() const { return lost; }

    const What what;
    ControllerIdentity identity;
    ControllerIdentity::Outcome identityOutcome;
    // Its basic records marked valid are those read.
    MotorSettings settings;

private:
    bool hasRun = false;
    bool lost = false;
};

#endif // RECONNECTREAD_H
