#include "multiaxis/PositionPlot.h"

#include <QGridLayout>
#include <QPen>

#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>

#include <algorithm>
#include <limits>

#include "multiaxis/AxisSlotStatus.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "ui_multiaxis.h"

namespace {

constexpr double noBorder = std::numeric_limits<double>::quiet_NaN();

QwtPlotMarker* addMarker(QwtPlot* plot, QwtPlotMarker::LineStyle style, const QPen& pen)
{
    auto* marker = new QwtPlotMarker();
    marker->setLineStyle(style);
    marker->setLinePen(pen);
    marker->setZ(1000);
    marker->attach(plot);
    marker->setVisible(true);
    return marker;
}

} // namespace

PositionPlot::PositionPlot(Multiaxis& window) : window(window)
{
    for (int i = 0; i < Multiaxis::maxAxes; ++i) {
        borderCache[i][0] = borderCache[i][1] = noBorder;
        leftLimit[i] = rightLimit[i] = nullptr;
    }
}

void PositionPlot::build(QWidget* parent)
{
    const int n = window.axisCount();
    plotXY = new QwtPlot(parent);
    plotZ = new QwtPlot(parent);
    plotXY->setCanvasBackground(Qt::white);
    plotZ->setCanvasBackground(Qt::white);
    plotZ->setAxisScale(QwtPlot::xBottom, -1, 1);
    plotZ->enableAxis(QwtPlot::xBottom, false);
    slotPlot[0] = plotXY;
    slotPlot[1] = plotXY;
    slotPlot[2] = plotZ;
    plotAxis[0] = QwtPlot::xBottom;
    plotAxis[1] = QwtPlot::yLeft;
    plotAxis[2] = QwtPlot::yLeft;

    const QPen curvePen(QBrush(QColor(0, 0, 0)), 5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    curveXY = new QwtPlotCurve();
    curveXY->setPen(curvePen);
    curveXY->setStyle(QwtPlotCurve::Dots);
    curveXY->attach(plotXY);
    curveZ = new QwtPlotCurve();
    curveZ->setPen(curvePen);
    curveZ->setStyle(QwtPlotCurve::Lines);
    curveZ->attach(plotZ);

    for (QwtPlot* plot : {plotXY, plotZ}) {
        auto* grid = new QwtPlotGrid();
        grid->setPen(QPen(QColor(200, 200, 200)));
        grid->setMinorPen(QPen(QColor(230, 230, 230)));
        grid->setMajorPen(QPen(QColor(200, 200, 200)));
        if (plot == plotXY) {
            grid->enableXMin(true);
            grid->enableYMin(true);
        } else {
            grid->enableX(false);
            grid->enableXMin(false);
            grid->enableYMin(true);
        }
        grid->attach(plot);
    }

    const QPen limitPen(QBrush(QColor(192, 0, 0)), 4, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QwtPlotMarker::LineStyle slotStyle[] = {QwtPlotMarker::VLine, QwtPlotMarker::HLine, QwtPlotMarker::HLine};
    for (int s = 0; s < Multiaxis::maxAxes; ++s)
        leftLimit[s] = addMarker(slotPlot[s], slotStyle[s], limitPen);
    for (int s = 0; s < Multiaxis::maxAxes; ++s)
        rightLimit[s] = addMarker(slotPlot[s], slotStyle[s], limitPen);
    const QPen positionPen(QColor(64, 64, 64));
    for (int s = 0; s < n; ++s)
        positionLine[s] = addMarker(slotPlot[s], slotStyle[s], positionPen);

    for (int s = n; s < Multiaxis::maxAxes; ++s) {
        leftLimit[s]->setVisible(false);
        rightLimit[s]->setVisible(false);
    }

    pickerXY = new QwtPlotPicker(plotXY->canvas());
    pickerXY->setStateMachine(new QwtPickerClickPointMachine());
    QObject::connect(pickerXY, qOverload<const QPointF&>(&QwtPlotPicker::selected), &window,
                     &Multiaxis::OnPickerXYPointSelected);
    if (n == Multiaxis::maxAxes) {
        pickerZ = new QwtPlotPicker(plotZ->canvas());
        pickerZ->setStateMachine(new QwtPickerClickPointMachine());
        QObject::connect(pickerZ, qOverload<const QPointF&>(&QwtPlotPicker::selected), &window,
                         &Multiaxis::OnPickerZPointSelected);
    }

    window.ui->gridLayout_4->addWidget(plotXY, 1, 1);
    window.ui->gridLayout_4->addWidget(plotZ, 1, 4);
    // The plots give up their room first when the screen is small.
    plotXY->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    plotZ->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    // Room for a scale of seven digits and a canvas beside it, at any font: the Z plot is a
    // plot, not a strip beside its labels.
    const QFontMetrics labels(plotZ->axisFont(QwtPlot::yLeft));
    plotZ->setMinimumWidth(std::max(100, labels.horizontalAdvance(QStringLiteral("-0,000,000")) + zCanvasWidth + 20));
}

void PositionPlot::refresh()
{
    const int n = window.axisCount();
    const int* axisOrder = window.axisOrder;
    const AxisSample* samples = window.samples;
    bool rescaled = false;
    double cache[Multiaxis::maxAxes][2];
    for (int s = 0; s < n; ++s) {
        const int a = axisOrder[s];
        borders(a, &cache[a][0], &cache[a][1]);
        if (cache[a][0] != borderCache[a][0] || cache[a][1] != borderCache[a][1]) {
            applyScale(s, cache[a][0], cache[a][1]);
            rescaled = true;
        }
    }
    for (int a = 0; a < n; ++a) {
        borderCache[a][0] = cache[a][0];
        borderCache[a][1] = cache[a][1];
    }

    const double factor = window.units.displayFactor();
    auto position = [this, axisOrder, samples](int slot) {
        const int a = axisOrder[slot];
        return UserUnits::fullSteps(samples[a].state.CurPosition, samples[a].state.uCurPosition, window.divisor(a));
    };
    const double x = position(0) * factor;
    const double y = n > 1 ? position(1) * factor : 0.0;
    double z = 0.0;
    if (n == Multiaxis::maxAxes) {
        const int a = axisOrder[2];
        // Whole steps only, as the Z line has always shown them.
        z = double(qint64(samples[a].state.CurPosition) + samples[a].state.uCurPosition / window.divisor(a)) * factor;
    }

    // Everything the plots show; an idle window does not replot.
    QVector<double> shown{x, y, z};
    for (int s = 0; s < n; ++s) {
        const int a = axisOrder[s];
        const uint32_t gpio = samples[a].state.GPIOFlags;
        shown << borderCache[a][0] << borderCache[a][1] << double(gpio & (STATE_LEFT_EDGE | STATE_RIGHT_EDGE))
              << double(window.slotStatus->outOfUse(a));
    }
    if (rescaled || shown != plottedState) {
        plottedState = shown;
        curveXY->setSamples(QVector<QPointF>{QPointF(x, y)});
        positionLine[0]->setXValue(x);
        leftLimit[0]->setXValue(borderCache[axisOrder[0]][0]);
        rightLimit[0]->setXValue(borderCache[axisOrder[0]][1]);
        if (n > 1) {
            positionLine[1]->setYValue(y);
            leftLimit[1]->setYValue(borderCache[axisOrder[1]][0]);
            rightLimit[1]->setYValue(borderCache[axisOrder[1]][1]);
        }
        if (n == Multiaxis::maxAxes) {
            curveZ->setSamples(QVector<QPointF>{QPointF(-0.5, z), QPointF(0.5, z)});
            positionLine[2]->setYValue(z);
            leftLimit[2]->setYValue(borderCache[axisOrder[2]][0]);
            rightLimit[2]->setYValue(borderCache[axisOrder[2]][1]);
        }
        for (int s = 0; s < n; ++s) {
            const uint32_t gpio = samples[axisOrder[s]].state.GPIOFlags;
            leftLimit[s]->setVisible((gpio & STATE_LEFT_EDGE) != 0);
            rightLimit[s]->setVisible((gpio & STATE_RIGHT_EDGE) != 0);
        }
        plotXY->replot();
        if (n == Multiaxis::maxAxes)
            plotZ->replot();
    }
}

void PositionPlot::borders(int a, double* left, double* right) const
{
    const edges_settings_t& edges = window.settingsDlgs[a]->motorSettings->edges;
    const int d = window.divisor(a);
    const double factor = window.units.displayFactor();
    // Integer division: microsteps count only from a whole step on.
    *left = double(qint64(edges.LeftBorder) + edges.uLeftBorder / d) * factor;
    *right = double(qint64(edges.RightBorder) + edges.uRightBorder / d) * factor;
}

void PositionPlot::applyScale(int s, double left, double right)
{
    // Equal borders (a zeroed record) would give an empty scale.
    if (left == right)
        slotPlot[s]->setAxisAutoScale(plotAxis[s]);
    else
        slotPlot[s]->setAxisScale(plotAxis[s], left, right, 0);
}

void PositionPlot::rescale()
{
    for (int s = 0; s < window.axisCount(); ++s) {
        double left = 0;
        double right = 0;
        borders(window.axisOrder[s], &left, &right);
        applyScale(s, left, right);
        slotPlot[s]->replot();
    }
    plottedState.clear();
}
