#include "mainwindow/ZeroCommand.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <cstring>
#include <memory>

#include "device/AxisCourier.h"
#include "device/DeviceInterface.h"
#include "device/MotionRules.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/SliderSettings.h"

namespace {

// The undo has a lock wait of its own: a zero whose command_zero found no lock in time still
// puts the old borders back.
constexpr int undoLockMs = 1000;

void writeBordersBack(MotorSettings& motor)
{
    const std::atomic<bool>* const bar = DeviceInterface::threadCallBar();
    DeviceInterface::setThreadCallBar(nullptr);
    {
        DeviceInterface::LockWait undo{QDeadlineTimer(undoLockMs)};
        motor.writeRecordToDevice(MotorSettings::EdgesRecord);
    }
    DeviceInterface::setThreadCallBar(bar);
}

// Puts the old borders back on the controller. A stop that barred the zero must not keep the
// undo out too: the controller would keep borders shifted for a position never reset. It goes
// once that stop has gone, never before it.
void undoBorders(MotorSettings* motor)
{
    if (!DeviceInterface::callsRefusedHere()) {
        writeBordersBack(*motor);
        return;
    }
    auto old = std::make_shared<MotorSettings>(*motor);
    AxisCourier::afterStops([old] { writeBordersBack(*old); });
}

} // namespace

ZeroCommand::ZeroCommand(DeviceInterface* gateway, const std::atomic<device_t>* handle, MotorSettings* motor,
                         SliderSettings* slider)
    : gateway(gateway), handle(handle), motor(motor), slider(slider)
{
}

ZeroCommand::Outcome ZeroCommand::run(const QString& side, int sliderMin, int sliderMax,
                                      const std::function<void()>& beforeChange)
{
    status_t status;
    std::memset(&status, 0, sizeof status);
    if (gateway->get_status(handle->load(), &status) != result_ok)
        return Outcome::StatusUnread;
    if (!MotionRules::axisStopped(status))
        return Outcome::Moving;
    if (beforeChange)
        beforeChange();

    const int32_t position = status.CurPosition;
    if (!slider->loadFromDevice) {
        const SliderSettings old = *slider;
        const MotionRules::Borders shifted = MotionRules::zeroedBorders(
            {slider->leftPoint, slider->rightPoint}, position, sliderMin, sliderMax, side);
        slider->leftPoint = shifted.left;
        slider->rightPoint = shifted.right;
        if (gateway->command_zero(handle->load()) != result_ok) {
            *slider = old;
            return Outcome::ZeroFailed;
        }
        return Outcome::Zeroed;
    }

    const edges_settings_t old = motor->edges;
    const MotionRules::Borders shifted = MotionRules::zeroedBorders({old.LeftBorder, old.RightBorder}, position,
                                                                    sliderMin, sliderMax, side);
    motor->edges.LeftBorder = shifted.left;
    motor->edges.RightBorder = shifted.right;
    const result_t written = motor->writeRecordToDevice(MotorSettings::EdgesRecord);
    if (written != result_ok) {
        motor->edges = old;
        // A corrected value (-3) did reach the controller: put the old borders back there too.
        if (written == result_value_error)
            undoBorders(motor);
        return Outcome::BordersUnsent;
    }
    if (gateway->command_zero(handle->load()) != result_ok) {
        motor->edges = old;
        undoBorders(motor);
        return Outcome::ZeroFailed;
    }
    return Outcome::Zeroed;
}

result_t ZeroCommand::run(Job& job, DeviceInterface& gateway)
{
    job.ran = true;
    ZeroCommand zero(&gateway, job.handle, &job.motor, &job.slider);
    job.outcome = zero.run(job.side, job.sliderMin, job.sliderMax, [&job] {
        job.changed = true;
        if (job.beforeChange)
            job.beforeChange();
    });
    job.courierTells = job.outcome == Outcome::StatusUnread && DeviceInterface::callsRefusedHere();
    return job.outcome == Outcome::Zeroed || job.outcome == Outcome::Moving ? result_ok : result_error;
}

QString ZeroCommand::message(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Zeroed:
        break;
    case Outcome::StatusUnread:
        return QCoreApplication::translate("MainWindow", "Zero refused: the controller's state could not be read.");
    case Outcome::Moving:
        return QCoreApplication::translate("MainWindow", "Zero refused: the axis is moving. Stop it first.");
    case Outcome::BordersUnsent:
        return QCoreApplication::translate("MainWindow",
                                           "Zero failed: the shifted borders could not be written; position kept.");
    case Outcome::ZeroFailed:
        return QCoreApplication::translate("MainWindow", "Zero failed: the position was not reset; borders kept.");
    }
    return QString();
}

int ZeroCommand::messageLevel(Outcome outcome)
{
    return outcome == Outcome::Moving ? 2 : 1;
}
