#ifndef TIMESCALEDRAW_H
#define TIMESCALEDRAW_H

#include <qwt_scale_draw.h>

class TimeGapMap;
class myScaleEngine;

// Time axis labels: elapsed seconds, with the pauses the axis leaves out added back.
class TimeScaleDraw : public QwtScaleDraw
{
public:
    // engine: the axis's engine, which tells the markers that stay unlabelled (may be null).
    explicit TimeScaleDraw(const TimeGapMap* gapMap, const myScaleEngine* engine = nullptr);

    // Ticks before the start limit (elapsed ms) stay unlabelled. A change drops the cached labels;
    // the axis widget still needs its division set again (GraphPlot::refreshTimeAxes).
    void setMinTime(double ms);
    double minTime() const { return minTime_; }
    // Drops the cached labels after a change of the gap map.
    void refresh() { invalidateCache(); }

    QwtText label(double value) const override;

    // Elapsed milliseconds as a label in seconds, cut to tenths: 654 -> "0.6", -150 -> "-0.1";
    // from 100,000 s on with one fixed decimal, so that labels never turn to exponents.
    static QString secondsText(double ms);

private:
    const TimeGapMap* map_;
    const myScaleEngine* engine_;
    double minTime_ = 0.0;
};

#endif // TIMESCALEDRAW_H
