#ifndef CONTROLLERSETTINGS_H
#define CONTROLLERSETTINGS_H

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>

#include "trov.h"

class DeviceInterface;

// The identity of the open controller: serial number, firmware and bootloader versions and
// device information. A failed read leaves the value read before; only the start-up read marks
// the controller set-up as failed (deviceInitOk, lastFailedFunction).
class ControllerSettings : public QObject
{
    Q_OBJECT

public:
    // The handle and the name belong to the axis's polling thread and must outlive this object.
    // readNow: the start-up read, at once.
    ControllerSettings(std::atomic<device_t>* deviceHandle, DeviceInterface* gateway, const QString* deviceName,
                       bool readNow);
    ~ControllerSettings() override;

    enum class Read { StartUp, Later };

    // Reads the identity with polling silenced; the firmware version only in firmware mode,
    // the bootloader version until one read has succeeded. Returns the name of the last call
    // that failed (a static literal), null when all succeeded. Only a StartUp read clears
    // deviceInitOk and sets lastFailedFunction.
    const char* readDeviceIdentity(Read read = Read::Later);

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

    std::atomic<device_t>* const deviceHandle;
    const QString* const deviceName;

private:
    DeviceInterface* const gateway;
};

#endif // CONTROLLERSETTINGS_H
