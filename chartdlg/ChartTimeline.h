#ifndef CHARTTIMELINE_H
#define CHARTTIMELINE_H

#include "chartdlg/ChartLog.h"
#include "chartdlg/TimeGapMap.h"

#include <cstdint>
#include <vector>

// The time axis of one chart: cuts every pause between neighbouring records down to 100 ms
// (the gap scan), records the cut in the time-gap map, and moves loaded data below 0.
// Records of the current time base hold raw times (ms since its start) until scanned, then
// axis times: axis = raw - time removed so far, so they keep their real spacing.
class ChartTimeline
{
public:
    static constexpr double samplePeriod = 100.0;  // ms between samples
    static constexpr double defaultThreshold = 500.0;

    explicit ChartTimeline(double gapThreshold = defaultThreshold);

    // An empty chart (Clear).
    void reset();
    // A new live time base begins with the record at index first: it is never compared with
    // the record before it, and nothing has been removed from it yet.
    void startTimeBase(int64_t first);

    // Scans the records not scanned yet; returns the new breaks (for the gap markers).
    std::vector<TimeGapMap::Break> collapseGaps(ChartLog& log, TimeGapMap& map);
    // Takes loaded records as a time base of their own, then moves them so that the latest lies
    // at -100 ms; the next time base starts after them. Returns the new breaks, moved.
    std::vector<TimeGapMap::Break> adoptLoaded(ChartLog& log, TimeGapMap& map, double* shift = nullptr);

    double gapThreshold() const { return threshold_; }
    double timeOffset() const { return timeOffset_; }
    int64_t scanPosition() const { return scanPosition_; }

private:
    // The gap scan; visit(index, stored time, axis time) sees every record it scans.
    template <typename Visit>
    std::vector<TimeGapMap::Break> scan(ChartLog& log, TimeGapMap& map, Visit&& visit);

    double threshold_;
    int64_t scanPosition_ = 0;  // next record to scan
    int64_t baseStart_ = 0;     // first record of the current time base
    double timeOffset_ = 0;     // ms removed from the current time base
    bool live_ = true;          // live samples never go back in time
};

#endif // CHARTTIMELINE_H
