#include "mainwindow/MainWindow.h"

#include "mainwindow/MainWindowForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "chartdlg/ChartDlg.h"
#include "chartdlg/GraphSettings.h"
#include "common/FieldText.h"
#include "common/IniSettings.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/FirmwareUpdateThread.h"
#include "device/PollingSilencer.h"
#include "device/LeftRunning.h"
#include "device/MotionRules.h"
#include "device/SharedFlags.h"
#include "device/AxisCourier.h"
#include "widgets/ExitOnClose.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "device/LatestSample.h"
#include "mainwindow/ConfigurationFiles.h"
#include "widgets/ProgramResources.h"
#include "mainwindow/StatusDisplay.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/ReconnectRead.h"
#include "settings_model/StageRead.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsDlg.h"
#include "device/StartupGlobals.h"
#include "common/WindowPlacement.h"

MainWindow* mainWindow = nullptr;
ScriptThread* scriptThread = nullptr;

namespace {

const QString programSource = QStringLiteral("Tolmo");

} // namespace

MainWindow::MainWindow(QWidget* parent, device_t handle, const QString& name, DeviceInterface* gatewayIn)
    : QMainWindow(parent)
    , handleStore(std::make_unique<std::atomic<device_t>>(handle))
    , deviceHandle(*handleStore)
    , gateway(gatewayIn), ui(new Ui::MainWindowClass)
{
    loadProgramResources();
    registerTrovMetaTypes();
    mainWindow = this;

    const QByteArray nameBytes = name.toLocal8Bit();
    std::memset(deviceName, 0, sizeof deviceName);
    std::memcpy(deviceName, nameBytes.constData(), std::min<size_t>(nameBytes.size(), sizeof deviceName - 1));

    ui->setupUi(this);
    keepOnScreen(this);
    status = std::make_unique<StatusView>(*this);
    logs = std::make_unique<LogTable>(ui->logEdit);
    configuration = std::make_unique<ConfigurationFiles>(*this);

    programVersion = programVersionText();
    connectButtons();
    InitUI();

    axisCourier = new AxisCourier(gateway, &deviceHandle, name);
    motion = std::make_unique<MotionCommands>(*this, *status, closing);
    updateThread = new UpdateThread(0, this, &deviceHandle, deviceName, gateway);
    axisCourier->followReopenings(&updateThread->reopenings());
    connect(updateThread, &UpdateThread::sampleRead, this, &MainWindow::UpdateVarsRead);
    updateThread->start(QThread::HighestPriority);

    setAttribute(Qt::WA_DeleteOnClose);
}

void MainWindow::connectButtons()
{
    const struct
    {
        QAbstractButton* button;
        void (MainWindow::*slot)();
    } wiring[] = {
        {ui->settingsBtn, &MainWindow::OnSettingsBtnPressed}, {ui->chartBtn, &MainWindow::OnChartBtnPressed},
        {ui->scriptBtn, &MainWindow::OnScriptBtnPressed},     {ui->leftBdrBtn, &MainWindow::OnLeftBdrBtnPressed},
        {ui->leftBtn, &MainWindow::OnLeftBtnPressed},         {ui->stopBtn, &MainWindow::OnStopBtnPressed},
        {ui->sstpBtn, &MainWindow::OnSstpBtnPressed},         {ui->rightBtn, &MainWindow::OnRightBtnPressed},
        {ui->rightBdrBtn, &MainWindow::OnRightBdrBtnPressed}, {ui->moveBtn, &MainWindow::OnMoveBtnPressed},
        {ui->shiftBtn, &MainWindow::OnShiftBtnPressed},       {ui->homeBtn, &MainWindow::OnGoHomeBtnPressed},
        {ui->cyclicBtn, &MainWindow::OnCyclicBtnPressed},     {ui->saveLogBtn, &MainWindow::OnSaveLogBtnPressed},
        {ui->clearLogBtn, &MainWindow::OnClearLogBtnPressed},
    };
    for (const auto& row : wiring)
        connect(row.button, &QAbstractButton::clicked, this, row.slot);
    connect(ui->zeroBtn, &QAbstractButton::clicked, this, static_cast<void (MainWindow::*)()>(&MainWindow::OnZeroBtnPressed));
    connect(gateway, &DeviceInterface::errorSignal, this, &MainWindow::CommandErrorLog);
    connect(gateway, &DeviceInterface::warningSignal, this, &MainWindow::CommandWarningLog);
}

void MainWindow::InitUI()
{
    for (StepSpinBox* box : {&moveToBox, &shiftOnBox}) {
        box->setSuffix(positionUnit);
        box->setAlignment(Qt::AlignHCenter);
        box->setMinimumStep(INT_MIN, 0);
        box->setMaximumStep(INT_MAX, 0);
        box->setKeepsUnfinishedText(true);
    }
    ui->gridLayout_4->addWidget(&moveToBox, 0, 2);
    ui->gridLayout_4->addWidget(&shiftOnBox, 1, 2);
    const int stretch[] = {1, 1, 2, 1};
    for (int column = 0; column < 4; ++column)
        ui->gridLayout_4->setColumnStretch(column, stretch[column]);

    status->InitUI();
    logs->initLogTable();
    disableDisplay(2);
}

MainWindow::InitStatus MainWindow::init(QWidget* messageParent)
{
    deviceInitOk = true;
    settingsDlg = new SettingsDlg(nullptr, updateThread, gateway, false, axisCourier);
    settingsDlg->setWindowFlags(settingsDlg->windowFlags() | Qt::Tool);
    const bool identityRead = deviceInitOk.load();
    // The file name of the good identity read: a later failed read must not move the save.
    configFile = settingsDlg->getDeviceConfigFileName();
    lockStagePages();

    ControllerSettings* identity = settingsDlg->controllerSettings;
    openedSerial = identity->serialNumber;
    if (openedSerial != 0)
        axisCourier->setAxis(axisName());
    const QString label =
        readFieldText(identity->deviceInformation.ManufacturerId) + QString::number(identity->serialNumber);

    chartDlg = new ChartDlg(nullptr, settingsDlg->motorSettings, label);
    chartDlg->setWindowFlags(chartDlg->windowFlags() | Qt::Tool | Qt::WindowMaximizeButtonHint);
    chartDlg->setHardware(settingsDlg->getCurrentMotorType());
    connect(settingsDlg, &SettingsDlg::SgnHardwareChanged, chartDlg, &ChartDlg::setHardware);

    scriptDlg = new ScriptDlg(nullptr, settingsDlg->motorSettings, label);
    scriptDlg->setWindowFlags(scriptDlg->windowFlags() | Qt::Tool | Qt::WindowMaximizeButtonHint);
    connect(scriptDlg, &ScriptDlg::script_exception, this, &MainWindow::ScriptExceptionLog);

    auto engine = std::make_unique<ScriptThread>(gateway, &deviceHandle);
    scriptThreadObject = engine.get();
    scriptThread = scriptThreadObject;
    // Not parented: a script thread that does not end at shut-down keeps it.
    scriptWiring = new ScriptControl(scriptDlg, std::move(engine), ScriptControl::LineMarks::Running);
    connect(scriptWiring, &ScriptControl::logLine, this, &MainWindow::Log);

    connect(settingsDlg, &SettingsDlg::SgnChangeSettings, chartDlg, &ChartDlg::updateSettings);
    connect(settingsDlg, &SettingsDlg::SgnChangeSettings, this, &MainWindow::updateSettings);
    connect(settingsDlg, &SettingsDlg::SgnChangeCritSettings, this, &MainWindow::critSettingsChanged);

    QString chosen;
    for (const QString& candidate :
         {configFile, ConfigurationFiles::defaultConfigPath(), ConfigurationFiles::appDirDefaultConfigPath()}) {
        if (QFileInfo::exists(candidate)) {
            chosen = candidate;
            break;
        }
    }
    if (chosen.isEmpty()) {
        MessagePrompter::current()->prompt(messageParent ? messageParent : this, QMessageBox::Warning, tr("Error"),
                                           tr("Couldn't find either saved or default configuration file."),
                                           QMessageBox::Ok, QMessageBox::Ok);
        return InitStatus::NoConfigurationFile;
    }
    configuration->loadAllSettings(chosen);

    for (SettingsPage position : {SettingsPage::Cyclic, SettingsPage::ProgramConfiguration, SettingsPage::GraphSetup}) {
        if (auto* page = qobject_cast<ProgramPageWgt*>(settingsDlg->page(position)))
            page->FromUiToClass();
    }
    for (int index = static_cast<int>(SettingsPage::PositionCurve); index <= static_cast<int>(SettingsPage::PotCurve);
         ++index) {
        if (auto* page = qobject_cast<ProgramPageWgt*>(settingsDlg->page(static_cast<SettingsPage>(index))))
            page->FromUiToClass();
    }

    for (int index = 0; index < 6; ++index) {
        QWidget* page = stagePage(index);
        if (page && page->metaObject()->indexOfSlot("SetDisabled(bool)") >= 0)
            connect(this, SIGNAL(SgnDisableStagePages(bool)), page, SLOT(SetDisabled(bool)));
    }
    lockStagePages();

    chartDlg->InitUI(settingsDlg->graphSettings);
    scriptDlg->InitUI();

    updateSettings();

    connect(updateThread, &UpdateThread::finished, chartDlg, &ChartDlg::InsertMeasure);
    connect(settingsDlg, &SettingsDlg::SgnChangeSettings, chartDlg, &ChartDlg::ReinitPlots);

    configuration->loadLogSettings(settingsIniPath(), true);
    if (messageLog)
        messageLog->setSerial(identity->serialNumber);

    stoppingBox = new InfoBox(this);
    stoppingBox->setIconType(1);
    stoppingBox->setButtons(QDialogButtonBox::Cancel);
    stoppingBox->setText(tr("Stopping, please wait..."));
    stoppingBox->closeOnCancel = false;
    homingBox.setButtonsVisible(true);
    homingBox.setButtons(QDialogButtonBox::Cancel);
    homingBox.setMovieVisible(true);
    homingBox.setIconType(1);
    connect(&homingBox, &InfoBox::cancelled, this, &MainWindow::stopHoming);
    homingBox.setText(tr("Please wait while device is homing"));

    status->alarmLogged = false;
    motion->exitRequested = false;
    initialized = true;
    return identityRead ? InitStatus::Ready : InitStatus::IdentityReadFailed;
}

MainWindow::~MainWindow()
{
    // Nothing reaches this window through the globals or its refresh while it goes.
    if (mainWindow == this)
        mainWindow = nullptr;
    closing = true;

    // The script first: it may drive the axis. A run requested and not started is dropped.
    bool scriptJoined = true;
    if (scriptWiring) {
        scriptThreadObject->requestQuit();
        scriptJoined = joinThread(scriptThreadObject, shutdownJoinMs, QStringLiteral("script"));
    }

    homingBox.hide();
    if (stoppingBox)
        stoppingBox->hide();
    if (initialized) {
        chartDlg->close();
        chartDlg->hide();
        scriptDlg->hide();
        settingsDlg->hide();
        if (deviceInitOk) {
            configuration->saveAllSettings(configFile);
            configuration->saveSettingsIni(settingsIniPath());
        }
    }
    // A failed save above still reaches the log.
    if (messageLog)
        disconnect(this, nullptr, messageLog, nullptr);

    // Polling next, silenced so that its tick in flight ends before the stop; a firmware upload
    // that waits for a lost controller ends only once polling has stopped.
    bool pollingJoined = true;
    if (updateThread) {
        disconnect(updateThread, nullptr, this, nullptr);
        PollingSilencer silence;
        updateThread->stopRequest = true;
        pollingJoined = joinThread(updateThread, shutdownJoinMs, QStringLiteral("polling"));
    }
    bool firmwareJoined = true;
    if (settingsDlg && settingsDlg->firmwareThread)
        firmwareJoined = joinThread(settingsDlg->firmwareThread, shutdownJoinMs, QStringLiteral("firmware update"));
    // A stop still waiting for the gateway gets it now that polling has let go.
    const bool stopsJoined =
        axisCourier->finish(shutdownJoinMs) || joinThread(axisCourier, shutdownJoinMs, QStringLiteral("stop"));

    // A thread left running may be inside a library call on the controller, holding the
    // gateway: the controller stays open for it, and what it reads stays too, until it ends.
    const bool allJoined = scriptJoined && pollingJoined && firmwareJoined && stopsJoined;
    if (allJoined) {
        if (updateThread) {
            updateThread->closeDevice();
        } else {
            const device_t handle = deviceHandle.exchange(-1);
            if (handle != -1)
                gateway->close_device(handle);
        }
    }

    delete chartDlg;
    delete scriptDlg;
    if (scriptThread == scriptThreadObject)
        scriptThread = nullptr;
    if (allJoined) {
        delete settingsDlg;
        delete scriptWiring;
        delete updateThread;
        delete axisCourier;
    } else {
        QList<QThread*> running;
        for (QThread* thread : {static_cast<QThread*>(scriptThreadObject), static_cast<QThread*>(updateThread),
                                settingsDlg ? static_cast<QThread*>(settingsDlg->firmwareThread) : nullptr,
                                static_cast<QThread*>(axisCourier)}) {
            if (thread && thread->isRunning())
                running << thread;
        }
        LeftRunning::keep(running, [handle = handleStore.release(), settings = settingsDlg, script = scriptWiring,
                                    polling = updateThread, courier = axisCourier] {
            if (polling)
                polling->closeDevice();
            delete script;
            delete settings;
            delete polling;
            delete courier;
            delete handle;
        });
    }
    delete stoppingBox;
    delete ui;
}

bool MainWindow::joinThread(QThread* thread, int ms, const QString& name)
{
    if (thread->wait(static_cast<unsigned long>(ms)))
        return true;
    // The window's own log path is already cut; the line goes straight to the program log.
    const QString line = tr("The %1 thread did not end within %2 s; it is left running.").arg(name).arg(ms / 1000);
    if (messageLog)
        messageLog->InsertLine(QDateTime::currentDateTime(), line, programSource, 1, currentLogSettings());
    qWarning("%s", qPrintable(line));
    return false;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A controller left moving runs on where nobody can stop it from the program.
    // Each close tries the exit first; one that fails asks at once (MotionCommands).
    if (!closing && !ExitOnClose::closeGoesOn(this, event, [](QWidget* w) {
            static_cast<MainWindow*>(w)->motionCommands()->OnExitBtnPressed(true);
        }))
        return;
    if (scriptWiring)
        scriptWiring->stopScript();
    closing = true;
    homingBox.hide();
    if (stoppingBox)
        stoppingBox->hide();
    // The script's text goes into the scratch file now, while a failure can still be told.
    if (scriptDlg)
        scriptDlg->saveScratchBeforeClose(this);
    event->accept();
}

QWidget* MainWindow::stagePage(int index) const
{
    static const SettingsPage pages[] = {SettingsPage::StageGear,     SettingsPage::StageEncoder,
                                         SettingsPage::StageStepperMotor, SettingsPage::StageDcMotor,
                                         SettingsPage::Stage,         SettingsPage::PositionerName};
    return settingsDlg ? settingsDlg->page(pages[index]) : nullptr;
}

int MainWindow::engineType() const
{
    return settingsDlg ? static_cast<int>(settingsDlg->motorSettings->entype.EngineType) : 0;
}

UnitTextSet MainWindow::appliedUnits() const
{
    const UnitTextSet* units = unitTextsOf(static_cast<unsigned int>(engineType()));
    return units ? *units : currentUnitTexts();
}

LogSettings MainWindow::currentLogSettings() const
{
    return settingsDlg ? *settingsDlg->logSettings : LogSettings();
}

// ---------------------------------------------------------------- refresh

void MainWindow::UpdateVars(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                            analog_data_t analog_data, bool connect, int device_mode)
{
    Q_UNUSED(number);
    Q_UNUSED(chart_data);
    if (queuedSamples.size() >= static_cast<size_t>(maxQueuedSamples))
        queuedSamples.pop_front();
    queuedSamples.push_back(Sample{msrTime, state, analog_data, connect, device_mode, incomingReadNumber,
                                   updateThread ? updateThread->reopenings().load() : 0});
    takeQueuedSamples();
}

void MainWindow::UpdateVarsRead(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                                analog_data_t analog_data, bool connect, int device_mode, quint64 statusReadNumber)
{
    incomingReadNumber = statusReadNumber;
    UpdateVars(number, msrTime, state, chart_data, analog_data, connect, device_mode);
    incomingReadNumber = 0;
}

void MainWindow::takeQueuedSamples()
{
    // A refresh under way (a slot it called let a queued sample in) takes this one after its own.
    if (refreshDepth > 0)
        return;
    while (!queuedSamples.empty()) {
        const Sample sample = queuedSamples.front();
        queuedSamples.pop_front();
        lastStatus = sample.state;
        lastAnalogData = sample.analog;
        deviceConnected = sample.connect;
        deviceMode = sample.mode;
        currentReadNumber = sample.readNumber;
        sampleOpenings = sample.openings;
        refresh(Refresh::Sample);
    }
}

void MainWindow::UpdateState()
{
    if (refreshDepth > 0)
        return;
    refresh(Refresh::RenderOnly);
    takeQueuedSamples();
}

void MainWindow::refresh(Refresh kind)
{
    struct Depth
    {
        MainWindow* w;
        explicit Depth(MainWindow* window) : w(window)
        {
            ++w->refreshDepth;
            w->deepestRefreshDepth = std::max(w->deepestRefreshDepth, w->refreshDepth);
        }
        ~Depth()
        {
            --w->refreshDepth;
            emit w->SgnSampleShown(w->refreshDepth + 1);
        }
    } depth(this);

    if (closing)
        return;
    if (kind == Refresh::Sample && initialized && motion->exitRequested && !motion->completeExit(currentReadNumber))
        return;

    logs->showPendingLogLines(currentLogSettings());

    if (!initialized)
        return;
    if (!pollingAllowed) {
        if (kind == Refresh::Sample)
            motion->stopMotionOnLoss(tr("polling paused"));
        disableDisplay(2);
        return;
    }
    const status_t state = lastStatus;
    const bool connected = deviceConnected;

    trackStageEeprom(state, connected);

    const QString name = namePart(state);
    const QString mainTitle = QStringLiteral("Tolmo - ") + name;
    setTitles(name);

    if (!connected) {
        seen(Seen::Lost);
        setWindowTitle(mainTitle + tr(" (disconnected)"));
        if (kind == Refresh::Sample && !deviceLostLogged) {
            Log(tr("Device lost."), programSource, 2);
            deviceLostLogged = true;
        }
        if (kind == Refresh::Sample)
            motion->stopMotionOnLoss(tr("device lost"));
        ui->positionSldr->setEnabled(false);
        disableDisplay(2);
        return;
    }

    status->showAlarm((state.Flags & STATE_ALARM) != 0, kind);

    if (deviceMode == 1) {
        seen(Seen::Bootloader);
        if (kind == Refresh::Sample) {
            motion->stopMotionOnLoss(tr("device in its bootloader"));
            if (!bootloaderIdentityRead)
                startReconnectRead(ReconnectRead::What::Identity);
        }
        showBootloader(state, mainTitle);
        return;
    }

    seen(Seen::Firmware);
    if (controlsDisabled) {
        if (kind == Refresh::RenderOnly)
            return;
        // The controls come back with the read's answer (takeReconnectRead).
        startReconnectRead(ReconnectRead::What::Both);
    }
    setWindowTitle(mainTitle);
    showFirmware(state, kind);
}

void MainWindow::trackStageEeprom(const status_t& state, bool connected)
{
    StageSettings* stage = settingsDlg->stageSettings;
    const bool present = connected && (state.Flags & STATE_EEPROM_CONNECTED);
    if (!present) {
        ++stageAbsentSamples;
        if (!stageEepromAbsent) {
            stage->stageName.PositionerName[0] = '\0';
            emit SgnDisableStagePages(true);
            if (!settingsDlg->isVisible())
                stage->stageReloadPending = false;
        }
        stageEepromAbsent = true;
        return;
    }
    if (!stageEepromAbsent || deviceMode != 2 || stageReadWaits)
        return;
    stageReadWaits = true;
    const quint64 samples = stageAbsentSamples;
    auto read = std::make_shared<StageRead>(*stage, settingsDlg->isVisible());
    axisCourier->send(
        AxisCourier::Kind::Command, tr("Reading the positioner memory"),
        [read](DeviceInterface& device, device_t id) { return read->run(device, id); }, this,
        [this, read, samples](result_t) {
            stageReadWaits = false;
            // Failed, or the memory has gone since: the next sample that shows it reads again.
            if (!read->usable() || samples != stageAbsentSamples || !stageEepromAbsent || !settingsDlg)
                return;
            // The dialog was opened meanwhile and shows no records of this positioner yet.
            if (!read->whole && settingsDlg->isVisible())
                return;
            stageEepromAbsent = false;
            if (settingsDlg->takeStageRecords(read->records))
                emit SgnDisableStagePages(false);
        });
}

void MainWindow::lockStagePages()
{
    // The next sample with the EEPROM present reads the name again and unlocks them.
    stageEepromAbsent = true;
    emit SgnDisableStagePages(true);
}

QString MainWindow::axisName() const
{
    return openedSerial != 0 ? tr("SN %1").arg(openedSerial) : QString::fromLocal8Bit(deviceName);
}

QString MainWindow::namePart(const status_t& state) const
{
    const QString stageName = readFieldText(settingsDlg->stageSettings->stageName.PositionerName);
    if (!stageName.isEmpty() && (state.Flags & STATE_EEPROM_CONNECTED))
        return QLatin1Char('[') + stageName + QLatin1Char(']');
    const QString controllerName = readFieldText(settingsDlg->motorSettings->controllerName.ControllerName);
    if (!controllerName.isEmpty())
        return controllerName;
    const ControllerSettings* identity = settingsDlg->controllerSettings;
    return readFieldText(identity->deviceInformation.ManufacturerId) + QString::number(identity->serialNumber);
}

void MainWindow::setTitles(const QString& name)
{
    settingsDlg->setWindowTitle(tr("Settings ") + name);
    scriptDlg->setWindowTitle(tr("Scripting ") + name);
    chartDlg->setWindowTitle(tr("Charts ") + name);
}

void MainWindow::showBootloader(const status_t& state, const QString& mainTitle)
{
    const ControllerSettings* identity = settingsDlg->controllerSettings;
    setWindowTitle(mainTitle + tr(" (bootloader v%1.%2.%3)")
                                   .arg(identity->bootloaderMajor)
                                   .arg(identity->bootloaderMinor)
                                   .arg(identity->bootloaderRelease));
    ui->positionSldr->setEnabled(false);
    disableDisplay(1);
    indicator(QStringLiteral("ErrC"))->setEnabled(state.Flags & STATE_ERRC);
    indicator(QStringLiteral("ErrD"))->setEnabled(state.Flags & STATE_ERRD);
    indicator(QStringLiteral("ErrV"))->setEnabled(state.Flags & STATE_ERRV);
}

void MainWindow::showFirmware(const status_t& state, Refresh kind)
{
    status->showFirmware(state, kind);
    if (kind == Refresh::Sample && motion->cyclicOn)
        motion->cyclicStep(currentReadNumber);
    showHomingBox(state);
    releaseScriptHold();
}

void MainWindow::showHomingBox(const status_t& state)
{
    // show(), not showNow(): the refresh never lets events in.
    if (state.MvCmdSts == (MVCMD_HOME | MVCMD_RUNNING) && deviceConnected) {
        if (!homingBox.isVisible())
            homingBox.show();
    } else if (homingBox.isVisible()) {
        homingBox.close();
    }
}

void MainWindow::releaseScriptHold()
{
    if (scriptThreadObject && deviceConnected && scriptThreadObject->stoppedOnError)
        scriptThreadObject->stoppedOnError = false;
}

QString MainWindow::stepsText(int step, int microstep, bool padded) const
{
    const int divisor = settingsDlg ? settingsDlg->motorSettings->microstepDivisor() : 1;
    return StatusDisplay::stepsText(step, microstep, divisor, padded);
}

void MainWindow::disableDisplay(int mode)
{
    status->disableDisplay(mode);
    controlsDisabled = true;
    lockStagePages();
}

void MainWindow::seen(Seen now)
{
    if (now == lastSeen)
        return;
    lastSeen = now;
    ++seenSpell;
    readUnderWay = false;
    readAgainTold = false;
    bootloaderIdentityRead = false;
}

void MainWindow::startReconnectRead(ReconnectRead::What what)
{
    if (readUnderWay || !settingsDlg || closing)
        return;
    readUnderWay = true;
    const quint64 spell = seenSpell;
    // Copies: the courier's thread reads into them, this one takes them in the reply.
    auto read = std::make_shared<ReconnectRead>(what, *settingsDlg->controllerSettings, *settingsDlg->motorSettings);
    std::atomic<device_t>* handle = &deviceHandle;
    axisCourier->sendJob(
        AxisCourier::Kind::Command,
        what == ReconnectRead::What::Identity ? tr("Reading the controller identity") : tr("Reading the settings"),
        [read, handle](DeviceInterface& gateway, device_t) { return read->run(gateway, *handle); }, this,
        [this, read, spell](result_t result, AxisCourier::Outcome outcome) {
            takeReconnectRead(*read, spell, outcome == AxisCourier::Outcome::Done ? result : result_error,
                              outcome == AxisCourier::Outcome::Done);
        });
    // The controller runs its firmware again: it may be stopped before the read is in (a stop
    // cuts the read short; the next sample reads anew).
    if (what != ReconnectRead::What::Identity && !foreignController) {
        ui->stopBtn->setEnabled(true);
        ui->sstpBtn->setEnabled(true);
    }
}

void MainWindow::takeReconnectRead(const ReconnectRead& read, quint64 spell, result_t result, bool ranWhole)
{
    // Lost or switched over since it was asked for: what it read is of another spell, and the
    // controls of that one stay as its samples left them.
    if (spell != seenSpell || closing || !settingsDlg)
        return;
    readUnderWay = false;
    // Not sent, or the controller went under it (a sample that says so may have come while the
    // read kept polling silent): the next sample of its firmware reads again.
    const bool firmware = read.what != ReconnectRead::What::Identity;
    if (!read.ran() || read.lostMeanwhile() || !deviceConnected || (firmware && deviceMode != 2))
        return;
    // Cut short by a stop or a busy gateway: a call it could not make is no failure of the
    // controller, and half a read is not taken. The next sample reads again.
    if (!ranWhole) {
        tellReadAgain(tr("The controller is back, but reading it was cut short: it is read again, and the controls "
                         "stay off until then."));
        return;
    }
    const char* failed = read.identityOutcome.failed;
    logIdentityFailure(failed);
    if (!firmware) {
        settingsDlg->controllerSettings->takeIdentity(read.identity);
        bootloaderIdentityRead = failed == nullptr;
        // Back in its bootloader, as after a rejected firmware image: the log says it is there.
        logFoundAgain();
        // The bootloader's version shows at once.
        UpdateState();
        return;
    }
    if (result != result_ok) {
        tellReadAgain(tr("The controller is back, but reading it failed: it is read again, and the controls stay off "
                         "until then."));
        return;
    }
    settingsDlg->controllerSettings->takeIdentity(read.identity);
    readAgainTold = false;
    checkControllerIdentity(true);
    logFoundAgain();
    controlsDisabled = false;
    // Another controller answering under this name keeps the controls off: nothing may move
    // it from here, and its settings are not taken for ours.
    if (!foreignController) {
        status->enableControls();
        settingsDlg->motorSettings->takeBasicRecordsRead(read.settings);
        settingsDlg->AllPagesFromDeviceToClassToUi(false, false);
    }
}

void MainWindow::logFoundAgain()
{
    // Only a loss is announced again; a paused poll was no loss.
    if (deviceLostLogged) {
        QString name = QString::fromLocal8Bit(deviceName);
        name.remove(QLatin1Char('.'));
        name.remove(QLatin1Char('\\'));
        Log(tr("Device found [%1].").arg(name), programSource, 3);
    }
    deviceLostLogged = false;
}

void MainWindow::tellReadAgain(const QString& line)
{
    if (!std::exchange(readAgainTold, true))
        Log(line, programSource, 2);
}

void MainWindow::logIdentityFailure(const char* failed)
{
    // The flag of the set-up stays as it is: a passing failure must not cancel the exit save.
    if (failed && !identityFailureLogged)
        Log(tr("Reading the controller identity failed: function %1 failed.").arg(QString::fromLatin1(failed)),
            programSource, 2);
    identityFailureLogged = failed != nullptr;
}

void MainWindow::checkControllerIdentity(bool readOk)
{
    const uint32_t serial = settingsDlg->controllerSettings->serialNumber;
    if (!readOk)
        return;
    if (openedSerial == 0) {
        openedSerial = serial;
        return;
    }
    const bool foreign = serial != openedSerial;
    if (foreign && !foreignController) {
        Log(tr("Another controller (serial number %1) answers as %2, opened with serial number %3: the script is "
               "stopped and the motion controls stay disabled.")
                .arg(serial)
                .arg(QString::fromLocal8Bit(deviceName))
                .arg(openedSerial),
            programSource, 1);
        if (scriptWiring)
            scriptWiring->stopScript();
    }
    foreignController = foreign;
}

void MainWindow::updateSettings()
{
    if (!settingsDlg)
        return;
    const MotorSettings* motor = settingsDlg->motorSettings;
    const unsigned int type = motor->entype.EngineType;
    const QString unit = appliedUnits().position;
    for (StepSpinBox* box : {&moveToBox, &shiftOnBox}) {
        if (type == 1 || type == 2 || type == 5) {
            box->setUnitMode(0, unit, 0);
        } else if (type == ENGINE_TYPE_STEP) {
            box->setUnitMode(1, unit, 0);
            box->setStepFactor(motor->microstepDivisor());
        }
    }
    moveToBox.update();
}

void MainWindow::critSettingsChanged()
{
    Log(tr("Essential settings changed: possible microstep rounding error and/or incorrect movement settings. "
           "Please verify all settings are correct before issuing any movement commands."),
        programSource, 2);
}

// ---------------------------------------------------------------- log lines

void MainWindow::Log(QString string, QString source, int loglevel)
{
    emit InsertLineSgn(QDateTime::currentDateTime(), string, source, loglevel, currentLogSettings());
}

void MainWindow::CommandErrorLog(const char* message, result_t result)
{
    if (!lastFailedCall)
        lastFailedCall = message;
    if (initialized)
        Log(DeviceInterface::failureText(message, result), programSource, 1);
}

void MainWindow::CommandWarningLog(const char* message, result_t result)
{
    if (initialized)
        Log(DeviceInterface::failureText(message, result), programSource, 2);
}

void MainWindow::ScriptExceptionLog(QString message)
{
    if (initialized)
        Log(message, QStringLiteral("Script"), 1);
}

// ---------------------------------------------------------------- other windows

void MainWindow::OnChartBtnPressed()
{
    if (!chartDlg)
        return;
    if (chartDlg->timer())
        chartDlg->timer()->blockSignals(false);
    chartDlg->show();
    chartDlg->raise();
    chartDlg->activateWindow();
}

void MainWindow::OnScriptBtnPressed()
{
    if (!scriptDlg)
        return;
    scriptDlg->show();
    scriptDlg->raise();
    scriptDlg->activateWindow();
}

void MainWindow::OnSettingsBtnPressed()
{
    if (!settingsDlg)
        return;
    if (settingsDlg->isVisible()) {
        settingsDlg->raise();
        settingsDlg->activateWindow();
        return;
    }
    QString source = configFile;
    if (!QFileInfo::exists(source)) {
        const QString defaults = ConfigurationFiles::defaultConfigPath();
        source = QFileInfo::exists(defaults) ? defaults : ConfigurationFiles::appDirDefaultConfigPath();
    }
    {
        IniSettings file(source);
        settingsDlg->FromSettingsToUi(&file, nullptr);
    }
    // The failed call is named from this read itself: lastFailedFunction belongs to the set-up.
    lastFailedCall = nullptr;
    const bool stageShown = settingsDlg->stageSettings->stageReloadPending;
    // Shown at once; its pages fill when the read on the axis' courier replies.
    settingsDlg->show();
    settingsDlg->raise();
    settingsDlg->activateWindow();
    QPointer<SettingsDlg> dialog = settingsDlg;
    settingsDlg->readForShowing([this, dialog, stageShown](SettingsDlg::ReadEnd end) {
        if (!dialog || closing)
            return;
        if (end == SettingsDlg::ReadEnd::Failed) {
            // Not shown with what it could not read.
            Log(tr("Failed to open Settings dialog because function %1 failed.")
                    .arg(QString::fromLatin1(lastFailedCall ? lastFailedCall : "")),
                programSource, 1);
            dialog->hide();
            return;
        }
        if (end == SettingsDlg::ReadEnd::Whole && stageShown)
            emit SgnDisableStagePages(false);
    });
}

void MainWindow::makeNewInstance()
{
    QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList());
}

// ---------------------------------------------------------------- script

bool MainWindow::hasSomethingToStop() const
{
    const uint64_t now = updateThread ? updateThread->reopenings().load() : sampleOpenings;
    return MotionRules::hasSomethingToStop(deviceConnected && deviceMode == 1, sampleOpenings, now);
}

bool MainWindow::scriptHoldsController() const
{
    return scriptWiring && scriptWiring->holdsController();
}

void MainWindow::stopScript()
{
    if (!scriptWiring)
        return;
    // The stop bars the script thread's calls before the caller hands its own stop to the
    // courier: a script call still waiting for the gateway never gets it, one inside the library
    // holds it, and the courier's stop waits for it there, not this thread.
    scriptWiring->stopScript();
}
