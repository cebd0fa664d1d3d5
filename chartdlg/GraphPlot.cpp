#include "chartdlg/GraphPlot.h"

#include "chartdlg/ChartPlotLook.h"
#include "chartdlg/DivScaleDraw.h"
#include "chartdlg/myPicker.h"

#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <climits>
#include <cmath>

GraphPlot::GraphPlot(TimeGapMap* gapMap, ChartLog* log, int selector)
    : map_(gapMap)
    , log_(log)
    , selector_(selector)
{
    ChartPlotLook::build(*this, gapMap);
    setAxisScaleDraw(QwtPlot::yLeft, new DivScaleDraw(1));
}

GraphPlot::~GraphPlot()
{
    delete picker_;
}

DivScaleDraw* GraphPlot::divScaleDraw()
{
    return static_cast<DivScaleDraw*>(axisScaleDraw(QwtPlot::yLeft));
}

void GraphPlot::init(const QVector<GraphPlot*>& plots, const CurveSettings& settings, const QString& unit,
                     const QString& name)
{
    unit_ = unit;
    name_ = name;
    curve_ = new QwtPlotCurve(name);
    curve_->setPen(ChartPlotLook::curvePen(settings.pen));
    curve_->setRenderHint(QwtPlotItem::RenderAntialiased, settings.antialiasing);
    curve_->attach(this);
    setAxisScale(QwtPlot::yLeft, settings.min, settings.max);
    if (settings.autoscale)
        setAxisAutoScale(QwtPlot::yLeft);
    updateYTitle();
    plots_ = plots;
    picker_ = new myPicker(this, plots_, map_, unit_, log_, selector_);
}

void GraphPlot::applySettings(const CurveSettings& settings)
{
    if (!curve_)
        return;
    curve_->setPen(ChartPlotLook::curvePen(settings.pen));
    curve_->setRenderHint(QwtPlotItem::RenderAntialiased, settings.antialiasing);
    if (settings.autoscale)
        setAxisAutoScale(QwtPlot::yLeft);
    else
        setAxisScale(QwtPlot::yLeft, settings.min, settings.max);
    picker_->updateMarkerSymbol();
}

void GraphPlot::setTitles(const QString& unit, const QString& name)
{
    unit_ = unit;
    name_ = name;
    if (curve_)
        curve_->setTitle(name);
    if (picker_)
        picker_->setUnit(unit);
}

void GraphPlot::setDivisor(int divisor)
{
    divisor = qMax(1, divisor);
    if (divisor == divisor_)
        return;
    divisor_ = divisor;
    divScaleDraw()->setDivisor(divisor);
    ChartPlotLook::resetDivision(*this, QwtPlot::yLeft);
    updateYTitle();
}

int GraphPlot::divisor() const
{
    return static_cast<const DivScaleDraw*>(axisScaleDraw(QwtPlot::yLeft))->divisor();
}

void GraphPlot::updateYTitle()
{
    QString text = name_ + QStringLiteral(",<br>");
    if (divisor_ != 1) {
        const QString exponent = divisor_ == 10 ? QString() : QString::number(std::log10(divisor_), 'g', 6);
        text += QStringLiteral("x10<sup>%1</sup>&nbsp;").arg(exponent);
    }
    text += unit_;
    QwtText title(text, QwtText::RichText);
    title.setFont(ChartPlotLook::titleFont());
    setAxisTitle(QwtPlot::yLeft, title);
}

void GraphPlot::setRawData(const double* x, const double* y, int64_t count)
{
    if (curve_)
        curve_->setRawSamples(x, y, int(qBound<int64_t>(0, count, INT_MAX)));
}

void GraphPlot::refreshTimeAxes()
{
    ChartPlotLook::refreshTimeAxes(*this);
}

void GraphPlot::resizeEvent(QResizeEvent* event)
{
    QwtPlot::resizeEvent(event);
    if (ChartPlotLook::fitTimeTicks(*this, axisInterval(QwtPlot::xBottom)))
        replot();
}
