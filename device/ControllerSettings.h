#ifndef CONTROLLERSETTINGS_H
#define CONTROLLERSETTINGS_H

#include <QObject>
#include <QString>

#include <atomic>

#include "device/ControllerIdentity.h"
#include "trov.h"

class DeviceInterface;

// The identity of the open controller, as the window shows it. A failed read leaves the value
// read before; only the start-up read marks the controller set-up as failed (deviceInitOk,
// lastFailedFunction). A read off the owner's thread goes into a copy of the identity.
class ControllerSettings : public QObject, public ControllerIdentity
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
    // Takes what a read into a copy found (ControllerIdentity::read): on the owner's thread.
    void takeIdentity(const ControllerIdentity& read) { ControllerIdentity::operator=(read); }

    std::atomic<device_t>* const deviceHandle;
    const QString* const deviceName;

private:
    DeviceInterface* const gateway;
};

#endif // CONTROLLERSETTINGS_H
