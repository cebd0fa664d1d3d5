#include "mainwindow/CyclicMotion.h"

#include <QCoreApplication>

#include "device/DeviceInterface.h"
#include "device/MotionRules.h"
#include "settings_model/CyclicSettings.h"

namespace {

enum CyclicType { BorderToBorder = 0, PointToPoint = 1 };
enum Leg { NoLeg = 0, ToLeft = 1, ToRight = 2 };

} // namespace

CyclicMotion::CyclicMotion(AxisCourier* courierIn, QObject* contextIn, std::function<quint64()> readsBegunIn)
    : courier(courierIn), context(contextIn), readsBegun(std::move(readsBegunIn)),
      permit(std::make_shared<std::atomic<quint64>>(0))
{
}

bool CyclicMotion::start(const CyclicSettings& settings)
{
    edgeStopPending = true;
    edgeReversePending = true;
    if (on)
        return false;
    on = true;
    run = ++runs;
    permit->store(run);
    ptpDirection = NoLeg;
    if (settings.type == BorderToBorder)
        sendLeg([](DeviceInterface& device, device_t id) { return device.command_left(id); }, {});
    else if (settings.type == PointToPoint)
        moveTo(settings.leftPoint, NoLeg);
    return true;
}

void CyclicMotion::switchOff()
{
    on = false;
    permit->store(0);
}

std::function<void()> CyclicMotion::halter() const
{
    return [permit = permit, run = currentRun()]() mutable {
        if (run != 0)
            permit->compare_exchange_strong(run, 0);
    };
}

void CyclicMotion::step(const status_t& status, const CyclicSettings& settings, quint64 readNumber)
{
    if (!on || inFlight == run || (readNumber != 0 && readNumber <= answeredAtRead))
        return;
    if (settings.type == BorderToBorder)
        borderToBorder(status);
    else if (settings.type == PointToPoint)
        pointToPoint(status, settings.leftPoint, settings.rightPoint);
}

void CyclicMotion::sendLeg(AxisCourier::Command leg, std::function<void(result_t)> answered)
{
    const quint64 thisRun = run;
    inFlight = thisRun;
    courier->send(
        AxisCourier::Kind::Motion, QCoreApplication::translate("MainWindow", "Cyclic motion"),
        [permit = permit, thisRun, leg = std::move(leg)](DeviceInterface& device, device_t id) {
            // Switched off since it was given: it stays.
            if (permit->load() != thisRun)
                return result_error;
            return leg(device, id);
        },
        context,
        [this, thisRun, answered = std::move(answered)](result_t result) {
            if (inFlight == thisRun)
                inFlight = 0;
            // The run ended meanwhile: its answers start nothing.
            if (!on || thisRun != run)
                return;
            if (readsBegun)
                answeredAtRead = readsBegun();
            if (answered)
                answered(result);
        });
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
    const bool stop = edgeStopPending;
    const bool reverse = edgeReversePending;
    edgeStopPending = false;
    edgeReversePending = false;
    if (!stop && !reverse)
        return;
    // The left edge wins when both are lit: the axis then leaves to the right.
    sendLeg(
        [stop, reverse, toRight = atLeft](DeviceInterface& device, device_t id) {
            result_t result = stop ? device.command_stop(id) : result_ok;
            if (reverse)
                result = toRight ? device.command_right(id) : device.command_left(id);
            return result;
        },
        {});
}

void CyclicMotion::pointToPoint(const status_t& status, int left, int right)
{
    const bool stopped = MotionRules::axisStopped(status);
    if (stopped && MotionRules::standsOn(status, left)) {
        moveTo(right, ToRight);
    } else if (stopped && MotionRules::standsOn(status, right)) {
        moveTo(left, ToLeft);
    } else if (ptpDirection == ToLeft && left != ptpTarget) {
        // The point was edited during the leg: follow it until the axis stands on it.
        moveTo(left, NoLeg);
    } else if (ptpDirection == ToRight && right != ptpTarget) {
        moveTo(right, NoLeg);
    }
}

void CyclicMotion::moveTo(int point, int direction)
{
    sendLeg([point](DeviceInterface& device, device_t id) { return device.command_move(id, point, 0); },
            [this, point, direction](result_t result) {
                // The direction is the answered leg's: a refused move is tried again on the next sample.
                if (result == result_ok && direction != NoLeg) {
                    ptpDirection = direction;
                    ptpTarget = point;
                }
            });
}
