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
    // A shift's answer still on its way carries nothing over this command.
    ++shifts[axis];
}

void MultiaxisMotion::command(int axis, AxisCourier::Kind kind, const QString& what, AxisCourier::Command call,
                              AxisCourier::Reply reply)
{
    commanded(axis);
    window.couriers[axis]->send(kind, what, std::move(call), &window, std::move(reply));
}

void MultiaxisMotion::command(int axis, AxisCourier::Kind kind, const QString& what,
                              result_t (DeviceInterface::*call)(device_t), AxisCourier::Reply reply)
{
    command(
        axis, kind, what, [call](DeviceInterface& gateway, device_t id) { return (gateway.*call)(id); },
        std::move(reply));
}

void MultiaxisMotion::commandAll(AxisCourier::Kind kind, const QString& what, result_t (DeviceInterface::*call)(device_t))
{
    for (int a = 0; a < window.axisCount(); ++a) {
        if (reachable(a))
            command(a, kind, what, call);
    }
}

bool MultiaxisMotion::reachable(int a)
{
    const AxisUse use = MultiaxisAxes::commandUse(window.samples[a].use(), window.deviceHandle[a].load());
    if (use == AxisUse::Working)
        return true;
    if (!skipLogged[a]) {
        skipLogged[a] = true;
        window.logLine(MultiaxisAxes::skipText(window.axes->axisNamed(a), use));
    }
    return false;
}

void MultiaxisMotion::stopAll(AxisCourier::Kind kind, const QString& what, const AxisCourier::Command& command)
{
    jogTracker.releaseAll();
    // Handed to every courier at once: no axis waits for another's controller. One away gets
    // its stop once polling has opened it again.
    for (int a = 0; a < window.axisCount(); ++a) {
        if (!window.hasSomethingToStop(a))
            continue;
        commanded(a);
        window.couriers[a]->send(kind, what, command);
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
            window.logLine(Multiaxis::tr("%2, %1: %3; nothing was sent.")
                               .arg(shift ? Multiaxis::tr("Shift on") : Multiaxis::tr("Move to"),
                                    window.axes->axisNamed(window.axisOrder[s]), box->whyNoTarget()));
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
        if (!carries)
            commanded(a);
        const UserUnits::StepPair target = targets[s];
        if (!shift) {
            command(a, AxisCourier::Kind::Motion, Multiaxis::tr("Move to"), [target](DeviceInterface& gateway, device_t id) {
                return gateway.command_move(id, target.step, target.uStep);
            });
            continue;
        }
        const auto movr = [target](DeviceInterface& gateway, device_t id) {
            return gateway.command_movr(id, target.step, target.uStep);
        };
        AxisCourier::Reply carry;
        if (carries) {
            // What the move falls short of goes with the next shift, typed before this one's
            // answer came; a shift that failed carries what came before it, unless another
            // command came since.
            const double before = window.axes->shiftCarry[a].load();
            window.axes->shiftCarry[a].store(double(wanted[s])
                                             - UserUnits::fullSteps(target.step, target.uStep, window.targetDivisor(a)));
            const quint64 shiftNumber = ++shifts[a];
            carry = [this, a, before, shiftNumber](result_t result) {
                if (result != result_ok && shiftNumber == shifts[a])
                    window.axes->shiftCarry[a].store(before);
            };
        }
        window.couriers[a]->send(AxisCourier::Kind::Motion, Multiaxis::tr("Shift on"), movr, &window, carry);
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
        moveTo(a, target);
    }
}

void MultiaxisMotion::pickZ(const QPointF& point)
{
    UserUnits::StepPair target;
    if (window.axisCount() < 3 || !slotTarget(2, point.y(), true, &target) || !reachable(window.axisOrder[2]))
        return;
    moveTo(window.axisOrder[2], target);
}

void MultiaxisMotion::moveTo(int a, UserUnits::StepPair target)
{
    command(a, AxisCourier::Kind::Motion, Multiaxis::tr("Move to"), [target](DeviceInterface& gateway, device_t id) {
        return gateway.command_move(id, target.step, target.uStep);
    });
}

// ---- jogging

void MultiaxisMotion::sendJog(const JogTracker::Action& action)
{
    if (action.slot < 0 || action.slot >= window.axisCount())
        return;
    const int a = window.axisOrder[action.slot];
    // A release follows the rule of the stops: one for a lost controller waits for its return.
    const bool release = action.command == JogTracker::Command::SoftStop;
    if (action.command == JogTracker::Command::None || (release ? !window.hasSomethingToStop(a) : !reachable(a)))
        return;
    switch (action.command) {
    case JogTracker::Command::Left:
        command(a, AxisCourier::Kind::Motion, Multiaxis::tr("Jog left"), &DeviceInterface::command_left);
        break;
    case JogTracker::Command::Right:
        command(a, AxisCourier::Kind::Motion, Multiaxis::tr("Jog right"), &DeviceInterface::command_right);
        break;
    case JogTracker::Command::SoftStop:
        // A stop that goes after the jog's start: it waits as long as it takes, a loss included.
        commanded(a);
        window.couriers[a]->send(AxisCourier::Kind::Release, Multiaxis::tr("Jog release"),
                                 [](DeviceInterface& gateway, device_t id) { return gateway.command_sstp(id); });
        break;
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
        sendJog(jogTracker.keyPressed(event->key(), false, event->isAutoRepeat()));
        return true;
    }
    sendJog(jogTracker.keyReleased(event->key(), event->isAutoRepeat()));
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
