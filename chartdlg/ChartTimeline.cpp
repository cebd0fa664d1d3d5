#include "chartdlg/ChartTimeline.h"

#include <algorithm>

ChartTimeline::ChartTimeline(double gapThreshold) : threshold_(gapThreshold) {}

void ChartTimeline::reset()
{
    startTimeBase(0);
}

void ChartTimeline::startTimeBase(int64_t first)
{
    scanPosition_ = baseStart_ = first;
    timeOffset_ = 0;
    live_ = true;
}

std::vector<TimeGapMap::Break> ChartTimeline::collapseGaps(ChartLog& log, TimeGapMap& map)
{
    std::vector<TimeGapMap::Break> gaps;
    if (scanPosition_ > log.count())
        startTimeBase(0);  // the log was cleared behind our back: its records start afresh
    for (; scanPosition_ < log.count(); ++scanPosition_) {
        ChartRecord& r = log[scanPosition_];
        if (scanPosition_ == baseStart_)
            continue;  // the first record of a time base has no predecessor
        const double previousAxis = log[scanPosition_ - 1].Time;
        const double previousRaw = previousAxis + timeOffset_;
        double raw = r.Time;
        if (live_ && raw < previousRaw)
            raw = previousRaw;
        const double step = raw - previousRaw;
        if (step > threshold_) {
            if (map.addBreak(previousAxis, previousAxis + step))
                gaps.push_back({previousAxis, step});
            timeOffset_ += step - TimeGapMap::keptPause;
        }
        r.Time = raw - timeOffset_;
    }
    return gaps;
}

void ChartTimeline::shiftTimes(ChartLog& log, TimeGapMap& map, double dt)
{
    for (int64_t i = 0; i < log.count(); ++i)
        log[i].Time -= dt;
    map.shift(-dt);
}

std::vector<TimeGapMap::Break> ChartTimeline::adoptLoaded(ChartLog& log, TimeGapMap& map, double* shift)
{
    startTimeBase(0);
    live_ = false;  // stored times stay as they are, even when they go back
    std::vector<TimeGapMap::Break> gaps = collapseGaps(log, map);
    double latest = 0;
    for (int64_t i = 0; i < log.count(); ++i)
        latest = i == 0 ? log[i].Time : std::max(latest, log[i].Time);
    const double s = latest + TimeGapMap::keptPause;
    shiftTimes(log, map, s);
    for (TimeGapMap::Break& gap : gaps)
        gap.start -= s;
    if (shift)
        *shift = s;
    startTimeBase(log.count());
    return gaps;
}
