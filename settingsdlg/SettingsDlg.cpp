#include "settingsdlg/SettingsDlg.h"

#include "ui_settingsdlg.h"

#include <QCloseEvent>
#include <QColor>
#include <QPalette>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>

#include "chartdlg/GraphSettings.h"
#include "common/FieldText.h"
#include "common/IniSaver.h"
#include "common/Paths.h"
#include "common/SettingsWriteReport.h"
#include "common/WindowPlacement.h"
#include "device/AxisCourier.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/FirmwareUpdateThread.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "log/LogSettings.h"
#include "log/MessageLog.h"
#include "widgets/ProgramResources.h"
#include "pages/ControllerPageWgt.h"
#include "pages/PageAboutDeviceWgt.h"
#include "pages/PageMotorTypeWgt.h"
#include "pages/PagePositionerNameWgt.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/ReconnectRead.h"
#include "settings_model/SettingsJob.h"
#include "settings_model/StageSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/ApplyReport.h"
#include "settingsdlg/PageCyclicWgt.h"
#include "settingsdlg/PageSliderSetupWgt.h"
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsJobRunner.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "settingsdlg/SettingsTreeState.h"
#include "settings_model/SliderSettings.h"

namespace {

using P = SettingsPage;

constexpr unsigned int dcType = 1;
constexpr unsigned int stepperType = 3;
constexpr unsigned int bldcType = 5;

constexpr Qt::ItemFlags usableFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
// The form's width of the page tree, kept when its names need less.
constexpr int treeMinimumWidth = 200;

// Controller pages in transfer order; the motor page of the engine type goes after MotorType.
const P controllerPagesBeforeMotor[] = {P::AboutDevice, P::Borders, P::Extio, P::MaximumRatings, P::MotorType};
const P controllerPagesAfterMotor[] = {P::HomePosition, P::Pid,   P::TtlSync, P::Uart,
                                       P::Power,        P::Brake, P::Control, P::PositionControl};

// Program pages in the order of their profile groups.
const P programPages[] = {P::Cyclic,           P::ProgramConfiguration, P::LogSettings,
                          P::GraphSetup,       P::PositionCurve,        P::SpeedCurve,
                          P::EncoderCurve,     P::FlagsCurve,           P::EngineVoltageCurve,
                          P::EngineCurrentCurve, P::PowerVoltageCurve,  P::PowerCurrentCurve,
                          P::UsbVoltageCurve,  P::UsbCurrentCurve,      P::WindingAVoltageCurve,
                          P::WindingBVoltageCurve, P::WindingCVoltageCurve, P::WindingACurrentCurve,
                          P::WindingBCurrentCurve, P::WindingCCurrentCurve, P::PwmCurve,
                          P::TemperatureCurve, P::JoyCurve,             P::PotCurve};
static_assert(sizeof programPages / sizeof *programPages == 24, "four pages and twenty curves");

// Pages whose display follows the engine type.
const P engineTypePages[] = {P::TtlSync, P::Cyclic, P::ProgramConfiguration, P::HomePosition, P::Borders, P::Control};

P motorPageOf(unsigned int engineType)
{
    switch (engineType) {
    case dcType:
        return P::DcMotor;
    case bldcType:
        return P::BldcMotor;
    case stepperType:
        return P::StepperMotor;
    default:
        return P::Count;
    }
}

} // namespace

QList<SettingsPage> SettingsDlg::controllerPositionsFor(unsigned int engineType)
{
    QList<P> list;
    for (P position : controllerPagesBeforeMotor)
        list.append(position);
    if (motorPageOf(engineType) != P::Count)
        list.append(motorPageOf(engineType));
    for (P position : controllerPagesAfterMotor)
        list.append(position);
    return list;
}

namespace {

// Only letters, digits, '_' and '-' may reach a file name.
QString fileNamePart(const QString& text)
{
    QString kept;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '-')
            kept.append(c);
    }
    return kept;
}

bool invokeIntGetter(QObject* object, const char* name, int* value)
{
    return object && QMetaObject::invokeMethod(object, name, Qt::DirectConnection, Q_RETURN_ARG(int, *value));
}

} // namespace

SettingsDlg::SettingsDlg(QWidget* parent, UpdateThread* updateThread, DeviceInterface* gateway, bool multiaxis,
                         AxisCourier* courier, StartRead startRead)
    : QDialog(parent), multiaxis(multiaxis), gateway(gateway), updateThread(updateThread), ui(new Ui::SettingsDlg)
{
    loadProgramResources();
    const bool readNow = startRead == StartRead::Now;
    motorSettings = new MotorSettings(updateThread->deviceHandle, gateway);
    if (readNow)
        motorSettings->readBasicFromDevice();
    controllerSettings =
        new ControllerSettings(updateThread->deviceHandle, gateway, &updateThread->deviceNameText, readNow);
    if (readNow) {
        const device_t handle = updateThread->deviceHandle->load();
        knownMode = handle != -1 && gateway ? gateway->getMode(handle) : 0;
    }
    firmwareThread = new FirmwareUpdateThread(this, updateThread, gateway);
    cyclicSettings = new CyclicSettings();
    sliderSettings = new SliderSettings();
    graphSettings = new GraphSettings();
    stageSettings = new StageSettings(updateThread->deviceHandle, gateway);
    logSettings = new LogSettings();

    ui->setupUi(this);
    keepOnScreen(this);
    runner = new SettingsJobRunner(this, gateway, updateThread->deviceHandle);
    runner->setCourier(courier);
    runner->setAxisName(axisText());
    // The line of the transfers, above the buttons.
    auto* transferLine = new QHBoxLayout;
    transferLine->addWidget(runner->line(), 1);
    transferLine->addWidget(runner->readAgainButton());
    ui->dialogLayout->insertLayout(ui->dialogLayout->indexOf(ui->buttonBox), transferLine);
    connect(runner, &SettingsJobRunner::busyChanged, this, [this] { updateApplyEnabled(); });
    connect(runner, &SettingsJobRunner::readAgainClicked, this, [this] { AllPagesFromDeviceToClassToUi(true, true); });
    initPages();
    if (auto* about = qobject_cast<PageAboutDeviceWgt*>(page(P::AboutDevice)))
        about->setNameWriter([this](const controller_name_t& name) { writeName(name); });
    if (auto* typePage = controllerPage(P::MotorType))
        typePage->FromClassToUi();
    if (multiaxis) {
        // This dialog never writes stage records, so the name cannot be edited here.
        if (auto* namePage = qobject_cast<PagePositionerNameWgt*>(page(P::PositionerName)))
            namePage->setEditable(false);
        treeItem(P::ProgramConfiguration)->setFlags(Qt::NoItemFlags);
        treeItem(P::ProgramConfiguration)->setExpanded(false);
    }

    connect(ui->treeWgt, &QTreeWidget::currentItemChanged, this, &SettingsDlg::OnCurItemChanged);
    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &SettingsDlg::OnBtnBoxClicked);
    connect(ui->restoreFlashBtn, &QPushButton::clicked, this, [this] { commands.restoreFromFlash(); });
    connect(ui->saveFlashBtn, &QPushButton::clicked, this, [this] { commands.saveToFlash(); });
    connect(ui->restoreFileBtn, &QPushButton::clicked, this, [this] { commands.restoreFromFile(); });
    connect(ui->saveFileBtn, &QPushButton::clicked, this, [this] { commands.saveToFile(); });
    connect(ui->compareFileBtn, &QPushButton::clicked, this, [this] { commands.compareFiles(); });
    QWidget* slider = page(P::ProgramConfiguration);
    if (auto* updateButton = slider->findChild<QAbstractButton*>(QStringLiteral("UpdateBtn")))
        connect(updateButton, &QAbstractButton::clicked, this, &SettingsDlg::OnUpdateSliderBdrBtnPressed);
    // By name: the real pages and their stand-ins declare the same signals.
    for (QWidget* changing : {page(P::Borders), slider})
        connect(changing, SIGNAL(SgnChangeValues()), this, SLOT(UpdateBtnEnable()));
    connect(page(P::MotorType), SIGNAL(SgnMotorTypeChanged(unsigned int)), this, SLOT(motorTypeChanged(unsigned int)));
    connect(this, &QDialog::finished, this, &SettingsDlg::saveWindowParams);
    connect(firmwareThread, &FirmwareUpdateThread::update_finished, this, &SettingsDlg::firmwareUploaded);
    connect(firmwareThread, &QThread::started, this, [this] {
        firmwareFailed = false;
        updateApplyEnabled();
    });
    // A failed run has waited for the controller to be open again: in what mode is it now?
    connect(firmwareThread, &QThread::finished, this, [this] {
        if (std::exchange(firmwareFailed, false))
            readModeAfterFailure();
        updateApplyEnabled();
    });
    // The latest sample says when the controller is lost or back, and in what mode.
    connect(updateThread, &UpdateThread::finished, this,
            [this](int, QDateTime, status_t, chart_data_t, analog_data_t, bool connected, int mode) {
                controllerReachable = connected && mode == 2;
                if (connected && mode >= 0)
                    knownMode = mode;
                updateApplyEnabled();
            });

    ui->reconnectDelaySpin->hide();
    setEngineType();
    motorTypeChanged(motorSettings->entype.EngineType);
    setWindowTitle(tr("Settings") + QLatin1Char(' ')
                   + readFieldText(controllerSettings->deviceInformation.ManufacturerId)
                   + QString::number(controllerSettings->serialNumber));
    updateApplyEnabled();
}

SettingsDlg::~SettingsDlg()
{
    // Pages first (they point into the containers and at the firmware thread), then the
    // firmware thread, whose destructor waits for a run, then the containers.
    shownPage = nullptr;
    qDeleteAll(pages);
    pages.clear();
    delete firmwareThread;
    delete ui;
    delete motorSettings;
    delete controllerSettings;
    delete cyclicSettings;
    delete sliderSettings;
    delete logSettings;
    delete graphSettings;
    delete stageSettings;
}

bool SettingsDlg::isCriticalChange(const MotorSettings& before, const MotorSettings& after)
{
    return before.entype.EngineType != after.entype.EngineType || before.entype.DriverType != after.entype.DriverType
           || before.engine.MicrostepMode != after.engine.MicrostepMode
           || before.feedback.FeedbackType != after.feedback.FeedbackType
           || ((before.engine.EngineFlags ^ after.engine.EngineFlags) & ENGINE_REVERSE) != 0;
}

QWidget* SettingsDlg::page(SettingsPage position) const
{
    return pages.value(settingsPageIndex(position));
}

QTreeWidgetItem* SettingsDlg::treeItem(SettingsPage position) const
{
    return treeItems.value(settingsPageIndex(position));
}

QString SettingsDlg::pageTitle(SettingsPage position) const
{
    const QTreeWidgetItem* item = treeItem(position);
    if (!item)
        return QString();
    // A positioner page goes with its branch: "DC Motor" alone reads as the controller's own page.
    const QTreeWidgetItem* branch = item->parent();
    if (branch && branch == treeItem(P::StageConfiguration))
        return branch->text(0) + QStringLiteral(" / ") + item->text(0);
    return item->text(0);
}

QString SettingsDlg::pageTitles(const QList<SettingsPage>& positions, const char* call) const
{
    QStringList names;
    for (P position : positions)
        names << pageTitle(position);
    return names.isEmpty() ? QString::fromLatin1(call) : names.join(QStringLiteral(", "));
}

ControllerPageWgt* SettingsDlg::controllerPage(SettingsPage position) const
{
    return qobject_cast<ControllerPageWgt*>(page(position));
}

ProgramPageWgt* SettingsDlg::programPage(SettingsPage position) const
{
    return qobject_cast<ProgramPageWgt*>(page(position));
}

void SettingsDlg::initPages()
{
    SettingsPageContext context;
    context.motorSettings = motorSettings;
    context.stageSettings = stageSettings;
    context.controllerSettings = controllerSettings;
    context.firmwareThread = firmwareThread;
    context.updateFirmwarePath = &updateFirmwarePath;
    context.updateThread = updateThread;
    context.cyclicSettings = cyclicSettings;
    context.logSettings = logSettings;
    context.graphSettings = graphSettings;
    context.sliderSettings = sliderSettings;

    for (int position = 0; position < SettingsPageFactory::pageCount; ++position) {
        const int parent = SettingsPageFactory::parentPosition(position);
        auto* item = parent < 0 ? new QTreeWidgetItem(ui->treeWgt) : new QTreeWidgetItem(treeItems.at(parent));
        item->setFlags(usableFlags);
        treeItems.append(item);
        QWidget* built = SettingsPageFactory::create(position, context);
        built->hide();
        pages.append(built);
        if (auto* controller = qobject_cast<ControllerPageWgt*>(built))
            controller->setUnitTexts(&dialogUnits);
    }
    retranslateTree();

    QWidget* about = page(P::AboutDevice);
    if (auto* aboutPage = controllerPage(P::AboutDevice))
        aboutPage->FromClassToUi();
    connect(ui->defaultLocationChk, SIGNAL(toggled(bool)), about, SLOT(defaultLocationChanged(bool)));
    QMetaObject::invokeMethod(about, "defaultLocationChanged", Qt::DirectConnection,
                              Q_ARG(bool, ui->defaultLocationChk->isChecked()));

    ui->treeWgt->expandAll();
    treeItem(P::GraphSetup)->setExpanded(false);
    makeCurrent(P::AboutDevice);
}

void SettingsDlg::retranslateTree()
{
    for (int position = 0; position < treeItems.size(); ++position)
        treeItems.at(position)->setText(0, QCoreApplication::translate("SettingsDlg", SettingsPageFactory::treeText(position)));
}

void SettingsDlg::makeCurrent(SettingsPage position)
{
    QTreeWidgetItem* item = treeItem(position);
    QTreeWidgetItem* previous = ui->treeWgt->currentItem();
    const QSignalBlocker blocker(ui->treeWgt);
    ui->treeWgt->setCurrentItem(item);
    OnCurItemChanged(item, previous);
}

void SettingsDlg::OnCurItemChanged(QTreeWidgetItem* curItem, QTreeWidgetItem*)
{
    const int position = treeItems.indexOf(curItem);
    if (!curItem || position < 0)
        return;
    QWidget* next = pages.at(position);
    if (next == shownPage)
        return;
    QLayout* layout = ui->scrollAreaWidgetContents->layout();
    if (shownPage) {
        layout->removeWidget(shownPage);
        shownPage->hide();
    }
    layout->addWidget(next);
    next->show();
    shownPage = next;
}

QList<ControllerPageWgt*> SettingsDlg::controllerPagesFor(unsigned int engineType) const
{
    QList<ControllerPageWgt*> list;
    for (P position : controllerPositionsFor(engineType)) {
        if (ControllerPageWgt* found = controllerPage(position))
            list.append(found);
    }
    return list;
}

QList<ControllerPageWgt*> SettingsDlg::otherMotorPages(unsigned int engineType) const
{
    QList<ControllerPageWgt*> list;
    for (unsigned int type : {dcType, stepperType, bldcType}) {
        if (type == engineType)
            continue;
        if (ControllerPageWgt* other = controllerPage(motorPageOf(type)))
            list.append(other);
    }
    return list;
}

void SettingsDlg::AllPagesFromUiToClass(MotorSettings* target)
{
    for (P position : controllerPagesBeforeMotor) {
        if (ControllerPageWgt* found = controllerPage(position))
            found->FromUiToClass(target);
    }
    // The type just stored picks the motor page: a DC profile shown on a stepper stores the DC page.
    const unsigned int engineType = target->entype.EngineType;
    if (ControllerPageWgt* motorPage = controllerPage(motorPageOf(engineType))) {
        motorPage->FromUiToClass(target);
        if (engineType == stepperType)
            target->engine.NomVoltage = motorSettings->engine.NomVoltage;
    }
    for (P position : controllerPagesAfterMotor) {
        if (ControllerPageWgt* found = controllerPage(position))
            found->FromUiToClass(target);
    }
}

void SettingsDlg::dropProgramEdits()
{
    redrawProgramPages();
    if (auto* slider = qobject_cast<PageSliderSetupWgt*>(page(P::ProgramConfiguration)))
        slider->readSearchOptions();
}

void SettingsDlg::StageSettingsFromDeviceToClassToUi()
{
    if (operationDepth > 0) {
        putOff.stage = true;
        return;
    }
    stagePages.load();
}

bool SettingsDlg::takeStageRecords(const StageSettings& read)
{
    stageSettings->stageName = read.stageName;
    if (!isVisible()) {
        stageSettings->stageReloadPending = true;
        return false;
    }
    if (operationDepth > 0)
        putOff.stageRead = std::make_shared<const StageSettings>(read);
    else
        stagePages.take(read);
    return true;
}

int SettingsDlg::controllerMode() const
{
    return updateThread->deviceHandle->load() == -1 ? 0 : knownMode;
}

void SettingsDlg::updateApplyEnabled()
{
    // While a transfer is under way the pages take no edits and nothing else goes; Cancel and the
    // close still work.
    const bool busy = runner && runner->busy();
    const bool usable = takesSettings() && !busy;
    if (QPushButton* apply = ui->buttonBox->button(QDialogButtonBox::Apply))
        apply->setEnabled(usable && wholeRead);
    for (QDialogButtonBox::StandardButton which : {QDialogButtonBox::Ok, QDialogButtonBox::Reset}) {
        if (QPushButton* button = ui->buttonBox->button(which))
            button->setEnabled(!busy && (wholeRead || which == QDialogButtonBox::Reset));
    }
    for (QPushButton* button : {ui->saveFlashBtn, ui->restoreFlashBtn, ui->saveFileBtn, ui->restoreFileBtn})
        button->setEnabled(usable && (wholeRead || button == ui->restoreFlashBtn));
    ui->compareFileBtn->setEnabled(!busy);
    ui->scrollAreaWidgetContents->setEnabled(!busy);
}

void SettingsDlg::runPutOffReloads()
{
    const PutOffReloads asked = putOff;
    putOff = PutOffReloads();
    // The hand-back reloads every page itself.
    if (asked.firmware)
        takeBackFirmware();
    else if (asked.pages)
        loadPages(asked.loadSettings, asked.loadAllSettings);
    // A reload asked for here reads anew; else a courier's read is shown.
    if (asked.stage)
        stagePages.load();
    else if (asked.stageRead)
        stagePages.take(*asked.stageRead);
}

bool SettingsDlg::AllPagesFromDeviceToClassToUi(bool load_settings, bool load_all_settings)
{
    if (operationDepth > 0) {
        putOff.pages = true;
        putOff.loadSettings = putOff.loadSettings || load_settings;
        putOff.loadAllSettings = putOff.loadAllSettings || load_all_settings;
        return true;
    }
    loadPages(load_settings, load_all_settings);
    return true;
}

void SettingsDlg::readForShowing(std::function<void(ReadEnd end)> ended)
{
    // A positioner found while the dialog was hidden is shown as read now.
    transfers.read(true, stageSettings->stageReloadPending, std::move(ended));
}

bool SettingsDlg::transferUnderWay() const
{
    return runner->busy();
}

QString SettingsDlg::axisText() const
{
    return controllerSettings->serialNumber != 0 ? tr("SN %1").arg(controllerSettings->serialNumber)
                                                 : updateThread->deviceNameText;
}

void SettingsDlg::takeStartRead(const ReconnectRead& read)
{
    controllerSettings->takeIdentity(read.identity);
    motorSettings->takeBasicRecordsRead(read.settings);
    knownMode = read.identityOutcome.mode;
    runner->setAxisName(axisText());
    if (auto* about = controllerPage(P::AboutDevice))
        about->FromClassToUi();
    if (auto* typePage = controllerPage(P::MotorType))
        typePage->FromClassToUi();
    setEngineType();
    motorTypeChanged(motorSettings->entype.EngineType);
    updateApplyEnabled();
}

void SettingsDlg::writeName(const controller_name_t& name)
{
    auto job = transfers.newJob();
    job->writeName(name);
    runner->start(job, tr("Writing the controller name"), tr("Writing the name of %1").arg(axisText()),
                  [](SettingsJob&, AxisCourier::Outcome) {});
}

void SettingsDlg::loadPages(bool load_settings, bool load_all_settings)
{
    if (load_settings)
        transfers.read(load_all_settings, false);
    else
        transfers.redraw();
}

void SettingsDlg::redrawProgramPages()
{
    for (P position : programPages) {
        if (ProgramPageWgt* program = programPage(position))
            program->FromClassToUi();
    }
}

void SettingsDlg::AllPagesFromUiToClassToDevice()
{
    transfers.apply(tr("The pages keep the values; Apply tries them again."), tr("Applying the settings"),
                    tr("Applying the settings to %1"), [this](bool allApplied) {
                        if (std::exchange(acceptAfterApply, false) && allApplied)
                            QDialog::accept();
                    });
}

void SettingsDlg::programPagesToRecords()
{
    for (P position : programPages) {
        if (ProgramPageWgt* program = programPage(position))
            program->FromUiToClass();
    }
}

QString SettingsDlg::logPrefix() const
{
    // The multi-axis window's log holds the lines of every axis.
    return multiaxis ? QStringLiteral("SN %1: ").arg(controllerSettings->serialNumber) : QString();
}

QString SettingsDlg::whyNoSettings() const
{
    if (firmwareThread->isRunning())
        return tr("a firmware update is running");
    const int mode = controllerMode();
    if (mode == 1)
        return tr("the controller is in its bootloader");
    if (mode != 2 || !controllerReachable)
        return tr("the controller is lost");
    return QString();
}

void SettingsDlg::markUnapplied(const ApplyReport& report)
{
    for (const ApplyReport::Unapplied& entry : report.notWritten()) {
        for (P position : entry.pages) {
            QTreeWidgetItem* item = treeItem(position);
            item->setForeground(0, QColor(QStringLiteral("#FF0000")));
            item->setToolTip(0, tr("Not applied: %1").arg(entry.why));
        }
    }
}

void SettingsDlg::dropUnappliedEdits()
{
    editsLeftUnapplied = false;
    unapplied = ApplyReport();
    clearUnappliedMarks();
}

void SettingsDlg::clearUnappliedMarks()
{
    for (QTreeWidgetItem* item : treeItems) {
        item->setData(0, Qt::ForegroundRole, QVariant());
        item->setToolTip(0, QString());
    }
}

void SettingsDlg::saveSearchOptions()
{
    if (multiaxis)
        return;
    QString reason;
    auto* slider = qobject_cast<PageSliderSetupWgt*>(page(P::ProgramConfiguration));
    if (slider && !slider->saveSearchOptions(&reason))
        SettingsWriteReport::fileFailed(this, settingsIniPath(), reason, [](const QString& line) { MessageLog::insertProgramLine(line, 1); });
}

void SettingsDlg::giveEngineType(unsigned int engineType)
{
    for (P position : engineTypePages) {
        QWidget* target = page(position);
        if (auto* controller = qobject_cast<ControllerPageWgt*>(target))
            controller->setEngineType(engineType);
        else if (auto* cyclic = qobject_cast<PageCyclicWgt*>(target))
            cyclic->setEngineType(engineType);
        else
            QMetaObject::invokeMethod(target, "setUnitSuffix", Qt::DirectConnection, Q_ARG(unsigned int, engineType));
    }
}

void SettingsDlg::applyTreeState(unsigned int engineType)
{
    lastKnownEngineType = knownEngineType(engineType, lastKnownEngineType);
    const SettingsTreeState usable =
        settingsTreeState(controllerMode(), engineType, lastKnownEngineType, multiaxis);
    for (int position = 0; position < treeItems.size(); ++position)
        treeItems.at(position)->setFlags(usable[position] ? usableFlags : Qt::NoItemFlags);

    // An item that can no longer be used gives the selection to its top-level item.
    QTreeWidgetItem* current = ui->treeWgt->currentItem();
    const auto usableItem = [&](QTreeWidgetItem* item) {
        for (; item; item = item->parent()) {
            if (!usable[treeItems.indexOf(item)])
                return false;
        }
        return true;
    };
    if (!current || usableItem(current))
        return;
    QTreeWidgetItem* top = current;
    while (top->parent())
        top = top->parent();
    makeCurrent(usableItem(top) ? SettingsPage(treeItems.indexOf(top)) : P::DeviceConfiguration);
}

void SettingsDlg::setEngineType()
{
    const unsigned int engineType = motorSettings->entype.EngineType;
    emit SgnHardwareChanged(engineType);
    giveEngineType(engineType);
    applyTreeState(engineType);
}

void SettingsDlg::motorTypeChanged(unsigned int entype)
{
    if (const UnitTextSet* chosen = unitTextsOf(entype)) {
        dialogUnits = *chosen;
        positionUnit = chosen->position;
        speedUnit = chosen->speed;
        accelUnit = chosen->accel;
    }
    giveEngineType(entype);
    applyTreeState(entype);
    emit SgnChangeSettings();
}

unsigned int SettingsDlg::getCurrentMotorType()
{
    auto* typePage = qobject_cast<PageMotorTypeWgt*>(page(P::MotorType));
    return typePage ? typePage->currentMotorType() : 0;
}

void SettingsDlg::UpdateBtnEnable()
{
    auto* button = page(P::ProgramConfiguration)->findChild<QAbstractButton*>(QStringLiteral("UpdateBtn"));
    int left = 0, right = 0, sliderLeft = 0, sliderRight = 0;
    if (!button || !invokeIntGetter(page(P::Borders), "leftBorderSteps", &left)
        || !invokeIntGetter(page(P::Borders), "rightBorderSteps", &right)
        || !invokeIntGetter(page(P::ProgramConfiguration), "leftPoint", &sliderLeft)
        || !invokeIntGetter(page(P::ProgramConfiguration), "rightPoint", &sliderRight))
        return;
    button->setEnabled(left != sliderLeft || right != sliderRight);
}

void SettingsDlg::OnUpdateSliderBdrBtnPressed()
{
    // The slider's shown bounds go into the Borders page's boxes, not the container: Ok or
    // Apply writes them along with any other edit of that page.
    int left = 0, right = 0;
    QWidget* slider = page(P::ProgramConfiguration);
    if (!invokeIntGetter(slider, "leftPoint", &left) || !invokeIntGetter(slider, "rightPoint", &right))
        return;
    if (!QMetaObject::invokeMethod(page(P::Borders), "setBorderSteps", Qt::DirectConnection, Q_ARG(int, left),
                                   Q_ARG(int, right)))
        qWarning("The Borders page offers no setBorderSteps(int, int)");
    UpdateBtnEnable();
}

void SettingsDlg::OnBtnBoxClicked(QAbstractButton* button)
{
    switch (ui->buttonBox->buttonRole(button)) {
    case QDialogButtonBox::AcceptRole:
    case QDialogButtonBox::ApplyRole:
        AllPagesFromUiToClassToDevice();
        saveSearchOptions();
        appliedConfigFile = loadedConfigFile;
        break;
    case QDialogButtonBox::RejectRole:
        ui->configLbl->setText(fileNameFromPath(appliedConfigFile));
        loadedConfigFile = appliedConfigFile;
        break;
    case QDialogButtonBox::ResetRole:
        ui->configLbl->setText(fileNameFromPath(appliedConfigFile));
        dropUnappliedEdits();
        loadPages(false, true);
        loadedConfigFile = appliedConfigFile;
        break;
    default:
        break;
    }
}

void SettingsDlg::ProgramSettingsToFile(QSettings* file)
{
    if (multiaxis)
        return;
    for (P position : programPages) {
        if (ProgramPageWgt* program = programPage(position))
            program->SaveToFile(file);
    }
}

QString SettingsDlg::ProgramSettingsFromFile(QSettings* file)
{
    QString report;
    if (multiaxis)
        return report;
    for (P position : programPages) {
        if (ProgramPageWgt* program = programPage(position))
            report += program->RestoreFromFile(file, nullptr);
    }
    return report;
}

void SettingsDlg::updateModifiedMark()
{
    profileFiles.updateModifiedMark();
}

void SettingsDlg::firmwareUploaded(int result)
{
    updateApplyEnabled();
    if (result != result_ok) {
        // A failed upload can leave the controller in its bootloader: its pages only, then, once
        // the run has it open again.
        if (firmwareThread->isRunning())
            firmwareFailed = true;
        else
            readModeAfterFailure();
        return;
    }
    if (operationDepth > 0) {
        putOff.firmware = true;
        return;
    }
    takeBackFirmware();
}

void SettingsDlg::readModeAfterFailure()
{
    auto probe = transfers.newJob();
    runner->start(probe, tr("Reading the controller mode"), tr("Reading the mode of %1").arg(axisText()),
                  [this](SettingsJob& read, AxisCourier::Outcome outcome) {
                      if (outcome != AxisCourier::Outcome::Done)
                          return;
                      knownMode = read.mode;
                      if (knownMode == 1) {
                          // No firmware version: the image it ran is gone.
                          controllerSettings->firmwareMajor = controllerSettings->firmwareMinor =
                              controllerSettings->firmwareRelease = 0;
                          if (ControllerPageWgt* about = controllerPage(P::AboutDevice))
                              about->FromClassToUi();
                          applyTreeState(motorSettings->entype.EngineType);
                          makeCurrent(P::AboutDevice);
                      }
                      updateApplyEnabled();
                  });
}

void SettingsDlg::takeBackFirmware()
{
    // Everything again, so that an Ok right after the update writes nothing stale.
    transfers.read(true, false, [this](ReadEnd) {
        motorTypeChanged(motorSettings->entype.EngineType);
        transfers.redraw();
        applyTreeState(motorSettings->entype.EngineType);
        updateApplyEnabled();
    });
}

QString SettingsDlg::getDeviceConfigFileName() const
{
    return configDirPath() + QLatin1Char('/')
           + fileNamePart(readFieldText(controllerSettings->deviceInformation.ManufacturerId))
           + QString::number(controllerSettings->serialNumber) + QStringLiteral(".cfg");
}

void SettingsDlg::FromUiToSettings(QSettings* file)
{
    file->beginGroup(QStringLiteral("settingsWindow_params"));
    file->setValue(QStringLiteral("position"), pos());
    file->setValue(QStringLiteral("size"), sizeToStore(*this));
    file->endGroup();
    file->beginGroup(QStringLiteral("default_path"));
    file->setValue(QStringLiteral("defaultFileLocation"), ui->defaultLocationChk->isChecked());
    file->setValue(QStringLiteral("load_config_path"), loadConfigPath);
    file->setValue(QStringLiteral("save_config_path"), saveConfigPath);
    file->setValue(QStringLiteral("update_firmware_path"), updateFirmwarePath);
    file->endGroup();
}

void SettingsDlg::FromSettingsToUi(QSettings* file, QSettings* defaults)
{
    const auto value = [&](const QString& key, const QVariant& fallback) {
        if (file->contains(key))
            return file->value(key);
        if (defaults && defaults->contains(key))
            return defaults->value(key);
        return fallback;
    };
    const QPoint position = value(QStringLiteral("settingsWindow_params/position"), QPoint(300, 0)).toPoint();
    const QSize stored = value(QStringLiteral("settingsWindow_params/size"), QSize(600, 920)).toSize();
    const QRect placed = placeWindow(position, stored, minimumSizeHint(), screenGeometries());
    applyPlace(*this, placed, stored);
    ui->defaultLocationChk->setChecked(value(QStringLiteral("default_path/defaultFileLocation"), true).toBool());
    loadConfigPath = value(QStringLiteral("default_path/load_config_path"), loadConfigPath).toString();
    saveConfigPath = value(QStringLiteral("default_path/save_config_path"), saveConfigPath).toString();
    updateFirmwarePath = value(QStringLiteral("default_path/update_firmware_path"), updateFirmwarePath).toString();
}

void SettingsDlg::saveWindowParams()
{
    if (multiaxis)
        return;
    IniSaver file(getDeviceConfigFileName());
    FromUiToSettings(&file.settings());
    QString reason;
    if (!file.commit(&reason))
        SettingsWriteReport::fileFailed(this, file.path(), reason, [](const QString& line) { MessageLog::insertProgramLine(line, 1); });
}

void SettingsDlg::accept()
{
    // Ok closes once its Apply is in and wrote every edit.
    if (runner->busy()) {
        acceptAfterApply = true;
        return;
    }
    // The edits the controller did not take stay in front of the operator.
    if (editsLeftUnapplied)
        return;
    QDialog::accept();
}

void SettingsDlg::reject()
{
    // Cancel and Escape drop the program pages' edits and whatever of a transfer has not gone
    // yet; the controller pages are read anew at the next showing.
    acceptAfterApply = false;
    runner->dropAll();
    dropUnappliedEdits();
    dropProgramEdits();
    QDialog::reject();
}

void SettingsDlg::closeEvent(QCloseEvent* event)
{
    analogDataWanted = false;
    acceptAfterApply = false;
    runner->dropAll();
    dropUnappliedEdits();
    dropProgramEdits();
    event->accept();
}

void SettingsDlg::fitWidestPage()
{
    // As wide as the widest page from the start: a dialog that widened for a wide page would
    // move its buttons under the mouse and stay wide.
    QLayout* layout = ui->scrollAreaWidgetContents->layout();
    const int extra = 2 * (layout->contentsMargins().left() + layout->spacing() + 5);
    int widest = 0;
    for (QWidget* shown : pages)
        widest = std::max(widest, shown->minimumSizeHint().width());
    ui->scrollArea->setMinimumWidth(widest + extra);
    // The tree shows its names whole, in the language now in use, its branches open or not:
    // measured with every branch open.
    QTreeWidget* tree = ui->treeWgt;
    QList<QTreeWidgetItem*> closed;
    for (QTreeWidgetItem* item : treeItems) {
        if (item->childCount() > 0 && !item->isExpanded())
            closed.append(item);
    }
    const QSignalBlocker quiet(tree);
    tree->setUpdatesEnabled(false);
    for (QTreeWidgetItem* item : closed)
        item->setExpanded(true);
    const int names = static_cast<const QAbstractItemView*>(tree)->sizeHintForColumn(0);
    for (QTreeWidgetItem* item : closed)
        item->setExpanded(false);
    tree->setUpdatesEnabled(true);
    tree->setMinimumWidth(
        std::max(treeMinimumWidth, names + 2 * tree->frameWidth() + tree->verticalScrollBar()->sizeHint().width()));
}

void SettingsDlg::showEvent(QShowEvent* event)
{
    fitWidestPage();
    analogDataWanted = false;
    updateModifiedMark();
    updateApplyEnabled();
    QDialog::showEvent(event);
}

void SettingsDlg::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslateTree();
    }
    QDialog::changeEvent(event);
}
