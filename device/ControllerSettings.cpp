#include "device/ControllerSettings.h"

#include "device/SharedFlags.h"

ControllerSettings::ControllerSettings(std::atomic<device_t>* deviceHandle, DeviceInterface* gateway,
                                       const QString* deviceName, bool readNow)
    : QObject(nullptr), deviceHandle(deviceHandle), deviceName(deviceName), gateway(gateway)
{
    if (readNow)
        readDeviceIdentity(Read::StartUp);
}

ControllerSettings::~ControllerSettings() = default;

const char* ControllerSettings::readDeviceIdentity(Read read)
{
    const char* failed = ControllerIdentity::read(*gateway, *deviceHandle).failed;
    if (failed && read == Read::StartUp) {
        deviceInitOk.store(false);
        lastFailedFunction.store(failed);
    }
    return failed;
}
