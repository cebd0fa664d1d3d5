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

    const TimeGapMap* gapMap() const { return map_; }
    // Drops the cached labels after a change of the gap map.
    void refresh() { invalidateCache(); }

    QwtText label(double value) const override;

    // Elapsed milliseconds as a label in seconds, cut to tenths: 654 -> "0.6", -150 -> "-0.1";
    // from 100,000 s on with one fixed decimal, so that labels never turn to exponents.
    static QString secondsText(double ms);

private:
    const TimeGapMap* map_;
    const myScaleEngine* engine_;
};

#endif // TIMESCALEDRAW_H
