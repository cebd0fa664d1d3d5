#include "multiaxis/UserUnits.h"

#include <QtGlobal>

#include <climits>
#include <cmath>

namespace {

int fieldWidth(int divisor)
{
    if (divisor <= 9)
        return 1;
    return divisor <= 99 ? 2 : 3;
}

// Truncates towards zero and keeps the result inside the int range; NaN gives 0.
int truncatedInt(long double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<long double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(std::trunc(value));
}

UserUnits::StepPair split(long double steps, int divisor, long double fractionOffset)
{
    UserUnits::StepPair pair;
    pair.step = truncatedInt(steps);
    // A clamped whole part leaves no microsteps: the pair is the end of the range.
    if (std::isnan(steps) || steps >= static_cast<long double>(INT_MAX) || steps <= static_cast<long double>(INT_MIN))
        return pair;
    pair.uStep = truncatedInt((steps - pair.step + fractionOffset) * std::max(divisor, 1));
    return pair;
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
    const long double scale = std::pow(10.0L, static_cast<long double>(decimals));
    const long double position = static_cast<long double>(step)
                                 + static_cast<long double>(uStep) / static_cast<long double>(qMax(divisor, 1));
    long double value = std::floor(position * qMax(coeff2, 1u) * scale / qMax(coeff1, 1u)) / scale;
    if (value == 0)
        value = 0;  // no "-0.00"
    // Fixed decimals: no exponent for large values and no digits lost to six significant ones.
    const QString text = QString::number(static_cast<double>(value), 'f', int(decimals));
    return text + QLatin1Char(' ') + units;
}

UserUnits::StepPair UserUnits::toStepPair(double value, double factor, int divisor)
{
    return split(static_cast<long double>(value) / static_cast<long double>(factor), divisor, 0.0L);
}

UserUnits::StepPair UserUnits::clickToStepPair(double value, double factor, int divisor)
{
    return split(static_cast<long double>(value) / static_cast<long double>(factor), divisor, 0.5L);
}
