#include "chartdlg/TimeScaleDraw.h"

#include "chartdlg/TimeGapMap.h"
#include "chartdlg/myScaleEngine.h"

#include <qwt_text.h>

#include <cmath>
#include <cstdint>

TimeScaleDraw::TimeScaleDraw(const TimeGapMap* gapMap, const myScaleEngine* engine)
    : map_(gapMap)
    , engine_(engine)
{
    setLength(100);
}

QwtText TimeScaleDraw::label(double value) const
{
    if ((engine_ && !engine_->isLabelled(value)) || (map_ && !map_->isLabelled(value)))
        return QwtText();
    // Every tick in view is labelled, those before the first record too: an axis that names
    // only the times holding data leaves a short chart unreadable.
    return QwtText(secondsText(map_ ? map_->mapTime(value) : value));
}

QString TimeScaleDraw::secondsText(double ms)
{
    // 9e18 keeps the truncation inside 64 bits
    if (!std::isfinite(ms) || std::fabs(ms) >= 9e18)
        return QString();
    // a tick placed through the gap map may miss its whole millisecond by a rounding step
    const double whole = std::round(ms);
    if (std::fabs(ms - whole) < 1e-6)
        ms = whole;
    const int64_t tenths = int64_t(ms) / 100;
    if (tenths > -1000000 && tenths < 1000000)
        return QString::number(double(tenths) / 10.0, 'g', 6);
    const uint64_t magnitude = tenths < 0 ? uint64_t(0) - uint64_t(tenths) : uint64_t(tenths);
    return QStringLiteral("%1%2.%3")
        .arg(tenths < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 10)
        .arg(magnitude % 10);
}
