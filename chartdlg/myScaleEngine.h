#ifndef MYSCALEENGINE_H
#define MYSCALEENGINE_H

#include <qwt_scale_engine.h>

#include <vector>

class TimeGapMap;

// Scale engine of the chart time axes. It divides like the linear engine, then, once the axis
// holds pauses, moves the major ticks to whole multiples of 5 s of elapsed time, keeps ticks
// clear of the pause markers and makes the markers major ticks of their own.
class myScaleEngine : public QwtLinearScaleEngine
{
public:
    explicit myScaleEngine(const TimeGapMap& gapMap);

    // Pause marker positions (axis ms), kept sorted; duplicates allowed.
    void appendPoint(double axisTime);
    void shiftPoints(double offset);
    void clearPoints();
    const std::vector<double>& points() const { return points_; }

    // False for a marker that stands too close to the next one in the last division: its
    // label stays empty.
    bool isLabelled(double position) const;

    QwtScaleDiv divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                            double stepSize = 0.0) const override;

private:
    void buildTicks(const QwtInterval& interval, double stepSize, int maxMinorSteps,
                    QList<double> ticks[QwtScaleDiv::NTickTypes]) const;
    QList<double> movedTicks(const QList<double>& major, const std::vector<double>& near,
                             const QwtInterval& interval) const;

    const TimeGapMap& map_;
    std::vector<double> points_;
    mutable std::vector<double> unlabelled_;  // sorted
};

#endif // MYSCALEENGINE_H
