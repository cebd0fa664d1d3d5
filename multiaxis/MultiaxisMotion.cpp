#include "multiaxis/MultiaxisMotion.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>
#include <cmath>

#include "device/DeviceInterface.h"
#include "device/MotionRules.h"
#include "widgets/StepSpinBox.h"

MultiaxisMotion::MultiaxisMotion(Multiaxis& window) : jogTracker(window.axisCount()), window(window) {}

void MultiaxisMotion::commanded(int axis)
{
    window.axes->shiftCarry[axis].store(0.0);
}

result_t MultiaxisMotion::command(int axis, result_t (DeviceInterface::*call)(device_t))
{
    commanded(axis);
    return (window.devices[axis]->*call)(window.deviceHandle[axis].load());
}

void MultiaxisMotion::commandAll(result_t (DeviceInterface::*call)(device_t))
{
    for (int a = 0; a < window.axisCount(); ++a) {
        if (reachable(a))
            command(a, call);
    }
}

bool MultiaxisMotion::reachable(int a)
{
    const AxisUse use = MultiaxisAxes::commandUse(window.samples[a].use(), window.deviceHandle[a].load());
    if (use == AxisUse::Working)
        return true;
    if (!skipLogged[a]) {
        skipLogged[a] = true;
        const int slot = int(std::find(window.axisOrder, window.axisOrder + window.axisCount(), a) - window.axisOrder);
        const QString letter = QLatin1String(Multiaxis::slotLetters[std::min(slot, Multiaxis::maxAxes - 1)]);
        window.logLine(MultiaxisAxes::skipText(Multiaxis::tr("Motor %1").arg(letter), use));
    }
    return false;
}

bool MultiaxisMotion::stoppable(int a)
{
    // Whatever the last sample says: a controller polling has just opened again may have run on
    // while it was away. One in its bootloader has nothing to stop.
    if (window.deviceHandle[a].load() != -1 && window.samples[a].use() != AxisUse::Bootloader)
        return true;
    return reachable(a);
}

void MultiaxisMotion::stopAll(AxisCourier::Kind kind, const QString& what, const AxisCourier::Command& command)
{
    jogTracker.releaseAll();
    for (int a = 0; a < window.axisCount(); ++a) {
        if (!stoppable(a))
            continue;
        commanded(a);
        window.stopCouriers[a]->send(kind, what, command);
    }
}

void MultiaxisMotion::stop()
{
    stopAll(AxisCourier::Kind::Stop, Multiaxis::tr("Stop"), [](DeviceInterface& gateway, device_t id) { return gateway.command_stop(id); });
}

void MultiaxisMotion::softStop()
{
    stopAll(AxisCourier::Kind::SoftStop, Multiaxis::tr("Soft stop"), [](DeviceInterface& gateway, device_t id) {
        return MotionRules::softStopNow(gateway, id, MotionRules::SoftStopAction::Stop);
    });
}

bool MultiaxisMotion::slotTarget(int slot, double value, bool plotClick, UserUnits::StepPair* target,
                                 long double carried, long double* wanted) const
{
    if (slot < 0 || slot >= window.axisCount())
        return false;
    const long double steps = window.units.displayToSteps(value) + carried;
    if (!std::isfinite(steps))
        return false;
    if (wanted)
        *wanted = steps;
    const int d = window.targetDivisor(window.axisOrder[slot]);
    *target = plotClick ? UserUnits::clickStepPair(steps, d) : UserUnits::nearestStepPair(steps, d);
    return true;
}

void MultiaxisMotion::moveAll(bool shift)
{
    const int n = window.axisCount();
    // Every box is read before the first command goes out; one that holds no target stops all.
    for (int s = 0; s < n; ++s) {
        StepSpinBox* box = shift ? window.spinBox_shiftOn[s] : window.spinBox_moveTo[s];
        if (!box->commitText()) {
            window.logLine(Multiaxis::tr("Motor %2, %1: %3; nothing was sent.")
                               .arg(shift ? Multiaxis::tr("Shift on") : Multiaxis::tr("Move to"),
                                    QLatin1String(Multiaxis::slotLetters[s]), box->whyNoTarget()));
            box->setFocus();
            return;
        }
    }
    UserUnits::StepPair targets[Multiaxis::maxAxes];
    bool valid[Multiaxis::maxAxes] = {false, false, false};
    // A shift in units goes to the nearest microstep; what that leaves out goes with the next.
    const bool carries = shift && window.units.recalcEnabled;
    long double wanted[Multiaxis::maxAxes] = {0, 0, 0};
    for (int s = 0; s < n; ++s) {
        const StepSpinBox* box = shift ? window.spinBox_shiftOn[s] : window.spinBox_moveTo[s];
        if (window.units.recalcEnabled) {
            const long double carried = carries ? window.axes->shiftCarry[window.axisOrder[s]].load() : 0.0;
            valid[s] = slotTarget(s, box->value(), false, &targets[s], carried, &wanted[s]);
        } else {
            targets[s] = {box->getStep(), box->getUStep()};
            valid[s] = true;
        }
    }
    for (int s = 0; s < n; ++s) {
        const int a = window.axisOrder[s];
        if (!valid[s] || !reachable(a))
            continue;
        if (!shift) {
            commanded(a);
            window.devices[a]->command_move(window.deviceHandle[a].load(), targets[s].step, targets[s].uStep);
        } else if (window.devices[a]->command_movr(window.deviceHandle[a].load(), targets[s].step, targets[s].uStep)
                       == 0
                   && carries) {
            window.axes->shiftCarry[a].store(
                double(wanted[s]) - UserUnits::fullSteps(targets[s].step, targets[s].uStep, window.targetDivisor(a)));
        }
    }
}

void MultiaxisMotion::pickXY(const QPointF& point)
{
    const double coordinates[2] = {point.x(), point.y()};
    for (int s = 0; s < 2 && s < window.axisCount(); ++s) {
        UserUnits::StepPair target;
        const int a = window.axisOrder[s];
        if (!slotTarget(s, coordinates[s], true, &target) || !reachable(a))
            continue;
        commanded(a);
        window.devices[a]->command_move(window.deviceHandle[a].load(), target.step, target.uStep);
    }
}

void MultiaxisMotion::pickZ(const QPointF& point)
{
    UserUnits::StepPair target;
    if (window.axisCount() < 3 || !slotTarget(2, point.y(), true, &target) || !reachable(window.axisOrder[2]))
        return;
    const int a = window.axisOrder[2];
    commanded(a);
    window.devices[a]->command_move(window.deviceHandle[a].load(), target.step, target.uStep);
}

// ---- jogging

void MultiaxisMotion::sendJog(const JogTracker::Action& action)
{
    if (action.slot < 0 || action.slot >= window.axisCount())
        return;
    const int a = window.axisOrder[action.slot];
    if (action.command == JogTracker::Command::None || !reachable(a))
        return;
    switch (action.command) {
    case JogTracker::Command::Left: command(a, &DeviceInterface::command_left); break;
    case JogTracker::Command::Right: command(a, &DeviceInterface::command_right); break;
    case JogTracker::Command::SoftStop: command(a, &DeviceInterface::command_sstp); break;
    case JogTracker::Command::None: break;
    }
}

void MultiaxisMotion::releaseJogs()
{
    for (int slot : jogTracker.releaseAll())
        sendJog({slot, JogTracker::Command::SoftStop});
}

bool MultiaxisMotion::handleJogKey(QObject* object, QKeyEvent* event)
{
    const auto* widget = qobject_cast<QWidget*>(object);
    int slot = -1;
    JogTracker::Command direction = JogTracker::Command::None;
    if (!widget || widget->window() != &window || !jogTracker.keyJog(event->key(), &slot, &direction))
        return false;
    // Arrows typed into a box edit it and move nothing.
    const QWidget* focus = QApplication::focusWidget();
    const bool editing = focus
                         && (qobject_cast<const QAbstractSpinBox*>(focus)
                             || qobject_cast<const QAbstractSpinBox*>(focus->parentWidget()));
    if (event->type() == QEvent::KeyPress) {
        if (editing)
            return false;
        sendJog(jogTracker.keyPressed(event->key(), false));
        return true;
    }
    sendJog(jogTracker.keyReleased(event->key()));
    return !editing;
}

void MultiaxisMotion::handleJogButton(QObject* object, QEvent* event)
{
    for (int s = 0; s < window.axisCount(); ++s) {
        const bool decrease = object == window.pushButton_joyDec[s];
        if (!decrease && object != window.pushButton_joyInc[s])
            continue;
        auto* button = static_cast<QPushButton*>(object);
        if (event->type() == QEvent::MouseButtonRelease)
            sendJog(jogTracker.buttonReleased(button));
        else
            sendJog(jogTracker.buttonPressed(button, s, !decrease, button->isEnabled()));
        return;
    }
}

bool MultiaxisMotion::filterEvent(QObject* object, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Handled and consumed here whatever has the focus: a button would take the arrows.
        if (handleJogKey(object, static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        handleJogButton(object, event);
        break;
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
    case QEvent::Hide:
        // No release may ever come (a modal takes the mouse, the window is gone).
        if (object == &window)
            releaseJogs();
        break;
    case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive)
            releaseJogs();
        break;
    default:
        break;
    }
    return false;
}
