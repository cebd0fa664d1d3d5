#ifndef CHARTPLOTLOOK_H
#define CHARTPLOTLOOK_H

#include <QFont>
#include <QPen>

class QwtInterval;
class QwtPlot;
class TimeGapMap;
class TimeScaleDraw;
class myScaleEngine;

// What the value plots and the flag plot share: frame, spacer axis, time axes and grid.
namespace ChartPlotLook {

// Major steps a time axis divides its interval into at most: a sixth of the interval (10 s of a
// minute) always, a twelfth (5 s) where the labels fit that closely.
constexpr int sparseTimeTicks = 6;
constexpr int denseTimeTicks = 12;

// White canvas without frame or margins, no automatic replot, 200 x 200 hint with 50 pixels
// minimum height and a canvas wide enough for the sparse time labels, the empty right spacer
// axis, a time scale draw and engine on the top and bottom axes, arrow cursors, at most 4 major
// value ticks, sparseTimeTicks major time ticks, 8 minor ticks and the grey grid.
void build(QwtPlot& plot, const TimeGapMap* gapMap);

// Chooses the dense or the sparse time ticks for the canvas width and the labels of the given
// time interval; true when the choice changed (the plot then needs a replot).
bool fitTimeTicks(QwtPlot& plot, const QwtInterval& interval);

// The engine and scale draw of a time axis (QwtPlot::xBottom or QwtPlot::xTop).
myScaleEngine* timeEngine(QwtPlot& plot, int axis);
TimeScaleDraw* timeScaleDraw(QwtPlot& plot, int axis);

// Qwt keeps a fixed scale's division and an unchanged division's labels: this has both time
// axes divided and labelled anew at the next replot. For after a change of the gap map or of
// the markers.
void refreshTimeAxes(QwtPlot& plot);
// The same for any one axis.
void resetDivision(QwtPlot& plot, int axis);

// Bold 10 point, for the rich-text axis titles.
QFont titleFont();

// The record's pen as a curve draws it: a profile may hold any width, a curve is at most 10 wide.
QPen curvePen(const QPen& pen);

} // namespace ChartPlotLook

#endif // CHARTPLOTLOOK_H
