#ifndef SLIDERSCALEDRAW_H
#define SLIDERSCALEDRAW_H

#include <qwt_scale_draw.h>

// The scale of the position slider: its labels show the value divided by a power of ten that
// the status display chooses, so that long positions fit.
class SliderScaleDraw : public QwtScaleDraw
{
public:
    explicit SliderScaleDraw(int divisor = 1);

    // A divisor below 1 counts as 1. Qwt caches the label texts: this drops them, so the
    // owner only needs to repaint its widget.
    void setDivisor(int divisor);
    int divisor() const;

    QwtText label(double value) const override;

private:
    int labelDivisor;
};

#endif // SLIDERSCALEDRAW_H
