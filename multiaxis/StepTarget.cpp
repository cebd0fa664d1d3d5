#include "multiaxis/StepTarget.h"

#include <climits>
#include <cmath>

namespace {

int clampedInt(double value)
{
    if (value <= double(INT_MIN))
        return INT_MIN;
    if (value >= double(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

} // namespace

bool StepTarget::fromUnits(double value, double factor, int divisor, Rounding rounding, StepTarget* out)
{
    const double steps = value / factor;
    if (!std::isfinite(steps))
        return false;
    const double whole = std::trunc(steps);
    // Beyond the int range the target is the range's end: the fraction no longer means anything.
    const bool clamped = whole < double(INT_MIN) || whole > double(INT_MAX);
    double fraction = clamped ? 0.0 : steps - whole;
    if (rounding == Rounding::PlotClick)
        fraction += 0.5;
    out->steps = clampedInt(whole);
    out->usteps = clampedInt(std::trunc(double(divisor > 0 ? divisor : 1) * fraction));
    return true;
}
