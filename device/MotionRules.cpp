#include "device/MotionRules.h"

#include "device/DeviceInterface.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace MotionRules {

namespace {

int32_t clamped(int64_t value)
{
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

bool axisStopped(const status_t& status)
{
    return !(status.MoveSts & MOVE_STATE_MOVING) && !(status.MvCmdSts & MVCMD_RUNNING);
}

bool standsOn(const status_t& status, int point)
{
    return status.CurPosition == point && status.uCurPosition == 0;
}

bool hasSomethingToStop(bool bootloaderSampled, uint64_t openingsAtSample, uint64_t openingsNow)
{
    return !bootloaderSampled || openingsNow != openingsAtSample;
}

SoftStopAction softStopAction(result_t statusResult, const status_t& status)
{
    if (statusResult != result_ok)
        return SoftStopAction::SoftStop;
    if (axisStopped(status))
        return SoftStopAction::PowerOff;
    return status.MvCmdSts == (MVCMD_SSTP | MVCMD_RUNNING) ? SoftStopAction::Stop : SoftStopAction::SoftStop;
}

SoftStopAction softStopActionNow(DeviceInterface& gateway, device_t id)
{
    status_t state;
    std::memset(&state, 0, sizeof state);
    const result_t read = gateway.get_status(id, &state);
    return softStopAction(read, state);
}

result_t softStopNow(DeviceInterface& gateway, device_t id, SoftStopAction again)
{
    SoftStopAction action = softStopActionNow(gateway, id);
    if (action == SoftStopAction::Stop)
        action = again;
    switch (action) {
    case SoftStopAction::PowerOff: return gateway.command_power_off(id);
    case SoftStopAction::Stop: return gateway.command_stop(id);
    case SoftStopAction::SoftStop: break;
    }
    return gateway.command_sstp(id);
}

Borders zeroedBorders(Borders borders, int32_t position, int32_t sliderMin, int32_t sliderMax, const QString& side)
{
    const int64_t left = borders.left;
    const int64_t right = borders.right;
    if (sliderMin >= position || side == QLatin1String("left"))
        return {0, clamped(right - left)};
    if (position >= sliderMax || side == QLatin1String("right"))
        return {clamped(left - right), 0};
    return {clamped(left - position), clamped(right - position)};
}

} // namespace MotionRules
