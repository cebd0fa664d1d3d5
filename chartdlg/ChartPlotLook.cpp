#include "chartdlg/ChartPlotLook.h"

#include "chartdlg/TimeGapMap.h"
#include "chartdlg/TimeScaleDraw.h"
#include "chartdlg/myScaleEngine.h"
#include "chartdlg/voidScaleDraw.h"

#include <qwt_interval.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace ChartPlotLook {

void build(QwtPlot& plot, const TimeGapMap* gapMap)
{
    plot.setCanvasBackground(Qt::white);
    plot.setContentsMargins(3, 3, 3, 3);
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
        plot.plotLayout()->setCanvasMargin(-1, axis);
    if (auto* canvas = qobject_cast<QwtPlotCanvas*>(plot.canvas()))
        canvas->setLineWidth(0);
    plot.setAutoReplot(false);

    plot.setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    plot.setMinimumHeight(50);

    // The right axis only takes room, so that the canvases of all plots line up.
    plot.enableAxis(QwtPlot::yRight);
    plot.setAxisScaleDraw(QwtPlot::yRight, new voidScaleDraw);
    plot.setAxisMaxMajor(QwtPlot::yRight, 0);
    plot.setAxisMaxMinor(QwtPlot::yRight, 0);
    plot.setAxisScale(QwtPlot::yRight, 0, 1);
    QFont spacerFont;
    spacerFont.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    spacerFont.setWeight(1);
    plot.setAxisFont(QwtPlot::yRight, spacerFont);
    plot.axisWidget(QwtPlot::yRight)->scaleDraw()->setMinimumExtent(3);

    for (int axis : {QwtPlot::xTop, QwtPlot::xBottom}) {
        auto* engine = new myScaleEngine(*gapMap);
        plot.setAxisScaleEngine(axis, engine);
        plot.setAxisScaleDraw(axis, new TimeScaleDraw(gapMap, engine));
    }

    plot.setCursor(Qt::ArrowCursor);
    plot.canvas()->setCursor(Qt::ArrowCursor);

    for (int axis : {QwtPlot::xBottom, QwtPlot::xTop, QwtPlot::yLeft}) {
        plot.setAxisMaxMajor(axis, axis == QwtPlot::yLeft ? 4 : sparseTimeTicks);
        plot.setAxisMaxMinor(axis, 8);
    }
    // Room for the sparse time labels side by side, up to hours of elapsed time.
    const QFontMetrics metrics(plot.axisFont(QwtPlot::xBottom));
    plot.canvas()->setMinimumWidth(sparseTimeTicks *
                                   (metrics.horizontalAdvance(QStringLiteral("-0000")) + metrics.height() / 2));

    auto* grid = new QwtPlotGrid;
    QPen major(QColor(200, 200, 200), 0, Qt::SolidLine);
    QPen minor(QColor(230, 230, 230), 0, Qt::SolidLine);
    major.setCosmetic(true);
    minor.setCosmetic(true);
    grid->setMajorPen(major);
    grid->setMinorPen(minor);
    grid->enableXMin(true);
    grid->enableYMin(true);
    grid->attach(&plot);
}

myScaleEngine* timeEngine(QwtPlot& plot, int axis)
{
    return dynamic_cast<myScaleEngine*>(plot.axisScaleEngine(axis));
}

TimeScaleDraw* timeScaleDraw(QwtPlot& plot, int axis)
{
    return dynamic_cast<TimeScaleDraw*>(plot.axisScaleDraw(axis));
}

void resetDivision(QwtPlot& plot, int axis)
{
    QwtScaleWidget* widget = plot.axisWidget(axis);
    const QwtScaleDiv div = widget->scaleDraw()->scaleDiv();
    // The widget only takes a division that differs from its own.
    widget->setScaleDiv(QwtScaleDiv());
    widget->setScaleDiv(div);
}

bool fitTimeTicks(QwtPlot& plot, const QwtInterval& interval)
{
    const QwtInterval shown = interval.normalized();
    if (!shown.isValid() || !std::isfinite(shown.width()) || !(shown.width() > 0))
        return false;
    const TimeScaleDraw* draw = timeScaleDraw(plot, QwtPlot::xBottom);
    const TimeGapMap* map = draw ? draw->gapMap() : nullptr;
    const double step = QwtScaleArithmetic::divideInterval(shown.width(), denseTimeTicks, 10);
    const QFontMetrics metrics(plot.axisFont(QwtPlot::xBottom));
    // The dense labels are multiples of the dense step; the widest lies at one end.
    int widest = 0;
    for (double end : {shown.minValue(), shown.maxValue()}) {
        const double elapsed = map ? map->mapTime(end) : end;
        if (step > 0 && std::isfinite(elapsed))
            widest = std::max(widest, metrics.horizontalAdvance(TimeScaleDraw::secondsText(
                                          std::floor(elapsed / step) * step)));
    }
    const int spacing = widest + metrics.height();
    const int ticks = plot.canvas()->width() >= denseTimeTicks * spacing ? denseTimeTicks : sparseTimeTicks;
    bool changed = false;
    for (int axis : {QwtPlot::xBottom, QwtPlot::xTop}) {
        changed = changed || plot.axisMaxMajor(axis) != ticks;
        plot.setAxisMaxMajor(axis, ticks);
    }
    return changed;
}

void refreshTimeAxes(QwtPlot& plot)
{
    plot.updateAxes();  // a scale set since the last replot is divided first, so that it is kept
    for (int axis : {QwtPlot::xBottom, QwtPlot::xTop}) {
        // The plot divides a fixed scale only once: setting it again makes the next replot
        // divide it anew, with the markers and moves of the current map.
        if (plot.axisAutoScale(axis)) {
            plot.setAxisAutoScale(axis, false);
            plot.setAxisAutoScale(axis, true);
        } else {
            const QwtScaleDiv& div = plot.axisScaleDiv(axis);
            plot.setAxisScale(axis, div.lowerBound(), div.upperBound(), plot.axisStepSize(axis));
        }
        if (TimeScaleDraw* draw = timeScaleDraw(plot, axis))
            draw->refresh();
        resetDivision(plot, axis);
    }
}

QFont titleFont()
{
    QFont font;
    font.setPointSize(10);
    font.setWeight(QFont::Bold);
    return font;
}

QPen curvePen(const QPen& pen)
{
    QPen drawn(pen);
    if (!(drawn.widthF() <= 10.0))
        drawn.setWidthF(10.0);
    return drawn;
}

} // namespace ChartPlotLook
