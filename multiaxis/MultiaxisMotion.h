#ifndef MULTIAXISMOTION_H
#define MULTIAXISMOTION_H

#include "device/AxisCourier.h"
#include "multiaxis/JogTracker.h"
#include "multiaxis/Multiaxis.h"
#include "multiaxis/UserUnits.h"
#include "trov.h"

class DeviceInterface;
class QEvent;
class QKeyEvent;
class QObject;
class QPointF;

// The motion commands of the multi-axis window: stop and soft stop of every axis, move to and
// shift on from the slots' boxes, a click on the position plot, and the jogs of the arrow keys
// and jog buttons. The window stops a running script before it calls in.
class MultiaxisMotion
{
public:
    explicit MultiaxisMotion(Multiaxis& window);

    // Hands a command to axis `axis`' courier (an axis index), whatever its state; reply, when
    // given, gets its result on the window's thread.
    void command(int axis, AxisCourier::Kind kind, const QString& what, AxisCourier::Command call,
                 AxisCourier::Reply reply = {});
    void command(int axis, AxisCourier::Kind kind, const QString& what, result_t (DeviceInterface::*call)(device_t),
                 AxisCourier::Reply reply = {});
    // The same command to every axis that can take it, in axis order.
    void commandAll(AxisCourier::Kind kind, const QString& what, result_t (DeviceInterface::*call)(device_t));
    // Whether commands may go to axis `axis`: not while it is lost or in its bootloader. The
    // first command skipped in such a spell is logged, with the reason.
    bool reachable(int axis);
    // A sample found the axis working: its next spell away is logged again.
    void axisWorking(int axis) { skipLogged[axis] = false; }
    // Stop and Soft stop go to every open axis (not one in its bootloader), each through its
    // courier: an axis whose gateway is held delays neither the window nor the others.
    void stop();
    // Pressed again and again: soft stop, then hard stop, then power off.
    void softStop();
    void moveAll(bool shift);
    void pickXY(const QPointF& point);
    void pickZ(const QPointF& point);
    // The target of a slot's box value or plot coordinate, in display units, for the axis shown in
    // the slot, with `carried` full steps added; false (nothing to send) when it is not finite.
    // `wanted`, when given, gets the full steps before the split.
    bool slotTarget(int slot, double value, bool plotClick, UserUnits::StepPair* target, long double carried = 0,
                    long double* wanted = nullptr) const;

    // The jog part of the window's application-wide event filter: true when the event is used up.
    bool filterEvent(QObject* object, QEvent* event);
    // Focus left the window: every held jog soft-stops now.
    void releaseJogs();

    JogTracker jogTracker;

private:
    // Any command but a shift in user units ends the axis' shift carry.
    void commanded(int axis);
    void moveTo(int axis, UserUnits::StepPair target);
    void stopAll(AxisCourier::Kind kind, const QString& what, const AxisCourier::Command& command);
    void sendJog(const JogTracker::Action& action);
    bool handleJogKey(QObject* object, QKeyEvent* event);
    void handleJogButton(QObject* object, QEvent* event);

    Multiaxis& window;
    bool skipLogged[Multiaxis::maxAxes] = {false, false, false};
    // Per axis: commands given, so that a shift's late answer knows whether another came since.
    quint64 shifts[Multiaxis::maxAxes] = {0, 0, 0};
};

#endif // MULTIAXISMOTION_H
