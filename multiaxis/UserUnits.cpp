#include "multiaxis/UserUnits.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

int fieldWidth(int divisor)
{
    if (divisor <= 9)
        return 1;
    return divisor <= 99 ? 2 : 3;
}

// A position that is no int pair of steps: NaN gives 0, beyond the int range the range's end.
bool outsideTheRange(long double steps, UserUnits::StepPair* pair)
{
    if (std::isnan(steps))
        *pair = {};
    else if (steps >= static_cast<long double>(INT_MAX) || steps <= static_cast<long double>(INT_MIN))
        *pair = {steps > 0 ? INT_MAX : INT_MIN, 0};
    else
        return false;
    return true;
}

// Microsteps, with a value within rounding noise of a whole microstep taken as that microstep:
// a target the user meant exactly must not come out one microstep short.
long double snappedMicrosteps(long double microsteps)
{
    const long double nearest = std::round(microsteps);
    const long double noise = std::max(1e-9L, std::fabs(microsteps) * 1e-13L);
    return std::fabs(microsteps - nearest) <= noise ? nearest : microsteps;
}

} // namespace

double UserUnits::ratio() const
{
    // The loader keeps both at least 1; a zero set from code still never divides by zero.
    return double(qMax(coeff2, 1u)) / double(qMax(coeff1, 1u));
}

double UserUnits::fullSteps(int step, int uStep, int divisor)
{
    return double(step) + double(uStep) / double(qMax(divisor, 1));
}

QString UserUnits::positionToString(int step, int uStep, int divisor)
{
    if (divisor <= 1)
        return QString::number(step);
    const int width = fieldWidth(divisor);
    if (step < 0) {
        const qint64 magnitude = qAbs(qint64(uStep));
        return QStringLiteral("%1 -%2/%3").arg(step).arg(magnitude, width, 10, QLatin1Char('0')).arg(divisor);
    }
    const int padded = uStep < 0 ? width + 1 : width;
    return QStringLiteral("%1 %2/%3").arg(step).arg(uStep, padded, 10, QLatin1Char('0')).arg(divisor);
}

QString UserUnits::unitPositionText(int step, int uStep, int divisor) const
{
    const unsigned int decimals = qMin(precision, maxPrecision);
    const long double position = static_cast<long double>(step)
                                 + static_cast<long double>(uStep) / static_cast<long double>(qMax(divisor, 1));
    const long double value = roundedToPrecision(position * qMax(coeff2, 1u) / qMax(coeff1, 1u));
    // Fixed decimals: no exponent for large values and no digits lost to six significant ones.
    const QString text = QString::number(static_cast<double>(value), 'f', int(decimals));
    return text + QLatin1Char(' ') + units;
}

long double UserUnits::roundedToPrecision(long double value) const
{
    const long double scale = std::pow(10.0L, static_cast<long double>(qMin(precision, maxPrecision)));
    // Half away from zero, both sides alike: a target on the nearest microstep reads as typed.
    const long double rounded = std::round(value * scale) / scale;
    return rounded == 0 ? 0 : rounded;  // no "-0.00"
}

long double UserUnits::unitsToSteps(double value) const
{
    return static_cast<long double>(value) * qMax(coeff1, 1u) / qMax(coeff2, 1u);
}

UserUnits::StepPair UserUnits::nearestStepPair(long double fullSteps, int divisor)
{
    StepPair pair;
    if (outsideTheRange(fullSteps, &pair))
        return pair;
    const qint64 d = std::max(divisor, 1);
    const qint64 microsteps = std::llround(fullSteps * d);
    // Both parts share the sign: C++ division truncates towards zero.
    return {int(microsteps / d), int(microsteps % d)};
}

UserUnits::StepPair UserUnits::clickStepPair(long double fullSteps, int divisor)
{
    StepPair pair;
    if (outsideTheRange(fullSteps, &pair))
        return pair;
    const int d = std::max(divisor, 1);
    const long double microsteps = snappedMicrosteps(fullSteps * d);
    const long double step = std::trunc(microsteps / d);
    const long double fraction = microsteps - step * d;
    // The added half step can take the microsteps past the divisor: the carry goes to the steps,
    // so the part sent stays within 0 .. divisor - 1.
    const qint64 total = qint64(step) * d + qint64(std::trunc(fraction + 0.5L * d));
    const qint64 whole = total >= 0 ? total / d : -((-total + d - 1) / d);
    if (whole > INT_MAX || whole < INT_MIN)
        return {whole > 0 ? INT_MAX : INT_MIN, 0};
    return {int(whole), int(total - whole * d)};
}
