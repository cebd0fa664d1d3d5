#ifndef MOTIONCOMMANDS_H
#define MOTIONCOMMANDS_H

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <memory>

#include "device/AxisCourier.h"
#include "mainwindow/ExitSequence.h"
#include "mainwindow/ZeroCommand.h"
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
    MotionCommands(MainWindow& window, StatusView& view, bool& closing);
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
    // forClose: the title-bar close runs it; when it fails, the operator is asked at once.
    void OnExitBtnPressed(bool forClose = false);
    // Exit completion for a sample of status read readNumber; false when the rest of the refresh
    // is to be skipped.
    bool completeExit(quint64 readNumber);

    // One step of the cyclic motion for the latest sample, that of status read readNumber.
    void cyclicStep(quint64 readNumber);
    // Cyclic motion off (indicator too); everything that stops on a loss or a pause.
    void switchCyclicOff();
    void stopMotionOnLoss(const QString& why);

    // Cyclic motion is on (its state lives in `cyclic`).
    bool cyclicOn = false;
    // Exit waits for its soft stop.
    bool exitRequested = false;
    // The last Exit ended without stopping the axis.
    bool exitFailed = false;
    // How long Exit waits for its soft stop to reach the controller before it asks.
    int exitAnswerMs = 5000;

private:
    // A motion command from a button: cyclic motion off first, so that its next step cannot
    // override it.
    void sendButtonCommand(const QString& what, AxisCourier::Command command);
    // Stop and Soft stop go through the window's courier: a held gateway does not hold the window.
    void sendStop(AxisCourier::Kind kind, const QString& what, const AxisCourier::Command& command);
    // The box's text as a whole target; false, logged, when it is none.
    bool takeTarget(StepSpinBox& box, const QString& command);
    void showPowerOffFailure();
    // The zero's outcome, on the window's thread; cyclicRun: the cyclic run on at the press.
    void zeroAnswered(const ZeroCommand::Job& job, quint64 cyclicRun);
    void exitSoftStopAnswered(quint64 exitTry, result_t result);
    // "Exit: SN 10001 is lost; its soft stop goes out when it is back."
    QString awayText() const;
    // Exit's soft stop has not gone (why says why): wait on, close anyway, or cancel the exit.
    void askWhileStopWaits(quint64 exitTry, const QString& why);
    void powerOffAnswered(result_t result);
    // The exit could not stop the axis: a close asks at once what to do.
    void exitDidFail();
    void askAfterFailedExit();

    MainWindow& window;
    StatusView& view;
    bool& closing;
    std::unique_ptr<CyclicMotion> cyclic;
    ExitSequence exitSequence;
    // Exit's soft stop is with the courier; the number of the try its answer belongs to.
    bool exitSoftStopWaits = false;
    quint64 exitTries = 0;
    bool exitForClose = false;
    // The question about the soft stop that waits has been asked this try; it is on show.
    bool stopAsked = false;
    bool stopQuestionUp = false;
    bool powerOffWaits = false;
    // A Zero is with the courier.
    bool zeroWaits = false;
};

#endif // MOTIONCOMMANDS_H
