#include "mainwindow/StatusDisplay.h"

#include <QtGlobal>
#include <algorithm>
#include <climits>
#include <cmath>

#include "trov.h"

namespace StatusDisplay {

namespace {

int64_t magnitude(int64_t value)
{
    return value < 0 ? -value : value;
}

int clampToInt(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

} // namespace

QString stepsText(int step, int microstep, int divisor, bool padded)
{
    if (divisor == 1)
        return QString::number(step);
    if (!padded)
        return QStringLiteral("%1 %2/%3").arg(step).arg(microstep).arg(divisor);
    const int width = divisor > 99 ? 3 : divisor > 9 ? 2 : 1;
    if (step < 0) {
        // |INT_MIN| does not fit an int.
        const qint64 positive = magnitude(microstep);
        return QStringLiteral("%1 -%2/%3").arg(step).arg(positive, width, 10, QLatin1Char('0')).arg(divisor);
    }
    const int fieldWidth = microstep < 0 ? width + 1 : width;
    return QStringLiteral("%1 %2/%3").arg(step).arg(microstep, fieldWidth, 10, QLatin1Char('0')).arg(divisor);
}

int sliderDivisor(int64_t min, int64_t max)
{
    struct Row
    {
        int64_t beyond;
        int divisor;
    };
    static const Row rows[] = {{1000000000, 10000000}, {100000000, 1000000}, {10000000, 100000},
                               {1000000, 10000},       {100000, 1000},       {10000, 100},
                               {1000, 10}};
    for (const Row& row : rows) {
        if (min < -row.beyond || max > row.beyond)
            return row.divisor;
    }
    return 1;
}

QString divisorLabelText(int divisor, const QString& positionUnit)
{
    if (divisor <= 1)
        return QString();
    const QString exponent =
        divisor == 10 ? QString() : QString::number(std::log10(static_cast<double>(divisor)), 'g', 6);
    return QStringLiteral("<html><head><meta name=\"qrichtext\" content=\"1\" /></head><body><span style=\"font-size:")
           + QStringLiteral("11") + QStringLiteral("pt;\">x10<sup style=\"font-size:") + QStringLiteral("12")
           + QStringLiteral("pt;\">") + exponent + QStringLiteral("</sup>&nbsp;") + positionUnit
           + QStringLiteral("</span></body></html>");
}

Range shiftRangeToPosition(int left, int right, int position, bool watchOverLimits)
{
    if (!watchOverLimits || (position >= left && position <= right))
        return {left, right};
    const int64_t l = left, r = right, p = position;
    if (p < l)
        return {position, clampToInt(r + (p - l))};
    return {clampToInt(l + (p - r)), position};
}

const char* commandText(unsigned int mvCmdSts)
{
    switch (mvCmdSts & MVCMD_NAME_BITS) {
    case MVCMD_MOVE:
        return QT_TRANSLATE_NOOP("MainWindow", "Move to position");
    case MVCMD_MOVR:
        return QT_TRANSLATE_NOOP("MainWindow", "Shift on offset");
    case MVCMD_LEFT:
        return QT_TRANSLATE_NOOP("MainWindow", "Move left");
    case MVCMD_RIGHT:
        return QT_TRANSLATE_NOOP("MainWindow", "Move right");
    case MVCMD_STOP:
        return QT_TRANSLATE_NOOP("MainWindow", "Stop");
    case MVCMD_HOME:
        return QT_TRANSLATE_NOOP("MainWindow", "Homing");
    case MVCMD_LOFT:
        return QT_TRANSLATE_NOOP("MainWindow", "Loft");
    case MVCMD_SSTP:
        return QT_TRANSLATE_NOOP("MainWindow", "Soft stop");
    default:
        return QT_TRANSLATE_NOOP("MainWindow", "Unknown");
    }
}

const char* powerStateText(unsigned int pwrSts)
{
    switch (pwrSts) {
    case PWR_STATE_UNKNOWN:
        return QT_TRANSLATE_NOOP("MainWindow", "Uknwn");
    case PWR_STATE_OFF:
        return QT_TRANSLATE_NOOP("MainWindow", "Off");
    case PWR_STATE_NORM:
        return QT_TRANSLATE_NOOP("MainWindow", "Norm");
    case PWR_STATE_REDUCT:
        return QT_TRANSLATE_NOOP("MainWindow", "Reduc");
    case PWR_STATE_MAX:
        return QT_TRANSLATE_NOOP("MainWindow", "Max");
    default:
        return QT_TRANSLATE_NOOP("MainWindow", "Unknown");
    }
}

QString voltageText(int hundredths)
{
    return QStringLiteral("%1 V").arg(QString::number(hundredths / 100.0, 'g', 6));
}

QString temperatureText(int tenths)
{
    return QStringLiteral("%1 <span style=\"vertical-align:super;\">0</span>C")
        .arg(QString::number(tenths / 10.0, 'f', 1));
}

bool atLimit(int64_t value, unsigned int nominal)
{
    return static_cast<uint32_t>(magnitude(value)) >= nominal;
}

QString overlined(const QString& text)
{
    return QStringLiteral("<html><span style=\"text-decoration: overline;\">") + text
           + QStringLiteral("</span></html>");
}

void alarmTint(int red, int green, int blue, int* outRed, int* outGreen, int* outBlue)
{
    *outRed = static_cast<int>(std::min(255.0, 0.9 * red + 25.5));
    *outGreen = static_cast<int>(0.9 * green);
    *outBlue = static_cast<int>(0.9 * blue);
}

} // namespace StatusDisplay
