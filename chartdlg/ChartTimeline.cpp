#include "chartdlg/ChartTimeline.h"

#include <algorithm>
#include <cmath>

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
    std::vector<double> stored(size_t(log.count()));
    for (int64_t i = 0; i < log.count(); ++i)
        stored[size_t(i)] = log[i].Time;
    startTimeBase(0);
    live_ = false;  // stored times stay as they are, even when they go back
    TimeGapMap cut = map;
    std::vector<TimeGapMap::Break> gaps = collapseGaps(log, cut);
    int64_t latest = 0;
    for (int64_t i = 1; i < log.count(); ++i) {
        if (log[i].Time > log[latest].Time)
            latest = i;
    }
    double s = log.isEmpty() ? TimeGapMap::keptPause : log[latest].Time + TimeGapMap::keptPause;
    shiftTimes(log, cut, s);
    // A break takes its time away by its place on the axis, so a record that goes back to before
    // a cut pause would show and save the wrong time: such a chart keeps its pauses whole.
    const double anchor = log.isEmpty() ? 0 : stored[size_t(latest)] + TimeGapMap::keptPause;
    // Rounding aside: a break counted wrongly is off by the hundreds of milliseconds it removed.
    bool exact = true;
    for (int64_t i = 0; i < log.count() && exact; ++i)
        exact = std::fabs(cut.mapTime(log[i].Time) - (stored[size_t(i)] - anchor)) < 0.5;
    if (exact) {
        map = std::move(cut);
        for (TimeGapMap::Break& gap : gaps)
            gap.start -= s;
    } else {
        gaps.clear();
        s = *std::max_element(stored.begin(), stored.end()) + TimeGapMap::keptPause;
        for (int64_t i = 0; i < log.count(); ++i)
            log[i].Time = stored[size_t(i)] - s;
        map.shift(-s);
    }
    if (shift)
        *shift = s;
    startTimeBase(log.count());
    return gaps;
}
