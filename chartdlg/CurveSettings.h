#ifndef CURVESETTINGS_H
#define CURVESETTINGS_H

#include <QPen>

// Options of one chart curve: its pen and its value axis.
struct CurveSettings
{
    // A solid black line of width 1.0 with round caps and joins, given in full: Qt's default
    // pen has square caps and bevel joins, and its width differs between Qt versions.
    CurveSettings() : pen(QBrush(Qt::black), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) {}

    QPen pen;
    bool antialiasing = false;
    // When off the value axis runs from min to max.
    bool autoscale = true;
    int min = 0;
    int max = 100;
};

#endif // CURVESETTINGS_H
