#include "chartdlg/myPicker.h"

#include "chartdlg/ChartLog.h"
#include "chartdlg/GraphPlot.h"
#include "chartdlg/TimeGapMap.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_symbol.h>

#include <cmath>

myPicker::myPicker(GraphPlot* plot, const QVector<GraphPlot*>& plots, const TimeGapMap* gapMap,
                   const QString& unit, const ChartLog* log, int selector)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::NoRubberBand, QwtPicker::AlwaysOn, plot->canvas())
    , marker_(new QwtPlotMarker)
    , plots_(plots)
    , plot_(plot)
    , map_(gapMap)
    , unit_(unit)
    , log_(log)
    , selector_(selector)
{
    // moves without a button held must reach the tracker
    plot->canvas()->setMouseTracking(true);
    updateMarkerSymbol();
    marker_->setRenderHint(QwtPlotItem::RenderAntialiased);
    marker_->attach(plot);
    marker_->hide();
}

// The marker is a plot item: the plot deletes it.
myPicker::~myPicker() = default;

void myPicker::setSamples(const double* x, const double* y, int64_t count, int64_t newestRecord)
{
    const bool usable = x && y && count > 0;
    x_ = usable ? x : nullptr;
    y_ = usable ? y : nullptr;
    count_ = usable ? count : 0;
    newestRecord_ = newestRecord;
    memoValid_ = false;
}

void myPicker::setUnit(const QString& unit)
{
    unit_ = unit;
    memoValid_ = false;
}

int myPicker::markerSize(double w)
{
    if (!(w >= 0))
        w = 0;
    const int size = int(std::floor(w < 10 ? w * 2.5 : std::min(w, 10.0) * 1.5));
    return std::max(size, 5);
}

void myPicker::updateMarkerSymbol()
{
    const QPen curvePen = plot_->curve() ? plot_->curve()->pen() : QPen();
    QPen pen(curvePen);
    pen.setWidth(1);
    QBrush brush = plot_->curve() ? plot_->curve()->brush() : QBrush();
    brush.setStyle(Qt::SolidPattern);
    brush.setColor(pen.color());
    const int size = markerSize(curvePen.widthF());
    marker_->setSymbol(new QwtSymbol(QwtSymbol::Ellipse, brush, pen, QSize(size, size)));
    memoValid_ = false;
}

void myPicker::hideMarker()
{
    marker_->hide();
}

void myPicker::widgetMouseMoveEvent(QMouseEvent* event)
{
    QwtPlotPicker::widgetMouseMoveEvent(event);
    for (GraphPlot* p : plots_) {
        if (p == plot_) {
            p->replot();
        } else if (p && p->picker() && p->picker()->marker()->isVisible()) {
            p->picker()->hideMarker();
            p->replot();
        }
    }
}

QString myPicker::timeText(double t)
{
    if (!std::isfinite(t) || std::fabs(t) >= 9e18)
        return QStringLiteral("? s ? ms");
    const int64_t s = int64_t(t / 1000.0);
    const int64_t m = int64_t(t - double(s) * 1000.0);
    return QStringLiteral("%1 s %2 ms").arg(s).arg(m, 3);
}

int64_t myPicker::sampleAt(double x) const
{
    // x runs from the newest sample down: the first i >= 1 with x[i-1] >= c >= x[i] is the
    // sample at c or the next older one.
    const double c = std::ceil(x) - 1;
    if (!(count_ >= 2) || !std::isfinite(c))
        return -1;
    int64_t lo = 0, hi = count_;  // first index with x[i] <= c
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (x_[mid] > c)
            lo = mid + 1;
        else
            hi = mid;
    }
    const int64_t i = std::max<int64_t>(lo, 1);
    if (i >= count_ || !(x_[i - 1] >= c) || !(x_[i] <= c))
        return -1;
    return i;
}

QwtText myPicker::trackerTextF(const QPointF& pos) const
{
    if (memoValid_ && memoPos_ == pos)
        return memoText_;
    memoText_ = textAt(pos);
    memoPos_ = pos;
    memoValid_ = true;
    return memoText_;
}

QwtText myPicker::textAt(const QPointF& pos) const
{
    if (count_ == 0) {
        marker_->hide();
        return QwtText();
    }
    const QPen curvePen = plot_->curve() ? plot_->curve()->pen() : QPen();
    QColor shade = curvePen.color();
    shade.setAlpha(64);
    const QBrush background(shade, Qt::SolidPattern);
    QPen border(curvePen);
    border.setBrush(background);

    const int64_t i = sampleAt(pos.x());
    const int64_t index = i < 0 ? -1 : newestRecord_ - i;
    const ChartRecord* record = nullptr;
    if (log_ && index >= 0 && index < log_->count() && std::fabs((*log_)[index].Time - x_[i]) < 0.001)
        record = &(*log_)[index];

    QString text;
    if (!record) {
        if (pos.x() < 0)
            return QwtText();
        text = QStringLiteral(" ; ??? ");
    } else {
        const QString time = timeText(map_ ? map_->mapTime(x_[i]) : x_[i]);
        marker_->setValue(x_[i], y_[i]);
        marker_->show();
        if ((selector_ == 0 || selector_ == 1) && record->MicrostepDivisor >= 2) {
            const double steps = selector_ == 0 ? record->Position : record->Speed;
            const double microsteps = selector_ == 0 ? record->uPosition : record->uSpeed;
            text = QStringLiteral(" %1; %2%3 ")
                       .arg(time, QStringLiteral("%1 %2/%3 ")
                                      .arg(steps, 0, 'g', 6)
                                      .arg(microsteps, 0, 'g', 6)
                                      .arg(record->MicrostepDivisor),
                            unit_);
        } else {
            text = QStringLiteral(" %1; %2 %3 ").arg(time, QString::number(y_[i], 'g', 6), unit_);
        }
    }
    QwtText result(text, QwtText::AutoText);
    result.setBackgroundBrush(background);
    result.setBorderPen(border);
    result.setPaintAttribute(QwtText::PaintBackground);
    return result;
}
