#ifndef GRAPHPLOT_H
#define GRAPHPLOT_H

#include "chartdlg/CurveSettings.h"

#include <qwt_plot.h>

#include <QSize>
#include <QString>
#include <QVector>

class ChartLog;
class DivScaleDraw;
class QwtPlotCurve;
class TimeGapMap;
class myPicker;

// One measured quantity against time: one curve, elapsed-time labels, value labels divided by
// a power of ten that the axis title names, and a cursor tracker. Built in two steps: the
// constructor, then init once all plots of the window exist. No automatic replot.
class GraphPlot : public QwtPlot
{
public:
    // selector: see myPicker.
    GraphPlot(TimeGapMap* gapMap, ChartLog* log, int selector);
    ~GraphPlot() override;

    void init(const QVector<GraphPlot*>& plots, const CurveSettings& settings, const QString& unit,
              const QString& name);
    void applySettings(const CurveSettings& settings);
    void setTitles(const QString& unit, const QString& name);
    // Also builds the axis title anew when the divisor changes.
    void setDivisor(int divisor);
    int divisor() const;

    // Hands the drawn points to the curve without copying; a count below 0 counts as none.
    void setRawData(const double* x, const double* y, int64_t count);

    QwtPlotCurve* curve() const { return curve_; }
    myPicker* picker() const { return picker_; }
    TimeGapMap* timeGapMap() const { return map_; }
    void setUnit(const QString& unit) { unit_ = unit; }
    void setSizeHint(const QSize& size) { sizeHint_ = size; }
    QSize sizeHint() const override { return sizeHint_; }

    // For the window after every change of the gap map or of the pause markers.
    void refreshTimeAxes();

protected:
    // The time ticks follow the width.
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateYTitle();
    DivScaleDraw* divScaleDraw();

    QVector<GraphPlot*> plots_;
    QwtPlotCurve* curve_ = nullptr;
    myPicker* picker_ = nullptr;
    TimeGapMap* map_;
    QString unit_;
    QString name_;
    QSize sizeHint_{200, 200};
    int divisor_ = 1;
    ChartLog* log_;
    int selector_;
};

#endif // GRAPHPLOT_H
