#ifndef MYPICKER_H
#define MYPICKER_H

#include <qwt_plot_picker.h>
#include <qwt_text.h>

#include <QPointF>
#include <QString>
#include <QVector>

#include <cstdint>

class ChartLog;
class GraphPlot;
class QwtPlotMarker;
class TimeGapMap;

// Cursor tracker of a value plot: the time and value of the sample under the pointer next to
// it, and a marker on that sample. Only the plot under the pointer keeps its marker.
class myPicker : public QwtPlotPicker
{
public:
    // selector: 0 shows position, 1 speed as steps and microsteps; negative the plain value.
    myPicker(GraphPlot* plot, const QVector<GraphPlot*>& plots, const TimeGapMap* gapMap, const QString& unit,
             const ChartLog* log, int selector);
    ~myPicker() override;

    // The samples of the plot at full resolution (the curve may draw fewer), newest first:
    // axis times x and values y; sample i is the log's record newestRecord - i. The arrays
    // stay the caller's and must live until the next call.
    void setSamples(const double* x, const double* y, int64_t count, int64_t newestRecord);

    void setUnit(const QString& unit);
    void updateMarkerSymbol();
    QwtPlotMarker* marker() const { return marker_; }
    void hideMarker();

    QwtText trackerTextF(const QPointF& pos) const override;

    // "65 s 432 ms"; "5 s   7 ms".
    static QString timeText(double elapsedMs);
    // Marker size in pixels for a curve pen width.
    static int markerSize(double penWidth);

protected:
    void widgetMouseMoveEvent(QMouseEvent* event) override;

private:
    QwtText textAt(const QPointF& pos) const;
    // Sample index under the axis time x, or -1.
    int64_t sampleAt(double x) const;

    QwtPlotMarker* marker_;
    QVector<GraphPlot*> plots_;
    GraphPlot* plot_;
    const TimeGapMap* map_;
    QString unit_;
    const ChartLog* log_;
    int selector_;

    const double* x_ = nullptr;
    const double* y_ = nullptr;
    int64_t count_ = 0;
    int64_t newestRecord_ = -1;

    // Qwt asks several times a move for the same point.
    mutable bool memoValid_ = false;
    mutable QPointF memoPos_;
    mutable QwtText memoText_;
};

#endif // MYPICKER_H
