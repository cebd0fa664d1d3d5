#include "multiaxis/Multiaxis.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
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
#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "widgets/LabelUpdates.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "common/SettingsWriteReport.h"
#include "common/ProgramSettingsFile.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/FirmwareUpdateThread.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "widgets/InfoBox.h"
#include "widgets/ProgramResources.h"
#include "widgets/StepSpinBox.h"
#include "multiaxis/DimensionalUnitsDlg.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThreadMulti.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "settings_model/UnitTexts.h"
#include "ui_multiaxis.h"

namespace {

constexpr double noBorder = std::numeric_limits<double>::quiet_NaN();
const char* const slotLetters[] = {"X", "Y", "Z"};
// The stage pages, in the order their SetDisabled slots are connected.
const SettingsPage stagePages[] = {SettingsPage::PositionerName, SettingsPage::Stage,
                                   SettingsPage::StageDcMotor,   SettingsPage::StageStepperMotor,
                                   SettingsPage::StageEncoder,   SettingsPage::StageGear};

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
        connect(thread, &UpdateThread::sampleRead, this, &Multiaxis::UpdateVars);
        updateThreads.append(thread);
        thread->start(QThread::HighestPriority);

        auto* dialog = new SettingsDlg(nullptr, thread, devices[i], true);
        dialog->setWindowFlags(dialog->windowFlags() | Qt::Tool);
        connect(dialog, &SettingsDlg::SgnChangeSettings, this, &Multiaxis::updateSettings);
        settingsDlgs.append(dialog);
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

    normalColor = palette().color(QPalette::Window);
    alarmColor = QColor(std::min(255, int(0.9 * normalColor.red() + 25.5)), int(0.9 * normalColor.green()),
                        int(0.9 * normalColor.blue()), 255);

    findSlotWidgets();
    // The status column is as wide as a long speed text, so the texts set later are not cut.
    for (QLabel* label : speedValue)
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-000000 -000/256 steps/s")));
    // A new value repaints its label alone: no re-layout of the slot's box for every sample.
    for (const QList<QLabel*>& column : {curPos, voltageValue, currentValue, speedValue, commandValue, powerValue}) {
        for (QLabel* label : column)
            LabelUpdates::holdSize(label);
    }
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
            box->setKeepsUnfinishedText(true);
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

void Multiaxis::saveUnitSettings()
{
    ProgramSettingsFile::UnitOptions options;
    options.recalcEnabled = units.recalcEnabled;
    options.units = units.units;
    options.coeff1 = units.coeff1;
    options.coeff2 = units.coeff2;
    options.precision = units.precision;
    IniSaver file(settingsIniPath());
    ProgramSettingsFile::writeUnitOptions(file.settings(), options);
    commitOrReport(file);
}

QStringList Multiaxis::serialList() const
{
    QStringList serials;
    for (int s = 0; s < n; ++s)
        serials.append(QString::number(settingsDlgs[axisOrder[s]]->controllerSettings->serialNumber));
    return serials;
}

void Multiaxis::saveLastGroup()
{
    QVector<unsigned int> serials;
    for (int s = 0; s < n; ++s)
        serials.append(settingsDlgs[axisOrder[s]]->controllerSettings->serialNumber);
    if (serials.isEmpty())
        return;
    IniSaver file(settingsIniPath());
    ProgramSettingsFile::writeControllerSet(file.settings(), serials);
    commitOrReport(file);
}

void Multiaxis::commitOrReport(IniSaver& file)
{
    QString reason;
    if (file.commit(&reason))
        return;
    SettingsWriteReport::fileFailed(this, file.path(), reason, [](const QString& line) {
        if (messageLog)
            messageLog->InsertLine(QDateTime::currentDateTime(), line, QStringLiteral("Tolmo"), 1);
    });
}

void Multiaxis::UpdateVars(int number, QDateTime, status_t state, chart_data_t, analog_data_t, bool connect,
                           int device_mode, quint64 statusReadNumber)
{
    if (shutDownDone || number < 0 || number >= n)
        return;
    exitSequence.sample(number, int(state.MvCmdSts), connect, device_mode, statusReadNumber);
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
    if (n == 0)
        return;

    QString title = QStringLiteral("Tolmo multiaxis ");
    for (int s = 0; s < n; ++s)
        refreshSlot(s, &title);
    setWindowTitle(title);

    bool rescaled = false;
    double cache[maxAxes][2];
    for (int s = 0; s < n; ++s) {
        const int a = axisOrder[s];
        borders(a, &cache[a][0], &cache[a][1]);
        if (cache[a][0] != borderCache[a][0] || cache[a][1] != borderCache[a][1]) {
            applyScale(s, cache[a][0], cache[a][1]);
            rescaled = true;
        }
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
    double z = 0.0;
    if (n == maxAxes) {
        const int a = axisOrder[2];
        // Whole steps only, as the Z line has always shown them.
        z = double(samples[a].state.CurPosition + samples[a].state.uCurPosition / divisor(a)) * factor;
    }

    // Everything the plots show; an idle window does not replot.
    QVector<double> shown{x, y, z};
    for (int s = 0; s < n; ++s) {
        const int a = axisOrder[s];
        const uint32_t gpio = samples[a].state.GPIOFlags;
        shown << borderCache[a][0] << borderCache[a][1] << double(gpio & (STATE_LEFT_EDGE | STATE_RIGHT_EDGE))
              << double(lostShown[a]);
    }
    if (rescaled || shown != plottedState) {
        plottedState = shown;
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
            curveZ->setSamples(QVector<QPointF>{QPointF(-0.5, z), QPointF(0.5, z)});
            positionLine[2]->setYValue(z);
            leftLimit[2]->setYValue(borderCache[axisOrder[2]][0]);
            rightLimit[2]->setYValue(borderCache[axisOrder[2]][1]);
        }
        for (int s = 0; s < n; ++s) {
            const uint32_t gpio = samples[axisOrder[s]].state.GPIOFlags;
            leftLimit[s]->setVisible((gpio & STATE_LEFT_EDGE) != 0);
            rightLimit[s]->setVisible((gpio & STATE_RIGHT_EDGE) != 0);
        }
        plotXY->replot();
        if (n == maxAxes)
            plotZ->replot();
    }
}

void Multiaxis::showLost(int s, bool lost)
{
    for (QWidget* w : std::initializer_list<QWidget*>{groupBox[s], curPos[s], pushButton_joyDec[s], pushButton_joyInc[s],
                                                      spinBox_moveTo[s], spinBox_shiftOn[s]})
        w->setEnabled(!lost);
    positionLine[s]->setLinePen(withStyle(positionLine[s]->linePen(), lost ? Qt::DashLine : Qt::SolidLine));
}

void Multiaxis::showAlarm(int s, bool alarm)
{
    const QColor& colour = alarm ? alarmColor : normalColor;
    LabelUpdates::setStyleSheet(groupBox[s], QStringLiteral("QGroupBox { background-color: ") + colour.name()
                                                 + QStringLiteral(" ; }"));
}

void Multiaxis::refreshSlot(int s, QString* title)
{
    const int a = axisOrder[s];
    const AxisSample& sample = samples[a];
    if (!sample.connected) {
        if (!lostShown[a]) {
            showLost(s, true);
            lostShown[a] = true;
        }
        return;
    }
    if (lostShown[a]) {
        showLost(s, false);
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
    const bool alarm = (st.Flags & STATE_ALARM) != 0;
    if (alarm != alarmShown[a]) {
        showAlarm(s, alarm);
        alarmShown[a] = alarm;
    }

    const ControllerSettings* identity = settingsDlgs[a]->controllerSettings;
    const int d = divisor(a);
    SlotInputs inputs{a,           identity->serialNumber, d,           units.recalcEnabled, units.units,
                      units.coeff1, units.coeff2,           units.precision, st.CurPosition, st.uCurPosition,
                      st.CurSpeed, st.uCurSpeed,           st.Upwr,     st.Ipwr,             st.MvCmdSts,
                      st.PWRSts};
    if (inputs == shownInputs[s])
        return;
    shownInputs[s] = std::move(inputs);

    groupBox[s]->setTitle(tr("Motor ") + QLatin1String(slotLetters[s]) + QStringLiteral(", SN ")
                          + QString::number(identity->serialNumber));

    LabelUpdates::setText(curPos[s], units.recalcEnabled
                                         ? units.unitPositionText(st.CurPosition, st.uCurPosition, d)
                                         : UserUnits::positionToString(st.CurPosition, st.uCurPosition, d));
    LabelUpdates::setText(voltageValue[s], QStringLiteral("%1 V").arg(st.Upwr / 100.0));
    LabelUpdates::setText(currentValue[s], QStringLiteral("%1 mA").arg(st.Ipwr));
    LabelUpdates::setText(speedValue[s],
                          QStringLiteral("%1 %2/%3 steps/s").arg(st.CurSpeed).arg(st.uCurSpeed).arg(d));

    static const char* const commandTexts[] = {"Unknown", "Move to", "Shift on", "Move left", "Move right",
                                               "Stop",    "Homing",  "Loft",     "Soft stop"};
    const unsigned int command = st.MvCmdSts & MVCMD_NAME_BITS;
    LabelUpdates::setText(commandValue[s], tr(commandTexts[command <= 8 ? command : 0]));
    QFont commandFont = font;
    commandFont.setWeight((st.MvCmdSts & MVCMD_RUNNING) ? 75 : 50);
    LabelUpdates::setFont(commandValue[s], commandFont);

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
    LabelUpdates::setText(powerValue[s], tr(power));
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
    plottedState.clear();
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
        // The slot's widgets take the lost and alarm state of the axis they show now.
        const int a = axisOrder[s];
        showLost(s, lostShown[a]);
        if (alarmShown[a] || !groupBox[s]->styleSheet().isEmpty())
            showAlarm(s, alarmShown[a]);
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

DeviceInterface* Multiaxis::scriptAxisGateway(int axis) const
{
    return axis >= 0 && axis < n ? devices[axis] : nullptr;
}

std::atomic<device_t>* Multiaxis::scriptAxisHandle(int axis) const
{
    return axis >= 0 && axis < n ? const_cast<std::atomic<device_t>*>(&deviceHandle[axis]) : nullptr;
}

result_t Multiaxis::command(int axis, result_t (DeviceInterface::*call)(device_t))
{
    return (devices[axis]->*call)(deviceHandle[axis].load());
}

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
    jogTracker->releaseAll();
    for (int a = 0; a < n; ++a)
        command(a, &DeviceInterface::command_stop);
}

void Multiaxis::OnSstpBtnPressed()
{
    if (scriptWiring)
        scriptWiring->stopScript();
    jogTracker->releaseAll();
    // Pressed again and again: soft stop, then hard stop, then power off.
    for (int a = 0; a < n; ++a) {
        const unsigned int m = samples[a].state.MvCmdSts;
        if (!(m & MVCMD_RUNNING))
            command(a, &DeviceInterface::command_power_off);
        else if (m == (MVCMD_SSTP | MVCMD_RUNNING))
            command(a, &DeviceInterface::command_stop);
        else
            command(a, &DeviceInterface::command_sstp);
    }
}

bool Multiaxis::slotTarget(int slot, double value, bool plotClick, UserUnits::StepPair* target) const
{
    if (slot < 0 || slot >= n)
        return false;
    const double factor = units.displayFactor();
    if (!std::isfinite(value / factor))
        return false;
    const int d = divisor(axisOrder[slot]);
    *target = plotClick ? UserUnits::clickToStepPair(value, factor, d) : UserUnits::toStepPair(value, factor, d);
    return true;
}

void Multiaxis::moveAll(bool shift)
{
    // Every box is read before the first command goes out; one that holds no target stops all.
    for (int s = 0; s < n; ++s) {
        StepSpinBox* box = shift ? spinBox_shiftOn[s] : spinBox_moveTo[s];
        if (!box->commitText()) {
            logLine(tr("Motor %2, %1: \"%3\" is not a target; nothing was sent.")
                        .arg(shift ? tr("Shift on") : tr("Move to"), QLatin1String(slotLetters[s]), box->cleanText()));
            box->setFocus();
            return;
        }
    }
    UserUnits::StepPair targets[maxAxes];
    bool valid[maxAxes] = {false, false, false};
    for (int s = 0; s < n; ++s) {
        const StepSpinBox* box = shift ? spinBox_shiftOn[s] : spinBox_moveTo[s];
        if (units.recalcEnabled) {
            valid[s] = slotTarget(s, box->value(), false, &targets[s]);
        } else {
            targets[s] = {box->getStep(), box->getUStep()};
            valid[s] = true;
        }
    }
    for (int s = 0; s < n; ++s) {
        if (!valid[s])
            continue;
        const int a = axisOrder[s];
        if (shift)
            devices[a]->command_movr(deviceHandle[a].load(), targets[s].step, targets[s].uStep);
        else
            devices[a]->command_move(deviceHandle[a].load(), targets[s].step, targets[s].uStep);
    }
}

void Multiaxis::OnMoveBtnPressed()
{
    moveAll(false);
}

void Multiaxis::OnShiftBtnPressed()
{
    moveAll(true);
}

void Multiaxis::OnHomeBtnPressed()
{
    for (int a = 0; a < n; ++a)
        command(a, &DeviceInterface::command_home);
}

void Multiaxis::OnZeroBtnPressed()
{
    for (int a = 0; a < n; ++a)
        command(a, &DeviceInterface::command_zero);
}

void Multiaxis::OnPickerXYPointSelected(const QPointF& point)
{
    const double coordinates[2] = {point.x(), point.y()};
    for (int s = 0; s < 2 && s < n; ++s) {
        UserUnits::StepPair target;
        if (!slotTarget(s, coordinates[s], true, &target))
            continue;
        const int a = axisOrder[s];
        devices[a]->command_move(deviceHandle[a].load(), target.step, target.uStep);
    }
}

void Multiaxis::OnPickerZPointSelected(const QPointF& point)
{
    UserUnits::StepPair target;
    if (n < 3 || !slotTarget(2, point.y(), true, &target))
        return;
    const int a = axisOrder[2];
    devices[a]->command_move(deviceHandle[a].load(), target.step, target.uStep);
}

void Multiaxis::openSettings(int s)
{
    if (s >= n)
        return;
    const int a = axisOrder[s];
    SettingsDlg* dialog = settingsDlgs[a];
    dialog->AllPagesFromDeviceToClassToUi(true, true);
    if (dialog->stageSettings->stageReloadPending) {
        dialog->StageSettingsFromDeviceToClassToUi();
        emit SgnDisableStagePages(false, a);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
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

// ---- jogging

void Multiaxis::sendJog(const JogTracker::Action& action)
{
    if (action.slot < 0 || action.slot >= n)
        return;
    const int a = axisOrder[action.slot];
    switch (action.command) {
    case JogTracker::Command::Left: command(a, &DeviceInterface::command_left); break;
    case JogTracker::Command::Right: command(a, &DeviceInterface::command_right); break;
    case JogTracker::Command::SoftStop: command(a, &DeviceInterface::command_sstp); break;
    case JogTracker::Command::None: break;
    }
}

void Multiaxis::releaseJogs()
{
    for (int slot : jogTracker->releaseAll())
        sendJog({slot, JogTracker::Command::SoftStop});
}

bool Multiaxis::handleJogKey(QObject* object, QKeyEvent* event)
{
    const auto* widget = qobject_cast<QWidget*>(object);
    int slot = -1;
    JogTracker::Command direction = JogTracker::Command::None;
    if (!widget || widget->window() != this || !jogTracker->keyJog(event->key(), &slot, &direction))
        return false;
    // Arrows typed into a box edit it and move nothing.
    const QWidget* focus = QApplication::focusWidget();
    const bool editing = focus
                         && (qobject_cast<const QAbstractSpinBox*>(focus)
                             || qobject_cast<const QAbstractSpinBox*>(focus->parentWidget()));
    if (event->type() == QEvent::KeyPress) {
        if (editing)
            return false;
        sendJog(jogTracker->keyPressed(event->key(), false));
        return true;
    }
    sendJog(jogTracker->keyReleased(event->key()));
    return !editing;
}

void Multiaxis::handleJogButton(QObject* object, QEvent* event)
{
    for (int s = 0; s < n; ++s) {
        const bool decrease = object == pushButton_joyDec[s];
        if (!decrease && object != pushButton_joyInc[s])
            continue;
        auto* button = static_cast<QPushButton*>(object);
        if (event->type() == QEvent::MouseButtonRelease)
            sendJog(jogTracker->buttonReleased(button));
        else
            sendJog(jogTracker->buttonPressed(button, s, !decrease, button->isEnabled()));
        return;
    }
}

bool Multiaxis::eventFilter(QObject* object, QEvent* event)
{
    if (shutDownDone || !jogTracker)
        return QWidget::eventFilter(object, event);
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Handled and consumed here whatever has the focus: a button would take the arrows.
        if (handleJogKey(object, static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        handleJogButton(object, event);
        break;
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
    case QEvent::Hide:
        // No release may ever come (a modal takes the mouse, the window is gone).
        if (object == this)
            releaseJogs();
        break;
    case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive)
            releaseJogs();
        break;
    default:
        break;
    }
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
    jogTracker = std::make_unique<JogTracker>(n);
    // Return stops at once, not after the button's animated click (which its own shortcut gives).
    ui->pushButton_STOP->setShortcut(QKeySequence());
    stopShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
    enterShortcut = new QShortcut(QKeySequence(Qt::Key_Enter), this);
    connect(stopShortcut, &QShortcut::activated, this, &Multiaxis::OnStopBtnPressed);
    connect(enterShortcut, &QShortcut::activated, this, &Multiaxis::OnStopBtnPressed);

    // This window shows no running line (its scripts drive several axes at once).
    scriptWiring = std::make_unique<ScriptControl>(scriptDlg, std::make_unique<ScriptThreadMulti>(this),
                                                   ScriptControl::LineMarks::ExceptionsOnly);
    connect(scriptDlg, &ScriptDlg::script_exception, this, &Multiaxis::logScriptException);
}

void Multiaxis::quitScriptEngine()
{
    // First in the shut-down, while the devices are open: a jog still held would run on with no
    // release ever coming.
    if (jogTracker)
        releaseJogs();
    if (!scriptWiring)
        return;
    if (scriptWiring->quit(scriptQuitMs)) {
        scriptWiring.reset();
        return;
    }
    // Deleting it would wait for the script for ever.
    logLine(QStringLiteral("The script thread did not end within %1 ms; it is left running").arg(scriptQuitMs));
    (void)scriptWiring.release();
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
    if (messageLog)
        messageLog->InsertLine(QDateTime::currentDateTime(), text, QStringLiteral("Script"), 1);
}

void Multiaxis::OnScriptingBtnPressed()
{
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
    if (shutDownDone || exitSequence.pending())
        return;
    // The script first: none of its commands may follow the soft stops.
    if (scriptWiring)
        scriptWiring->stopScript();
    jogTracker->releaseAll();
    QVector<bool> connected;
    QVector<int> modes;
    for (int a = 0; a < n; ++a) {
        connected << samples[a].connected;
        modes << samples[a].deviceMode;
    }
    const MultiaxisExit::Plan plan = exitSequence.begin(connected, modes, nowMs());
    exitPending = true;
    // Every axis gets its soft stop, whatever another one answered.
    for (int a : plan.softStop) {
        const bool stopped = command(a, &DeviceInterface::command_sstp) == 0;
        exitSequence.softStopSent(a, stopped, updateThreads[a]->statusReadsBegun());
    }
    if (!plan.wait) {
        // A lost or bootloader axis can neither be waited for nor powered off.
        finishExit();
        return;
    }
    const QVector<int> failed = exitSequence.failedSoftStops();
    if (!failed.isEmpty()) {
        abandonExit(tr("The soft stop failed on the axes with serial numbers %1. The window stays open.")
                        .arg(serialsOf(failed)));
        return;
    }
    if (!exitWaitBox)
        return;
    connect(exitWaitBox, &InfoBox::cancelled, this, &Multiaxis::onExitCancelled, Qt::UniqueConnection);
    // The refresh ends the wait from inside this loop (and may close the window): nothing here
    // touches the box or the window once it returns.
    exitWaitBox->exec();
}

void Multiaxis::onExitCancelled()
{
    exitSequence.cancel();
    exitPending = false;
}

void Multiaxis::abandonExit(const QString& warning)
{
    exitSequence.cancel();
    exitPending = false;
    if (exitWaitBox && exitWaitBox->isVisible())
        exitWaitBox->hide();
    if (!warning.isEmpty())
        MessagePrompter::current()->prompt(this, QMessageBox::Warning, QStringLiteral("Tolmo"), warning,
                                           QMessageBox::Ok, QMessageBox::Ok);
}

void Multiaxis::finishExit()
{
    exitSequence.cancel();
    exitPending = false;
    if (exitWaitBox && exitWaitBox->isVisible())
        exitWaitBox->hide();
    close();
}

bool Multiaxis::exitCheck()
{
    switch (exitSequence.decide(nowMs())) {
    case MultiaxisExit::Decision::Idle:
        exitPending = false;
        return true;
    case MultiaxisExit::Decision::Wait:
        return true;
    case MultiaxisExit::Decision::External:
        abandonExit(tr("Exit aborted because of external command interrupt (joystick, sync in, etc.)."));
        return true;
    case MultiaxisExit::Decision::Lost: {
        const QString serial = serialsOf({exitSequence.lostAxis()});
        abandonExit(tr("Exit cancelled: the axis with serial number %1 was lost or left its firmware.").arg(serial));
        return true;
    }
    case MultiaxisExit::Decision::TimedOut:
        abandonExit(tr("Exit cancelled: the axes did not end their soft stop within %1 s.")
                        .arg(MultiaxisExit::waitLimitMs / 1000));
        return true;
    case MultiaxisExit::Decision::PowerOff:
        break;
    }
    for (int a : exitSequence.powerOffAxes())
        exitSequence.powerOffResult(a, command(a, &DeviceInterface::command_power_off) == 0);
    if (exitSequence.finishRound()) {
        finishExit();
        return false;
    }
    if (!exitSequence.powerOffExhausted())
        return false;
    const QString failed = serialsOf(exitSequence.powerOffAxes());
    abandonExit(QString());
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Tolmo"),
                         tr("The axes with serial numbers %1 could not be powered off (%2 tries).")
                             .arg(failed)
                             .arg(MultiaxisExit::powerOffTries),
                         QMessageBox::NoButton, this);
    const QPushButton* closeAnyway = question.addButton(tr("Close anyway"), QMessageBox::AcceptRole);
    question.addButton(tr("Keep window open"), QMessageBox::RejectRole);
    question.exec();
    if (question.clickedButton() == closeAnyway && !shutDownDone)
        close();
    return false;
}

// ---- end of motion, jogging, settings buttons, script engine and exit ----
