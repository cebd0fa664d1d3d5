#include "chartdlg/myScaleEngine.h"

#include "chartdlg/TimeGapMap.h"

#include <qwt_math.h>

#include <algorithm>
#include <cmath>

myScaleEngine::myScaleEngine(const TimeGapMap& gapMap)
    : map_(gapMap)
{
}

void myScaleEngine::appendPoint(double axisTime)
{
    if (!std::isfinite(axisTime))
        return;
    // Markers come in time order: this is an append but for a point that goes back.
    points_.insert(std::upper_bound(points_.begin(), points_.end(), axisTime), axisTime);
}

void myScaleEngine::shiftPoints(double offset)
{
    if (!std::isfinite(offset))
        return;
    for (double& p : points_)
        p += offset;
}

void myScaleEngine::clearPoints()
{
    points_.clear();
    unlabelled_.clear();
}

bool myScaleEngine::isLabelled(double position) const
{
    return !std::binary_search(unlabelled_.begin(), unlabelled_.end(), position);
}

QwtScaleDiv myScaleEngine::divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                                       double stepSize) const
{
    unlabelled_.clear();
    const QwtInterval interval = QwtInterval(x1, x2).normalized();
    if (!std::isfinite(x1) || !std::isfinite(x2) || !std::isfinite(interval.width()) || !(interval.width() > 0))
        return QwtScaleDiv();

    stepSize = std::fabs(stepSize);
    if (stepSize == 0.0)
        stepSize = divideInterval(interval.width(), std::max(maxMajorSteps, 1));

    QwtScaleDiv div;
    if (stepSize != 0.0 && std::isfinite(stepSize)) {
        QList<double> ticks[QwtScaleDiv::NTickTypes];
        buildTicks(interval, stepSize, maxMinorSteps, ticks);
        div = QwtScaleDiv(interval, ticks);
    }
    if (x1 > x2)
        div.invert();
    return div;
}

namespace {

bool multipleOf5(double seconds)
{
    return seconds == std::floor(seconds) && seconds / 5 == std::floor(seconds / 5);
}

bool between(const std::vector<double>& sorted, double low, double high)
{
    const auto it = std::upper_bound(sorted.begin(), sorted.end(), low);
    return it != sorted.end() && *it < high;
}

void removeNear(QList<double>& ticks, double p, double clearance)
{
    for (int i = ticks.size() - 1; i >= 0; --i)
        if (std::trunc(std::fabs(ticks[i] - p)) < clearance)
            ticks.removeAt(i);
}

} // namespace

// A tick moves to the first multiple of 5 s above its elapsed time (9.3 s to 15 s, 7 s to 10 s),
// placed through the inverse of the gap map so that its label is that multiple; a target that
// lies inside a removed pause has no place on the axis and is dropped.
QList<double> myScaleEngine::movedTicks(const QList<double>& major, const std::vector<double>& near,
                                        const QwtInterval& interval) const
{
    // Elapsed minus axis time never falls with the axis time. Where it is the same at the first
    // tick and at the last target, no pause lies between them and one offset maps both ways:
    // two look-ups instead of two a tick, however many pauses the history holds.
    const double offset = major.isEmpty() ? 0.0 : map_.mapTime(major.front()) - major.front();
    for (bool uniform : {true, false}) {
        QList<double> moved;
        moved.reserve(major.size());
        bool anyInside = false, changed = false;
        for (double t : major) {
            double target = t;
            const double s = (uniform ? t + offset : map_.mapTime(t)) / 1000.0;
            if (!std::binary_search(near.begin(), near.end(), t) && std::isfinite(s) && !multipleOf5(s)) {
                // the first multiple of 5 above ceil(s)
                const double n = std::floor(std::ceil(s) / 5) * 5 + 5;
                const std::optional<double> axis = uniform ? n * 1000.0 - offset : map_.axisTime(n * 1000.0);
                if (!axis) {
                    changed = true;
                    continue;
                }
                target = *axis;
            }
            changed = changed || target != t;
            moved.append(target);
            anyInside = anyInside || contains(interval, target);
        }
        if (uniform && !moved.isEmpty() && map_.mapTime(moved.back()) - moved.back() != offset)
            continue;
        // A short axis may hold no multiple of 5 s at all: it keeps its plain ticks, which the
        // labels show as elapsed time.
        if (!anyInside || !changed)
            return major;
        std::sort(moved.begin(), moved.end());
        moved.erase(std::unique(moved.begin(), moved.end()), moved.end());
        return moved;
    }
    return major;
}

void myScaleEngine::buildTicks(const QwtInterval& interval, double stepSize, int maxMinorSteps,
                               QList<double> ticks[QwtScaleDiv::NTickTypes]) const
{
    // Only markers within two steps can touch a tick inside the interval: the cost does not
    // grow with the pauses in the history.
    const double low = interval.minValue() - 2 * stepSize;
    // the live view lies after every marker: no search
    const auto from = points_.empty() || points_.back() < low ? points_.end()
                                                              : std::lower_bound(points_.begin(), points_.end(), low);
    const auto to = std::upper_bound(from, points_.end(), interval.maxValue() + 2 * stepSize);
    const std::vector<double> near(from, to);

    QList<double>& major = ticks[QwtScaleDiv::MajorTick];
    major = buildMajorTicks(align(interval, stepSize), stepSize);
    if (map_.hasBreaks())
        major = movedTicks(major, near, interval);

    if (maxMinorSteps > 0) {
        for (int j = 0; j < major.size(); ++j) {
            QList<double> minor, medium;
            buildMinorTicks(QList<double>{major[j]}, maxMinorSteps, stepSize, minor, medium);
            ticks[QwtScaleDiv::MediumTick] += medium;
            // An interval with a pause marker keeps only its medium tick.
            if (j + 1 == major.size() || !between(near, major[j], major[j + 1]))
                ticks[QwtScaleDiv::MinorTick] += minor;
        }
    }

    for (int type : {int(QwtScaleDiv::MinorTick), int(QwtScaleDiv::MediumTick), int(QwtScaleDiv::MajorTick)}) {
        ticks[type] = strip(ticks[type], interval);
        for (double& v : ticks[type])
            if (qwtFuzzyCompare(v, 0.0, stepSize) == 0)
                v = 0.0;
    }

    const double clearance = 2 * std::floor(std::fabs(stepSize / std::max(maxMinorSteps, 1)));
    for (double p : near)
        for (int type = 0; type < QwtScaleDiv::NTickTypes; ++type)
            removeNear(ticks[type], p, clearance);

    for (size_t j = 0; j + 1 < near.size(); ++j)
        if (std::trunc(near[j + 1] - near[j]) < clearance)
            unlabelled_.push_back(near[j]);

    for (double p : near)
        if (contains(interval, p))
            major.append(p);
    std::sort(major.begin(), major.end());
}
