#include "multiaxis/MultiaxisAxes.h"

#include <QCoreApplication>

#include "log/MessageLog.h"

MultiaxisAxes::MultiaxisAxes()
{
    for (int a = 0; a < maxAxes; ++a) {
        handles[a].store(-1);
        shiftCarry[a].store(0.0);
        sampledUse[a].store(AxisUse::Unknown);
        scriptSkipLogged[a].store(false);
    }
}

int MultiaxisAxes::scriptAxisCount() const
{
    return int(gateways.size());
}

DeviceInterface* MultiaxisAxes::scriptAxisGateway(int axis) const
{
    return axis >= 0 && axis < gateways.size() ? gateways[axis] : nullptr;
}

std::atomic<device_t>* MultiaxisAxes::scriptAxisHandle(int axis) const
{
    return axis >= 0 && axis < gateways.size() ? const_cast<std::atomic<device_t>*>(&handles[axis]) : nullptr;
}

AxisUse MultiaxisAxes::commandUse(AxisUse sampled, device_t handle)
{
    if (sampled != AxisUse::Working && sampled != AxisUse::Unknown)
        return sampled;
    // Polling is reopening it: a call would carry no handle.
    return handle != -1 ? AxisUse::Working : AxisUse::Lost;
}

QString MultiaxisAxes::axisNamed(int axis) const
{
    return QCoreApplication::translate("Multiaxis", "SN %1").arg(axis >= 0 && axis < maxAxes ? serials[axis] : 0);
}

QString MultiaxisAxes::skipText(const QString& who, AxisUse use)
{
    return use == AxisUse::Lost
               ? QCoreApplication::translate("Multiaxis", "%1 skipped: the controller is lost; until it is back it "
                                                          "takes no command, and a stop waits for its return.")
                     .arg(who)
               : QCoreApplication::translate("Multiaxis", "%1 skipped: the controller is in its bootloader; nothing is "
                                                          "sent to it until it runs its firmware.")
                     .arg(who);
}

void MultiaxisAxes::sampled(int axis, AxisUse use)
{
    sampledUse[axis].store(use);
    if (use == AxisUse::Working)
        scriptSkipLogged[axis].store(false);
}

bool MultiaxisAxes::scriptAxisMayCall(int axis, bool motion)
{
    if (axis < 0 || axis >= gateways.size())
        return false;
    const AxisUse use = commandUse(sampledUse[axis].load(), handles[axis].load());
    if (use == AxisUse::Working) {
        if (motion)
            shiftCarry[axis].store(0.0);
        return true;
    }
    if (!scriptSkipLogged[axis].exchange(true))
        MessageLog::insertProgramLine(skipText(QCoreApplication::translate("Multiaxis", "Script call to %1").arg(axisNamed(axis)), use), 2);
    return false;
}
