#include "mainwindow/MotionRules.h"

#include <algorithm>
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

SoftStopAction softStopAction(result_t statusResult, const status_t& status)
{
    return statusResult == result_ok && axisStopped(status) ? SoftStopAction::PowerOff : SoftStopAction::SoftStop;
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
