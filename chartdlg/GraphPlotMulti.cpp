#include "chartdlg/GraphPlotMulti.h"

#include "chartdlg/ChartPlotLook.h"
#include "chartdlg/voidScaleDraw.h"

#include <qwt_plot_curve.h>
#include <qwt_text.h>

#include <QPainter>

#include <climits>

const char* const GraphPlotMulti::flagNames[flagCount] = {
    "STATE_RIGHT_EDGE", "STATE_LEFT_EDGE", "STATE_BUTTON_RIGHT", "STATE_BUTTON_LEFT", "STATE_GPIO_LEVEL",
    "STATE_BRAKE",      "STATE_REV_SENSOR", "STATE_SYNC_INPUT",  "STATE_SYNC_OUTPUT",
};

GraphPlotMulti::GraphPlotMulti(TimeGapMap* gapMap, ChartLog*, int)
    : map_(gapMap)
{
    ChartPlotLook::build(*this, gapMap);
    setAxisScaleDraw(QwtPlot::yLeft, new voidScaleDraw);
    for (const char* name : flagNames)
        names_.append(QStaticText(QString::fromLatin1(name)));
}

void GraphPlotMulti::init(const CurveSettings& settings, const QString& unit, const QString& name)
{
    unit_ = unit;
    name_ = name;
    QwtText title(name + QStringLiteral("<br>"), QwtText::RichText);
    title.setFont(ChartPlotLook::titleFont());
    setAxisTitle(QwtPlot::yLeft, title);
    for (int i = 0; i < flagCount; ++i) {
        curves_[i] = new QwtPlotCurve(name);
        curves_[i]->attach(this);
    }
    setCurveLooks(settings);
}

void GraphPlotMulti::setCurveLooks(const CurveSettings& settings)
{
    // The hue goes on a copy: the record, and a profile saved from it, keep their colour.
    QPen pen = ChartPlotLook::curvePen(settings.pen);
    for (int i = 0; i < flagCount; ++i) {
        pen.setColor(QColor::fromHsv(40 * i, 255, 255, 255));
        curves_[i]->setPen(pen);
        curves_[i]->setRenderHint(QwtPlotItem::RenderAntialiased, settings.antialiasing);
    }
}

void GraphPlotMulti::applySettings(const CurveSettings& settings)
{
    if (!curves_[0])
        return;
    setCurveLooks(settings);
    setAxisScale(QwtPlot::yLeft, 0, 10);
}

void GraphPlotMulti::setRawData(const double* x, const double* y, int64_t count, int curveIndex)
{
    if (curveIndex >= 0 && curveIndex < flagCount && curves_[curveIndex])
        curves_[curveIndex]->setRawSamples(x, y, int(qBound<int64_t>(0, count, INT_MAX)));
}

void GraphPlotMulti::setTitles(const QString& unit, const QString& name)
{
    unit_ = unit;
    name_ = name;
    if (curves_[0])
        curves_[0]->setTitle(name);
}

void GraphPlotMulti::refreshTimeAxes()
{
    ChartPlotLook::refreshTimeAxes(*this);
}

void GraphPlotMulti::resizeEvent(QResizeEvent* event)
{
    QwtPlot::resizeEvent(event);
    if (ChartPlotLook::fitTimeTicks(*this, axisInterval(QwtPlot::xBottom)))
        replot();
}

int GraphPlotMulti::namePointSize(int h)
{
    return qMax(8, int(h * 0.2 / 10));
}

int GraphPlotMulti::nameTop(int h, int flag)
{
    return int(h * ((8 - flag) + 0.5) / 10);
}

void GraphPlotMulti::drawCanvas(QPainter* painter)
{
    QwtPlot::drawCanvas(painter);
    const int h = painter->window().height();
    QFont font;
    font.setPointSize(namePointSize(h));
    painter->setFont(font);
    for (int i = flagCount - 1; i >= 0; --i)
        painter->drawStaticText(0, nameTop(h, i), names_[i]);
}
