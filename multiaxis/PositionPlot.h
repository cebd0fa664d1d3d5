#ifndef POSITIONPLOT_H
#define POSITIONPLOT_H

#include <QVector>

#include "multiaxis/Multiaxis.h"

class QWidget;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotPicker;

// The position plot of the multi-axis window: X and Y as a point on one plot, Z as a line on a
// narrow one beside it, each slot's travel borders as its scale and as limit lines shown while
// the axis stands at that edge. A click on a plot moves the axes there (the window's slots).
class PositionPlot
{
public:
    // The least width of the Z plot's canvas, beside its scale.
    static constexpr int zCanvasWidth = 60;

    explicit PositionPlot(Multiaxis& window);

    // Makes the plots (parented as the window, until the form's layout takes them) with their
    // curves, grids, markers and pickers.
    void build(QWidget* parent);
    // The plot part of the refresh: a scale follows changed borders, and the plots replot only
    // when what they show changed.
    void refresh();
    // Every slot's scale from its axis' borders now, replotted.
    void rescale();

    QwtPlot* plotXY = nullptr;
    QwtPlot* plotZ = nullptr;
    QwtPlotCurve* curveXY = nullptr;
    QwtPlotCurve* curveZ = nullptr;
    // Per slot; positionLine[2] is null with two axes.
    QwtPlotMarker* leftLimit[Multiaxis::maxAxes];
    QwtPlotMarker* rightLimit[Multiaxis::maxAxes];
    QwtPlotMarker* positionLine[Multiaxis::maxAxes] = {nullptr, nullptr, nullptr};
    QwtPlotPicker* pickerXY = nullptr;
    QwtPlotPicker* pickerZ = nullptr;
    // Per slot: the plot and its axis showing the slot's position.
    int plotAxis[Multiaxis::maxAxes];
    QwtPlot* slotPlot[Multiaxis::maxAxes];
    // Per axis: the left and right border last set on the plot scale, in display units.
    double borderCache[Multiaxis::maxAxes][2];

private:
    // Left and right border of axis `axis` in display units (microsteps from whole steps on).
    void borders(int axis, double* left, double* right) const;
    void applyScale(int slot, double left, double right);

    Multiaxis& window;
    // What the plots showed at their last replot.
    QVector<double> plottedState;
};

#endif // POSITIONPLOT_H
