#include "device/ControllerIdentity.h"

#include <cstring>

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"

namespace {

template <size_t N>
void terminate(char (&field)[N])
{
    field[N - 1] = '\0';
}

} // namespace

ControllerIdentity::ControllerIdentity()
{
    std::memset(&deviceInformation, 0, sizeof deviceInformation);
}

ControllerIdentity::Outcome ControllerIdentity::read(DeviceInterface& gateway, const std::atomic<device_t>& handle)
{
    Outcome outcome;
    const auto succeeded = [&outcome](result_t result, const char* function) {
        if (result == result_ok)
            return true;
        outcome.failed = function;
        outcome.lost = outcome.lost || result == result_nodevice;
        return false;
    };
    // No tick of the polling thread is under way once this returns, and none starts until it goes.
    PollingSilencer silencer;
    const device_t id = handle.load();
    outcome.mode = gateway.getMode(id);

    // Each read goes into a scratch copy: a failed read must not leave behind what the library wrote.
    uint32_t major = 0, minor = 0, release = 0;
    if (outcome.mode == 2 && succeeded(gateway.get_firmware_version(id, &major, &minor, &release), "get_firmware_version")) {
        firmwareMajor = major;
        firmwareMinor = minor;
        firmwareRelease = release;
    }

    if (!bootloaderVersionRead) {
        major = minor = release = 0;
        if (succeeded(gateway.get_bootloader_version(id, &major, &minor, &release), "get_bootloader_version")) {
            bootloaderMajor = major;
            bootloaderMinor = minor;
            bootloaderRelease = release;
            bootloaderVersionRead = true;
        }
    }

    uint32_t serial = 0;
    if (succeeded(gateway.get_serial_number(id, &serial), "get_serial_number"))
        serialNumber = serial;

    device_information_t info;
    std::memset(&info, 0, sizeof info);
    if (succeeded(gateway.get_device_information(id, &info), "get_device_information")) {
        // The texts name files and titles: keep every one terminated within its field.
        terminate(info.Manufacturer);
        terminate(info.ManufacturerId);
        terminate(info.ProductDescription);
        deviceInformation = info;
    }
    return outcome;
}
