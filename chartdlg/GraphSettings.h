#ifndef GRAPHSETTINGS_H
#define GRAPHSETTINGS_H

#include "chartdlg/CurveSettings.h"
#include "chartdlg/GraphCommonSettings.h"

// The chart options: the common record and one record per curve, in the chart's order:
// 0 position, 1 speed, 2 encoder, 3 engine voltage, 4 power voltage, 5 USB voltage,
// 6-8 winding A, B, C voltage, 9 engine current, 10 power current, 11 USB current,
// 12-14 winding A, B, C current, 15 PWM, 16 temperature, 17 joystick, 18 potentiometer,
// 19 the status flags.
struct GraphSettings
{
    static const int curveCount = 20;
    static const int flagsCurve = 19;

    GraphCommonSettings common;
    CurveSettings curves[curveCount];
};

#endif // GRAPHSETTINGS_H
