#ifndef PROGRAMWINDOWMAKER_H
#define PROGRAMWINDOWMAKER_H

#include "app/ControlWindow.h"

// The program's own control windows.
class ProgramWindowMaker : public ControlWindowMaker
{
public:
    std::unique_ptr<ControlWindow> makeSingleAxis(device_t handle, const QString& name,
                                                  DeviceInterface* gateway) override;
    std::unique_ptr<ControlWindow> makeMultiAxis(const QList<int>& handles, const QStringList& names,
                                                 const QList<DeviceInterface*>& gateways) override;
};

#endif // PROGRAMWINDOWMAKER_H
