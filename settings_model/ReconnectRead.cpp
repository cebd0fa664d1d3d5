#include "settings_model/ReconnectRead.h"

#include "device/DeviceInterface.h"

ReconnectRead::ReconnectRead(What what, const ControllerIdentity& identity, const MotorSettings& settings)
    : what(what), identity(identity), settings(settings)
{
    // Whatever is valid after the read was read by it.
    for (MotorSettings::Record index : MotorSettings::basicRecords)
        this->settings.valid[index] = false;
}

result_t ReconnectRead::run(DeviceInterface& gateway, const std::atomic<device_t>& handle)
{
    hasRun = true;
    result_t result = result_ok;
    if (what != What::Settings) {
        identityOutcome = identity.read(gateway, handle);
        lost = identityOutcome.lost;
        if (identityOutcome.failed)
            result = result_error;
    }
    if (what != What::Identity && !lost) {
        const result_t read = settings.readBasicFromDevice();
        // A read that failed, its calls barred or the controller gone from its firmware, has
        // nothing to give a window that shows it back.
        lost = read == result_nodevice || (read != result_ok && gateway.getMode(handle.load()) != 2);
        if (result == result_ok)
            result = read;
    }
    return result;
}
