#ifndef CHARTDLG_H
#define CHARTDLG_H

#include "chartdlg/ChartLog.h"
#include "chartdlg/ChartTimeline.h"
#include "chartdlg/GapLines.h"
#include "chartdlg/TimeGapMap.h"

#include <trov.h>

#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

class GraphPlot;
class GraphPlotMulti;
class GraphSettings;
class MotorSettings;
class QCheckBox;
class QScrollBar;
class QSettings;
class QStatusBar;
class QTimer;
class QwtPlot;
class QwtPlotMarker;

namespace Ui {
class ChartDlgClass;
}

// One row of the plot table: check box, title, unit and the settings record of a plot.
struct ChartPlotRow
{
    const char* checkBox;
    const char* text;
    const char* title;
    const char* unit;     // for every engine type but the stepper
    const char* stepUnit; // for the stepper
    int settingsIndex;
    const char* iniKey;   // "<iniKey>_graph_enable"
};

class ChartDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int valuePlotCount = 19;
    static constexpr int plotCount = 20;
    static constexpr int flagsIndex = 19;
    static const ChartPlotRow plotRows[plotCount];
    static constexpr unsigned flagMasks[9] = {0x1, 0x2, 0x4, 0x8, 0x20, 0x200, 0x400, 0x800, 0x1000};

    ChartDlg(QWidget* parent, MotorSettings* motorSettings, const QString& titleSuffix);
    ~ChartDlg() override;

    void InitUI(GraphSettings* graphSettings);

    void FromUiToSettings(QSettings* settings) const;
    void FromSettingsToUi(QSettings* settings, QSettings* defaults);

    void updateTimeAxes();
    void replotVisible();

    // Read by tests and the main window.
    const ChartLog& log() const { return *chartLog; }
    const TimeGapMap& gaps() const { return gapMap; }
    const std::vector<GapLine>& gapLines() const { return gapLines_; }
    GraphPlot* plot(int index) const { return plots[index]; }
    GraphPlotMulti* flagPlot() const { return flagsPlot; }
    QScrollBar* slider() const { return historySlider; }
    QCheckBox* checkBox(int index) const;
    QTimer* timer() const { return updateTimer; }
    bool isRunning() const { return running; }
    QString runText() const { return runLabel.text(); }
    QString fileText() const { return fileLabel.isHidden() ? QString() : fileLabel.text(); }
    QString dataSizeText() const { return dataSizeLabel.text(); }
    QString statusText() const;
    int windowSamples() const { return windowLength; }
    int64_t refreshCount() const { return refreshes; }
    QwtPlotMarker* limitLine(int index) const { return limitLines[index]; }

    static double plotValue(const ChartRecord& r, int plot, int engineType, int divisor);
    static int labelDivisor(double lo, double hi);
    // Per column of width colWidth (aligned to absolute time) the minimum and the maximum, in
    // time order; x runs newest first.
    static void decimate(const double* x, const double* y, int64_t n, double colWidth, std::vector<double>& outX,
                         std::vector<double>& outY);

public slots:
    void InsertMeasure(int number, QDateTime msrTime, status_t msr, chart_data_t chart_data,
                       analog_data_t analog_data, bool connect);
    void ReinitPlots();
    void ChangePlotCnt();
    void sliderUpdate(int value);
    void sliderPressed();
    void sliderReleased();
    void updateDivisor(GraphPlot* plot);
    void updateDivisor(int index);
    void updatePlotsVisible();
    void close();
    void OnStartBtnClicked();
    void OnStopBtnClicked();
    void OnLoadBtnClicked();
    void OnSaveBtnClicked();
    void OnClearBtnClicked();
    void update(int int_offset);
    void update();
    void updateSettings();
    void setHardware(uint entype);

protected:
    // The update timer runs only while the window is shown (a minimised one gets a hide too):
    // a hidden chart wakes nobody, and InsertMeasure goes on recording into the store.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct RefreshKey
    {
        int64_t newest = -2;
        int64_t count = -1;
        int offset = 0;
        int64_t generation = -1;
        bool operator==(const RefreshKey& o) const
        {
            return newest == o.newest && count == o.count && offset == o.offset && generation == o.generation;
        }
    };

    QwtPlot* anyPlot(int index) const;
    void scrollCheckBoxes();
    int visibleSeconds() const;
    int updateIntervalMs() const;
    int currentDivisor() const;
    void startNewTimeBase(const QDateTime& msrTime);
    void appendSample(const QDateTime& msrTime, const status_t& msr, const chart_data_t& chart,
                      const analog_data_t& analog);
    void markFileChanged();
    void takeGaps(const std::vector<TimeGapMap::Break>& breaks);
    void resetSliderRange(bool toMaximum);
    void showSinglePoint();
    void emptyCurves();
    void resetTimeAxes(QwtPlot* plot);
    void alignRightAxes();
    void setCurve(QwtPlot* plot, int curve, const std::vector<double>& y, int64_t drawn);
    void updateLimitLines();
    void updateDataSize();
    void invalidate() { ++generation; }

    std::unique_ptr<Ui::ChartDlgClass> ui;
    QVector<GraphPlot*> plots;
    GraphPlotMulti* flagsPlot = nullptr;
    QScrollBar* historySlider = nullptr;
    QTimer* updateTimer = nullptr;
    QTimer* firstSampleTimer = nullptr;
    QStatusBar* statusBar = nullptr;
    QDateTime startTime;
    std::unique_ptr<ChartLog> chartLog;
    TimeGapMap gapMap;
    ChartTimeline timeline;
    std::vector<GapLine> gapLines_;
    std::array<GapLines*, plotCount> gapItems{};
    std::array<QwtPlotMarker*, 5> limitLines{};

    MotorSettings* motorSettings;
    GraphSettings* graphSettings = nullptr;
    unsigned engineType = 0;

    bool running = false;
    bool followLatest = true;
    bool initialised = false;
    bool timeBaseStarted = false;
    bool pausedByMotion = false;
    bool sampleSeen = false;
    bool extraSampleRequested = false;
    int windowLength = 600;
    bool plotEnabled[plotCount] = {};
    int rightAxisExtent = 0;

    // Curve data, newest first; the curves and pickers point into these until the next refresh.
    std::vector<double> timeValues;
    std::array<std::vector<double>, valuePlotCount> plotValues;
    std::array<std::vector<double>, 9> flagValues;
    std::array<std::vector<double>, plotCount + 8> drawX, drawY;  // decimated, per curve
    RefreshKey lastKey;
    int64_t generation = 0;
    int64_t refreshes = 0;

    QString loadPath;
    QString savePath;
    QLabel fileLabel;
    QLabel dataSizeLabel;
    QLabel runLabel;
};

#endif // CHARTDLG_H
