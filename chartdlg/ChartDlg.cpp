#include "chartdlg/ChartDlg.h"

#include "chartdlg/ChartFile.h"
#include "chartdlg/ChartPlotLook.h"
#include "chartdlg/GraphPlot.h"
#include "chartdlg/GraphPlotMulti.h"
#include "chartdlg/GraphSettings.h"
#include "chartdlg/TimeScaleDraw.h"
#include "chartdlg/myPicker.h"
#include "chartdlg/myScaleEngine.h"
#include "common/FileChooser.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "common/WindowPlacement.h"
#include "device/SharedFlags.h"
#include "widgets/ProgramResources.h"
#include "settings_model/MotorSettings.h"
#include "ui_chartdlg.h"

#include <qwt_interval.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalMapper>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int messageMs = 2000;
constexpr int firstSampleWaitMs = 250;
const char* const groupName = "graphWindow_params";
const char* const fileFilter = "Graph files (*.grf);;All files (*.*)";

QString recordsText(int64_t n)
{
    return n == 1 ? ChartDlg::tr("1 record") : ChartDlg::tr("%1 records").arg(n);
}

// What a load left out of the file and why; empty when it took every byte.
QString leftOutText(const ChartFile::Loaded& loaded, const QString& fileName)
{
    QStringList reasons;
    const int64_t damagedValues = loaded.skippedRecords - loaded.damagedTimes;
    if (loaded.damagedTimes > 0)
        reasons << ChartDlg::tr("%1 with a damaged time").arg(recordsText(loaded.damagedTimes));
    if (damagedValues > 0)
        reasons << ChartDlg::tr("%1 with a damaged value").arg(recordsText(damagedValues));
    if (loaded.partialBytes > 0)
        reasons << ChartDlg::tr("the last record, cut short after %1 bytes").arg(loaded.partialBytes);
    if (reasons.isEmpty())
        return QString();
    const int64_t total = loaded.skippedRecords + (loaded.partialBytes > 0 ? 1 : 0);
    return ChartDlg::tr("%1 loaded with %2; %3 left out:\n%4.")
        .arg(fileName, recordsText(loaded.log.count()), recordsText(total), reasons.join(QStringLiteral(";\n")));
}

} // namespace

const ChartPlotRow ChartDlg::plotRows[ChartDlg::plotCount] = {
    {"positionChk", "Position", "Position", " counts", " steps", 0, "Position"},
    {"speedChk", "Speed", "Speed", " rpm", " steps/s", 1, "Speed"},
    {"encodChk", "Encoder", "Encoder", "1", "1", 2, "Encoder"},
    {"enVoltageChk", "Engine voltage", "Engine voltage", "V", "V", 3, "EnVoltage"},
    {"enCurrentChk", "Engine current", "Engine current", "mA", "mA", 9, "EnCurrent"},
    {"pwrVoltageChk", "Power voltage", "Power voltage", "V", "V", 4, "PwrVoltage"},
    {"pwrCurrentChk", "Power current", "Power current", "mA", "mA", 10, "PwrCurrent"},
    {"usbVoltageChk", "USB voltage", "USB voltage", "V", "V", 5, "UsbVoltage"},
    {"usbCurrentChk", "USB current", "USB current", "mA", "mA", 11, "UsbCurrent"},
    {"voltAChk", "Winding A voltage", "Voltage A", "V", "V", 6, "VoltageA"},
    {"voltBChk", "Winding B voltage", "Voltage B", "V", "V", 7, "VoltageB"},
    {"voltCChk", "Winding C voltage", "Voltage C", "V", "V", 8, "VoltageC"},
    {"currAChk", "Winding A current", "Current A", "mA", "mA", 12, "CurrentA"},
    {"currBChk", "Winding B current", "Current B", "mA", "mA", 13, "CurrentB"},
    {"currCChk", "Winding C current", "Current C", "mA", "mA", 14, "CurrentC"},
    {"pwmChk", "PWM Level", "PWM level", "%", "%", 15, "PWM"},
    {"tempChk", "Temperature", "Temperature", "<sup>O</sup>C", "<sup>O</sup>C", 16, "Temperature"},
    {"joyChk", "Joystick", "Joystick", "1", "1", 17, "Joy"},
    {"potChk", "Potentiometer", "Potentiometer", "1", "1", 18, "Pot"},
    {"flagsChk", "Flags", "Flags", " ", " ", 19, "Flags"},
};

constexpr unsigned ChartDlg::flagMasks[9];

ChartDlg::ChartDlg(QWidget* parent, MotorSettings* motorSettings_, const QString& titleSuffix)
    : QDialog(parent), ui(new Ui::ChartDlgClass), motorSettings(motorSettings_)
{
    loadProgramResources();
    ui->setupUi(this);
    keepOnScreen(this);
    startTime = QDateTime::currentDateTimeUtc();
    chartLog.reset(new ChartLog(&startTime));
    engineType = motorSettings ? motorSettings->entype.EngineType : 0;

    for (int i = 0; i < valuePlotCount; ++i) {
        auto* p = new GraphPlot(&gapMap, chartLog.get(), (i < 2 && engineType == ENGINE_TYPE_STEP) ? i : -1);
        plots << p;
        ui->verticalLayout_2->addWidget(p);
    }
    flagsPlot = new GraphPlotMulti(&gapMap, chartLog.get(), -2);
    ui->verticalLayout_2->addWidget(flagsPlot);
    for (int i = 0; i < plotCount; ++i) {
        // Qwt 6.1 reallocates the backing store at every replot; the window replots anyway.
        if (auto* canvas = qobject_cast<QwtPlotCanvas*>(anyPlot(i)->canvas()))
            canvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
        gapItems[size_t(i)] = new GapLines(&gapLines_);
        gapItems[size_t(i)]->attach(anyPlot(i));
    }

    auto* sliderLayout = new QVBoxLayout;
    sliderLayout->setContentsMargins(0, 0, 5, 0);
    historySlider = new QScrollBar(Qt::Horizontal, this);
    historySlider->setRange(0, 0);
    sliderLayout->addWidget(historySlider);
    ui->verticalLayout_2->addLayout(sliderLayout);

    connect(this, &QDialog::finished, this, &ChartDlg::close);
    checkBox(3)->setChecked(false);
    checkBox(3)->hide();
    checkBox(4)->setChecked(false);
    checkBox(4)->hide();
    for (int i = 0; i < plotCount; ++i)
        anyPlot(i)->setVisible(checkBox(i)->isChecked());
    scrollCheckBoxes();
    // Never narrower than the time labels need, whatever the form says.
    ui->mainVLayout->setSizeConstraint(QLayout::SetMinimumSize);

    updateTimer = new QTimer(this);
    connect(updateTimer, &QTimer::timeout, this, qOverload<>(&ChartDlg::update));
    updateTimer->blockSignals(true);
    firstSampleTimer = new QTimer(this);
    firstSampleTimer->setSingleShot(true);
    connect(firstSampleTimer, &QTimer::timeout, this, &ChartDlg::showSinglePoint);

    for (int i = 0; i < plotCount; ++i)
        connect(checkBox(i), &QCheckBox::stateChanged, this, &ChartDlg::ChangePlotCnt);
    connect(ui->startBtn, &QPushButton::clicked, this, &ChartDlg::OnStartBtnClicked);
    connect(ui->stopBtn, &QPushButton::clicked, this, &ChartDlg::OnStopBtnClicked);
    connect(ui->loadBtn, &QPushButton::clicked, this, &ChartDlg::OnLoadBtnClicked);
    connect(ui->saveBtn, &QPushButton::clicked, this, &ChartDlg::OnSaveBtnClicked);
    connect(ui->clearBtn, &QPushButton::clicked, this, &ChartDlg::OnClearBtnClicked, Qt::QueuedConnection);
    connect(historySlider, &QScrollBar::valueChanged, this, &ChartDlg::sliderUpdate);
    connect(historySlider, &QScrollBar::sliderPressed, this, &ChartDlg::sliderPressed);
    connect(historySlider, &QScrollBar::sliderReleased, this, &ChartDlg::sliderReleased);

    statusBar = new QStatusBar(this);
    ui->mainVLayout->addWidget(statusBar);
    statusBar->setFixedHeight(20);
    ChangePlotCnt();
    setWindowTitle(tr("Chart ") + titleSuffix);
}

ChartDlg::~ChartDlg()
{
    for (QwtPlotMarker* line : limitLines)
        if (line) {
            line->detach();
            delete line;
        }
    // The plots go with the form's widgets; the log outlives them through this order.
    for (GraphPlot* p : plots)
        delete p;
    delete flagsPlot;
}

void ChartDlg::scrollCheckBoxes()
{
    // The column of check boxes is taller than a small screen: it scrolls where the window is
    // shorter than it, so that the window fits any screen that holds its plots and buttons.
    auto* area = new QScrollArea(this);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidgetResizable(true);
    delete ui->gridLayout_2->replaceWidget(ui->groupBox, area);
    area->setWidget(ui->groupBox);
    ui->groupBox->ensurePolished();  // measured in the style it is shown in
    const QSize full = ui->groupBox->sizeHint();
    area->setFixedWidth(full.width() + area->verticalScrollBar()->sizeHint().width());
    area->setMaximumHeight(full.height());
    area->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    ui->gridLayout_2->setRowStretch(0, 1);  // its full height first, then the room below the buttons
}

QCheckBox* ChartDlg::checkBox(int index) const
{
    return findChild<QCheckBox*>(QLatin1String(plotRows[index].checkBox));
}

QwtPlot* ChartDlg::anyPlot(int index) const
{
    return index == flagsIndex ? static_cast<QwtPlot*>(flagsPlot) : static_cast<QwtPlot*>(plots[index]);
}

QString ChartDlg::statusText() const
{
    return statusBar->currentMessage();
}

int ChartDlg::visibleSeconds() const
{
    return graphSettings ? qBound(1, graphSettings->common.dataPoints, 3600) : 60;
}

int ChartDlg::updateIntervalMs() const
{
    return graphSettings ? qBound(50, graphSettings->common.updateInterval, 60000) : 100;
}

int ChartDlg::currentDivisor() const
{
    const int d = motorSettings ? motorSettings->microstepDivisor() : 1;
    return d > 0 ? d : 1;
}

double ChartDlg::plotValue(const ChartRecord& r, int plot, int engineType, int divisor)
{
    const double d = divisor > 0 ? divisor : 1;
    switch (plot) {
    case 0: return engineType == ENGINE_TYPE_STEP ? r.Position + r.uPosition / d : r.Encoder;
    case 1: return engineType == ENGINE_TYPE_STEP ? r.Speed + r.uSpeed / d : r.Speed;
    case 2: return r.Encoder;
    case 3: return r.EnVoltage;
    case 4: return r.EnCurrent;
    case 5: return r.PwrVoltage;
    case 6: return r.PwrCurrent;
    case 7: return r.UsbVoltage;
    case 8: return r.UsbCurrent;
    case 9: return r.VoltageA;
    case 10: return r.VoltageB;
    case 11: return r.VoltageC;
    case 12: return r.CurrentA;
    case 13: return r.CurrentB;
    case 14: return r.CurrentC;
    case 15: return r.PWM;
    case 16: return r.Temperature;
    case 17: return r.Joy;
    case 18: return r.Pot;
    default: return 0.0;
    }
}

int ChartDlg::labelDivisor(double lo, double hi)
{
    for (int d = 1; d <= 1000000; d *= 10)
        if (lo >= -1000.0 * d && hi <= 1000.0 * d)
            return d;
    return 10000000;
}

void ChartDlg::InitUI(GraphSettings* graphSettings_)
{
    statusBar->setSizeGripEnabled(false);
    fileLabel.setText(QStringLiteral(" "));
    fileLabel.setAlignment(Qt::AlignLeft);
    fileLabel.hide();
    dataSizeLabel.setText(tr(" data size: %1 KB ").arg(0));
    dataSizeLabel.setAlignment(Qt::AlignLeft);
    dataSizeLabel.setMinimumWidth(dataSizeLabel.fontMetrics().horizontalAdvance(tr(" data size: %1 KB ").arg(9999999)));
    runLabel.setText(tr(" stopped "));
    runLabel.setFixedWidth(65);
    runLabel.setAlignment(Qt::AlignCenter);
    statusBar->addPermanentWidget(&fileLabel);
    statusBar->addPermanentWidget(&dataSizeLabel);
    statusBar->addPermanentWidget(&runLabel);

    graphSettings = graphSettings_;
    windowLength = 10 * visibleSeconds();
    historySlider->setRange(0, 0);
    historySlider->setValue(0);
    historySlider->setPageStep(windowLength);

    auto* mapper = new QSignalMapper(this);
    connect(mapper, &QSignalMapper::mappedInt, this, qOverload<int>(&ChartDlg::updateDivisor));
    for (int i = 0; i < valuePlotCount; ++i) {
        mapper->setMapping(plots[i]->axisWidget(QwtPlot::yLeft), i);
        connect(plots[i]->axisWidget(QwtPlot::yLeft), &QwtScaleWidget::scaleDivChanged, mapper,
                qOverload<>(&QSignalMapper::map));
    }
    const bool stepper = engineType == ENGINE_TYPE_STEP;
    for (int i = 0; i < valuePlotCount; ++i)
        plots[i]->init(plots, graphSettings->curves[plotRows[i].settingsIndex],
                       QString::fromUtf8(stepper ? plotRows[i].stepUnit : plotRows[i].unit),
                       QString::fromUtf8(plotRows[i].title));
    flagsPlot->init(graphSettings->curves[GraphSettings::flagsCurve], QStringLiteral(" "), QStringLiteral("Flags"));
    updateTimer->setInterval(updateIntervalMs());
    if (isVisible())
        updateTimer->start();

    // One sample is taken whatever the recording state; it shows as a single point at 0.
    extraSampleRequested = true;
    firstSampleTimer->start(firstSampleWaitMs);

    const int lineSlots[5] = {1, 1, 4, 3, 3};
    for (size_t i = 0; i < limitLines.size(); ++i) {
        auto* line = new QwtPlotMarker;
        line->setLineStyle(QwtPlotMarker::HLine);
        line->setZ(1000);
        line->setLinePen(QPen(QBrush(Qt::red, Qt::SolidPattern), 1.0, Qt::DashLine));
        line->attach(plots[lineSlots[i]]);
        limitLines[i] = line;
    }
    updateLimitLines();
    initialised = true;
}

void ChartDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (graphSettings)  // InitUI has given the interval
        updateTimer->start();
}

void ChartDlg::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    updateTimer->stop();
}

void ChartDlg::showSinglePoint()
{
    firstSampleTimer->stop();
    extraSampleRequested = false;
    const int d = currentDivisor();
    for (int i = 0; i < valuePlotCount; ++i) {
        // The speed of the single point uses the divisor for every engine type.
        double v = 0.0;
        if (!chartLog->isEmpty()) {
            const ChartRecord& r = chartLog->newest();
            v = i == 1 ? r.Speed + r.uSpeed / d : plotValue(r, i, int(engineType), d);
        }
        plots[i]->curve()->setSamples(QVector<double>{0.0}, QVector<double>{v});
        plots[i]->picker()->setSamples(nullptr, nullptr, 0, -1);
        resetTimeAxes(plots[i]);
    }
    chartLog->clear();
    timeline.reset();
    invalidate();
}

void ChartDlg::resetTimeAxes(QwtPlot* plot)
{
    const QwtInterval empty(-(windowLength - 1) * ChartTimeline::samplePeriod, 0.0);
    for (int axis : {QwtPlot::xTop, QwtPlot::xBottom}) {
        ChartPlotLook::timeEngine(*plot, axis)->clearPoints();
        plot->setAxisScale(axis, empty.minValue(), empty.maxValue());
    }
    ChartPlotLook::fitTimeTicks(*plot, empty);
    ChartPlotLook::refreshTimeAxes(*plot);
    plot->replot();
}

void ChartDlg::emptyCurves()
{
    timeValues.clear();
    for (auto& v : plotValues)
        v.clear();
    for (auto& v : flagValues)
        v.clear();
    for (int i = 0; i < valuePlotCount; ++i) {
        plots[i]->setRawData(nullptr, nullptr, 0);
        plots[i]->picker()->setSamples(nullptr, nullptr, 0, -1);
        resetTimeAxes(plots[i]);
    }
    for (int k = 0; k < GraphPlotMulti::flagCount; ++k)
        flagsPlot->setRawData(nullptr, nullptr, 0, k);
    resetTimeAxes(flagsPlot);
}

void ChartDlg::markFileChanged()
{
    if (!fileLabel.isHidden() && !fileLabel.text().startsWith(QLatin1Char('*')))
        fileLabel.setText(QLatin1Char('*') + fileLabel.text());
}

void ChartDlg::appendSample(const QDateTime& msrTime, const status_t& msr, const chart_data_t& chart,
                            const analog_data_t& analog)
{
    const int d = engineType == ENGINE_TYPE_STEP && motorSettings ? motorSettings->microstepDivisor() : 0;
    chartLog->append(msrTime, d, msr, chart, analog);
    markFileChanged();
}

void ChartDlg::startNewTimeBase(const QDateTime& msrTime)
{
    // The first sample of a base lies at 0 on the axis.
    timeBaseStarted = true;
    startTime = msrTime.toUTC();
    timeline.startTimeBase(chartLog->count());
    invalidate();
}

void ChartDlg::InsertMeasure(int, QDateTime msrTime, status_t msr, chart_data_t chart_data,
                             analog_data_t analog_data, bool connect)
{
    if (!connect)
        return;
    if (extraSampleRequested) {
        if (chartLog->isEmpty())
            startTime = msrTime.toUTC();
        appendSample(msrTime, msr, chart_data, analog_data);
        if (firstSampleTimer->isActive())
            showSinglePoint();
        extraSampleRequested = false;
    }
    sampleSeen = true;
    pausedByMotion = graphSettings && graphSettings->common.breakUpdateWhenStopped &&
                     !(msr.MoveSts & MOVE_STATE_MOVING);
    if (!pausedByMotion && !timeBaseStarted && running)
        startNewTimeBase(msrTime);
    if (timeBaseStarted && running && followLatest && !pausedByMotion) {
        appendSample(msrTime, msr, chart_data, analog_data);
        runLabel.setText(tr(" run "));
    } else {
        runLabel.setText(tr(" stopped "));
    }
}

void ChartDlg::OnStartBtnClicked()
{
    running = true;
    chartRecording = true;
    statusBar->showMessage(tr("Graphics started"), messageMs);
}

void ChartDlg::OnStopBtnClicked()
{
    running = false;
    chartRecording = false;
    statusBar->showMessage(tr("Graphics stopped"), messageMs);
}

void ChartDlg::close()
{
    updateTimer->blockSignals(true);
    running = false;
    chartRecording = false;
}

void ChartDlg::OnClearBtnClicked()
{
    const bool wasRunning = running;
    running = false;
    updateTimer->blockSignals(true);
    // The first sample of a new window would land in the chart cleared (or loaded) since.
    firstSampleTimer->stop();
    extraSampleRequested = false;
    chartLog->clear();
    gapLines_.clear();
    timeline.reset();
    historySlider->blockSignals(true);
    historySlider->setRange(0, 0);
    historySlider->blockSignals(false);
    timeBaseStarted = false;
    gapMap.clear();
    emptyCurves();
    invalidate();
    fileLabel.hide();
    updateTimer->blockSignals(!isVisible());
    statusBar->showMessage(tr("Graphics cleared"), messageMs);
    running = wasRunning;
    updateDataSize();
}

void ChartDlg::takeGaps(const std::vector<TimeGapMap::Break>& breaks)
{
    if (breaks.empty())
        return;
    for (const TimeGapMap::Break& b : breaks) {
        const GapLine g{b.start, b.length / timeline.gapThreshold()};
        gapLines_.insert(std::upper_bound(gapLines_.begin(), gapLines_.end(), g,
                                          [](const GapLine& a, const GapLine& c) { return a.x < c.x; }),
                         g);
        for (int i = 0; i < plotCount; ++i)
            for (int axis : {QwtPlot::xTop, QwtPlot::xBottom})
                ChartPlotLook::timeEngine(*anyPlot(i), axis)->appendPoint(b.start);
    }
    for (int i = 0; i < plotCount; ++i)
        ChartPlotLook::refreshTimeAxes(*anyPlot(i));
    invalidate();
}

void ChartDlg::resetSliderRange(bool toMaximum)
{
    const int64_t beyond = chartLog->count() - windowLength;
    const int maximum = int(std::min<int64_t>(std::max<int64_t>(beyond, 0), INT_MAX));
    historySlider->blockSignals(true);
    historySlider->setMaximum(maximum);
    if (toMaximum)
        historySlider->setValue(maximum);
    historySlider->blockSignals(false);
}

void ChartDlg::update()
{
    update(-1);
}

void ChartDlg::update(int int_offset)
{
    if (chartLog->isEmpty() || !initialised)
        return;
    if (int_offset < 0 && (!running || pausedByMotion || !sampleSeen))
        return;
    takeGaps(timeline.collapseGaps(*chartLog, gapMap));

    const int64_t count = chartLog->count();
    if (int_offset < 0)
        resetSliderRange(true);
    const int64_t newest = count - 1 - std::max(int_offset, 0);
    const RefreshKey key{newest, count, int_offset, generation};
    if (key == lastKey)
        return;  // nothing new to draw
    lastKey = key;
    ++refreshes;

    // Only records are drawn, never filler: the window ends where the data ends.
    const int64_t shown = std::max<int64_t>(0, std::min<int64_t>(windowLength, newest + 1));
    timeValues.clear();
    timeValues.reserve(size_t(shown));
    for (int i = 0; i < valuePlotCount; ++i) {
        plotValues[size_t(i)].clear();
        if (plotEnabled[i])
            plotValues[size_t(i)].reserve(size_t(shown));
    }
    for (auto& v : flagValues)
        v.clear();
    const int d = currentDivisor();
    for (int64_t n = 0; n < shown; ++n) {
        const ChartRecord& r = (*chartLog)[newest - n];
        timeValues.push_back(r.Time);
        for (int i = 0; i < valuePlotCount; ++i)
            if (plotEnabled[i])
                plotValues[size_t(i)].push_back(plotValue(r, i, int(engineType), d));
        if (plotEnabled[flagsIndex])
            for (size_t k = 0; k < flagValues.size(); ++k)
                flagValues[k].push_back(double(k) + ((r.GPIOFlags & flagMasks[k]) ? 1.9 : 1.0));
    }
    // The oldest point of the window is not drawn.
    const int64_t drawn = std::max<int64_t>(shown - 1, 0);
    const double t0 = shown > 0 ? timeValues.front() : 0.0;
    const double t1 = t0 - visibleSeconds() * 1000.0;
    for (int i = 0; i < plotCount; ++i) {
        QwtPlot* p = anyPlot(i);
        const bool on = plotEnabled[i];
        if (on) {
            p->setAxisScale(QwtPlot::xTop, t1, t0);
            p->setAxisScale(QwtPlot::xBottom, t1, t0);
            ChartPlotLook::fitTimeTicks(*p, QwtInterval(t1, t0));
        }
        if (i == flagsIndex) {
            for (int k = 0; k < GraphPlotMulti::flagCount; ++k)
                setCurve(p, i + k, flagValues[size_t(k)], on ? drawn : 0);
        } else {
            setCurve(p, i, plotValues[size_t(i)], on ? drawn : 0);
            const double* y = on ? plotValues[size_t(i)].data() : nullptr;
            plots[i]->picker()->setSamples(on ? timeValues.data() : nullptr, y, on ? shown : 0, newest);
        }
    }
    alignRightAxes();
    replotVisible();
    updateDataSize();
}

void ChartDlg::updateDataSize()
{
    const qint64 kb = qint64(chartLog->count()) * qint64(sizeof(ChartRecord)) / 1000;
    dataSizeLabel.setText(tr(" data size: %1 KB ").arg(kb));
}

void ChartDlg::replotVisible()
{
    for (int i = 0; i < plotCount; ++i)
        if (checkBox(i)->isChecked())
            anyPlot(i)->replot();
}

void ChartDlg::alignRightAxes()
{
    int widest = rightAxisExtent;
    for (int i = 0; i < plotCount; ++i) {
        QwtPlot* p = anyPlot(i);
        for (int axis : {QwtPlot::xTop, QwtPlot::xBottom})
            widest = std::max(widest, int(p->axisScaleDraw(axis)->maxLabelWidth(p->axisFont(axis))));
    }
    const int extent = widest / 2;
    if (extent == rightAxisExtent)
        return;
    rightAxisExtent = std::max(extent, 3);
    for (int i = 0; i < plotCount; ++i)
        if (plotEnabled[i]) {
            QwtPlot* p = anyPlot(i);
            p->axisWidget(QwtPlot::yRight)->scaleDraw()->setMinimumExtent(rightAxisExtent);
            p->enableAxis(QwtPlot::yRight, false);
            p->enableAxis(QwtPlot::yRight, true);
            p->updateLayout();
        }
}

void ChartDlg::sliderUpdate(int value)
{
    update(historySlider->maximum() - value);
}

void ChartDlg::sliderPressed()
{
    followLatest = false;
    updateTimer->blockSignals(true);
}

void ChartDlg::sliderReleased()
{
    followLatest = true;
    updateTimer->blockSignals(false);
}

void ChartDlg::updatePlotsVisible()
{
    for (int i = 0; i < plotCount; ++i)
        plotEnabled[i] = checkBox(i)->isChecked();
}

void ChartDlg::ChangePlotCnt()
{
    updatePlotsVisible();
    bool any = false;
    for (int i = 0; i < plotCount; ++i) {
        anyPlot(i)->setVisible(plotEnabled[i]);
        any = any || plotEnabled[i];
    }
    if (any) {
        ui->horizontalSpacer->changeSize(0, 20, QSizePolicy::Fixed, QSizePolicy::Minimum);
        historySlider->show();
    } else {
        ui->horizontalSpacer->changeSize(1, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        historySlider->hide();
    }
    ui->horizontalLayout->invalidate();
    invalidate();
    update(0);
    updateTimeAxes();
}

void ChartDlg::updateTimeAxes()
{
    for (int i = 0; i < plotCount; ++i) {
        anyPlot(i)->enableAxis(QwtPlot::xTop, false);
        anyPlot(i)->enableAxis(QwtPlot::xBottom, false);
    }
    updatePlotsVisible();
    int first = -1, last = -1;
    for (int i = 0; i < valuePlotCount; ++i)
        if (plotEnabled[i]) {
            if (first < 0)
                first = i;
            last = i;
        }
    if (plotEnabled[flagsIndex]) {
        if (first < 0)
            first = flagsIndex;
        last = flagsIndex;
    }
    if (first >= 0) {
        anyPlot(first)->enableAxis(QwtPlot::xTop, true);
        anyPlot(last)->enableAxis(QwtPlot::xBottom, true);
    }
    int left = 0, right = 0;
    for (int i = 0; i < plotCount; ++i) {
        QwtPlot* p = anyPlot(i);
        left = std::max(left, int(p->axisScaleDraw(QwtPlot::yLeft)->extent(p->axisFont(QwtPlot::yLeft))));
        right = std::max(right, int(p->axisScaleDraw(QwtPlot::yRight)->extent(p->axisFont(QwtPlot::yRight))));
    }
    for (int i = 0; i < plotCount; ++i) {
        QwtPlot* p = anyPlot(i);
        p->axisScaleDraw(QwtPlot::yLeft)->setMinimumExtent(left);
        p->axisScaleDraw(QwtPlot::yRight)->setMinimumExtent(std::max(right, rightAxisExtent));
        p->axisWidget(QwtPlot::yLeft)->updateGeometry();
        p->updateAxes();
        p->updateLayout();
    }
}

void ChartDlg::setHardware(uint entype)
{
    engineType = entype;
    auto enable = [this](std::initializer_list<int> boxes, bool on) {
        for (int i : boxes) {
            if (!on)
                checkBox(i)->setChecked(false);
            checkBox(i)->setEnabled(on);
        }
    };
    if (entype == ENGINE_TYPE_STEP) {
        enable({9, 10, 12, 13}, true);
        enable({11, 14, 15}, false);
    } else if (entype == 1 || entype == 2) {
        enable({15}, true);
        enable({9, 10, 11, 12, 13, 14}, false);
    } else {
        invalidate();
        update();
        return;
    }
    const bool stepper = entype == ENGINE_TYPE_STEP;
    for (int i = 0; i < 2; ++i)
        plots[i]->setTitles(QString::fromUtf8(stepper ? plotRows[i].stepUnit : plotRows[i].unit),
                            QString::fromUtf8(plotRows[i].title));
    invalidate();
    update();
}

void ChartDlg::updateSettings()
{
    updateLimitLines();
}

void ChartDlg::updateLimitLines()
{
    if (!motorSettings || !limitLines[0])
        return;
    const engine_settings_t& e = motorSettings->engine;
    const double speed = double(e.NomSpeed), current = double(e.NomCurrent), volt = double(e.NomVoltage) / 100.0;
    const double y[5] = {speed, -speed, current, volt, -volt};
    const bool on[5] = {(e.EngineFlags & ENGINE_LIMIT_RPM) != 0, (e.EngineFlags & ENGINE_LIMIT_RPM) != 0,
                        (e.EngineFlags & ENGINE_LIMIT_CURR) != 0, (e.EngineFlags & ENGINE_LIMIT_VOLT) != 0,
                        (e.EngineFlags & ENGINE_LIMIT_VOLT) != 0};
    for (int i = 0; i < 5; ++i) {
        limitLines[size_t(i)]->setYValue(y[i]);
        limitLines[size_t(i)]->setVisible(on[i]);
    }
    invalidate();
}

void ChartDlg::ReinitPlots()
{
    if (!graphSettings)
        return;
    if (updateTimer->interval() != updateIntervalMs())
        updateTimer->setInterval(updateIntervalMs());
    windowLength = 10 * visibleSeconds();
    for (int i = 0; i < valuePlotCount; ++i)
        plots[i]->applySettings(graphSettings->curves[plotRows[i].settingsIndex]);
    flagsPlot->applySettings(graphSettings->curves[GraphSettings::flagsCurve]);
    invalidate();
    const bool wasRunning = running;
    running = true;
    update();
    running = wasRunning;
    replotVisible();
}

void ChartDlg::updateDivisor(GraphPlot* plot)
{
    const QwtScaleDiv& div = plot->axisScaleDiv(QwtPlot::yLeft);
    plot->setDivisor(labelDivisor(std::min(div.lowerBound(), div.upperBound()),
                                  std::max(div.lowerBound(), div.upperBound())));
}

void ChartDlg::updateDivisor(int index)
{
    if (index >= 0 && index < valuePlotCount)
        updateDivisor(plots[index]);
}

void ChartDlg::OnSaveBtnClicked()
{
    if (chartLog->isEmpty()) {
        MessagePrompter::current()->prompt(this, QMessageBox::Information, tr("Save cancelled"),
                                           tr("Charts are empty"), QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    const bool wasRunning = running;
    running = false;
    if (savePath.isEmpty())
        savePath = configDirPath();
    QString name = FileChooser::current()->saveFileName(this, tr("Save graph file"), savePath,
                                                        QString::fromLatin1(fileFilter));
    if (name.isEmpty()) {
        statusBar->showMessage(tr("Saving cancelled"), messageMs);
        running = wasRunning;
        return;
    }
    if (!name.endsWith(QLatin1String(".grf"), Qt::CaseInsensitive)) {
        // The dialog asked about the name typed, not about the one written.
        name += QLatin1String(".grf");
        if (QFileInfo::exists(name) &&
            MessagePrompter::current()->prompt(this, QMessageBox::Question, tr("Save graph file"),
                                               tr("%1 already exists.\nDo you want to replace it?")
                                                   .arg(fileNameFromPath(name)),
                                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
                QMessageBox::Yes) {
            statusBar->showMessage(tr("Saving cancelled"), messageMs);
            running = wasRunning;
            return;
        }
    }
    QString error;
    if (!ChartFile::save(name, *chartLog, gapMap, &error)) {
        MessagePrompter::current()->prompt(this, QMessageBox::Critical, tr("Save graph file"),
                                           tr("Could not save %1: %2").arg(name, error), QMessageBox::Ok,
                                           QMessageBox::Ok);
        statusBar->showMessage(tr("Saving failed"), messageMs);
        running = wasRunning;
        return;
    }
    savePath = QFileInfo(name).absolutePath();
    fileLabel.setText(fileNameFromPath(name) + QLatin1Char(' '));
    fileLabel.show();
    running = wasRunning;
    statusBar->showMessage(tr("Graphics saved"), messageMs);
}

void ChartDlg::OnLoadBtnClicked()
{
    running = false;
    chartRecording = false;
    if (loadPath.isEmpty())
        loadPath = configDirPath();
    const QString name = FileChooser::current()->openFileName(this, tr("Open graph file"), loadPath,
                                                              QString::fromLatin1(fileFilter));
    if (name.isEmpty()) {
        statusBar->showMessage(tr("Loading cancelled"), messageMs);
        return;
    }
    loadPath = QFileInfo(name).absolutePath();

    // The file is read and checked before the chart is touched: a refused file loses nothing.
    ChartFileContent content = ChartFile::read(name);
    ChartFile::Loaded loaded;
    std::string error;
    if (content.unknownVersion) {
        MessagePrompter::current()->prompt(this, QMessageBox::Warning, tr("Tolmo"),
                                           tr("The file has unknown version or created with newer Tolmo"),
                                           QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    if (!content.ok || !ChartFile::adopt(std::move(content), loaded, &error)) {
        if (error.empty())
            error = content.error;
        MessagePrompter::current()->prompt(this, QMessageBox::Warning, tr("Open graph file"),
                                           tr("Could not load %1: %2").arg(name, QString::fromStdString(error)),
                                           QMessageBox::Ok, QMessageBox::Ok);
        return;
    }

    OnClearBtnClicked();
    const QString leftOut = leftOutText(loaded, fileNameFromPath(name));
    *chartLog = std::move(loaded.log);
    chartLog->setStartTime(&startTime);
    gapMap = std::move(loaded.map);
    timeline = loaded.timeline;
    std::vector<TimeGapMap::Break> gaps = std::move(loaded.gaps);
    const double threshold = timeline.gapThreshold();
    for (const TimeGapMap::Break& b : gaps)
        gapLines_.push_back(GapLine{b.start, b.length / threshold});
    std::sort(gapLines_.begin(), gapLines_.end(), [](const GapLine& a, const GapLine& b) { return a.x < b.x; });
    for (int i = 0; i < plotCount; ++i) {
        for (int axis : {QwtPlot::xTop, QwtPlot::xBottom})
            for (const TimeGapMap::Break& b : gaps)
                ChartPlotLook::timeEngine(*anyPlot(i), axis)->appendPoint(b.start);
        ChartPlotLook::refreshTimeAxes(*anyPlot(i));
    }
    fileLabel.setText(fileNameFromPath(name) + QLatin1Char(' '));
    fileLabel.show();
    resetSliderRange(true);
    sampleSeen = true;
    invalidate();
    update(0);
    alignRightAxes();
    statusBar->showMessage(tr("Graphics loaded"), messageMs);
    if (!leftOut.isEmpty())
        MessagePrompter::current()->prompt(this, QMessageBox::Warning, tr("Open graph file"), leftOut,
                                           QMessageBox::Ok, QMessageBox::Ok);
}

void ChartDlg::FromUiToSettings(QSettings* settings) const
{
    settings->beginGroup(QLatin1String(groupName));
    settings->setValue(QStringLiteral("position"), pos());
    settings->setValue(QStringLiteral("size"), sizeToStore(*this));
    settings->setValue(QStringLiteral("load_path"), loadPath);
    settings->setValue(QStringLiteral("save_path"), savePath);
    // The writer's order: the voltages, then the currents.
    static const int order[plotCount] = {0, 1, 2, 3, 5, 7, 9, 10, 11, 4, 6, 8, 12, 13, 14, 15, 16, 17, 18, 19};
    for (int i : order)
        settings->setValue(QString::fromLatin1(plotRows[i].iniKey) + QLatin1String("_graph_enable"),
                           checkBox(i)->isChecked());
    settings->endGroup();
}

void ChartDlg::FromSettingsToUi(QSettings* settings, QSettings* defaults)
{
    settings->beginGroup(QLatin1String(groupName));
    if (defaults)
        defaults->beginGroup(QLatin1String(groupName));
    auto value = [&](const QString& key, const QVariant& fallback) -> QVariant {
        if (settings->contains(key))
            return settings->value(key);
        if (defaults)
            return defaults->value(key, fallback);
        return QVariant();
    };
    static const int order[] = {0, 1, 2, 5, 7, 9, 10, 11, 6, 8, 12, 13, 14, 15, 16, 17, 18, 19};
    for (int i : order) {
        const QVariant v = value(QString::fromLatin1(plotRows[i].iniKey) + QLatin1String("_graph_enable"), i < 3);
        if (v.isValid())
            checkBox(i)->setChecked(v.toBool());
    }
    const QVariant position = value(QStringLiteral("position"), QPoint(100, 200));
    const QVariant size = value(QStringLiteral("size"), QSize(615, 260));
    if (position.isValid() || size.isValid()) {
        // A place on no screen gives the default one; the window fits the screen, frame and
        // status bar included, and is never smaller than its plots and check boxes need.
        const QRect placed = placeWindow(position.isValid() ? position.toPoint() : pos(),
                                         size.isValid() ? size.toSize() : this->size(),
                                         minimumSize().expandedTo(minimumSizeHint()), screenGeometries(),
                                         QPoint(100, 200), windowFrame(*this));
        applyPlace(*this, placed, size.isValid() ? size.toSize() : this->size());
    }
    loadPath = settings->value(QStringLiteral("load_path"), QString()).toString();
    savePath = settings->value(QStringLiteral("save_path"), QString()).toString();
    settings->endGroup();
    if (defaults)
        defaults->endGroup();
    setHardware(engineType);
}

void ChartDlg::decimate(const double* x, const double* y, int64_t n, double colWidth, std::vector<double>& outX,
                        std::vector<double>& outY)
{
    outX.clear();
    outY.clear();
    int64_t i = 0;
    while (i < n) {
        const double column = std::floor(x[i] / colWidth);
        int64_t lo = i, hi = i;
        for (++i; i < n && std::floor(x[i] / colWidth) == column; ++i) {
            if (y[i] < y[lo])
                lo = i;
            if (y[i] > y[hi])
                hi = i;
        }
        const int64_t first = std::min(lo, hi), second = std::max(lo, hi);
        outX.push_back(x[first]);
        outY.push_back(y[first]);
        if (second != first) {
            outX.push_back(x[second]);
            outY.push_back(y[second]);
        }
    }
}

void ChartDlg::setCurve(QwtPlot* plot, int curve, const std::vector<double>& y, int64_t drawn)
{
    // Only the curve is thinned; the tracker and the files keep every sample.
    const int width = plot->canvas()->width();
    const double* xs = drawn ? timeValues.data() : nullptr;
    const double* ys = drawn ? y.data() : nullptr;
    int64_t count = drawn;
    if (drawn > 4 * int64_t(width) && width > 0) {
        const double colWidth = visibleSeconds() * 1000.0 / width;
        decimate(timeValues.data(), y.data(), drawn, colWidth, drawX[size_t(curve)], drawY[size_t(curve)]);
        xs = drawX[size_t(curve)].data();
        ys = drawY[size_t(curve)].data();
        count = int64_t(drawX[size_t(curve)].size());
    }
    if (plot == flagsPlot)
        flagsPlot->setRawData(xs, ys, count, curve - flagsIndex);
    else
        plots[curve]->setRawData(xs, ys, count);
}
