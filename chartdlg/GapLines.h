#ifndef GAPLINES_H
#define GAPLINES_H

#include <qwt_plot_item.h>

#include <vector>

// The pauses of a chart, sorted by position; shared by every plot of the window.
struct GapLine
{
    double x;      // axis time of the pause, ms
    double ratio;  // pause length / gap threshold
};

// Draws, on one plot, the pauses that lie in view: a binary search finds the first, so a long
// history with thousands of pauses costs nothing while none is visible.
class GapLines : public QwtPlotItem
{
public:
    explicit GapLines(const std::vector<GapLine>* lines);

    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem + 19; }
    void draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
              const QRectF& canvasRect) const override;

    static double penWidth(double ratio);

private:
    const std::vector<GapLine>* lines_;
};

#endif // GAPLINES_H
