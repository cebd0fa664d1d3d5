#include "chartdlg/GapLines.h"

#include <qwt_scale_map.h>

#include <QPainter>
#include <QPen>

#include <algorithm>

GapLines::GapLines(const std::vector<GapLine>* lines) : lines_(lines)
{
    setZ(900);
    setItemAttribute(QwtPlotItem::AutoScale, false);
    setItemAttribute(QwtPlotItem::Legend, false);
}

double GapLines::penWidth(double ratio)
{
    if (ratio < 10)
        return 0.5;
    if (ratio < 100)
        return 1.0;
    if (ratio < 1000)
        return 1.5;
    return 2.0;
}

void GapLines::draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap&,
                    const QRectF& canvasRect) const
{
    if (lines_->empty())
        return;
    const double lo = std::min(xMap.s1(), xMap.s2());
    const double hi = std::max(xMap.s1(), xMap.s2());
    auto it = std::lower_bound(lines_->begin(), lines_->end(), lo,
                               [](const GapLine& g, double x) { return g.x < x; });
    painter->save();
    QPen pen(QColor(100, 100, 100, 255));
    for (; it != lines_->end() && it->x <= hi; ++it) {
        pen.setWidthF(penWidth(it->ratio));
        painter->setPen(pen);
        const double px = xMap.transform(it->x);
        painter->drawLine(QPointF(px, canvasRect.top()), QPointF(px, canvasRect.bottom()));
    }
    painter->restore();
}
