#ifndef SCRIPTAXISHOST_H
#define SCRIPTAXISHOST_H

#include <QtGlobal>

#include <atomic>

#include "trov.h"

class DeviceInterface;

// The axes a multi-axis script may reach: the window's own, never another device. Called from
// the script thread: an implementation keeps its gateways and handles fixed while the engine
// lives (the handles themselves change under their polling threads).
class ScriptAxisHost
{
public:
    virtual ~ScriptAxisHost() = default;
    virtual int scriptAxisCount() const = 0;
    virtual DeviceInterface* scriptAxisGateway(int axis) const = 0;
    // The axis' shared handle, -1 while its controller is not open.
    virtual std::atomic<device_t>* scriptAxisHandle(int axis) const = 0;
    // Whether a script's call may go to the axis now; false: nothing is to be sent. `motion`:
    // the call is a motion command.
    virtual bool scriptAxisMayCall(int axis, bool motion)
    {
        Q_UNUSED(axis);
        Q_UNUSED(motion);
        return true;
    }
};

#endif // SCRIPTAXISHOST_H
