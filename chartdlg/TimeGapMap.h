#ifndef TIMEGAPMAP_H
#define TIMEGAPMAP_H

#include <map>
#include <optional>
#include <set>
#include <vector>

// Turns the compressed time axis of a chart back into elapsed time. Each break is a pause cut
// down to 100 ms of axis time: {start = the axis time of the last sample before it, length =
// the elapsed time to the first sample after it}. Live data lie at axis times >= 0, counted from
// their start; loaded data lie below 0, anchored at their end. A break's start tells which is which.
class TimeGapMap
{
public:
    static constexpr double keptPause = 100.0;  // ms of axis time a pause keeps

    struct Break
    {
        double start;
        double length;
    };

    void reset() { clear(); }
    void clear();

    // Adds {start, end - start} unless a break with this start exists; returns whether it added.
    // A pause is at least the 100 ms it keeps.
    bool addBreak(double start, double end);
    void addUnlabelledTick(double position);
    bool isLabelled(double position) const;

    // Axis time to elapsed time: for t >= 0, t plus the time removed by every live break with
    // start < t; for t < 0, t minus the time removed by every loaded break with start >= t.
    double mapTime(double axisTime) const;
    // Elapsed time back to axis time; none when the elapsed time lies inside a removed pause.
    std::optional<double> axisTime(double elapsed) const;

    // Moves every break start and tick by offset (lengths stay).
    void shift(double offset);

    std::vector<Break> breaks() const;
    bool hasBreaks() const { return !breaks_.empty(); }

private:
    void index() const;
    // Index of the first break whose start is >= t.
    size_t firstFrom(double t) const;

    std::map<double, double> breaks_;  // start -> length
    std::set<double> unlabelled_;
    // Sorted starts and the time removed before each, rebuilt after a change.
    mutable bool indexed_ = false;
    mutable std::vector<double> starts_;
    mutable std::vector<double> removed_;  // removed_[i]: removed by the breaks before starts_[i]
    mutable size_t firstLive_ = 0;
};

#endif // TIMEGAPMAP_H
