#include "mainwindow/MotionCommands.h"

#include "mainwindow/MainWindowForm.h"

#include <QMessageBox>
#include <QTimer>

#include <cstring>

#include "common/MessagePrompter.h"
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
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsDlg.h"

namespace {

const QString programSource = QStringLiteral("Tolmo");

} // namespace

MotionCommands::MotionCommands(MainWindow& windowIn, StatusView& viewIn, DeviceInterface* gatewayIn,
                               bool& closingIn)
    : window(windowIn), view(viewIn), gateway(gatewayIn), closing(closingIn),
      cyclic(std::make_unique<CyclicMotion>(gateway, &window.deviceHandle))
{
}

MotionCommands::~MotionCommands() = default;

void MotionCommands::cyclicStep()
{
    if (const SettingsDlg* settingsDlg = window.settingsDialog())
        cyclic->step(lastStatus, *settingsDlg->cyclicSettings);
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

void MotionCommands::sendButtonCommand(const std::function<result_t(device_t)>& command)
{
    if (closing)
        return;
    switchCyclicOff();
    command(window.deviceHandle);
}

void MotionCommands::OnLeftBtnPressed()
{
    sendButtonCommand([this](device_t id) { return gateway->command_left(id); });
}

void MotionCommands::OnRightBtnPressed()
{
    sendButtonCommand([this](device_t id) { return gateway->command_right(id); });
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
    sendButtonCommand([=](device_t id) { return gateway->command_move(id, step, ustep); });
}

void MotionCommands::OnShiftBtnPressed()
{
    StepSpinBox& shiftOnBox = *window.shiftOnSpinBox();
    if (!takeTarget(shiftOnBox, tr("Shift on")))
        return;
    const int step = shiftOnBox.getStep();
    const int ustep = shiftOnBox.getUStep();
    sendButtonCommand([=](device_t id) { return gateway->command_movr(id, step, ustep); });
}

void MotionCommands::OnLeftBdrBtnPressed()
{
    const int point = view.sliderLeftPoint;
    sendButtonCommand([=](device_t id) { return gateway->command_move(id, point, 0); });
}

void MotionCommands::OnRightBdrBtnPressed()
{
    const int point = view.sliderRightPoint;
    sendButtonCommand([=](device_t id) { return gateway->command_move(id, point, 0); });
}

void MotionCommands::OnGoHomeBtnPressed()
{
    sendButtonCommand([this](device_t id) { return gateway->command_home(id); });
}

void MotionCommands::sendStop(AxisCourier::Kind kind, const QString& what, const AxisCourier::Command& command)
{
    // The script first, so that no command of it follows the stop.
    window.stopScript();
    if (closing)
        return;
    switchCyclicOff();
    window.stopSender()->send(kind, what, command);
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
    if (!closing)
        gateway->command_stop(window.deviceHandle);
}

void MotionCommands::OnZeroBtnPressed(const QString& side)
{
    SettingsDlg* settingsDlg = window.settingsDialog();
    if (!settingsDlg || closing)
        return;
    Ui::MainWindowClass* ui = window.form();
    ui->positionSldr->setUpdatesEnabled(false);
    ZeroCommand zero(gateway, &window.deviceHandle, settingsDlg->motorSettings, settingsDlg->sliderSettings);
    const ZeroCommand::Outcome outcome = zero.run(side, view.sliderMin, view.sliderMax, [this] { switchCyclicOff(); });
    if (outcome != ZeroCommand::Outcome::Zeroed)
        window.Log(ZeroCommand::message(outcome), programSource, ZeroCommand::messageLevel(outcome));
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
    switch (exitSequence.powerOffResult(gateway->command_power_off(window.deviceHandle))) {
    case ExitSequence::PowerOff::Done:
        exitRequested = false;
        closing = true;
        stoppingBox->hide();
        window.close();
        return false;
    case ExitSequence::PowerOff::Retry:
        window.Log(tr("Error sending power off command on exit."), programSource, 2);
        return false;
    case ExitSequence::PowerOff::GaveUp:
        window.Log(tr("Error sending power off command on exit."), programSource, 2);
        exitRequested = false;
        exitFailed = true;
        stoppingBox->hide();
        // Not from inside the refresh: the message box runs an event loop of its own.
        QTimer::singleShot(0, &window, [this] { showPowerOffFailure(); });
        return false;
    }
    return false;
}

void MotionCommands::showPowerOffFailure()
{
    MessagePrompter::current()->prompt(
        &window, QMessageBox::Warning, tr("Exit"),
        tr("The motor could not be powered off (%1 tries). The axis is soft-stopped; the window stays open.")
            .arg(ExitSequence::maxPowerOffTries),
        QMessageBox::Ok, QMessageBox::Ok);
}

void MotionCommands::OnExitBtnPressed()
{
    if (closing || exitSequence.active())
        return;
    exitFailed = false;
    switchCyclicOff();
    window.stopScript();
    window.homingWaitBox()->hide();
    InfoBox* stoppingBox = window.stoppingWaitBox();
    if (!window.isInitialized() || !stoppingBox || !deviceConnected || deviceMode != 2) {
        window.close();
        return;
    }
    if (gateway->command_sstp(window.deviceHandle) != result_ok) {
        // The stopped script's call may still hold the controller: the exit waits for it, not for a repair.
        window.Log(window.scriptStillRunning()
                       ? tr("The soft stop was not sent: a running script holds the controller. Exit can go on "
                            "once the script's call returns or the script is stopped.")
                       : tr("Error sending soft stop command on exit."),
                   programSource, 2);
        exitFailed = true;
        return;
    }
    // Taken after the soft stop returned: a sample read before it cannot decide the exit.
    exitSequence.begin(window.pollingThread()->statusReadsBegun());
    exitRequested = true;
    // Modal, but without a loop of its own: the samples that decide the exit arrive through the
    // window's one event loop, never inside this slot.
    stoppingBox->setWindowModality(Qt::ApplicationModal);
    stoppingBox->show();
}
