#include "mainwindow/MainWindow.h"

#include "mainwindow/MainWindowForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QProcess>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstring>

#include <qwt_slider.h>

#include "chartdlg/ChartDlg.h"
#include "chartdlg/GraphSettings.h"
#include "common/FieldText.h"
#include "common/FileChooser.h"
#include "common/FileSaver.h"
#include "common/Formatting.h"
#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "widgets/LabelUpdates.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "common/SettingsWriteReport.h"
#include "common/WindowPlacement.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/FirmwareUpdateThread.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "mainwindow/CyclicMotion.h"
#include "device/LatestSample.h"
#include "mainwindow/MotionRules.h"
#include "mainwindow/ZeroCommand.h"
#include "widgets/ProgramResources.h"
#include "widgets/SliderScaleDraw.h"
#include "mainwindow/StatusDisplay.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "pages/ControllerPageWgt.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/PageLogSettingsWgt.h"
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsDlg.h"
#include "settings_model/SliderSettings.h"
#include "device/StartupGlobals.h"

MainWindow* mainWindow = nullptr;
ScriptThread* scriptThread = nullptr;

namespace {

const QString programSource = QStringLiteral("Tolmo");

// The status-bar indicators in the order they stand; the cyclic one (index 3) has a picture.
struct IndicatorRow
{
    const char* text;
    const char* tip;
};
const IndicatorRow indicatorRows[] = {
    {"L btn", QT_TRANSLATE_NOOP("MainWindow", "Lights up when left button on the controller is pressed.")},
    {"R btn", QT_TRANSLATE_NOOP("MainWindow", "Lights up when right button on the controller is pressed.")},
    {"EEPR", QT_TRANSLATE_NOOP("MainWindow", "Lights up when EEPROM is connected.")},
    {"", QT_TRANSLATE_NOOP("MainWindow", "Cyclic mode off")},
    {"WndA", QT_TRANSLATE_NOOP("MainWindow", "Winding A status.")},
    {"WndB", QT_TRANSLATE_NOOP("MainWindow", "Winding B status.")},
    {"ENCD", QT_TRANSLATE_NOOP("MainWindow", "Encoder status.")},
    {"PWHT", QT_TRANSLATE_NOOP("MainWindow", "Lights up when power overheat is detected.")},
    {"SLIP", QT_TRANSLATE_NOOP("MainWindow", "Lights up when engine slip error is detected.")},
    {"ErrC", QT_TRANSLATE_NOOP("MainWindow", "Lights up when command error is detected.")},
    {"ErrD", QT_TRANSLATE_NOOP("MainWindow", "Lights up when data error is detected.")},
    {"ErrV", QT_TRANSLATE_NOOP("MainWindow", "Lights up when incorrect value error is detected.")},
};

const QString imagePath = QStringLiteral(":/mainwindow/images/mainwindow/");

QPalette textPalette(const QColor& text, bool dimDisabled)
{
    QPalette palette;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Light, QColor(0, 0, 0, 0));
        palette.setColor(group, QPalette::WindowText, text);
    }
    if (dimDisabled)
        palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0, 0, 0, 12));
    return palette;
}

QFont weighted(int weight)
{
    QFont font = QApplication::font();
    font.setWeight(weight);
    return font;
}

void showWeight(QWidget* widget, int weight)
{
    LabelUpdates::setFont(widget, weighted(weight));
}

// The message cell's colour of a log level.
QColor levelColour(int level)
{
    switch (level) {
    case 1:
        return QColor(QStringLiteral("#FF0000"));
    case 2:
        return QColor(QStringLiteral("#B0A000"));
    case 3:
        return QColor(QStringLiteral("#008000"));
    case 4:
        return QColor(QStringLiteral("#0000FF"));
    default:
        return QColor(QStringLiteral("black"));
    }
}

// Whether a line passes the threshold of its source; lines of other sources never show.
bool logLineShown(const QString& source, int level, const LogSettings& settings)
{
    int threshold;
    if (source == QLatin1String("Tolmo"))
        threshold = settings.programLevel;
    else if (source == QLatin1String("Script"))
        threshold = settings.scriptLevel;
    else if (source == QLatin1String("libtrov"))
        threshold = settings.libraryLevel;
    else
        return false;
    return level <= threshold;
}

} // namespace

MainWindow::MainWindow(QWidget* parent, device_t handle, const QString& name, DeviceInterface* gatewayIn)
    : QMainWindow(parent), deviceHandle(handle), gateway(gatewayIn), ui(new Ui::MainWindowClass)
{
    loadProgramResources();
    registerTrovMetaTypes();
    mainWindow = this;
    for (int i = 0; i < indicatorCount; ++i)
        indicatorLabels[i] = new QLabel();
    timer.start();

    const QByteArray nameBytes = name.toLocal8Bit();
    std::memset(deviceName, 0, sizeof deviceName);
    std::memcpy(deviceName, nameBytes.constData(), std::min<size_t>(nameBytes.size(), sizeof deviceName - 1));

    ui->setupUi(this);

    sliderDivisor = 1;
    ui->divisorLbl->hide();
    ui->divisorLbl->clear();

    scaleDraw = new SliderScaleDraw(sliderDivisor);
    ui->positionSldr->setScaleDraw(scaleDraw);
    ui->positionSldr->setScalePosition(QwtSlider::TrailingScale);
    ui->positionSldr->setTrough(false);
    ui->positionSldr->setGroove(true);
    ui->positionSldr->setHandleSize(QSize(30, 12));

    programVersion = programVersionText();
    connectButtons();
    InitUI();

    cyclic = std::make_unique<CyclicMotion>(gateway, &deviceHandle);
    updateThread = new UpdateThread(0, this, &deviceHandle, deviceName, gateway);
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

    const QFont indicatorFont = weighted(QFont::Bold);
    redPalette = textPalette(QColor(255, 0, 0), true);
    greenPalette = textPalette(QColor(0, 208, 0), true);
    yellowPalette = textPalette(QColor(255, 212, 0), true);
    greyPalette = textPalette(QColor(0, 0, 0, 12), false);
    indOnPixmap = QPixmap(imagePath + QStringLiteral("ind_on.svg"));
    indOffPixmap = QPixmap(imagePath + QStringLiteral("ind_off.svg"));
    cyclicOffPixmap = QPixmap(imagePath + QStringLiteral("cyclic_off.svg"));
    cyclicOnPixmap = QPixmap(imagePath + QStringLiteral("cyclic.svg"));

    for (int i = 0; i < indicatorCount; ++i) {
        QLabel* label = indicatorLabels[i];
        const IndicatorRow& row = indicatorRows[i];
        label->setFixedWidth(50);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(indicatorFont);
        label->setToolTip(tr(row.tip));
        if (i == cyclicIndicatorIndex) {
            label->setPixmap(cyclicOffPixmap);
        } else {
            label->setText(QString::fromLatin1(row.text));
            const bool lamp = i < 3;
            const bool alarm = i >= 7;
            label->setPalette(lamp ? greenPalette : alarm ? redPalette : greyPalette);
            label->setEnabled(!(lamp || alarm));
        }
        ui->statusBar->addPermanentWidget(label);
    }

    const struct
    {
        QLabel* label;
        const char* picture;
    } icons[] = {{ui->movingStateLbl, "state_moving.svg"}, {ui->targetSpeedLbl, "check.svg"},
                 {ui->antiplayLbl, "antiplay.svg"}};
    for (const auto& icon : icons) {
        icon.label->setPixmap(QPixmap(imagePath + QLatin1String(icon.picture)));
        QPalette palette = icon.label->palette();
        palette.setColor(QPalette::Window, QColor(255, 255, 255, 0));
        icon.label->setPalette(palette);
        icon.label->setEnabled(false);
    }

    // Room for a stepper's speed from the start. The Motor box's own minimum width stands in for
    // its contents' in the layout, so it has to cover them.
    ui->speedValue->setMinimumWidth(
        ui->speedValue->fontMetrics().horizontalAdvance(QStringLiteral("-10000 255/256 steps/s")));
    // A new value repaints its label alone, without laying out the window again. The position
    // has room for its widest value from the start, so the window keeps its size as it moves.
    const QStringList widestPosition{StatusDisplay::stepsText(INT_MIN, -255, 256, true), QString::number(INT_MIN)};
    LabelUpdates::holdSize(ui->positionValue, widestPosition);
    LabelUpdates::holdSize(ui->encoderValue, {QString::number(INT_MIN)});
    for (QLabel* label : {ui->speedValue, ui->pwrVoltageValue, ui->pwrCurrentValue, ui->usbVoltageValue,
                          ui->usbCurrentValue, ui->temperatureValue, ui->deviceValue, ui->pwmValue, ui->pwrValue,
                          ui->sourceValue, ui->divisorLbl})
        LabelUpdates::holdSize(label);
    ui->groupBox_3->setMinimumWidth(std::max(ui->groupBox_3->minimumWidth(), ui->groupBox_3->minimumSizeHint().width()));
    ui->positionSldr->setReadOnly(true);
    ui->encoderValue->setStyleSheet(QStringLiteral("QLabel { color : gray; }"));
    ui->centralWidget->setAutoFillBackground(true);

    normalBackground = ui->centralWidget->palette().color(QPalette::Window);
    int red, green, blue;
    StatusDisplay::alarmTint(normalBackground.red(), normalBackground.green(), normalBackground.blue(), &red,
                             &green, &blue);
    alarmBackground = QColor(red, green, blue);

    initLogTable();
    disableDisplay(2);
}

MainWindow::InitStatus MainWindow::init(QWidget* messageParent)
{
    deviceInitOk = true;
    settingsDlg = new SettingsDlg(nullptr, updateThread, gateway, false);
    settingsDlg->setWindowFlags(settingsDlg->windowFlags() | Qt::Tool);
    const bool identityRead = deviceInitOk.load();
    // The file name of the good identity read: a later failed read must not move the save.
    configFile = settingsDlg->getDeviceConfigFileName();
    lockStagePages();

    ControllerSettings* identity = settingsDlg->controllerSettings;
    openedSerial = identity->serialNumber;
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
    for (const QString& candidate : {configFile, defaultConfigPath(), appDirDefaultConfigPath()}) {
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
    loadAllSettings(chosen);

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

    loadLogSettings(settingsIniPath(), true);
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

    alarmLogged = false;
    exitRequested = false;
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
            saveAllSettings(configFile);
            saveSettingsIni(settingsIniPath());
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

    if (updateThread) {
        updateThread->closeDevice();
    } else {
        const device_t handle = deviceHandle.exchange(-1);
        if (handle != -1)
            gateway->close_device(handle);
    }

    // A thread that did not end keeps its objects: deleting them under it would crash.
    delete chartDlg;
    delete scriptDlg;
    if (firmwareJoined && pollingJoined)
        delete settingsDlg;
    if (scriptJoined)
        delete scriptWiring;
    if (scriptThread == scriptThreadObject)
        scriptThread = nullptr;
    if (pollingJoined)
        delete updateThread;
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
    // The title bar's close stops the script but leaves the axis as it is.
    if (scriptWiring)
        scriptWiring->stopScript();
    closing = true;
    homingBox.hide();
    if (stoppingBox)
        stoppingBox->hide();
    event->accept();
}

QLabel* MainWindow::indicator(const QString& text) const
{
    for (int i = 0; i < indicatorCount; ++i) {
        if (indicatorRows[i].text == text && i != cyclicIndicatorIndex)
            return indicatorLabels[i];
    }
    return nullptr;
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

// ---------------------------------------------------------------- configuration file

QString MainWindow::defaultConfigPath()
{
    return sharePath() + QStringLiteral("tolmodefault.cfg");
}

QString MainWindow::appDirDefaultConfigPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tolmodefault.cfg");
}

namespace {

// The program pages of the configuration file, in the order of its groups.
QList<ProgramPageWgt*> configPages(SettingsDlg* dialog)
{
    QList<ProgramPageWgt*> list;
    QList<SettingsPage> order = {SettingsPage::Cyclic, SettingsPage::ProgramConfiguration, SettingsPage::GraphSetup};
    for (int index = static_cast<int>(SettingsPage::PositionCurve); index <= static_cast<int>(SettingsPage::PotCurve);
         ++index)
        order.append(static_cast<SettingsPage>(index));
    for (SettingsPage position : order) {
        if (auto* page = qobject_cast<ProgramPageWgt*>(dialog->page(position)))
            list.append(page);
    }
    return list;
}

} // namespace

void MainWindow::saveAllSettings(const QString& path)
{
    if (!settingsDlg || path.isEmpty())
        return;
    IniSaver saver(path);
    QSettings* file = &saver.settings();
    // The pages write their widgets: they show the applied records first, so that an edit left
    // unapplied in the dialog is not stored.
    for (ProgramPageWgt* page : configPages(settingsDlg)) {
        page->FromClassToUi();
        page->SaveToFile(file);
    }
    FromUiToSettings(file);
    chartDlg->FromUiToSettings(file);
    scriptDlg->FromUiToSettings(file);
    settingsDlg->FromUiToSettings(file);
    commitOrReport(saver);
}

bool MainWindow::commitOrReport(IniSaver& file)
{
    QString reason;
    if (file.commit(&reason))
        return true;
    SettingsWriteReport::fileFailed(this, file.path(), reason,
                                    [this](const QString& line) { Log(line, programSource, 1); });
    return false;
}

void MainWindow::loadAllSettings(const QString& path)
{
    if (!settingsDlg || !QFileInfo::exists(path))
        return;
    IniSettings file(path);
    IniSettings defaults(defaultConfigPath());
    for (ProgramPageWgt* page : configPages(settingsDlg))
        page->RestoreFromFile(&file, &defaults);
    FromSettingsToUi(&file, &defaults);
    chartDlg->FromSettingsToUi(&file, &defaults);
    scriptDlg->FromSettingsToUi(&file, &defaults);
    settingsDlg->FromSettingsToUi(&file, &defaults);
}

void MainWindow::FromUiToSettings(QSettings* settings)
{
    settings->beginGroup(QStringLiteral("mainWindow_params"));
    if (!isMaximized()) {
        settings->setValue(QStringLiteral("position"), pos());
        settings->setValue(QStringLiteral("size"), size());
    }
    settings->setValue(QStringLiteral("fullScreen"), isMaximized());
    settings->endGroup();
}

bool MainWindow::storedGeometry(QSettings* file, QSettings* defaults, const QVector<QRect>& screens,
                                QRect* geometry, bool* maximised)
{
    const QString group = QStringLiteral("mainWindow_params/");
    QSettings* source = nullptr;
    if (file->contains(group + QStringLiteral("fullScreen")))
        source = file;
    else if (defaults)
        source = defaults;
    if (!source)
        return false;
    *maximised = source->value(group + QStringLiteral("fullScreen"), false).toBool();
    // A value of another type (a broken file) counts as missing.
    const QVariant storedPosition = source->value(group + QStringLiteral("position"));
    const QVariant storedSize = source->value(group + QStringLiteral("size"));
    const QPoint position = storedPosition.userType() == QMetaType::QPoint ? storedPosition.toPoint() : QPoint(100, 200);
    QSize size = storedSize.userType() == QMetaType::QSize ? storedSize.toSize() : QSize(633, 355);
    if (size.isEmpty())
        size = QSize(633, 355);
    // Cut to end on the screen; a position on no screen (a changed desktop, a broken value)
    // goes back to the default one.
    *geometry = placeWindow(position, size, QSize(1, 1), screens, QPoint(100, 200));
    return true;
}

void MainWindow::FromSettingsToUi(QSettings* file, QSettings* defaults)
{
    QRect geometry;
    bool maximised = false;
    if (!storedGeometry(file, defaults, screenGeometries(), &geometry, &maximised))
        return;
    if (maximised) {
        showMaximized();
        return;
    }
    // The stored place, kept on a screen, not below the window's minimum size.
    const QRect placed = placeWindow(geometry.topLeft(), geometry.size(), minimumSize(), screenGeometries(),
                                     QPoint(100, 200));
    move(placed.topLeft());
    resize(placed.size());
}

void MainWindow::saveSettingsIni(const QString& path)
{
    if (!settingsDlg)
        return;
    IniSaver saver(path);
    ProgramSettingsFile::writeControllerSet(saver.settings(), {settingsDlg->controllerSettings->serialNumber});
    if (auto* page = qobject_cast<ProgramPageWgt*>(settingsDlg->page(SettingsPage::LogSettings))) {
        page->FromClassToUi();
        page->SaveToFile(&saver.settings());
    }
    commitOrReport(saver);
}

void MainWindow::loadLogSettings(const QString& path, bool apply)
{
    if (!apply || !settingsDlg || !QFileInfo::exists(path))
        return;
    auto* page = qobject_cast<PageLogSettingsWgt*>(settingsDlg->page(SettingsPage::LogSettings));
    if (!page)
        return;
    IniSettings ini(path);
    page->RestoreFromFile(&ini);
    page->FromUiToClass();
}

// ---------------------------------------------------------------- status display

void MainWindow::UpdateVars(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                            analog_data_t analog_data, bool connect, int device_mode)
{
    Q_UNUSED(number);
    Q_UNUSED(chart_data);
    if (queuedSamples.size() >= static_cast<size_t>(maxQueuedSamples))
        queuedSamples.pop_front();
    queuedSamples.push_back(Sample{msrTime, state, analog_data, connect, device_mode, incomingReadNumber});
    takeQueuedSamples();
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
    if (kind == Refresh::Sample && initialized && exitRequested && !completeExit())
        return;

    showPendingLogLines();

    if (!initialized)
        return;
    if (!pollingAllowed) {
        if (kind == Refresh::Sample)
            stopMotionOnLoss(tr("polling paused"));
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
        setWindowTitle(mainTitle + tr(" (disconnected)"));
        if (kind == Refresh::Sample && !deviceLostLogged) {
            Log(tr("Device lost."), programSource, 2);
            deviceLostLogged = true;
        }
        if (kind == Refresh::Sample)
            stopMotionOnLoss(tr("device lost"));
        ui->positionSldr->setEnabled(false);
        disableDisplay(2);
        return;
    }

    showAlarm((state.Flags & STATE_ALARM) != 0, kind);

    if (deviceMode == 1) {
        if (kind == Refresh::Sample)
            stopMotionOnLoss(tr("device in its bootloader"));
        showBootloader(state, mainTitle);
        return;
    }

    if (controlsDisabled) {
        if (kind == Refresh::RenderOnly)
            return;
        controlsDisabled = false;
        LoadPosition();
        // Another controller answering under this name keeps the controls off: nothing may move
        // it from here, and its settings are not taken for ours.
        if (!foreignController) {
            enableControls();
            settingsDlg->motorSettings->readBasicFromDevice();
            settingsDlg->AllPagesFromDeviceToClassToUi(false, false);
        }
    }
    setWindowTitle(mainTitle);
    showFirmware(state, kind);
}

void MainWindow::trackStageEeprom(const status_t& state, bool connected)
{
    StageSettings* stage = settingsDlg->stageSettings;
    const bool present = connected && (state.Flags & STATE_EEPROM_CONNECTED);
    if (!present) {
        if (!stageEepromAbsent) {
            stage->stageName.PositionerName[0] = '\0';
            emit SgnDisableStagePages(true);
            if (!settingsDlg->isVisible())
                stage->stageReloadPending = false;
        }
        stageEepromAbsent = true;
        return;
    }
    if (!stageEepromAbsent || deviceMode != 2)
        return;
    stage_name_t name;
    std::memset(&name, 0, sizeof name);
    const result_t result = gateway->get_stage_name(deviceHandle.load(), &name);
    if (result == result_ok) {
        name.PositionerName[sizeof name.PositionerName - 1] = '\0';
        stage->stageName = name;
    }
    stageEepromAbsent = result != result_ok;
    if (stageEepromAbsent)
        return;
    if (!settingsDlg->isVisible()) {
        stage->stageReloadPending = true;
    } else {
        settingsDlg->StageSettingsFromDeviceToClassToUi();
        emit SgnDisableStagePages(false);
    }
}

void MainWindow::lockStagePages()
{
    // The next sample with the EEPROM present reads the name again and unlocks them.
    stageEepromAbsent = true;
    emit SgnDisableStagePages(true);
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

void MainWindow::showAlarm(bool alarm, Refresh kind)
{
    QPalette palette = ui->centralWidget->palette();
    palette.setBrush(QPalette::All, QPalette::Window, alarm ? alarmBackground : normalBackground);
    LabelUpdates::setPalette(ui->centralWidget, palette);
    QFont font = ui->stopBtn->font();
    font.setWeight(alarm ? QFont::Bold : QFont::Normal);
    LabelUpdates::setFont(ui->stopBtn, font);
    if (kind == Refresh::RenderOnly)
        return;
    if (alarm && !alarmLogged)
        Log(tr("ALARM signal from device."), programSource, 1);
    alarmLogged = alarm;
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
    showSlider(state);

    const SliderSettings* slider = settingsDlg->sliderSettings;
    const engine_settings_t& engine = settingsDlg->motorSettings->engine;
    QString speed;
    if (engineType() == ENGINE_TYPE_STEP) {
        LabelUpdates::setText(ui->positionValue, stepsText(state.CurPosition, state.uCurPosition, true));
        speed = stepsText(state.CurSpeed, state.uCurSpeed, false) + appliedUnits().speed;
    } else {
        LabelUpdates::setText(ui->positionValue, QString::number(state.CurPosition));
        speed = QString::number(state.CurSpeed) + appliedUnits().speed;
    }
    LabelUpdates::setText(ui->speedValue, limitMarked(speed, ENGINE_LIMIT_RPM, state.CurSpeed, engine.NomSpeed));
    LabelUpdates::setText(ui->encoderValue, QString::number(state.EncPosition));
    ui->encoderValue->setVisible(slider->showSecondaryPosition);

    const struct
    {
        QLabel* label;
        unsigned int bit;
        const char* tip;
    } motion[] = {{ui->movingStateLbl, MOVE_STATE_MOVING, QT_TR_NOOP("State is moving.")},
                  {ui->targetSpeedLbl, MOVE_STATE_TARGET_SPEED, QT_TR_NOOP("Target speed reached.")},
                  {ui->antiplayLbl, MOVE_STATE_ANTIPLAY, QT_TR_NOOP("Antiplay active.")}};
    for (const auto& icon : motion) {
        const bool on = state.MoveSts & icon.bit;
        icon.label->setEnabled(on);
        LabelUpdates::setToolTip(icon.label, on ? tr(icon.tip) : QString());
    }

    showReadings(state);
    showIndicators(state);
    if (kind == Refresh::Sample)
        showEncoderHint(state);
    if (kind == Refresh::Sample && cyclicOn)
        cyclicStep();
    showHomingBox(state);
    releaseScriptHold();
}

void MainWindow::showSlider(const status_t& state)
{
    const SliderSettings* slider = settingsDlg->sliderSettings;
    const edges_settings_t& edges = settingsDlg->motorSettings->edges;
    int left = slider->leftPoint, right = slider->rightPoint;
    if (slider->loadFromDevice) {
        left = edges.LeftBorder;
        right = edges.RightBorder;
    }
    sliderLeftPoint = left;
    sliderRightPoint = right;
    const StatusDisplay::Range range =
        StatusDisplay::shiftRangeToPosition(left, right, state.CurPosition, slider->watchOverLimits);
    sliderMin = range.min;
    sliderMax = range.max;
    const int divisor = StatusDisplay::sliderDivisor(sliderMin, sliderMax);
    ui->divisorLbl->setVisible(divisor > 1);
    setDivisorLabel(divisor);
    if (divisor != sliderDivisor || scaleDraw->divisor() != divisor) {
        sliderDivisor = divisor;
        scaleDraw->setDivisor(divisor);
    }
    QwtSlider* bar = ui->positionSldr;
    if (bar->minimum() != sliderMin || bar->maximum() != sliderMax) {
        bar->setScale(sliderMin, sliderMax);
        const qint64 span = qint64(sliderMax) - sliderMin;
        bar->setTotalSteps(static_cast<uint>(std::clamp<qint64>(span, 1, UINT_MAX)));
        bar->setPageSteps(0);
        bar->setScaleMaxMajor(8);
        bar->setScaleMaxMinor(10);
        bar->update();
    }
    if (bar->value() != state.CurPosition)
        bar->setValue(state.CurPosition);
    bar->setEnabled(edges.LeftBorder <= edges.RightBorder);
}

void MainWindow::showReadings(const status_t& state)
{
    static const QPalette red = textPalette(QColor(255, 0, 0), false);
    static const QPalette blue = textPalette(QColor(0, 0, 255), false);
    const engine_settings_t& engine = settingsDlg->motorSettings->engine;
    const struct
    {
        QLabel* value;
        QLabel* caption;
        unsigned int redBit;
        unsigned int blueBit;
        QString text;
    } rows[] = {
        {ui->pwrVoltageValue, ui->pwrVoltageLbl, STATE_OVERLOAD_POWER_VOLTAGE, STATE_LOW_POWER_VOLTAGE,
         limitMarked(StatusDisplay::voltageText(state.Upwr), ENGINE_LIMIT_VOLT, state.Upwr, engine.NomVoltage)},
        {ui->pwrCurrentValue, ui->pwrCurrentLbl, STATE_OVERLOAD_POWER_CURRENT, 0,
         limitMarked(QStringLiteral("%1 mA").arg(state.Ipwr), ENGINE_LIMIT_CURR, state.Ipwr, engine.NomCurrent)},
        {ui->usbVoltageValue, ui->usbVoltageLbl, STATE_OVERLOAD_USB_VOLTAGE, STATE_LOW_USB_VOLTAGE,
         StatusDisplay::voltageText(state.Uusb)},
        {ui->usbCurrentValue, ui->usbCurrentLbl, STATE_OVERLOAD_USB_CURRENT, 0,
         QStringLiteral("%1 mA").arg(state.Iusb)},
        {ui->temperatureValue, ui->temperatureLbl, STATE_CONTROLLER_OVERHEAT, 0,
         StatusDisplay::temperatureText(state.curT)},
    };
    for (const auto& row : rows) {
        const bool isRed = state.Flags & row.redBit;
        const bool isBlue = !isRed && row.blueBit && (state.Flags & row.blueBit);
        showWeight(row.value, isRed || isBlue ? QFont::Bold : QFont::Normal);
        LabelUpdates::setPalette(row.value, isRed ? red : isBlue ? blue : row.caption->palette());
        LabelUpdates::setText(row.value, row.text);
    }
    for (QWidget* widget : {static_cast<QWidget*>(ui->usbVoltageValue), static_cast<QWidget*>(ui->usbCurrentValue),
                            static_cast<QWidget*>(ui->usbVoltageLbl), static_cast<QWidget*>(ui->usbCurrentLbl),
                            static_cast<QWidget*>(ui->temperatureLbl), static_cast<QWidget*>(ui->temperatureValue)})
        widget->setEnabled(true);

    showWeight(ui->deviceValue, state.MvCmdSts & MVCMD_RUNNING ? QFont::Bold : QFont::Normal);
    QPalette command = ui->deviceLbl->palette();
    const QColor commandColour = state.MvCmdSts & MVCMD_ERROR ? QColor(255, 0, 0) : QColor(0, 0, 0);
    for (auto group : {QPalette::Active, QPalette::Inactive})
        command.setColor(group, QPalette::WindowText, commandColour);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        command.setColor(group, QPalette::Light, QColor(0, 0, 0, 0));
    LabelUpdates::setPalette(ui->deviceValue, command);
    LabelUpdates::setText(ui->deviceValue, tr(StatusDisplay::commandText(state.MvCmdSts)));
    ui->pwmValue->hide();
    ui->pwmLbl->hide();

    LabelUpdates::setText(ui->pwrValue, tr(StatusDisplay::powerStateText(state.PWRSts)));
    ui->pwrValue->setEnabled(true);
    ui->pwrLbl->setEnabled(true);
    LabelUpdates::setText(ui->sourceValue, state.Flags & STATE_EXT_POWER ? tr("External") : QStringLiteral("USB"));
    LabelUpdates::setPixmap(ui->lBdrInd, state.GPIOFlags & STATE_LEFT_EDGE ? indOnPixmap : indOffPixmap);
    LabelUpdates::setPixmap(ui->rBdrInd, state.GPIOFlags & STATE_RIGHT_EDGE ? indOnPixmap : indOffPixmap);
}

void MainWindow::showIndicators(const status_t& state)
{
    const struct
    {
        const char* text;
        bool lit;
    } lamps[] = {
        {"ErrC", (state.Flags & STATE_ERRC) != 0},          {"ErrD", (state.Flags & STATE_ERRD) != 0},
        {"ErrV", (state.Flags & STATE_ERRV) != 0},          {"SLIP", (state.Flags & STATE_CTP_ERROR) != 0},
        {"PWHT", (state.Flags & STATE_POWER_OVERHEAT) != 0}, {"R btn", (state.GPIOFlags & STATE_BUTTON_RIGHT) != 0},
        {"L btn", (state.GPIOFlags & STATE_BUTTON_LEFT) != 0}, {"EEPR", (state.Flags & STATE_EEPROM_CONNECTED) != 0},
    };
    for (const auto& lamp : lamps)
        indicator(QLatin1String(lamp.text))->setEnabled(lamp.lit);

    QLabel* encoder = indicator(QStringLiteral("ENCD"));
    encoder->setEnabled(true);
    LabelUpdates::setPalette(encoder, state.EncSts == ENC_STATE_MALFUNC  ? redPalette
                        : state.EncSts == ENC_STATE_REVERS ? yellowPalette
                        : state.EncSts == ENC_STATE_OK     ? greenPalette
                                                           : greyPalette);
    QLabel* windingA = indicator(QStringLiteral("WndA"));
    windingA->setEnabled(true);
    const unsigned int a = state.WindSts & 0x3;
    LabelUpdates::setPalette(windingA, a == WIND_A_STATE_MALFUNC ? redPalette : a == WIND_A_STATE_OK ? greenPalette : greyPalette);
    QLabel* windingB = indicator(QStringLiteral("WndB"));
    windingB->setEnabled(true);
    const unsigned int b = state.WindSts & 0x30;
    LabelUpdates::setPalette(windingB, b == WIND_B_STATE_MALFUNC ? redPalette : b == WIND_B_STATE_OK ? greenPalette : greyPalette);
}

void MainWindow::showEncoderHint(const status_t& state)
{
    const bool available = state.EncSts == ENC_STATE_OK || state.EncSts == ENC_STATE_REVERS;
    if (!available) {
        encoderHintLogged = false;
        return;
    }
    if (settingsDlg->motorSettings->feedback.FeedbackType == FEEDBACK_ENCODER || encoderHintLogged)
        return;
    if (state.EncSts == ENC_STATE_OK)
        Log(tr("Encoder is available. You may turn it on in Settings -> Device configuration -> [Motor type: DC or "
               "stepper] -> Feedback -> Encoder"),
            programSource, 3);
    else
        Log(tr("Encoder is available and reversed. You may turn it on in Settings -> Device configuration -> [Motor "
               "type: DC or stepper] -> Feedback -> Encoder"),
            programSource, 3);
    encoderHintLogged = true;
}

QString MainWindow::limitMarked(const QString& text, unsigned int flag, int64_t value, unsigned int nominal) const
{
    const engine_settings_t& engine = settingsDlg->motorSettings->engine;
    if ((engine.EngineFlags & flag) && StatusDisplay::atLimit(value, nominal))
        return StatusDisplay::overlined(text);
    return text;
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

void MainWindow::setDivisorLabel(int divisor)
{
    LabelUpdates::setText(ui->divisorLbl, StatusDisplay::divisorLabelText(divisor, appliedUnits().position));
}

void MainWindow::disableDisplay(int mode)
{
    if (mode == 2) {
        LabelUpdates::setText(ui->positionValue, tr("No device"));
    } else if (mode == 1 && settingsDlg) {
        ControllerSettings* identity = settingsDlg->controllerSettings;
        logIdentityFailure(identity->readDeviceIdentity(ControllerSettings::Read::Later));
        LabelUpdates::setText(ui->positionValue, tr("Bootloader v%1.%2.%3")
                                        .arg(identity->bootloaderMajor)
                                        .arg(identity->bootloaderMinor)
                                        .arg(identity->bootloaderRelease));
    }
    for (QLabel* label : {ui->speedValue, ui->pwrVoltageValue, ui->pwrCurrentValue, ui->usbVoltageValue,
                          ui->usbCurrentValue, ui->temperatureValue, ui->deviceValue, ui->pwmValue, ui->pwrValue,
                          ui->sourceValue})
        LabelUpdates::setText(label, tr("-"));
    LabelUpdates::setPixmap(ui->lBdrInd, indOffPixmap);
    LabelUpdates::setPixmap(ui->rBdrInd, indOffPixmap);
    for (int i = 0; i < indicatorCount; ++i) {
        if (i != cyclicIndicatorIndex)
            indicatorLabels[i]->setEnabled(false);
    }
    for (QLabel* icon : {ui->movingStateLbl, ui->targetSpeedLbl, ui->antiplayLbl})
        icon->setEnabled(false);
    const struct
    {
        QLabel* value;
        QLabel* caption;
    } readings[] = {{ui->pwrVoltageValue, ui->pwrVoltageLbl}, {ui->pwrCurrentValue, ui->pwrCurrentLbl},
                    {ui->usbVoltageValue, ui->usbVoltageLbl}, {ui->usbCurrentValue, ui->usbCurrentLbl},
                    {ui->temperatureValue, ui->temperatureLbl}, {ui->deviceValue, ui->deviceLbl}};
    for (const auto& reading : readings) {
        showWeight(reading.value, QFont::Normal);
        LabelUpdates::setPalette(reading.value, reading.caption->palette());
    }
    for (QWidget* button : {static_cast<QWidget*>(ui->leftBdrBtn), static_cast<QWidget*>(ui->leftBtn),
                            static_cast<QWidget*>(ui->stopBtn), static_cast<QWidget*>(ui->sstpBtn),
                            static_cast<QWidget*>(ui->rightBdrBtn), static_cast<QWidget*>(ui->rightBtn),
                            static_cast<QWidget*>(ui->shiftBtn), static_cast<QWidget*>(ui->moveBtn),
                            static_cast<QWidget*>(ui->zeroBtn), static_cast<QWidget*>(ui->cyclicBtn),
                            static_cast<QWidget*>(ui->chartBtn), static_cast<QWidget*>(ui->homeBtn),
                            static_cast<QWidget*>(&moveToBox), static_cast<QWidget*>(&shiftOnBox)})
        button->setEnabled(false);
    ui->encoderValue->hide();
    ui->statusBar->clearMessage();
    controlsDisabled = true;
    lockStagePages();
}

void MainWindow::enableControls()
{
    for (QWidget* widget : {static_cast<QWidget*>(ui->movingStateLbl), static_cast<QWidget*>(ui->targetSpeedLbl),
                            static_cast<QWidget*>(ui->antiplayLbl), static_cast<QWidget*>(ui->leftBdrBtn),
                            static_cast<QWidget*>(ui->leftBtn), static_cast<QWidget*>(ui->stopBtn),
                            static_cast<QWidget*>(ui->sstpBtn), static_cast<QWidget*>(ui->rightBdrBtn),
                            static_cast<QWidget*>(ui->rightBtn), static_cast<QWidget*>(ui->shiftBtn),
                            static_cast<QWidget*>(ui->moveBtn), static_cast<QWidget*>(ui->zeroBtn),
                            static_cast<QWidget*>(ui->cyclicBtn), static_cast<QWidget*>(ui->chartBtn),
                            static_cast<QWidget*>(ui->homeBtn), static_cast<QWidget*>(&moveToBox),
                            static_cast<QWidget*>(&shiftOnBox)})
        widget->setEnabled(true);
}

void MainWindow::LoadPosition()
{
    if (!settingsDlg)
        return;
    const char* failed = settingsDlg->controllerSettings->readDeviceIdentity(ControllerSettings::Read::Later);
    logIdentityFailure(failed);
    checkControllerIdentity(failed == nullptr);
    // Only a loss is announced again; a paused poll was no loss.
    if (deviceLostLogged) {
        QString name = QString::fromLocal8Bit(deviceName);
        name.remove(QLatin1Char('.'));
        name.remove(QLatin1Char('\\'));
        Log(tr("Device found [%1].").arg(name), programSource, 3);
    }
    deviceLostLogged = false;
}

void MainWindow::logIdentityFailure(const char* failed)
{
    // The flag of the set-up stays as it is: a passing failure must not cancel the exit save.
    if (failed && !identityFailureLogged)
        Log(tr("Reading the controller identity failed: function %1 failed.").arg(QString::fromLatin1(failed)),
            programSource, 2);
    identityFailureLogged = failed != nullptr;
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

// ---------------------------------------------------------------- log table

void MainWindow::Log(QString string, QString source, int loglevel)
{
    emit InsertLineSgn(QDateTime::currentDateTime(), string, source, loglevel, currentLogSettings());
}

void MainWindow::CommandErrorLog(const char* message, result_t result)
{
    if (!lastFailedCall)
        lastFailedCall = message;
    if (initialized)
        Log(QStringLiteral("Function %1() failed, result = %2").arg(QString::fromLatin1(message)).arg(result),
            programSource, 1);
}

void MainWindow::CommandWarningLog(const char* message, result_t result)
{
    if (initialized)
        Log(QStringLiteral("Function %1() failed, result = %2").arg(QString::fromLatin1(message)).arg(result),
            programSource, 2);
}

void MainWindow::ScriptExceptionLog(QString message)
{
    if (initialized)
        Log(message, QStringLiteral("Script"), 1);
}

void MainWindow::initLogTable()
{
    QTableWidget* table = ui->logEdit;
    table->setColumnCount(4);
    logTitles.clear();
    logTitles << tr("Date") << tr("Time") << tr("Source") << tr("Message");
    table->setHorizontalHeaderLabels(logTitles);
    table->verticalHeader()->hide();
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->verticalHeader()->setDefaultSectionSize(QFontMetrics(table->font()).height() + 2);
    // Rows of one height: the view need not measure them.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setStyleSheet(QStringLiteral("QTableWidget { gridline-color: #F0F0F0 }"));
    // Set once: per row it would measure the whole table again.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
}

void MainWindow::setLogClock(std::function<double()> clock)
{
    logClock = std::move(clock);
    logFinishPerRowMs = 0;
}

void MainWindow::showPendingLogLines()
{
    if (!messageLog)
        return;
    QTableWidget* table = ui->logEdit;
    QScrollBar* bar = table->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    const auto now = [this] { return logClock ? logClock() : timer.getElapsedTimeInMilliSec(); };
    const double start = now();
    const LogSettings settings = currentLogSettings();
    // Rows go in a block at a time: one insertion per row makes the view's bookkeeping grow
    // with the table.
    constexpr int rowsPerBlock = 64;
    std::vector<LogItem> block;
    block.reserve(rowsPerBlock);
    bool added = false;
    int rowsAdded = 0;
    const auto flush = [&] {
        if (block.empty())
            return;
        if (!added) {
            table->setUpdatesEnabled(false);
            added = true;
        }
        appendLogRows(block);
        rowsAdded += int(block.size());
        block.clear();
    };
    LogItem item;
    while (messageLog->takeItem(&item)) {
        if (logLineShown(item.source, item.loglevel, settings)) {
            block.push_back(std::move(item));
            if (int(block.size()) == rowsPerBlock)
                flush();
        }
        // The work after the loop (scrolling lays out the new rows) counts too: the budget keeps
        // room for it at the rate of the last time.
        if (now() - start + double(rowsAdded + block.size()) * logFinishPerRowMs >= logDrainMs)
            break;
    }
    flush();
    if (!added)
        return;
    const double finishStart = now();
    if (table->rowCount() > logRowLimit) {
        const int dropBlock = std::max(1, logRowDropBlock);
        const int excess = table->rowCount() - logRowLimit;
        const int drop = ((excess + dropBlock - 1) / dropBlock) * dropBlock;
        table->model()->removeRows(0, std::min(drop, table->rowCount()));
    }
    table->setUpdatesEnabled(true);
    if (atBottom)
        table->scrollToBottom();
    logFinishPerRowMs = std::clamp((now() - finishStart) / rowsAdded, 0.0, 0.1);
}

void MainWindow::appendLogRows(const std::vector<LogItem>& items)
{
    QTableWidget* table = ui->logEdit;
    int row = table->rowCount();
    table->setRowCount(row + int(items.size()));
    for (const LogItem& line : items) {
        table->setItem(row, 0, new QTableWidgetItem(line.datetime.toString(QStringLiteral("yyyy.MM.dd"))));
        table->setItem(row, 1, new QTableWidgetItem(line.datetime.toString(QStringLiteral("hh:mm:ss.zzz"))));
        table->setItem(row, 2, new QTableWidgetItem(line.source));
        auto* text = new QTableWidgetItem(line.message);
        text->setForeground(levelColour(line.loglevel));
        table->setItem(row, 3, text);
        ++row;
    }
}

void MainWindow::OnClearLogBtnPressed()
{
    if (messageLog)
        messageLog->clearItems();
    ui->logEdit->clear();
    ui->logEdit->setRowCount(0);
    initLogTable();
}

QByteArray MainWindow::logTableCsv() const
{
    const QTableWidget* table = ui->logEdit;
    QString text;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            if (column > 0)
                text += QLatin1Char(',');
            const QTableWidgetItem* cell = table->item(row, column);
            appendCsvField(text, cell ? cell->text() : QString());
        }
        text += QLatin1String("\r\n");
    }
    return text.toUtf8();
}

void MainWindow::OnSaveLogBtnPressed()
{
    const QString proposed = configDirPath() + QStringLiteral("/log_")
                             + QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd_hh.mm.ss"))
                             + QStringLiteral(".csv");
    const QString path = FileChooser::current()->saveFileName(
        nullptr, tr("Save log file"), proposed, tr("CSV files (*.csv);;Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    // Written beside the target and moved over it only when complete: a failure leaves an
    // existing file as it was.
    QString reason;
    if (FileSaver::save(path, logTableCsv(), &reason))
        return;
    MessagePrompter::current()->prompt(this, QMessageBox::Warning, tr("Error"),
                                       tr("The log could not be saved to %1:\n%2").arg(path, reason), QMessageBox::Ok,
                                       QMessageBox::Ok);
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
    // The failed call is named from this read itself: lastFailedFunction belongs to the set-up.
    lastFailedCall = nullptr;
    if (!settingsDlg->AllPagesFromDeviceToClassToUi(true, true)) {
        Log(tr("Failed to open Settings dialog because function %1 failed.")
                .arg(QString::fromLatin1(lastFailedCall ? lastFailedCall : "")),
            programSource, 1);
        return;
    }
    QString source = configFile;
    if (!QFileInfo::exists(source))
        source = QFileInfo::exists(defaultConfigPath()) ? defaultConfigPath() : appDirDefaultConfigPath();
    {
        IniSettings file(source);
        settingsDlg->FromSettingsToUi(&file, nullptr);
    }
    if (settingsDlg->stageSettings->stageReloadPending) {
        settingsDlg->StageSettingsFromDeviceToClassToUi();
        emit SgnDisableStagePages(false);
    }
    settingsDlg->show();
    settingsDlg->raise();
    settingsDlg->activateWindow();
}

void MainWindow::makeNewInstance()
{
    QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList());
}

// ---------------------------------------------------------------- motion commands
// The motion commands, the cyclic motion and the exit with its soft stop.

void MainWindow::UpdateVarsRead(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                                analog_data_t analog_data, bool connect, int device_mode, quint64 statusReadNumber)
{
    incomingReadNumber = statusReadNumber;
    UpdateVars(number, msrTime, state, chart_data, analog_data, connect, device_mode);
    incomingReadNumber = 0;
}

bool MainWindow::completeExit()
{
    const bool boxShown = stoppingBox && stoppingBox->isVisible();
    switch (exitSequence.onSample(deviceConnected, deviceMode, currentReadNumber, lastStatus.MvCmdSts, boxShown)) {
    case ExitSequence::Action::Wait:
        return true;
    case ExitSequence::Action::Cancelled:
        exitRequested = false;
        return true;
    case ExitSequence::Action::Aborted:
        Log(tr("Exit aborted because of external command interrupt (joystick, sync in, etc.)."), programSource, 2);
        exitRequested = false;
        stoppingBox->hide();
        return true;
    case ExitSequence::Action::PowerOff:
        break;
    }
    switch (exitSequence.powerOffResult(gateway->command_power_off(deviceHandle))) {
    case ExitSequence::PowerOff::Done:
        exitRequested = false;
        closing = true;
        stoppingBox->hide();
        close();
        return false;
    case ExitSequence::PowerOff::Retry:
        Log(tr("Error sending power off command on exit."), programSource, 2);
        return false;
    case ExitSequence::PowerOff::GaveUp:
        Log(tr("Error sending power off command on exit."), programSource, 2);
        exitRequested = false;
        stoppingBox->hide();
        // Not from inside the refresh: the message box runs an event loop of its own.
        QTimer::singleShot(0, this, &MainWindow::showPowerOffFailure);
        return false;
    }
    return false;
}

void MainWindow::showPowerOffFailure()
{
    MessagePrompter::current()->prompt(
        this, QMessageBox::Warning, tr("Exit"),
        tr("The motor could not be powered off (%1 tries). The axis is soft-stopped; the window stays open.")
            .arg(ExitSequence::maxPowerOffTries),
        QMessageBox::Ok, QMessageBox::Ok);
}

void MainWindow::cyclicStep()
{
    if (settingsDlg)
        cyclic->step(lastStatus, *settingsDlg->cyclicSettings);
}

void MainWindow::switchCyclicOff()
{
    cyclic->switchOff();
    cyclicOn = false;
    QLabel* lamp = cyclicIndicator();
    lamp->setToolTip(tr("Cyclic off"));
    lamp->setPixmap(cyclicOffPixmap);
    ui->statusBar->update();
}

void MainWindow::stopMotionOnLoss(const QString& why)
{
    if (cyclicOn) {
        switchCyclicOff();
        Log(tr("Cyclic motion stopped: %1.").arg(why), programSource, 2);
    }
    if (homingBox.isVisible())
        homingBox.hide();
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

void MainWindow::SetCyclicEnable(bool enable)
{
    ui->cyclicBtn->setEnabled(enable);
    if (enable) {
        ui->cyclicBtn->setToolTip(QString());
    } else {
        ui->cyclicBtn->setToolTip(tr("Set Motor->Fine tuneup on to allow Cyclic mode"));
        switchCyclicOff();
    }
}

void MainWindow::OnCyclicBtnPressed()
{
    if (!settingsDlg || closing)
        return;
    if (!cyclic->start(*settingsDlg->cyclicSettings))
        return;
    cyclicOn = true;
    QLabel* lamp = cyclicIndicator();
    lamp->setPixmap(cyclicOnPixmap);
    lamp->setToolTip(tr("Cyclic mode on"));
    ui->statusBar->update();
}

void MainWindow::sendButtonCommand(const std::function<result_t(device_t)>& command)
{
    if (closing)
        return;
    switchCyclicOff();
    command(deviceHandle);
}

void MainWindow::OnLeftBtnPressed()
{
    sendButtonCommand([this](device_t id) { return gateway->command_left(id); });
}

void MainWindow::OnRightBtnPressed()
{
    sendButtonCommand([this](device_t id) { return gateway->command_right(id); });
}

bool MainWindow::takeTarget(StepSpinBox& box, const QString& command)
{
    if (box.commitText())
        return true;
    Log(tr("%1: \"%2\" is not a target; nothing was sent.").arg(command, box.cleanText()), programSource, 2);
    box.setFocus();
    return false;
}

void MainWindow::OnMoveBtnPressed()
{
    if (!takeTarget(moveToBox, tr("Move to")))
        return;
    const int step = moveToBox.getStep();
    const int ustep = moveToBox.getUStep();
    sendButtonCommand([=](device_t id) { return gateway->command_move(id, step, ustep); });
}

void MainWindow::OnShiftBtnPressed()
{
    if (!takeTarget(shiftOnBox, tr("Shift on")))
        return;
    const int step = shiftOnBox.getStep();
    const int ustep = shiftOnBox.getUStep();
    sendButtonCommand([=](device_t id) { return gateway->command_movr(id, step, ustep); });
}

void MainWindow::OnLeftBdrBtnPressed()
{
    const int point = sliderLeftPoint;
    sendButtonCommand([=](device_t id) { return gateway->command_move(id, point, 0); });
}

void MainWindow::OnRightBdrBtnPressed()
{
    const int point = sliderRightPoint;
    sendButtonCommand([=](device_t id) { return gateway->command_move(id, point, 0); });
}

void MainWindow::OnGoHomeBtnPressed()
{
    sendButtonCommand([this](device_t id) { return gateway->command_home(id); });
}

void MainWindow::OnStopBtnPressed()
{
    // The script first, so that no command of it follows the stop.
    stopScript();
    sendButtonCommand([this](device_t id) { return gateway->command_stop(id); });
}

void MainWindow::OnSstpBtnPressed()
{
    stopScript();
    sendButtonCommand([this](device_t id) {
        // A fresh state: the last sample may be 100 ms old, and powering off a moving axis drops it.
        status_t state;
        std::memset(&state, 0, sizeof state);
        const result_t read = gateway->get_status(id, &state);
        if (MotionRules::softStopAction(read, state) == MotionRules::SoftStopAction::PowerOff)
            return gateway->command_power_off(id);
        return gateway->command_sstp(id);
    });
}

void MainWindow::stopScript()
{
    if (!scriptWiring)
        return;
    scriptWiring->stopScript();
    // A native past its stop check may still be waiting for the gateway: let it finish first.
    QDeadlineTimer deadline(scriptStopWaitMs);
    while (scriptThreadObject->isBusy() && !deadline.hasExpired())
        QThread::msleep(2);
}

void MainWindow::stopHoming()
{
    if (!closing)
        gateway->command_stop(deviceHandle);
}

void MainWindow::OnZeroBtnPressed(QString side)
{
    if (!settingsDlg || closing)
        return;
    ui->positionSldr->setUpdatesEnabled(false);
    ZeroCommand zero(gateway, &deviceHandle, settingsDlg->motorSettings, settingsDlg->sliderSettings);
    const ZeroCommand::Outcome outcome = zero.run(side, sliderMin, sliderMax, [this] { switchCyclicOff(); });
    if (outcome != ZeroCommand::Outcome::Zeroed)
        Log(ZeroCommand::message(outcome), programSource, ZeroCommand::messageLevel(outcome));
    // The pages show what the records now hold: an open dialog must not write old borders back,
    // and the slider page is what the configuration file is saved from.
    if (auto* borders = qobject_cast<ControllerPageWgt*>(settingsDlg->page(SettingsPage::Borders)))
        borders->FromClassToUi();
    if (auto* sliderPage = qobject_cast<ProgramPageWgt*>(settingsDlg->page(SettingsPage::ProgramConfiguration)))
        sliderPage->FromClassToUi();
    UpdateState();
    ui->positionSldr->setUpdatesEnabled(true);
}

void MainWindow::OnZeroBtnPressed()
{
    OnZeroBtnPressed(QString());
}

void MainWindow::OnExitBtnPressed()
{
    if (closing || exitSequence.active())
        return;
    switchCyclicOff();
    stopScript();
    homingBox.hide();
    if (!initialized || !stoppingBox || !deviceConnected || deviceMode != 2) {
        close();
        return;
    }
    if (gateway->command_sstp(deviceHandle) != result_ok) {
        Log(tr("Error sending soft stop command on exit."), programSource, 2);
        return;
    }
    // Taken after the soft stop returned: a sample read before it cannot decide the exit.
    exitSequence.begin(updateThread->statusReadsBegun());
    exitRequested = true;
    // Modal, but without a loop of its own: the samples that decide the exit arrive through the
    // window's one event loop, never inside this slot.
    stoppingBox->setWindowModality(Qt::ApplicationModal);
    stoppingBox->show();
}
