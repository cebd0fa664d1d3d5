#ifndef MOTIONCOMMANDS_H
#define MOTIONCOMMANDS_H

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <memory>

#include "device/AxisCourier.h"
#include "mainwindow/ExitSequence.h"
#include "trov.h"

class CyclicMotion;
class DeviceInterface;
class MainWindow;
class StatusView;
class StepSpinBox;

// The single-axis window's motion buttons, its cyclic motion, Zero, and Exit with its soft stop. A
// button's command switches the cyclic motion off first, so that its next step cannot override it;
// Stop, Soft stop and Exit stop the script before theirs. Nothing is sent once the window closes.
class MotionCommands
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    // closing: the window's flag, set once it closes.
    MotionCommands(MainWindow& window, StatusView& view, DeviceInterface* gateway, bool& closing);
    ~MotionCommands();

    void OnLeftBdrBtnPressed();
    void OnLeftBtnPressed();
    void OnStopBtnPressed();
    void OnSstpBtnPressed();
    void OnRightBtnPressed();
    void OnRightBdrBtnPressed();
    void OnMoveBtnPressed();
    void OnShiftBtnPressed();
    void OnGoHomeBtnPressed();
    void stopHoming();
    void OnZeroBtnPressed(const QString& side);
    void OnCyclicBtnPressed();
    void SetCyclicEnable(bool enable);
    void OnExitBtnPressed();
    // Exit completion for a sample of status read readNumber; false when the rest of the refresh
    // is to be skipped.
    bool completeExit(quint64 readNumber);

    // One step of the cyclic motion for the latest sample.
    void cyclicStep();
    // Cyclic motion off (indicator too); everything that stops on a loss or a pause.
    void switchCyclicOff();
    void stopMotionOnLoss(const QString& why);

    // Cyclic motion is on (its state lives in `cyclic`).
    bool cyclicOn = false;
    // Exit waits for its soft stop.
    bool exitRequested = false;
    // The last Exit ended without stopping the axis; a close then asks before it goes.
    bool exitFailed = false;

private:
    // A command from a button: cyclic motion off first, so that its next step cannot override it.
    void sendButtonCommand(const std::function<result_t(device_t)>& command);
    // Stop and Soft stop go through the window's courier: a held gateway does not hold the window.
    void sendStop(AxisCourier::Kind kind, const QString& what, const AxisCourier::Command& command);
    // The box's text as a whole target; false, logged, when it is none.
    bool takeTarget(StepSpinBox& box, const QString& command);
    void showPowerOffFailure();

    MainWindow& window;
    StatusView& view;
    DeviceInterface* const gateway;
    bool& closing;
    std::unique_ptr<CyclicMotion> cyclic;
    ExitSequence exitSequence;
};

#endif // MOTIONCOMMANDS_H
