#ifndef CONTROLLERIDENTITY_H
#define CONTROLLERIDENTITY_H

#include <atomic>
#include <cstdint>

#include "trov.h"

class DeviceInterface;

// What a controller tells of itself: serial number, firmware and bootloader versions and device
// information. A plain copyable value: a copy can be read into on any thread but a polling one
// and taken back by the thread that owns the original.
class ControllerIdentity
{
public:
    ControllerIdentity();

    struct Outcome
    {
        // The name of the last call that failed (a static literal), null when all succeeded.
        const char* failed = nullptr;
        // A call answered that the controller is gone.
        bool lost = false;
        // The controller's mode when the read began: 0 none, 1 bootloader, 2 firmware.
        int mode = 0;
    };

    // Reads the identity with polling silenced: the firmware version only in firmware mode, the
    // bootloader version until one read has succeeded. A failed call leaves the value it would
    // have read as it was. The handle is read once polling is silent.
    Outcome read(DeviceInterface& gateway, const std::atomic<device_t>& handle);

    uint32_t serialNumber = 0;
    uint32_t firmwareMajor = 0;
    uint32_t firmwareMinor = 0;
    uint32_t firmwareRelease = 0;
    uint32_t bootloaderMajor = 0;
    uint32_t bootloaderMinor = 0;
    uint32_t bootloaderRelease = 0;
    // Every text field ends with a NUL within its array.
    device_information_t deviceInformation;
    bool bootloaderVersionRead = false;
};

#endif // CONTROLLERIDENTITY_H
