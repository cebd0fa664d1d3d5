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

template <typename Visit>
std::vector<TimeGapMap::Break> ChartTimeline::scan(ChartLog& log, TimeGapMap& map, Visit&& visit)
{
    std::vector<TimeGapMap::Break> gaps;
    if (scanPosition_ > log.count())
        startTimeBase(0);  // the log was cleared behind our back: its records start afresh
    for (; scanPosition_ < log.count(); ++scanPosition_) {
        ChartRecord& r = log[scanPosition_];
        const double stored = r.Time;
        if (scanPosition_ == baseStart_) {
            visit(scanPosition_, stored, stored);  // the first record of a time base has no predecessor
            continue;
        }
        const double previousAxis = log[scanPosition_ - 1].Time;
        const double previousRaw = previousAxis + timeOffset_;
        double raw = stored;
        if (live_ && raw < previousRaw)
            raw = previousRaw;
        const double step = raw - previousRaw;
        if (step > threshold_) {
            if (map.addBreak(previousAxis, previousAxis + step))
                gaps.push_back({previousAxis, step});
            timeOffset_ += step - TimeGapMap::keptPause;
        }
        r.Time = raw - timeOffset_;
        visit(scanPosition_, stored, r.Time);
    }
    return gaps;
}

std::vector<TimeGapMap::Break> ChartTimeline::collapseGaps(ChartLog& log, TimeGapMap& map)
{
    return scan(log, map, [](int64_t, double, double) {});
}

std::vector<TimeGapMap::Break> ChartTimeline::adoptLoaded(ChartLog& log, TimeGapMap& map, double* shift)
{
    // A large load pays for every pass over its records: the scan keeps the stored times and
    // finds the latest record as it goes.
    const int64_t n = log.count();
    const auto stored = LargeMemory::array<double>(size_t(n));
    int64_t latest = 0;
    startTimeBase(0);
    live_ = false;  // stored times stay as they are, even when they go back
    TimeGapMap cut = map;
    std::vector<TimeGapMap::Break> gaps = scan(log, cut, [&](int64_t i, double before, double after) {
        stored[size_t(i)] = before;
        if (after > log[latest].Time)
            latest = i;
    });
    double s = n == 0 ? TimeGapMap::keptPause : log[latest].Time + TimeGapMap::keptPause;
    cut.shift(-s);
    // A break takes its time away by its place on the axis, so a record that goes back to before
    // a cut pause would show and save the wrong time: such a chart keeps its pauses whole.
    const double anchor = n == 0 ? 0 : stored[size_t(latest)] + TimeGapMap::keptPause;
    // Rounding aside: a break counted wrongly is off by the hundreds of milliseconds it removed.
    bool exact = true;
    for (int64_t i = 0; i < n; ++i) {
        const double moved = log[i].Time -= s;
        exact = exact && std::fabs(cut.mapTime(moved) - (stored[size_t(i)] - anchor)) < 0.5;
    }
    if (exact) {
        map = std::move(cut);
        for (TimeGapMap::Break& gap : gaps)
            gap.start -= s;
    } else {
        gaps.clear();
        s = *std::max_element(stored.get(), stored.get() + n) + TimeGapMap::keptPause;
        for (int64_t i = 0; i < n; ++i)
            log[i].Time = stored[size_t(i)] - s;
        map.shift(-s);
    }
    if (shift)
        *shift = s;
    startTimeBase(n);
    return gaps;
}
