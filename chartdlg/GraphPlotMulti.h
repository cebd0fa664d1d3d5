#ifndef GRAPHPLOTMULTI_H
#define GRAPHPLOTMULTI_H

#include "chartdlg/CurveSettings.h"

#include <qwt_plot.h>

#include <QSize>
#include <QStaticText>
#include <QString>
#include <QVector>

#include <cstdint>

class ChartLog;
class QwtPlotCurve;
class TimeGapMap;

// The nine status flags as stepped lines stacked on a 0 to 10 scale, each in its own hue and
// named on the canvas. Same frame and time axes as a value plot; no tracker, no value labels.
class GraphPlotMulti : public QwtPlot
{
public:
    static constexpr int flagCount = 9;
    static const char* const flagNames[flagCount];

    // log and selector are taken for symmetry with GraphPlot and not used.
    GraphPlotMulti(TimeGapMap* gapMap, ChartLog* log, int selector);

    void init(const CurveSettings& settings, const QString& unit, const QString& name);
    // Width, style, cap, join and antialiasing come from the record; the colours are the plot's own.
    void applySettings(const CurveSettings& settings);
    // Hands curve i the arrays without copying; a count below 0 counts as none.
    void setRawData(const double* x, const double* y, int64_t count, int curveIndex);
    QwtPlotCurve* curve(int index) const { return curves_[index]; }
    void setTitles(const QString& unit, const QString& name);
    void setUnit(const QString& unit) { unit_ = unit; }
    void setSizeHint(const QSize& size) { sizeHint_ = size; }
    QSize sizeHint() const override { return sizeHint_; }
    TimeGapMap* timeGapMap() const { return map_; }
    void refreshTimeAxes();

    // Where the names go on a canvas h pixels high: the point size and the top of name i.
    static int namePointSize(int canvasHeight);
    static int nameTop(int canvasHeight, int flag);

protected:
    void drawCanvas(QPainter* painter) override;
    // The time ticks follow the width.
    void resizeEvent(QResizeEvent* event) override;

private:
    void setCurveLooks(const CurveSettings& settings);

    QVector<QStaticText> names_;
    QwtPlotCurve* curves_[flagCount] = {};
    TimeGapMap* map_;
    QString unit_;
    QString name_;
    QSize sizeHint_{200, 200};
};

#endif // GRAPHPLOTMULTI_H
