#include "mainwindow/MotionCommands.h"

#include "mainwindow/MainWindowForm.h"

#include <QMessageBox>
#include <QTimer>

#include <cstring>

#include "common/MessagePrompter.h"
#include "widgets/ExitOnClose.h"
#include "device/DeviceInterface.h"
#include "device/LatestSample.h"
#include "device/UpdateThread.h"
#include "mainwindow/CyclicMotion.h"
#include "mainwindow/MainWindow.h"
#include "device/MotionRules.h"
#include "mainwindow/StatusView.h"
#include "mainwindow/ZeroCommand.h"
#include "pages/ControllerPageWgt.h"
#include "settings_model/CyclicSettings.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsDlg.h"

namespace {

const QString programSource = QStringLiteral("Tolmo");

} // namespace

MotionCommands::MotionCommands(MainWindow& windowIn, StatusView& viewIn, bool& closingIn)
    : window(windowIn), view(viewIn), closing(closingIn),
      cyclic(std::make_unique<CyclicMotion>(window.courier(), &window, [this] {
          const UpdateThread* polling = window.pollingThread();
          return polling ? polling->statusReadsBegun() : 0;
      }))
{
}

MotionCommands::~MotionCommands() = default;

void MotionCommands::cyclicStep(quint64 readNumber)
{
    if (const SettingsDlg* settingsDlg = window.settingsDialog())
        cyclic->step(lastStatus, *settingsDlg->cyclicSettings, readNumber);
}

void MotionCommands::switchCyclicOff()
{
    cyclic->switchOff();
    cyclicOn = false;
    view.showCyclic(false);
}

void MotionCommands::stopMotionOnLoss(const QString& why)
{
    if (cyclicOn) {
        switchCyclicOff();
        window.Log(tr("Cyclic motion stopped: %1.").arg(why), programSource, 2);
    }
    if (window.homingWaitBox()->isVisible())
        window.homingWaitBox()->hide();
}

void MotionCommands::SetCyclicEnable(bool enable)
{
    Ui::MainWindowClass* ui = window.form();
    ui->cyclicBtn->setEnabled(enable);
    if (enable) {
        ui->cyclicBtn->setToolTip(QString());
    } else {
        ui->cyclicBtn->setToolTip(tr("Set Motor->Fine tuneup on to allow Cyclic mode"));
        switchCyclicOff();
    }
}

void MotionCommands::OnCyclicBtnPressed()
{
    const SettingsDlg* settingsDlg = window.settingsDialog();
    if (!settingsDlg || closing)
        return;
    if (!cyclic->start(*settingsDlg->cyclicSettings))
        return;
    cyclicOn = true;
    view.showCyclic(true);
}

void MotionCommands::sendButtonCommand(const QString& what, AxisCourier::Command command)
{
    if (closing)
        return;
    switchCyclicOff();
    window.courier()->send(AxisCourier::Kind::Motion, what, std::move(command));
}

void MotionCommands::OnLeftBtnPressed()
{
    sendButtonCommand(tr("Left"), [](DeviceInterface& device, device_t id) { return device.command_left(id); });
}

void MotionCommands::OnRightBtnPressed()
{
    sendButtonCommand(tr("Right"), [](DeviceInterface& device, device_t id) { return device.command_right(id); });
}

bool MotionCommands::takeTarget(StepSpinBox& box, const QString& command)
{
    if (box.commitText())
        return true;
    window.Log(tr("%1: %2; nothing was sent.").arg(command, box.whyNoTarget()), programSource, 2);
    box.setFocus();
    return false;
}

void MotionCommands::OnMoveBtnPressed()
{
    StepSpinBox& moveToBox = *window.moveToSpinBox();
    if (!takeTarget(moveToBox, tr("Move to")))
        return;
    const int step = moveToBox.getStep();
    const int ustep = moveToBox.getUStep();
    sendButtonCommand(tr("Move to"),
                      [=](DeviceInterface& device, device_t id) { return device.command_move(id, step, ustep); });
}

void MotionCommands::OnShiftBtnPressed()
{
    StepSpinBox& shiftOnBox = *window.shiftOnSpinBox();
    if (!takeTarget(shiftOnBox, tr("Shift on")))
        return;
    const int step = shiftOnBox.getStep();
    const int ustep = shiftOnBox.getUStep();
    sendButtonCommand(tr("Shift on"),
                      [=](DeviceInterface& device, device_t id) { return device.command_movr(id, step, ustep); });
}

void MotionCommands::OnLeftBdrBtnPressed()
{
    const int point = view.sliderLeftPoint;
    sendButtonCommand(tr("Left border"),
                      [=](DeviceInterface& device, device_t id) { return device.command_move(id, point, 0); });
}

void MotionCommands::OnRightBdrBtnPressed()
{
    const int point = view.sliderRightPoint;
    sendButtonCommand(tr("Right border"),
                      [=](DeviceInterface& device, device_t id) { return device.command_move(id, point, 0); });
}

void MotionCommands::OnGoHomeBtnPressed()
{
    sendButtonCommand(tr("Go home"), [](DeviceInterface& device, device_t id) { return device.command_home(id); });
}

void MotionCommands::sendStop(AxisCourier::Kind kind, const QString& what, const AxisCourier::Command& command)
{
    // The script first, so that no command of it follows the stop.
    window.stopScript();
    if (closing || !window.hasSomethingToStop())
        return;
    switchCyclicOff();
    window.courier()->send(kind, what, command);
}

void MotionCommands::OnStopBtnPressed()
{
    sendStop(AxisCourier::Kind::Stop, tr("Stop"), [](DeviceInterface& device, device_t id) { return device.command_stop(id); });
}

void MotionCommands::OnSstpBtnPressed()
{
    sendStop(AxisCourier::Kind::SoftStop, tr("Soft stop"), [](DeviceInterface& device, device_t id) {
        return MotionRules::softStopNow(device, id, MotionRules::SoftStopAction::SoftStop);
    });
}

void MotionCommands::stopHoming()
{
    // Cancel of the homing box: a Stop, so that it is never lost or weakened.
    if (!closing)
        window.courier()->send(AxisCourier::Kind::Stop, tr("Stop"),
                                  [](DeviceInterface& device, device_t id) { return device.command_stop(id); });
}

void MotionCommands::OnZeroBtnPressed(const QString& side)
{
    SettingsDlg* settingsDlg = window.settingsDialog();
    // A second press while one is under way would shift the borders from the old ones again.
    if (!settingsDlg || closing || zeroWaits)
        return;
    auto job = std::make_shared<ZeroCommand::Job>(*settingsDlg->motorSettings, *settingsDlg->sliderSettings,
                                                  &window.deviceHandle);
    job->side = side;
    job->sliderMin = view.sliderMin;
    job->sliderMax = view.sliderMax;
    // The cyclic run on now sends no leg after the zero has started.
    const quint64 cyclicRun = cyclic->currentRun();
    job->beforeChange = cyclic->halter();
    zeroWaits = true;
    window.courier()->send(
        AxisCourier::Kind::Command, tr("Zero"),
        [job](DeviceInterface& device, device_t) { return ZeroCommand::run(*job, device); }, &window,
        [this, job, cyclicRun](result_t) { zeroAnswered(*job, cyclicRun); });
}

void MotionCommands::zeroAnswered(const ZeroCommand::Job& job, quint64 cyclicRun)
{
    zeroWaits = false;
    SettingsDlg* settingsDlg = window.settingsDialog();
    // Not sent: the courier has said why.
    if (!job.ran || closing || !settingsDlg)
        return;
    if (job.changed && cyclicRun != 0 && cyclic->currentRun() == cyclicRun)
        switchCyclicOff();
    Ui::MainWindowClass* ui = window.form();
    ui->positionSldr->setUpdatesEnabled(false);
    MotorSettings* motor = settingsDlg->motorSettings;
    if (job.outcome == ZeroCommand::Outcome::Zeroed) {
        if (job.slider.loadFromDevice) {
            motor->takeRecord(job.motor, MotorSettings::EdgesRecord);
        } else {
            settingsDlg->sliderSettings->leftPoint = job.slider.leftPoint;
            settingsDlg->sliderSettings->rightPoint = job.slider.rightPoint;
        }
    } else if (!job.courierTells) {
        window.Log(ZeroCommand::message(job.outcome), programSource, ZeroCommand::messageLevel(job.outcome));
    }
    if (job.motor.reRead[MotorSettings::EdgesRecord])
        motor->reRead[MotorSettings::EdgesRecord] = true;
    // The pages show what the records now hold: an open dialog must not write old borders back,
    // and the slider page is what the configuration file is saved from.
    if (auto* borders = qobject_cast<ControllerPageWgt*>(settingsDlg->page(SettingsPage::Borders)))
        borders->FromClassToUi();
    if (auto* sliderPage = qobject_cast<ProgramPageWgt*>(settingsDlg->page(SettingsPage::ProgramConfiguration)))
        sliderPage->FromClassToUi();
    window.UpdateState();
    ui->positionSldr->setUpdatesEnabled(true);
}

bool MotionCommands::completeExit(quint64 readNumber)
{
    InfoBox* stoppingBox = window.stoppingWaitBox();
    const bool boxShown = stoppingBox && stoppingBox->isVisible();
    switch (exitSequence.onSample(deviceConnected, deviceMode, readNumber, lastStatus.MvCmdSts, boxShown)) {
    case ExitSequence::Action::Wait:
        return true;
    case ExitSequence::Action::Cancelled:
        exitRequested = false;
        return true;
    case ExitSequence::Action::Aborted:
        window.Log(tr("Exit aborted because of external command interrupt (joystick, sync in, etc.)."),
                   programSource, 2);
        exitRequested = false;
        stoppingBox->hide();
        return true;
    case ExitSequence::Action::PowerOff:
        break;
    }
    if (!powerOffWaits) {
        powerOffWaits = true;
        window.courier()->send(
            AxisCourier::Kind::Command, tr("Power off"),
            [](DeviceInterface& device, device_t id) { return device.command_power_off(id); }, &window,
            [this](result_t result) { powerOffAnswered(result); });
    }
    return false;
}

void MotionCommands::powerOffAnswered(result_t result)
{
    powerOffWaits = false;
    // Cancelled or aborted meanwhile: the answer decides nothing.
    if (!exitRequested || closing)
        return;
    InfoBox* stoppingBox = window.stoppingWaitBox();
    switch (exitSequence.powerOffResult(result)) {
    case ExitSequence::PowerOff::Done:
        exitRequested = false;
        closing = true;
        stoppingBox->hide();
        window.close();
        return;
    case ExitSequence::PowerOff::Retry:
        window.Log(tr("Error sending power off command on exit."), programSource, 2);
        return;
    case ExitSequence::PowerOff::GaveUp:
        window.Log(tr("Error sending power off command on exit."), programSource, 2);
        exitRequested = false;
        stoppingBox->hide();
        if (exitForClose) {
            exitDidFail();
        } else {
            exitFailed = true;
            // Not from inside a reply: the message box runs an event loop of its own.
            QTimer::singleShot(0, &window, [this] { showPowerOffFailure(); });
        }
        return;
    }
}

void MotionCommands::showPowerOffFailure()
{
    MessagePrompter::current()->prompt(
        &window, QMessageBox::Warning, tr("Exit"),
        tr("%1 could not be powered off (%2 tries). It is soft-stopped but may still be moving: STOP stops it. "
           "The window stays open.")
            .arg(window.axisName())
            .arg(ExitSequence::maxPowerOffTries),
        QMessageBox::Ok, QMessageBox::Ok);
}

void MotionCommands::OnExitBtnPressed(bool forClose)
{
    if (closing || exitSequence.active() || exitSoftStopWaits)
        return;
    exitFailed = false;
    exitForClose = forClose;
    switchCyclicOff();
    window.stopScript();
    window.homingWaitBox()->hide();
    InfoBox* stoppingBox = window.stoppingWaitBox();
    // In its bootloader the controller has nothing to stop.
    if (!window.isInitialized() || !stoppingBox || !window.hasSomethingToStop()) {
        window.close();
        return;
    }
    const bool away = !deviceConnected || window.deviceHandle.load() == -1;
    // The stopped script's call may still hold the controller: the soft stop goes once it returns.
    if (!away && window.scriptHoldsController())
        window.Log(tr("The soft stop waits: a running script holds the controller. Exit goes on once the script's "
                      "call returns."),
                   programSource, 2);
    exitSoftStopWaits = true;
    stopAsked = false;
    const quint64 thisTry = ++exitTries;
    window.courier()->send(
        AxisCourier::Kind::SoftStop, tr("Soft stop"),
        [](DeviceInterface& device, device_t id) { return device.command_sstp(id); }, &window,
        [this, thisTry](result_t result) { exitSoftStopAnswered(thisTry, result); });
    if (away) {
        // It may come back moving: its soft stop waits for it, and the operator is asked at once.
        window.Log(awayText(), programSource, 2);
        QTimer::singleShot(0, &window, [this, thisTry] { askWhileStopWaits(thisTry, awayText()); });
        return;
    }
    // A call that never returns must not keep the exit waiting unseen.
    QTimer::singleShot(exitAnswerMs, &window, [this, thisTry] {
        if (!exitSoftStopWaits || thisTry != exitTries || closing)
            return;
        const QString line =
            tr("Exit: the soft stop has not reached %1 for %2 s.").arg(window.axisName()).arg(exitAnswerMs / 1000);
        window.Log(line, programSource, 2);
        askWhileStopWaits(thisTry, line);
    });
}

QString MotionCommands::awayText() const
{
    return tr("Exit: %1 is lost; its soft stop goes out when it is back.").arg(window.axisName());
}

void MotionCommands::askWhileStopWaits(quint64 thisTry, const QString& why)
{
    if (!exitSoftStopWaits || thisTry != exitTries || closing || stopAsked)
        return;
    stopAsked = true;
    stopQuestionUp = true;
    const ExitOnClose::Choice choice = ExitOnClose::askWhileStopWaits(&window, window.axisName(), why);
    stopQuestionUp = false;
    if (closing)
        return;
    switch (choice) {
    case ExitOnClose::Choice::WentOn:
    case ExitOnClose::Choice::Retry:
        // Waits on: the soft stop's answer takes the exit on.
        return;
    case ExitOnClose::Choice::Close:
        window.Log(ExitOnClose::closedAnywayText(window.axisName()), programSource, 1);
        window.close();
        return;
    case ExitOnClose::Choice::Cancel:
        // The soft stop still goes once it can; its answer decides nothing now.
        if (thisTry == exitTries && exitSoftStopWaits) {
            exitSoftStopWaits = false;
            ++exitTries;
        }
        exitFailed = true;
        exitForClose = false;
        return;
    }
}

void MotionCommands::exitSoftStopAnswered(quint64 thisTry, result_t result)
{
    // An answer after the exit gave up on it decides nothing.
    if (!exitSoftStopWaits || thisTry != exitTries || closing)
        return;
    exitSoftStopWaits = false;
    // What the question waited for has come: the exit goes on by itself.
    if (stopQuestionUp)
        ExitOnClose::endQuestion();
    if (result != result_ok) {
        window.Log(tr("Error sending soft stop command on exit."), programSource, 2);
        exitDidFail();
        return;
    }
    InfoBox* stoppingBox = window.stoppingWaitBox();
    // Taken after the soft stop returned: a sample read before it cannot decide the exit.
    exitSequence.begin(window.pollingThread()->statusReadsBegun());
    exitRequested = true;
    // Modal, but without a loop of its own: the samples that decide the exit arrive through the
    // window's one event loop, never inside this slot.
    stoppingBox->setWindowModality(Qt::ApplicationModal);
    stoppingBox->show();
}

void MotionCommands::exitDidFail()
{
    exitFailed = true;
    if (exitForClose)
        QTimer::singleShot(0, &window, [this] { askAfterFailedExit(); });
}

void MotionCommands::askAfterFailedExit()
{
    if (closing)
        return;
    switch (ExitOnClose::askAfterFailedExit(&window, window.axisName())) {
    case ExitOnClose::Choice::Retry:
        OnExitBtnPressed(true);
        return;
    case ExitOnClose::Choice::Close:
        window.Log(ExitOnClose::closedAnywayText(window.axisName()), programSource, 1);
        window.close();
        return;
    case ExitOnClose::Choice::Cancel:
    case ExitOnClose::Choice::WentOn:
        exitForClose = false;
        return;
    }
}
