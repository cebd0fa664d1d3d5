#include "multiaxis/Multiaxis.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <utility>

#include "widgets/LabelUpdates.h"
#include "common/MessagePrompter.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/MotionRules.h"
#include "device/FirmwareUpdateThread.h"
#include "device/LeftRunning.h"
#include "device/AxisCourier.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "widgets/ElidingLabel.h"
#include "widgets/ExitOnClose.h"
#include "widgets/InfoBox.h"
#include "widgets/ProgramResources.h"
#include "widgets/StepSpinBox.h"
#include "multiaxis/AxisSlotStatus.h"
#include "multiaxis/StartReads.h"
#include "multiaxis/MultiaxisConfig.h"
#include "multiaxis/MultiaxisExitRun.h"
#include "multiaxis/MultiaxisMotion.h"
#include "multiaxis/PositionPlot.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThreadMulti.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "settings_model/UnitTexts.h"
#include "common/WindowPlacement.h"
#include "ui_multiaxis.h"

namespace {

// The stage pages, in the order their SetDisabled slots are connected.
const SettingsPage stagePages[] = {SettingsPage::PositionerName, SettingsPage::Stage,
                                   SettingsPage::StageDcMotor,   SettingsPage::StageStepperMotor,
                                   SettingsPage::StageEncoder,   SettingsPage::StageGear};

// A failed call through an axis' gateway, logged by the thread that made it: the log takes lines
// from any thread, and no queue of signals builds up behind a script that fails in a loop.
void logCallFailure(const QString& axis, const char* call, result_t result, int level)
{
    MessageLog::insertProgramLine(axis + QStringLiteral(": ") + DeviceInterface::failureText(call, result), level);
}

template <typename W>
W* findSlotWidget(const QWidget* window, const char* stem, int slot)
{
    return window->findChild<W*>(QStringLiteral("%1_%2").arg(QLatin1String(stem)).arg(slot + 1));
}

} // namespace

Multiaxis::Multiaxis(QWidget* parent, Qt::WindowFlags flags, QList<int> handles, QStringList names,
                     QList<DeviceInterface*> gateways)
    : QWidget(parent, flags)
    , axes(std::make_unique<MultiaxisAxes>())
    , deviceHandle(axes->handles)
    , ui(new Ui::multiaxisClass)
{
    loadProgramResources();
    // No more than three axes: the others are closed and nothing of the window sees them.
    const int given = std::min({int(gateways.size()), int(handles.size()), int(names.size())});
    n = std::min(given, int(maxAxes));
    for (int i = n; i < gateways.size(); ++i) {
        if (gateways[i] && i < handles.size() && handles[i] != -1)
            gateways[i]->close_device(handles[i]);
    }
    devices = gateways.mid(0, n);
    axes->gateways = devices;
    for (int i = 0; i < maxAxes; ++i)
        deviceName[i][0] = '\0';
    slotStatus = std::make_unique<AxisSlotStatus>(*this);
    exitRun = std::make_unique<MultiaxisExitRun>(*this);
    plot = std::make_unique<PositionPlot>(*this);
    config = std::make_unique<MultiaxisConfig>(*this);

    ui->setupUi(this);
    keepOnScreen(this);
    registerTrovMetaTypes();

    connect(ui->pushButton_settings_1, &QPushButton::clicked, this, &Multiaxis::OnSettings1BtnClicked);
    connect(ui->pushButton_settings_2, &QPushButton::clicked, this, &Multiaxis::OnSettings2BtnClicked);
    connect(ui->pushButton_settings_3, &QPushButton::clicked, this, &Multiaxis::OnSettings3BtnClicked);
    connect(ui->pushButton_STOP, &QPushButton::clicked, this, &Multiaxis::OnStopBtnPressed);
    connect(ui->pushButton_softStop, &QPushButton::clicked, this, &Multiaxis::OnSstpBtnPressed);
    connect(ui->pushButton_moveTo, &QPushButton::clicked, this, &Multiaxis::OnMoveBtnPressed);
    connect(ui->pushButton_shiftOn, &QPushButton::clicked, this, &Multiaxis::OnShiftBtnPressed);
    connect(ui->pushButton_home, &QPushButton::clicked, this, &Multiaxis::OnHomeBtnPressed);
    connect(ui->pushButton_zero, &QPushButton::clicked, this, &Multiaxis::OnZeroBtnPressed);
    connect(ui->pushButton_scripting, &QPushButton::clicked, this, &Multiaxis::OnScriptingBtnPressed);
    connect(ui->pushButton_calibration, &QPushButton::clicked, this, &Multiaxis::OnCalibrationBtnPressed);
    connect(ui->pushButton_exit, &QPushButton::clicked, this, &Multiaxis::OnExitBtnPressed);

    for (int i = 0; i < n; ++i) {
        deviceHandle[i].store(handles[i]);
        const QByteArray name = names[i].toLocal8Bit().left(deviceNameSize - 1);
        std::memcpy(deviceName[i], name.constData(), size_t(name.size()));
        deviceName[i][name.size()] = '\0';

        // Polling starts once the controllers are read.
        auto* thread = new UpdateThread(unsigned(i), this, &deviceHandle[i], deviceName[i], devices[i]);
        updateThreads.append(thread);
        couriers.append(new AxisCourier(devices[i], &deviceHandle[i], QString::fromLocal8Bit(deviceName[i])));
        couriers.last()->followReopenings(&thread->reopenings());
        auto* dialog = new SettingsDlg(nullptr, thread, devices[i], true, couriers.last(), SettingsDlg::StartRead::Later);
        dialog->setWindowFlags(dialog->windowFlags() | Qt::Tool);
        settingsDlgs.append(dialog);
    }
    {
        QList<std::atomic<device_t>*> opened;
        QStringList named;
        for (int i = 0; i < n; ++i) {
            opened.append(&deviceHandle[i]);
            named.append(QString::fromLocal8Bit(deviceName[i]));
        }
        StartReads::run(couriers, settingsDlgs, opened, named);
    }
    qApp->installEventFilter(this);

    for (int i = 0; i < n; ++i) {
        UpdateThread* thread = updateThreads[i];
        SettingsDlg* dialog = settingsDlgs[i];
        connect(thread, &UpdateThread::sampleRead, this, &Multiaxis::UpdateVars);
        thread->start(QThread::HighestPriority);
        connect(dialog, &SettingsDlg::SgnChangeSettings, this, &Multiaxis::updateSettings);

        // As the single-axis window logs its gateway's failures, so that none passes for success.
        axes->serials[i] = dialog->controllerSettings->serialNumber;
        const QString axis = axes->axisNamed(i);
        couriers[i]->setAxis(axis);
        const QString serial = QString::number(axes->serials[i]);
        ui->messageLine->nameSubject(serial, {axis + QLatin1Char(':'), axis + QLatin1Char(' '), axis + QLatin1Char(',')},
                                     QString::fromLocal8Bit(deviceName[i]) + QLatin1Char(':'));
        // A refused stop stays on the line until the axis is seen standing.
        connect(couriers[i], &AxisCourier::stopFailed, this, [this, i, serial] {
            if (std::exchange(backUntold[i], false))
                slotStatus->tellBack(i);
            stopFailedShown[i] = true;
            ui->messageLine->hold(serial);
        });
        // A stop that waited for the controller's return is told with that return.
        connect(couriers[i], &AxisCourier::stopWent, this, [this, i](const QString& what, qint64 waitedMs) {
            stopWentWhileAway[i] = tr("%1 went %2 s after it was pressed").arg(what, AxisCourier::secondsText(waitedMs));
            if (std::exchange(backUntold[i], false))
                slotStatus->tellBack(i);
        });
        connect(
            devices[i], &DeviceInterface::errorSignal, this,
            // A lost controller is told once by its slot, which knows whether it is gone or in its
            // bootloader: each call it fails meanwhile is only information.
            [this, i, axis](const char* call, result_t result) {
                if (result != result_nodevice) {
                    if (std::strncmp(call, "get_", 4) == 0)
                        readFailed[i].store(true);
                    else if (std::strncmp(call, "command_", 8) == 0)
                        commandRefused[i].store(true);
                }
                logCallFailure(axis, call, result, result == result_nodevice ? 3 : 1);
            },
            Qt::DirectConnection);
        connect(
            devices[i], &DeviceInterface::commandTaken, this,
            // The refusal told before is over once the axis takes a command again.
            [this, i] {
                if (commandRefused[i].exchange(false))
                    QMetaObject::invokeMethod(this, [this, i] { settleFailures(i, commandFailureKinds()); },
                                              Qt::QueuedConnection);
            },
            Qt::DirectConnection);
        connect(
            devices[i], &DeviceInterface::warningSignal, this,
            [axis](const char* call, result_t result) { logCallFailure(axis, call, result, 2); }, Qt::DirectConnection);
    }

    scriptDlg = new ScriptDlg(nullptr, nullptr, QString(), ScriptDlg::defaultScratchPath(),
                              ScriptDlg::defaultMultiaxisScriptPath());
    scriptDlg->setWindowFlags(scriptDlg->windowFlags() | Qt::Tool | Qt::WindowMaximizeButtonHint);
    scriptDlg->InitUI();
    fillDefaultScript();
    startScriptEngine();

    for (int i = 0; i < n; ++i) {
        for (const SettingsPage page : stagePages) {
            if (QWidget* stagePage = settingsDlgs[i]->page(page))
                connect(this, &Multiaxis::SgnDisableStagePages, stagePage, [stagePage, i](bool set, int number) {
                    if (number == i)
                        QMetaObject::invokeMethod(stagePage, "SetDisabled", Qt::DirectConnection, Q_ARG(bool, set));
                });
        }
        emit SgnDisableStagePages(true, i);
    }

    const QColor normalColor = palette().color(QPalette::Window);
    slotStatus->normalColor = normalColor;
    slotStatus->alarmColor = QColor(std::min(255, int(0.9 * normalColor.red() + 25.5)), int(0.9 * normalColor.green()),
                                    int(0.9 * normalColor.blue()), 255);

    findSlotWidgets();
    // The status column is as wide as a long speed text, so the texts set later are not cut.
    for (QLabel* label : speedValue)
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-000000 -000/256 steps/s")));
    // The positions ask for the room of their widest value in steps and need that of a value
    // of four digits: the window keeps its width as they move and as the units are switched,
    // and fits a laptop screen, where a wider value is cut and shown whole on hover.
    for (QLabel* label : curPos) {
        if (auto* position = qobject_cast<ElidingLabel*>(label))
            position->holdWidths({UserUnits::positionToString(INT_MIN, -255, 256)},
                                 {UserUnits::positionToString(-9999, -255, 256)});
    }
    // A new value repaints its label alone: no re-layout of the slot's box for every sample.
    for (const QList<QLabel*>& column : {voltageValue, currentValue, speedValue, commandValue, powerValue}) {
        for (QLabel* label : column)
            LabelUpdates::holdSize(label);
    }
    slotStatus->holdTitleWidths();
    ui->frame_Right->setMinimumWidth(std::max(ui->frame_Right->minimumWidth(), ui->verticalLayout->minimumSize().width()));
    setUpSpinBoxes();
    slotStatus->font = ui->label_curPos->font();

    config->loadUnitSettings();
    receiveUnits(units.recalcEnabled, units.units, units.coeff1, units.coeff2, units.precision);

    plot->build(parent);
    for (int s = n; s < maxAxes; ++s) {
        curPos[s]->hide();
        for (QWidget* w : std::initializer_list<QWidget*>{spinBox_moveTo[s], spinBox_shiftOn[s], pushButton_joyDec[s],
                                                          pushButton_joyInc[s], groupBox[s]})
            w->setEnabled(false);
    }

    refreshTimer = new QTimer();
    refreshTimer->setInterval(refreshMs);
    connect(refreshTimer, &QTimer::timeout, this, &Multiaxis::UpdateState);
    refreshTimer->start();

    QApplication::setDoubleClickInterval(0);

    exitWaitBox = new InfoBox(this);
    exitWaitBox->setIconType(1);
    exitWaitBox->setButtons(QDialogButtonBox::Cancel);
    exitWaitBox->setText(tr("Stopping, please wait..."));
    exitWaitBox->closeOnCancel = false;
    connect(exitWaitBox, &InfoBox::cancelled, this, [this] { exitRun->cancelled(); });
    exitPending = false;
}

Multiaxis::~Multiaxis()
{
    shutDown();
    delete ui;
}

void Multiaxis::findSlotWidgets()
{
    for (int k = 0; k < maxAxes; ++k) {
        axisOrder[k] = k;
        curPos.append(findSlotWidget<QLabel>(this, "curPos", k));
        spinBox_moveTo.append(qobject_cast<StepSpinBox*>(findSlotWidget<QDoubleSpinBox>(this, "spinBox_moveTo", k)));
        spinBox_shiftOn.append(qobject_cast<StepSpinBox*>(findSlotWidget<QDoubleSpinBox>(this, "spinBox_shiftOn", k)));
        pushButton_joyDec.append(findSlotWidget<QPushButton>(this, "pushButton_joyDec", k));
        pushButton_joyInc.append(findSlotWidget<QPushButton>(this, "pushButton_joyInc", k));
        groupBox.append(findSlotWidget<QGroupBox>(this, "groupBox", k));
        voltageValue.append(findSlotWidget<QLabel>(this, "voltageValue", k));
        currentValue.append(findSlotWidget<QLabel>(this, "currentValue", k));
        speedValue.append(findSlotWidget<QLabel>(this, "speedValue", k));
        commandValue.append(findSlotWidget<QLabel>(this, "commandValue", k));
        powerValue.append(findSlotWidget<QLabel>(this, "powerValue", k));
    }
}

void Multiaxis::setUpSpinBoxes()
{
    for (int k = 0; k < n; ++k) {
        giveBoxesDivisor(k, k);
        for (StepSpinBox* box : {spinBox_moveTo[k], spinBox_shiftOn[k]}) {
            box->setAlignment(Qt::AlignHCenter);
            // A minimum of its own, for a target of five digits and three of microsteps in steps
            // (a longer one scrolls in the box): switching to user units keeps the width. No
            // arrows, which a laptop screen has no room for: the keys step the box all the same.
            box->setButtonSymbols(QAbstractSpinBox::NoButtons);
            const QString suffix = box->suffix();
            box->setSuffix(stepperPositionUnit);
            box->setMinimumStep(-99999, -255);
            box->setMaximumStep(99999, 255);
            // The spin box's minimum hint holds only four digits; its size hint the limits' text
            // and a blank, around which it counts the frame. The text, the line edit's margins
            // and the cursor, in that frame.
            const QFontMetrics metrics(box->font());
            const QString widest = box->textFromValue(box->minimum()) + box->suffix();
            const int frame = box->sizeHint().width() - metrics.horizontalAdvance(widest + QLatin1Char(' ')) - 2;
            box->setMinimumWidth(frame + metrics.horizontalAdvance(widest) + 2 * 2 + 1);
            box->setSuffix(suffix);
            box->setMinimumStep(std::numeric_limits<int>::min(), 0);
            box->setMaximumStep(std::numeric_limits<int>::max(), 0);
            box->setKeepsUnfinishedText(true);
        }
    }
}

int Multiaxis::divisor(int axis) const
{
    if (axis < 0 || axis >= settingsDlgs.size())
        return 1;
    return std::max(1, settingsDlgs[axis]->motorSettings->microstepDivisor());
}

int Multiaxis::targetDivisor(int axis) const
{
    if (axis < 0 || axis >= settingsDlgs.size())
        return 1;
    switch (settingsDlgs[axis]->motorSettings->entype.EngineType) {
    case ENGINE_TYPE_DC:
    case ENGINE_TYPE_2DC:
    case ENGINE_TYPE_BRUSHLESS:
        return 1;
    default:
        return divisor(axis);
    }
}

QString Multiaxis::positionToString(int steps, int usteps, int axis) const
{
    return UserUnits::positionToString(steps, usteps, divisor(axis));
}

void Multiaxis::UpdateVars(int number, QDateTime, status_t state, chart_data_t, analog_data_t, bool connect,
                           int device_mode, quint64 statusReadNumber)
{
    if (shutDownDone || number < 0 || number >= n)
        return;
    exitRun->sample(number, int(state.MvCmdSts), connect, device_mode, statusReadNumber);
    samples[number].state = state;
    samples[number].connected = connect;
    samples[number].deviceMode = device_mode;
    samples[number].received = true;
    samples[number].openings = updateThreads[number]->reopenings().load();
    if (stopFailedShown[number] && connect && device_mode == 2 && MotionRules::axisStopped(state)) {
        stopFailedShown[number] = false;
        ui->messageLine->release(QString::number(axes->serials[number]));
    }
    axes->sampled(number, samples[number].use());
    if (samples[number].use() != AxisUse::Lost)
        reopenSamples[number] = 0;
    else if (device_mode <= 0)
        ++reopenSamples[number];
    // A read that failed before is over with this good one.
    if (samples[number].use() != AxisUse::Lost && readFailed[number].exchange(false))
        settleFailures(number, {QStringLiteral(": Function get_")});
    if (motion && samples[number].use() == AxisUse::Working)
        motion->axisWorking(number);
}

bool Multiaxis::hasSomethingToStop(int a) const
{
    return a >= 0 && a < n &&
           MotionRules::hasSomethingToStop(samples[a].use() == AxisUse::Bootloader, samples[a].openings,
                                           updateThreads[a]->reopenings().load());
}

void Multiaxis::UpdateState()
{
    if (shutDownDone)
        return;
    if (exitPending && !exitRun->check())
        return;
    if (n == 0)
        return;

    QStringList names;
    for (int s = 0; s < n; ++s)
        slotStatus->refreshSlot(s, &names);
    setWindowTitle(QStringLiteral("Tolmo multiaxis ") + names.join(QStringLiteral(", ")));

    plot->refresh();
}

void Multiaxis::giveBoxesDivisor(int s, int a)
{
    const int d = divisor(a);
    spinBox_moveTo[s]->setStepFactor(d);
    spinBox_shiftOn[s]->setStepFactor(d);
    showTargetUnit(s, a);
}

void Multiaxis::showTargetUnit(int s, int a)
{
    const UnitTextSet* texts =
        a < settingsDlgs.size() ? unitTextsOf(settingsDlgs[a]->motorSettings->entype.EngineType) : nullptr;
    const QString suffix = texts ? texts->position : stepperPositionUnit;
    // A DC or brushless motor counts whole counts: no "0/1" microstep part.
    const int mode = targetDivisor(a) > 1 ? 1 : 0;
    for (StepSpinBox* box : {spinBox_moveTo[s], spinBox_shiftOn[s]}) {
        // Set on a change only: a target being typed stays as it is.
        if (box->unitMode != 2 && (box->unitMode != mode || box->suffix() != suffix))
            box->setUnitMode(mode, suffix, 0);
    }
}

void Multiaxis::receiveUnits(bool enabled, QString unitText, uint coeff1, uint coeff2, uint precision)
{
    config->applyUnits(enabled, unitText, coeff1, coeff2, precision);
}

void Multiaxis::OnCalibrationBtnPressed()
{
    config->openCalibration();
}

void Multiaxis::receiveSerials(QStringList serials)
{
    config->applyOrder(serials);
}

void Multiaxis::closeEvent(QCloseEvent* event)
{
    // A controller left moving runs on where nobody can stop it from the program.
    // Each close tries the exit first; one that fails asks at once (MultiaxisExitRun).
    if (!shutDownDone && !ExitOnClose::closeGoesOn(this, event, [](QWidget* w) {
            auto* window = static_cast<Multiaxis*>(w);
            window->closeStartsExit = true;
            window->OnExitBtnPressed();
        }))
        return;
    config->saveUnitSettings();
    config->saveLastGroup();
    event->accept();
    shutDown();
}

void Multiaxis::shutDown()
{
    if (shutDownDone)
        return;
    shutDownDone = true;
    const bool scriptEnded = quitScriptEngine();
    if (refreshTimer)
        refreshTimer->stop();
    if (scriptDlg)
        scriptDlg->saveScratchBeforeClose(this);

    for (UpdateThread* thread : updateThreads) {
        disconnect(thread, nullptr, this, nullptr);
        thread->stopRequest.store(true);
    }
    QList<bool> ended;
    for (UpdateThread* thread : updateThreads)
        ended.append(thread->wait(threadJoinMs));
    // Stops still waiting for a gateway get it now that polling has let go.
    for (int i = 0; i < couriers.size(); ++i) {
        if (!couriers[i]->finish(threadJoinMs))
            ended[i] = false;
    }
    // An upload waiting for a lost controller ends only once its polling thread has stopped.
    for (int i = 0; i < settingsDlgs.size(); ++i) {
        FirmwareUpdateThread* upload = settingsDlgs[i]->firmwareThread;
        upload->cancelWait();
        if (!upload->wait(threadJoinMs))
            ended[i] = false;
    }
    // A thread left running may be inside a library call holding an axis' gateway: no controller
    // is closed under it, and what the threads read stays until the last of them has ended.
    const bool allEnded = scriptEnded && !ended.contains(false);
    for (int i = 0; allEnded && i < updateThreads.size(); ++i) {
        if (deviceHandle[i].load() != -1)
            updateThreads[i]->closeDevice();
    }
    qApp->removeEventFilter(this);
    for (DeviceInterface* gateway : devices)
        disconnect(gateway, nullptr, this, nullptr);

    if (allEnded) {
        qDeleteAll(settingsDlgs);
        qDeleteAll(updateThreads);
        qDeleteAll(couriers);
    } else {
        // Handed over, the dialogs would stay on screen with Apply, flash and firmware live on a
        // gateway nothing watches any more.
        for (SettingsDlg* dialog : settingsDlgs) {
            dialog->hide();
            dialog->setEnabled(false);
        }
        QList<QThread*> running;
        if (scriptWiring)
            running << scriptWiring->engine();
        for (int i = 0; i < settingsDlgs.size(); ++i) {
            if (!ended[i])
                logLine(axes->axisNamed(i) + tr(": its threads did not end; they are left running."));
            const QThread* upload = settingsDlgs[i]->firmwareThread;
            for (QThread* thread : {static_cast<QThread*>(updateThreads[i]), const_cast<QThread*>(upload),
                                    static_cast<QThread*>(couriers[i])}) {
                if (thread->isRunning())
                    running << thread;
            }
        }
        LeftRunning::keep(running, [script = scriptWiring.release(), dialogs = settingsDlgs, threads = updateThreads,
                                    couriers = couriers, kept = axes.release()] {
            for (int i = 0; i < threads.size(); ++i) {
                if (kept->handles[i].load() != -1)
                    threads[i]->closeDevice();
            }
            delete script;
            qDeleteAll(dialogs);
            qDeleteAll(threads);
            qDeleteAll(couriers);
            delete kept;
        });
    }
    settingsDlgs.clear();
    updateThreads.clear();
    couriers.clear();
    delete scriptDlg;
    scriptDlg = nullptr;
    delete refreshTimer;
    refreshTimer = nullptr;
}

void Multiaxis::tellAway(int a, AxisUse use)
{
    if (a < 0 || a >= maxAxes || toldUse[a].exchange(use) == use)
        return;
    // A stop that waits for it is what the operator must not lose sight of.
    const QString stop = use == AxisUse::Lost ? couriers[a]->stopAwaitingController() : QString();
    logLine(axes->axisNamed(a) + (use == AxisUse::Bootloader
                                      ? tr(" is in its bootloader; its motion controls are off until it runs its firmware.")
                                  : stop.isEmpty() ? tr(" is lost; its motion controls are off until it is back.")
                                                   : tr(" is lost; its %1 waits for it to come back.").arg(stop)));
}

QStringList Multiaxis::commandFailureKinds()
{
    return {QStringLiteral(": Function command_")};
}

void Multiaxis::settleFailures(int a, const QStringList& kinds)
{
    if (a >= 0 && a < n)
        ui->messageLine->settle(QString::number(axes->serials[a]), kinds);
}

void Multiaxis::logLine(const QString& text) const
{
    if (!MessageLog::insertProgramLine(text, 2))
        qWarning("%s", qPrintable(text));
}

// ---- Script axes, buttons (motion goes to MultiaxisMotion), script engine and exit ----

qint64 Multiaxis::nowMs() const
{
    // The clock polling stamps its samples with.
    return QDateTime::currentMSecsSinceEpoch();
}

void Multiaxis::OnStopBtnPressed()
{
    // The script first: none of its commands may follow the stop.
    if (scriptWiring)
        scriptWiring->stopScript();
    motion->stop();
}

void Multiaxis::OnSstpBtnPressed()
{
    if (scriptWiring)
        scriptWiring->stopScript();
    motion->softStop();
}

void Multiaxis::OnMoveBtnPressed()
{
    motion->moveAll(false);
}

void Multiaxis::OnShiftBtnPressed()
{
    motion->moveAll(true);
}

void Multiaxis::OnHomeBtnPressed()
{
    motion->commandAll(AxisCourier::Kind::Motion, tr("Home"), &DeviceInterface::command_home);
}

void Multiaxis::OnZeroBtnPressed()
{
    motion->commandAll(AxisCourier::Kind::Command, tr("Zero"), &DeviceInterface::command_zero);
}

void Multiaxis::OnPickerXYPointSelected(const QPointF& point)
{
    motion->pickXY(point);
}

void Multiaxis::OnPickerZPointSelected(const QPointF& point)
{
    motion->pickZ(point);
}

void Multiaxis::openSettings(int s)
{
    if (s >= n)
        return;
    const int a = axisOrder[s];
    SettingsDlg* dialog = settingsDlgs[a];
    // An open dialog is brought forward as it is: a reload would take the edits off its pages,
    // those the controller refused among them.
    if (dialog->isVisible()) {
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    // The axis in the title, and not on top of another axis' dialog: all look alike otherwise.
    const ControllerSettings* identity = dialog->controllerSettings;
    dialog->setWindowTitle(tr("Settings %1, SN %2").arg(QLatin1String(slotLetters[s])).arg(identity->serialNumber));
    // Stepped off the others before it is shown, so that the showing puts that place on its
    // screen; the first time over this window, each slot's a step further.
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
    placeFirstShow(*dialog, this, s * step);
    for (bool covered = true; covered;) {
        covered = false;
        for (const SettingsDlg* other : settingsDlgs) {
            if (other != dialog && other->isVisible() && (other->pos() - dialog->pos()).manhattanLength() < step) {
                dialog->move(other->pos() + QPoint(step, step));
                covered = true;
            }
        }
    }
    // Shown at once; its pages fill when the read on the axis' courier replies.
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    const bool stageShown = dialog->stageSettings->stageReloadPending;
    dialog->readForShowing([this, a, stageShown](SettingsDlg::ReadEnd end) {
        if (end == SettingsDlg::ReadEnd::Whole && stageShown && !shutDownDone)
            emit SgnDisableStagePages(false, a);
    });
}

void Multiaxis::OnSettings1BtnClicked()
{
    openSettings(0);
}

void Multiaxis::OnSettings2BtnClicked()
{
    openSettings(1);
}

void Multiaxis::OnSettings3BtnClicked()
{
    openSettings(2);
}

void Multiaxis::updateSettings()
{
    // An applied microstep mode reaches the boxes, so typed targets go out in the new unit.
    for (int s = 0; s < n; ++s) {
        giveBoxesDivisor(s, axisOrder[s]);
        spinBox_moveTo[s]->update();
        spinBox_shiftOn[s]->update();
    }
}

bool Multiaxis::eventFilter(QObject* object, QEvent* event)
{
    if (!shutDownDone && motion && motion->filterEvent(object, event))
        return true;
    return QWidget::eventFilter(object, event);
}

void Multiaxis::keyPressEvent(QKeyEvent* event)
{
    QWidget::keyPressEvent(event);
}

void Multiaxis::keyReleaseEvent(QKeyEvent* event)
{
    QWidget::keyReleaseEvent(event);
}

// ---- script engine

void Multiaxis::startScriptEngine()
{
    motion = std::make_unique<MultiaxisMotion>(*this);
    // Return stops at once, not after the button's animated click (which its own shortcut gives).
    ui->pushButton_STOP->setShortcut(QKeySequence());
    stopShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
    enterShortcut = new QShortcut(QKeySequence(Qt::Key_Enter), this);
    connect(stopShortcut, &QShortcut::activated, this, &Multiaxis::OnStopBtnPressed);
    connect(enterShortcut, &QShortcut::activated, this, &Multiaxis::OnStopBtnPressed);

    // This window shows no running line (its scripts drive several axes at once).
    scriptWiring = std::make_unique<ScriptControl>(scriptDlg, std::make_unique<ScriptThreadMulti>(axes.get()),
                                                   ScriptControl::LineMarks::ExceptionsOnly);
    connect(scriptDlg, &ScriptDlg::script_exception, this, &Multiaxis::logScriptException);
}

bool Multiaxis::quitScriptEngine()
{
    // First in the shut-down, while the devices are open: a jog still held would run on with no
    // release ever coming.
    if (motion)
        motion->releaseJogs();
    if (!scriptWiring)
        return true;
    if (scriptWiring->quit(scriptQuitMs)) {
        scriptWiring.reset();
        return true;
    }
    // Deleting it would wait for the script for ever: the shut-down keeps it.
    logLine(QStringLiteral("The script thread did not end within %1 ms; it is left running").arg(scriptQuitMs));
    return false;
}

ScriptEngineThread* Multiaxis::scriptEngine() const
{
    return scriptWiring ? scriptWiring->engine() : nullptr;
}

void Multiaxis::fillDefaultScript()
{
    const QString emptyList = QStringLiteral("var serials = [];");
    QTextEdit* editor = scriptDlg->editor();
    QString text = editor->toPlainText();
    if (!scriptDlg->showsDefaultScript() || !text.contains(emptyList))
        return;
    QVector<int> axes;
    for (int a = 0; a < n; ++a)
        axes << a;
    text.replace(emptyList, QStringLiteral("var serials = [%1];").arg(serialsOf(axes)));
    editor->setPlainText(text);
}

void Multiaxis::logScriptException(const QString& text)
{
    MessageLog::insertLineNow(text, QStringLiteral("Script"), 1);
}

void Multiaxis::OnScriptingBtnPressed()
{
    placeFirstShow(*scriptDlg, this);
    scriptDlg->show();
    scriptDlg->raise();
    scriptDlg->activateWindow();
}

// ---- exit

QString Multiaxis::serialsOf(const QVector<int>& axes) const
{
    QStringList serials;
    for (int a : axes)
        serials << QString::number(settingsDlgs[a]->controllerSettings->serialNumber);
    return serials.join(QStringLiteral(", "));
}

void Multiaxis::OnExitBtnPressed()
{
    exitRun->start(std::exchange(closeStartsExit, false));
}

// ---- end of script axes, buttons, script engine and exit ----
