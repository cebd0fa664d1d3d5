#ifndef MULTIAXISAXES_H
#define MULTIAXISAXES_H

#include <QList>

#include <atomic>

#include "scriptdlg/ScriptAxisHost.h"
#include "trov.h"

class DeviceInterface;

// The multi-axis window's axes as its polling and script threads reach them: the shared handles
// and the gateways, apart from the window, so that a thread left running at shut-down still
// reads them after the window is gone.
class MultiaxisAxes : public ScriptAxisHost
{
public:
    static constexpr int maxAxes = 3;

    MultiaxisAxes();

    // The open axes only, by axis index.
    int scriptAxisCount() const override;
    DeviceInterface* scriptAxisGateway(int axis) const override;
    std::atomic<device_t>* scriptAxisHandle(int axis) const override;

    // Per axis index: the current handle, rewritten by the axis' polling thread when it
    // reconnects; -1 while closed.
    std::atomic<device_t> handles[maxAxes];
    // One per open axis; set before the threads start, not changed after.
    QList<DeviceInterface*> gateways;
};

#endif // MULTIAXISAXES_H
