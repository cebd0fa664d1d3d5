#ifndef DIVSCALEDRAW_H
#define DIVSCALEDRAW_H

#include <qwt_scale_draw.h>

// Value axis labels divided by the power of ten that the axis title names.
class DivScaleDraw : public QwtScaleDraw
{
public:
    explicit DivScaleDraw(int divisor = 1);

    // A divisor below 1 counts as 1; a change drops the cached labels.
    void setDivisor(int divisor);
    int divisor() const { return divisor_; }

    QwtText label(double value) const override;

private:
    int divisor_;
};

#endif // DIVSCALEDRAW_H
