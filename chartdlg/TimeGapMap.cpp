#include "chartdlg/TimeGapMap.h"

#include <algorithm>
#include <cmath>

void TimeGapMap::clear()
{
    breaks_.clear();
    unlabelled_.clear();
    indexed_ = false;
}

bool TimeGapMap::addBreak(double start, double end)
{
    if (!std::isfinite(start) || !std::isfinite(end) || !(end - start >= keptPause))
        return false;
    if (!breaks_.emplace(start, end - start).second)
        return false;
    indexed_ = false;
    return true;
}

void TimeGapMap::addUnlabelledTick(double position)
{
    if (!std::isnan(position))
        unlabelled_.insert(position);
}

bool TimeGapMap::isLabelled(double position) const { return unlabelled_.count(position) == 0; }

void TimeGapMap::shift(double offset)
{
    if (!std::isfinite(offset))
        return;
    std::map<double, double> moved;
    for (const auto& b : breaks_)
        moved.emplace_hint(moved.end(), b.first + offset, b.second);
    breaks_.swap(moved);
    std::set<double> ticks;
    for (double t : unlabelled_)
        ticks.emplace_hint(ticks.end(), t + offset);
    unlabelled_.swap(ticks);
    indexed_ = false;
}

std::vector<TimeGapMap::Break> TimeGapMap::breaks() const
{
    std::vector<Break> list;
    list.reserve(breaks_.size());
    for (const auto& b : breaks_)
        list.push_back({b.first, b.second});
    return list;
}

void TimeGapMap::index() const
{
    if (indexed_)
        return;
    starts_.clear();
    removed_.assign(1, 0.0);
    for (const auto& b : breaks_) {
        starts_.push_back(b.first);
        removed_.push_back(removed_.back() + (b.second - keptPause));
    }
    firstLive_ = size_t(std::lower_bound(starts_.begin(), starts_.end(), 0.0) - starts_.begin());
    indexed_ = true;
}

size_t TimeGapMap::firstFrom(double t) const
{
    if (starts_.empty() || t > starts_.back())
        return starts_.size();  // the live view: after every pause, no search
    return size_t(std::lower_bound(starts_.begin(), starts_.end(), t) - starts_.begin());
}

double TimeGapMap::mapTime(double t) const
{
    if (std::isnan(t))
        return t;
    index();
    const size_t k = firstFrom(t);
    if (t >= 0)
        return t + (removed_[k] - removed_[firstLive_]);
    return t - (removed_[firstLive_] - removed_[k]);
}

std::optional<double> TimeGapMap::axisTime(double e) const
{
    if (std::isnan(e))
        return std::nullopt;
    index();
    if (e >= 0) {
        // Live breaks j: the elapsed times just after break j start above starts_[j] + R(j),
        // R(j) the time removed by the live breaks up to and including j.
        auto after = [&](size_t j) { return starts_[j] + (removed_[j + 1] - removed_[firstLive_]); };
        size_t lo = firstLive_, hi = starts_.size();  // first j with after(j) >= e
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (after(mid) < e)
                lo = mid + 1;
            else
                hi = mid;
        }
        const double removed = removed_[lo] - removed_[firstLive_];
        const double t = e - removed;
        if (lo < starts_.size() && t > starts_[lo])
            return std::nullopt;  // inside the pause of break lo
        return t;
    }
    // Loaded breaks j: axis times in (starts_[j-1], starts_[j]] lose Q(j), the time removed by
    // the loaded breaks from j on; their elapsed times end at starts_[j] - Q(j).
    auto upper = [&](size_t j) { return starts_[j] - (removed_[firstLive_] - removed_[j]); };
    size_t lo = 0, hi = firstLive_;  // first j with e <= upper(j)
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (upper(mid) < e)
            lo = mid + 1;
        else
            hi = mid;
    }
    const double t = e + (removed_[firstLive_] - removed_[lo]);
    if (lo > 0 && !(t > starts_[lo - 1]))
        return std::nullopt;
    if (t >= 0)
        return std::nullopt;
    return t;
}
