#include "multiaxis/MultiaxisAxes.h"

MultiaxisAxes::MultiaxisAxes()
{
    for (auto& handle : handles)
        handle.store(-1);
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
