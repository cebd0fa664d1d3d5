#include "multiaxis/Multiaxis.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/FieldText.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/FirmwareUpdateThread.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "mainwindow/InfoBox.h"
#include "mainwindow/ProgramResources.h"
#include "mainwindow/StepSpinBox.h"
#include "multiaxis/DimensionalUnitsDlg.h"
#include "scriptdlg/ScriptDlg.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/UnitTexts.h"
#include "ui_multiaxis.h"

namespace {

constexpr double noBorder = std::numeric_limits<double>::quiet_NaN();
const char* const slotLetters[] = {"X", "Y", "Z"};
// The stage pages, in the order their SetDisabled slots are connected.
const SettingsPage stagePages[] = {SettingsPage::PositionerName, SettingsPage::Stage,
                                   SettingsPage::StageDcMotor,   SettingsPage::StageStepperMotor,
                                   SettingsPage::StageEncoder,   SettingsPage::StageGear};
// Selectable by mouse and keyboard, editable.
constexpr Qt::TextInteractionFlags editableText = Qt::TextInteractionFlags(19);

qint64 monotonicMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

template <typename W>
W* findSlotWidget(const QWidget* window, const char* stem, int slot)
{
    return window->findChild<W*>(QStringLiteral("%1_%2").arg(QLatin1String(stem)).arg(slot + 1));
}

QPen withStyle(QPen pen, Qt::PenStyle style)
{
    pen.setStyle(style);
    return pen;
}

QwtPlotMarker* addMarker(QwtPlot* plot, QwtPlotMarker::LineStyle style, const QPen& pen)
{
    auto* marker = new QwtPlotMarker();
    marker->setLineStyle(style);
    marker->setLinePen(pen);
    marker->setZ(1000);
    marker->attach(plot);
    marker->setVisible(true);
    return marker;
}

} // namespace

Multiaxis::Multiaxis(QWidget* parent, Qt::WindowFlags flags, QList<int> handles, QStringList names,
                     QList<DeviceInterface*> gateways)
    : QWidget(parent, flags), ui(new Ui::multiaxisClass), clockMs(monotonicMs)
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
    for (int i = 0; i < maxAxes; ++i) {
        deviceHandle[i].store(-1);
        deviceName[i][0] = '\0';
        borderCache[i][0] = borderCache[i][1] = noBorder;
        stageAbsent[i] = true;
        lostShown[i] = true;
        stageReadAt[i] = 0;
        leftLimit[i] = rightLimit[i] = nullptr;
    }

    ui->setupUi(this);
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

    qApp->installEventFilter(this);

    for (int i = 0; i < n; ++i) {
        deviceHandle[i].store(handles[i]);
        const QByteArray name = names[i].toLocal8Bit().left(deviceNameSize - 1);
        std::memcpy(deviceName[i], name.constData(), size_t(name.size()));
        deviceName[i][name.size()] = '\0';

        auto* thread = new UpdateThread(unsigned(i), this, &deviceHandle[i], deviceName[i], devices[i]);
        connect(thread, &UpdateThread::finished, this, &Multiaxis::UpdateVars);
        updateThreads.append(thread);
        thread->start(QThread::HighestPriority);

        auto* dialog = new SettingsDlg(nullptr, thread, devices[i], true);
        dialog->setWindowFlags(dialog->windowFlags() | Qt::Tool);
        connect(dialog, &SettingsDlg::SgnChangeSettings, this, &Multiaxis::updateSettings);
        settingsDlgs.append(dialog);
    }

    scriptDlg = new ScriptDlg(nullptr, nullptr, QString());
    scriptDlg->setWindowFlags(scriptDlg->windowFlags() | Qt::Tool | Qt::WindowMaximizeButtonHint);
    scriptDlg->InitUI();
    startBtn = scriptDlg->findChild<QPushButton*>(QStringLiteral("startBtn"));
    stopBtn = scriptDlg->findChild<QPushButton*>(QStringLiteral("stopBtn"));
    loadBtn = scriptDlg->findChild<QPushButton*>(QStringLiteral("loadBtn"));
    saveBtn = scriptDlg->findChild<QPushButton*>(QStringLiteral("saveBtn"));
    codeEdit = scriptDlg->findChild<QTextEdit*>(QStringLiteral("codeEdit"));
    startScriptEngine();
    connect(scriptDlg, &QDialog::finished, this, &Multiaxis::OnScriptStopBtnPressed);
    connect(scriptDlg, &ScriptDlg::start, this, &Multiaxis::OnScriptStartBtnPressed);
    connect(scriptDlg, &ScriptDlg::stop, this, &Multiaxis::OnScriptStopBtnPressed);

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

    normalColor = palette().color(QPalette::Window);
    alarmColor = QColor(std::min(255, int(0.9 * normalColor.red() + 25.5)), int(0.9 * normalColor.green()),
                        int(0.9 * normalColor.blue()), 255);

    findSlotWidgets();
    // The status column is as wide as a long speed text, so the texts set later are not cut.
    for (QLabel* label : speedValue)
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-000000 -000/256 steps/s")));
    ui->frame_Right->setMinimumWidth(std::max(ui->frame_Right->minimumWidth(), ui->verticalLayout->minimumSize().width()));
    setUpSpinBoxes();
    font = ui->label_curPos->font();

    plotXY = new QwtPlot(parent);
    plotZ = new QwtPlot(parent);
    plotXY->setCanvasBackground(Qt::white);
    plotZ->setCanvasBackground(Qt::white);
    plotZ->setAxisScale(QwtPlot::xBottom, -1, 1);
    plotZ->enableAxis(QwtPlot::xBottom, false);
    slotPlot[0] = plotXY;
    slotPlot[1] = plotXY;
    slotPlot[2] = plotZ;
    plotAxis[0] = QwtPlot::xBottom;
    plotAxis[1] = QwtPlot::yLeft;
    plotAxis[2] = QwtPlot::yLeft;

    loadUnitSettings();
    receiveUnits(units.recalcEnabled, units.units, units.coeff1, units.coeff2, units.precision);

    buildPlots();

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
        for (StepSpinBox* box : {spinBox_moveTo[k], spinBox_shiftOn[k]}) {
            box->setSuffix(stepperPositionUnit);
            box->setAlignment(Qt::AlignHCenter);
            box->setMinimumStep(std::numeric_limits<int>::min(), 0);
            box->setMaximumStep(std::numeric_limits<int>::max(), 0);
            box->setStepFactor(divisor(k));
        }
    }
}

void Multiaxis::buildPlots()
{
    const QPen curvePen(QBrush(QColor(0, 0, 0)), 5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    curveXY = new QwtPlotCurve();
    curveXY->setPen(curvePen);
    curveXY->setStyle(QwtPlotCurve::Dots);
    curveXY->attach(plotXY);
    curveZ = new QwtPlotCurve();
    curveZ->setPen(curvePen);
    curveZ->setStyle(QwtPlotCurve::Lines);
    curveZ->attach(plotZ);

    for (QwtPlot* plot : {plotXY, plotZ}) {
        auto* grid = new QwtPlotGrid();
        grid->setPen(QPen(QColor(200, 200, 200)));
        grid->setMinorPen(QPen(QColor(230, 230, 230)));
        grid->setMajorPen(QPen(QColor(200, 200, 200)));
        if (plot == plotXY) {
            grid->enableXMin(true);
            grid->enableYMin(true);
        } else {
            grid->enableX(false);
            grid->enableXMin(false);
            grid->enableYMin(true);
        }
        grid->attach(plot);
    }

    const QPen limitPen(QBrush(QColor(192, 0, 0)), 4, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QwtPlotMarker::LineStyle slotStyle[] = {QwtPlotMarker::VLine, QwtPlotMarker::HLine, QwtPlotMarker::HLine};
    for (int s = 0; s < maxAxes; ++s)
        leftLimit[s] = addMarker(slotPlot[s], slotStyle[s], limitPen);
    for (int s = 0; s < maxAxes; ++s)
        rightLimit[s] = addMarker(slotPlot[s], slotStyle[s], limitPen);
    const QPen positionPen(QColor(64, 64, 64));
    for (int s = 0; s < n; ++s)
        positionLine[s] = addMarker(slotPlot[s], slotStyle[s], positionPen);

    for (int s = n; s < maxAxes; ++s) {
        curPos[s]->hide();
        for (QWidget* w : std::initializer_list<QWidget*>{spinBox_moveTo[s], spinBox_shiftOn[s], pushButton_joyDec[s],
                                                          pushButton_joyInc[s], groupBox[s]})
            w->setEnabled(false);
        leftLimit[s]->setVisible(false);
        rightLimit[s]->setVisible(false);
    }

    pickerXY = new QwtPlotPicker(plotXY->canvas());
    pickerXY->setStateMachine(new QwtPickerClickPointMachine());
    connect(pickerXY, qOverload<const QPointF&>(&QwtPlotPicker::selected), this, &Multiaxis::OnPickerXYPointSelected);
    if (n == maxAxes) {
        pickerZ = new QwtPlotPicker(plotZ->canvas());
        pickerZ->setStateMachine(new QwtPickerClickPointMachine());
        connect(pickerZ, qOverload<const QPointF&>(&QwtPlotPicker::selected), this, &Multiaxis::OnPickerZPointSelected);
    }

    ui->gridLayout_4->addWidget(plotXY, 1, 1);
    ui->gridLayout_4->addWidget(plotZ, 1, 4);
    plotZ->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
    plotZ->setMinimumWidth(100);
}

int Multiaxis::divisor(int axis) const
{
    if (axis < 0 || axis >= settingsDlgs.size())
        return 1;
    return std::max(1, settingsDlgs[axis]->motorSettings->microstepDivisor());
}

QString Multiaxis::positionToString(int steps, int usteps, int axis) const
{
    return UserUnits::positionToString(steps, usteps, divisor(axis));
}

void Multiaxis::loadUnitSettings()
{
    IniSettings file(settingsIniPath());
    const ProgramSettingsFile::UnitOptions options = ProgramSettingsFile::readUnitOptions(file);
    units.recalcEnabled = options.recalcEnabled;
    units.units = options.units;
    units.coeff1 = options.coeff1;
    units.coeff2 = options.coeff2;
    units.precision = options.precision;
}

void Multiaxis::saveUnitSettings() const
{
    ProgramSettingsFile::UnitOptions options;
    options.recalcEnabled = units.recalcEnabled;
    options.units = units.units;
    options.coeff1 = units.coeff1;
    options.coeff2 = units.coeff2;
    options.precision = units.precision;
    IniSettings file(settingsIniPath());
    ProgramSettingsFile::writeUnitOptions(file, options);
}

QStringList Multiaxis::serialList() const
{
    QStringList serials;
    for (int s = 0; s < n; ++s)
        serials.append(QString::number(settingsDlgs[axisOrder[s]]->controllerSettings->serialNumber));
    return serials;
}

void Multiaxis::saveLastGroup() const
{
    QVector<unsigned int> serials;
    for (int s = 0; s < n; ++s)
        serials.append(settingsDlgs[axisOrder[s]]->controllerSettings->serialNumber);
    if (serials.isEmpty())
        return;
    IniSettings file(settingsIniPath());
    ProgramSettingsFile::writeControllerSet(file, serials);
}

void Multiaxis::UpdateVars(int number, QDateTime, status_t state, chart_data_t, analog_data_t, bool connect,
                           int device_mode)
{
    if (shutDownDone || number < 0 || number >= n)
        return;
    samples[number].state = state;
    samples[number].connected = connect;
    samples[number].deviceMode = device_mode;
}

void Multiaxis::UpdateState()
{
    if (shutDownDone)
        return;
    if (exitPending && !exitCheck())
        return;

    QString title = QStringLiteral("Tolmo multiaxis ");
    for (int s = 0; s < n; ++s)
        refreshSlot(s, &title);
    setWindowTitle(title);

    double cache[maxAxes][2];
    for (int s = 0; s < n; ++s) {
        const int a = axisOrder[s];
        borders(a, &cache[a][0], &cache[a][1]);
        if (cache[a][0] != borderCache[a][0] || cache[a][1] != borderCache[a][1])
            applyScale(s, cache[a][0], cache[a][1]);
    }
    for (int a = 0; a < n; ++a) {
        borderCache[a][0] = cache[a][0];
        borderCache[a][1] = cache[a][1];
    }

    const double factor = units.displayFactor();
    auto position = [this](int slot) {
        const int a = axisOrder[slot];
        return UserUnits::fullSteps(samples[a].state.CurPosition, samples[a].state.uCurPosition, divisor(a));
    };
    const double x = position(0) * factor;
    const double y = n > 1 ? position(1) * factor : 0.0;
    curveXY->setSamples(QVector<QPointF>{QPointF(x, y)});
    positionLine[0]->setXValue(x);
    leftLimit[0]->setXValue(borderCache[axisOrder[0]][0]);
    rightLimit[0]->setXValue(borderCache[axisOrder[0]][1]);
    if (n > 1) {
        positionLine[1]->setYValue(y);
        leftLimit[1]->setYValue(borderCache[axisOrder[1]][0]);
        rightLimit[1]->setYValue(borderCache[axisOrder[1]][1]);
    }
    if (n == maxAxes) {
        const int a = axisOrder[2];
        const int d = divisor(a);
        // Whole steps only, as the Z line has always shown them.
        const double z = double(samples[a].state.CurPosition + samples[a].state.uCurPosition / d) * factor;
        curveZ->setSamples(QVector<QPointF>{QPointF(-0.5, z), QPointF(0.5, z)});
        positionLine[2]->setYValue(z);
        leftLimit[2]->setYValue(borderCache[a][0]);
        rightLimit[2]->setYValue(borderCache[a][1]);
    }
    for (int s = 0; s < n; ++s) {
        const uint32_t gpio = samples[axisOrder[s]].state.GPIOFlags;
        leftLimit[s]->setVisible((gpio & STATE_LEFT_EDGE) != 0);
        rightLimit[s]->setVisible((gpio & STATE_RIGHT_EDGE) != 0);
    }
    plotXY->replot();
    if (n == maxAxes)
        plotZ->replot();

    refreshScriptControls();
}

void Multiaxis::refreshSlot(int s, QString* title)
{
    const int a = axisOrder[s];
    const AxisSample& sample = samples[a];
    QWidget* const controls[] = {groupBox[s], curPos[s], pushButton_joyDec[s], pushButton_joyInc[s],
                                 spinBox_moveTo[s], spinBox_shiftOn[s]};
    if (!sample.connected) {
        if (!lostShown[a]) {
            for (QWidget* w : controls)
                w->setEnabled(false);
            positionLine[s]->setLinePen(withStyle(positionLine[s]->linePen(), Qt::DashLine));
            lostShown[a] = true;
        }
        return;
    }
    if (lostShown[a]) {
        for (QWidget* w : controls)
            w->setEnabled(true);
        positionLine[s]->setLinePen(withStyle(positionLine[s]->linePen(), Qt::SolidLine));
        settingsDlgs[a]->motorSettings->readBasicFromDevice();
        // Targets typed before go out in the unit the controller counts in now.
        giveBoxesDivisor(s, a);
        lostShown[a] = false;
    }

    detectStage(a);

    title->append(axisName(a));
    if (s != n - 1)
        title->append(QStringLiteral(", "));

    const status_t& st = sample.state;
    const ControllerSettings* identity = settingsDlgs[a]->controllerSettings;
    groupBox[s]->setTitle(tr("Motor ") + QLatin1String(slotLetters[s]) + QStringLiteral(", SN ")
                          + QString::number(identity->serialNumber));

    const bool alarm = (st.Flags & STATE_ALARM) != 0;
    if (alarm != alarmShown[a]) {
        const QColor& colour = alarm ? alarmColor : normalColor;
        groupBox[s]->setStyleSheet(QStringLiteral("QGroupBox { background-color: ") + colour.name()
                                   + QStringLiteral(" ; }"));
        alarmShown[a] = alarm;
    }

    const int d = divisor(a);
    curPos[s]->setText(units.recalcEnabled ? units.unitPositionText(st.CurPosition, st.uCurPosition, d)
                                           : UserUnits::positionToString(st.CurPosition, st.uCurPosition, d));
    voltageValue[s]->setText(QStringLiteral("%1 V").arg(st.Upwr / 100.0));
    currentValue[s]->setText(QStringLiteral("%1 mA").arg(st.Ipwr));
    speedValue[s]->setText(QStringLiteral("%1 %2/%3 steps/s").arg(st.CurSpeed).arg(st.uCurSpeed).arg(d));

    static const char* const commandTexts[] = {"Unknown", "Move to", "Shift on", "Move left", "Move right",
                                               "Stop",    "Homing",  "Loft",     "Soft stop"};
    const unsigned int command = st.MvCmdSts & MVCMD_NAME_BITS;
    commandValue[s]->setText(tr(commandTexts[command <= 8 ? command : 0]));
    QFont commandFont = font;
    commandFont.setWeight((st.MvCmdSts & MVCMD_RUNNING) ? 75 : 50);
    if (commandValue[s]->font() != commandFont)
        commandValue[s]->setFont(commandFont);

    const char* power = "Unknown";
    switch (st.PWRSts) {
    case 0:
        power = "Uknwn";
        break;
    case 1:
        power = "Off";
        break;
    case 3:
        power = "Norm";
        break;
    case 4:
        power = "Reduc";
        break;
    case 5:
        power = "Max";
        break;
    default:
        break;
    }
    powerValue[s]->setText(tr(power));
}

void Multiaxis::detectStage(int a)
{
    SettingsDlg* dialog = settingsDlgs[a];
    StageSettings* stage = dialog->stageSettings;
    const bool present = (samples[a].state.Flags & STATE_EEPROM_CONNECTED) != 0;
    if (!present) {
        if (!stageAbsent[a]) {
            std::memset(&stage->stageName, 0, sizeof stage->stageName);
            emit SgnDisableStagePages(true, a);
            if (!dialog->isVisible())
                stage->stageReloadPending = false;
        }
        stageAbsent[a] = true;
        stageReadAt[a] = 0;
        return;
    }
    if (!stageAbsent[a])
        return;
    // A failed read is tried again once a second, not on every refresh.
    const qint64 now = clockMs();
    if (stageReadAt[a] != 0 && now - stageReadAt[a] < stageRetryMs)
        return;
    stageReadAt[a] = now == 0 ? 1 : now;
    stage_name_t name{};
    if (devices[a]->get_stage_name(deviceHandle[a].load(), &name) != 0)
        return;
    stage->stageName = name;
    stageAbsent[a] = false;
    if (!dialog->isVisible()) {
        stage->stageReloadPending = true;
    } else {
        dialog->StageSettingsFromDeviceToClassToUi();
        emit SgnDisableStagePages(false, a);
    }
}

QString Multiaxis::axisName(int a) const
{
    const SettingsDlg* dialog = settingsDlgs[a];
    const QString positioner = readFieldText(dialog->stageSettings->stageName.PositionerName);
    if (!positioner.isEmpty() && (samples[a].state.Flags & STATE_EEPROM_CONNECTED))
        return QLatin1Char('[') + positioner + QLatin1Char(']');
    const QString controller = readFieldText(dialog->motorSettings->controllerName.ControllerName);
    if (!controller.isEmpty())
        return controller;
    return readFieldText(dialog->controllerSettings->deviceInformation.ManufacturerId)
           + QString::number(dialog->controllerSettings->serialNumber);
}

void Multiaxis::borders(int a, double* left, double* right) const
{
    const edges_settings_t& edges = settingsDlgs[a]->motorSettings->edges;
    const int d = divisor(a);
    const double factor = units.displayFactor();
    // Integer division: microsteps count only from a whole step on.
    *left = double(qint64(edges.LeftBorder) + edges.uLeftBorder / d) * factor;
    *right = double(qint64(edges.RightBorder) + edges.uRightBorder / d) * factor;
}

void Multiaxis::applyScale(int s, double left, double right)
{
    // Equal borders (a zeroed record) would give an empty scale.
    if (left == right)
        slotPlot[s]->setAxisAutoScale(plotAxis[s]);
    else
        slotPlot[s]->setAxisScale(plotAxis[s], left, right, 0);
}

void Multiaxis::rescalePlots()
{
    for (int s = 0; s < n; ++s) {
        double left = 0;
        double right = 0;
        borders(axisOrder[s], &left, &right);
        applyScale(s, left, right);
        slotPlot[s]->replot();
    }
}

void Multiaxis::giveBoxesDivisor(int s, int a)
{
    const int d = divisor(a);
    spinBox_moveTo[s]->setStepFactor(d);
    spinBox_shiftOn[s]->setStepFactor(d);
}

void Multiaxis::receiveUnits(bool enabled, QString unitText, uint coeff1, uint coeff2, uint precision)
{
    units.recalcEnabled = enabled;
    units.units = unitText;
    units.coeff1 = std::clamp(coeff1, 1u, UserUnits::maxCoefficient);
    units.coeff2 = std::clamp(coeff2, 1u, UserUnits::maxCoefficient);
    units.precision = std::min(precision, UserUnits::maxPrecision);
    const double factor = units.ratio();

    for (int s = 0; s < n; ++s) {
        const int d = divisor(axisOrder[s]);
        for (StepSpinBox* box : {spinBox_moveTo[s], spinBox_shiftOn[s]}) {
            const int before = box->unitMode;
            if (enabled) {
                const int step = box->getStep();
                const int uStep = box->getUStep();
                box->setUnitMode(2, QLatin1Char(' ') + units.units, int(units.precision));
                if (before != 2)
                    box->setValue(UserUnits::fullSteps(step, uStep, d) * factor);
            } else {
                const double value = box->value();
                box->setUnitMode(1, stepperPositionUnit, 0);
                if (before == 2) {
                    const UserUnits::StepPair pair = UserUnits::toStepPair(value, factor, d);
                    box->setValue(pair.step, pair.uStep);
                    box->setStepFactor(d);
                }
            }
        }
    }
}

void Multiaxis::OnCalibrationBtnPressed()
{
    auto* dialog = new DimensionalUnitsDlg(this, tr("Dimensional unit setup"), units.recalcEnabled, units.units,
                                           units.coeff1, units.coeff2, units.precision, serialList());
    const QMetaObject::Connection unitsLink =
        connect(dialog, &DimensionalUnitsDlg::sendUnits, this, &Multiaxis::receiveUnits);
    const QMetaObject::Connection serialsLink =
        connect(dialog, &DimensionalUnitsDlg::sendSerials, this, &Multiaxis::receiveSerials);
    dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
    dialog->exec();
    disconnect(unitsLink);
    disconnect(serialsLink);
    delete dialog;
}

void Multiaxis::receiveSerials(QStringList serials)
{
    // Only a permutation of the open axes' serials is taken; anything else keeps the order.
    int order[maxAxes] = {0, 1, 2};
    if (serials.size() != n)
        return;
    bool used[maxAxes] = {false, false, false};
    for (int k = 0; k < n; ++k) {
        bool ok = false;
        const unsigned int serial = serials[k].trimmed().toUInt(&ok);
        int found = -1;
        for (int j = 0; ok && j < n; ++j) {
            if (!used[j] && settingsDlgs[j]->controllerSettings->serialNumber == serial)
                found = j;
        }
        if (found < 0)
            return;
        used[found] = true;
        order[k] = found;
    }

    struct Kept
    {
        int moveStep, moveUStep, divisor, shiftStep, shiftUStep;
        double moveValue, shiftValue;
    } kept[maxAxes];
    for (int s = 0; s < n; ++s) {
        const int a = axisOrder[s];
        kept[a] = {spinBox_moveTo[s]->getStep(),       spinBox_moveTo[s]->getUStep(),
                   spinBox_moveTo[s]->getStepFactor(), spinBox_shiftOn[s]->getStep(),
                   spinBox_shiftOn[s]->getUStep(),     spinBox_moveTo[s]->value(),
                   spinBox_shiftOn[s]->value()};
    }
    std::copy(order, order + maxAxes, axisOrder);
    for (int s = 0; s < n; ++s) {
        const Kept& k = kept[axisOrder[s]];
        // The divisor first, so that the recorded pair comes back exactly.
        const struct { StepSpinBox* box; int step, uStep; double value; } boxes[] = {
            {spinBox_moveTo[s], k.moveStep, k.moveUStep, k.moveValue},
            {spinBox_shiftOn[s], k.shiftStep, k.shiftUStep, k.shiftValue}};
        for (const auto& b : boxes) {
            if (b.box->unitMode == 2) {
                b.box->setValue(b.value);
            } else {
                b.box->setStepFactor(k.divisor);
                b.box->setValue(b.step, b.uStep);
            }
        }
    }
    rescalePlots();
}

void Multiaxis::closeEvent(QCloseEvent* event)
{
    saveUnitSettings();
    saveLastGroup();
    event->accept();
    shutDown();
}

void Multiaxis::shutDown()
{
    if (shutDownDone)
        return;
    shutDownDone = true;
    quitScriptEngine();
    if (refreshTimer)
        refreshTimer->stop();
    if (scriptDlg)
        scriptDlg->saveScratch();

    for (UpdateThread* thread : updateThreads) {
        disconnect(thread, nullptr, this, nullptr);
        thread->stopRequest.store(true);
    }
    QList<bool> ended;
    for (UpdateThread* thread : updateThreads)
        ended.append(thread->wait(threadJoinMs));
    // An upload waiting for a lost controller ends only once its polling thread has stopped.
    for (int i = 0; i < settingsDlgs.size(); ++i) {
        FirmwareUpdateThread* upload = settingsDlgs[i]->firmwareThread;
        upload->cancelWait();
        if (!upload->wait(threadJoinMs))
            ended[i] = false;
    }
    for (int i = 0; i < updateThreads.size(); ++i) {
        if (deviceHandle[i].load() != -1)
            updateThreads[i]->closeDevice();
    }
    qApp->removeEventFilter(this);

    for (int i = 0; i < settingsDlgs.size(); ++i) {
        if (ended[i]) {
            delete settingsDlgs[i];
            delete updateThreads[i];
        } else {
            logLine(tr("Axis %1: its threads did not end; they are left running.").arg(i + 1));
        }
    }
    settingsDlgs.clear();
    updateThreads.clear();
    delete scriptDlg;
    scriptDlg = nullptr;
    startBtn = stopBtn = loadBtn = saveBtn = nullptr;
    codeEdit = nullptr;
    delete refreshTimer;
    refreshTimer = nullptr;
}

void Multiaxis::logLine(const QString& text) const
{
    if (messageLog)
        messageLog->InsertLine(QDateTime::currentDateTime(), text, QStringLiteral("Tolmo"), 2);
    else
        qWarning("%s", qPrintable(text));
}

// ---- Motion, jogging, settings buttons, script engine and exit (filled in with them) ----

void Multiaxis::OnStopBtnPressed() {}
void Multiaxis::OnSstpBtnPressed() {}
void Multiaxis::OnMoveBtnPressed() {}
void Multiaxis::OnShiftBtnPressed() {}
void Multiaxis::OnHomeBtnPressed() {}
void Multiaxis::OnZeroBtnPressed() {}
void Multiaxis::OnExitBtnPressed() {}
void Multiaxis::OnScriptStartBtnPressed() {}
void Multiaxis::OnScriptStopBtnPressed() {}
void Multiaxis::OnScriptingBtnPressed() {}
void Multiaxis::OnSettings1BtnClicked() {}
void Multiaxis::OnSettings2BtnClicked() {}
void Multiaxis::OnSettings3BtnClicked() {}
void Multiaxis::OnPickerXYPointSelected(const QPointF&) {}
void Multiaxis::OnPickerZPointSelected(const QPointF&) {}
void Multiaxis::updateSettings() {}

bool Multiaxis::eventFilter(QObject* object, QEvent* event)
{
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

void Multiaxis::startScriptEngine() {}
void Multiaxis::quitScriptEngine() {}
void Multiaxis::refreshScriptControls() {}

bool Multiaxis::exitCheck()
{
    return true;
}

// ---- end of motion, jogging, settings buttons, script engine and exit ----
