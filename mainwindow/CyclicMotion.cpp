#include "mainwindow/CyclicMotion.h"

#include "device/DeviceInterface.h"
#include "device/MotionRules.h"
#include "settings_model/CyclicSettings.h"

namespace {

enum CyclicType { BorderToBorder = 0, PointToPoint = 1 };
enum Leg { NoLeg = 0, ToLeft = 1, ToRight = 2 };

} // namespace

CyclicMotion::CyclicMotion(DeviceInterface* gateway, const std::atomic<device_t>* handle)
    : gateway(gateway), handle(handle)
{
}

bool CyclicMotion::start(const CyclicSettings& settings)
{
    edgeStopPending = true;
    edgeReversePending = true;
    if (on)
        return false;
    on = true;
    ptpDirection = NoLeg;
    if (settings.type == BorderToBorder)
        gateway->command_left(handle->load());
    else if (settings.type == PointToPoint)
        moveTo(settings.leftPoint);
    return true;
}

void CyclicMotion::step(const status_t& status, const CyclicSettings& settings)
{
    if (!on)
        return;
    if (settings.type == BorderToBorder)
        borderToBorder(status);
    else if (settings.type == PointToPoint)
        pointToPoint(status, settings.leftPoint, settings.rightPoint);
}

void CyclicMotion::borderToBorder(const status_t& status)
{
    const bool atLeft = status.GPIOFlags & STATE_LEFT_EDGE;
    const bool atRight = status.GPIOFlags & STATE_RIGHT_EDGE;
    if (!atLeft && !atRight) {
        edgeStopPending = true;
        edgeReversePending = true;
        return;
    }
    const device_t id = handle->load();
    if (edgeStopPending) {
        gateway->command_stop(id);
        edgeStopPending = false;
    }
    if (edgeReversePending) {
        edgeReversePending = false;
        // The left edge wins when both are lit: the axis then leaves to the right.
        if (atLeft)
            gateway->command_right(id);
        else
            gateway->command_left(id);
    }
}

void CyclicMotion::pointToPoint(const status_t& status, int left, int right)
{
    const bool stopped = MotionRules::axisStopped(status);
    if (stopped && MotionRules::standsOn(status, left)) {
        if (moveTo(right) == result_ok) {
            ptpDirection = ToRight;
            ptpTarget = right;
        }
    } else if (stopped && MotionRules::standsOn(status, right)) {
        if (moveTo(left) == result_ok) {
            ptpDirection = ToLeft;
            ptpTarget = left;
        }
    } else if (ptpDirection == ToLeft && left != ptpTarget) {
        // The point was edited during the leg: follow it until the axis stands on it.
        moveTo(left);
    } else if (ptpDirection == ToRight && right != ptpTarget) {
        moveTo(right);
    }
}

result_t CyclicMotion::moveTo(int point)
{
    return gateway->command_move(handle->load(), point, 0);
}
