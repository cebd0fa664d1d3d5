#include "device/ControllerSettings.h"

#include <cstring>

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"

namespace {

template <size_t N>
void terminate(char (&field)[N])
{
    field[N - 1] = '\0';
}

} // namespace

ControllerSettings::ControllerSettings(std::atomic<device_t>* deviceHandle, DeviceInterface* gateway,
                                       const QString* deviceName, bool readNow)
    : QObject(nullptr), deviceHandle(deviceHandle), deviceName(deviceName), gateway(gateway)
{
    std::memset(&deviceInformation, 0, sizeof deviceInformation);
    if (readNow)
        readDeviceIdentity(Read::StartUp);
}

ControllerSettings::~ControllerSettings() = default;

const char* ControllerSettings::readDeviceIdentity(Read read)
{
    const char* failed = nullptr;
    const auto markFailed = [&failed](const char* function) { failed = function; };
    // No tick of the polling thread is under way once this returns, and none starts until it goes.
    PollingSilencer silencer;
    const device_t id = deviceHandle->load();
    const int mode = gateway->getMode(id);

    // Each read goes into a scratch copy: a failed read must not leave behind what the library wrote.
    uint32_t major = 0, minor = 0, release = 0;
    if (mode == 2) {
        if (gateway->get_firmware_version(id, &major, &minor, &release) == result_ok) {
            firmwareMajor = major;
            firmwareMinor = minor;
            firmwareRelease = release;
        } else {
            markFailed("get_firmware_version");
        }
    }

    if (!bootloaderVersionRead) {
        major = minor = release = 0;
        if (gateway->get_bootloader_version(id, &major, &minor, &release) == result_ok) {
            bootloaderMajor = major;
            bootloaderMinor = minor;
            bootloaderRelease = release;
            bootloaderVersionRead = true;
        } else {
            markFailed("get_bootloader_version");
        }
    }

    uint32_t serial = 0;
    if (gateway->get_serial_number(id, &serial) == result_ok)
        serialNumber = serial;
    else
        markFailed("get_serial_number");

    device_information_t info;
    std::memset(&info, 0, sizeof info);
    if (gateway->get_device_information(id, &info) == result_ok) {
        // The texts name files and titles: keep every one terminated within its field.
        terminate(info.Manufacturer);
        terminate(info.ManufacturerId);
        terminate(info.ProductDescription);
        deviceInformation = info;
    } else {
        markFailed("get_device_information");
    }

    if (failed && read == Read::StartUp) {
        deviceInitOk.store(false);
        lastFailedFunction.store(failed);
    }
    return failed;
}
