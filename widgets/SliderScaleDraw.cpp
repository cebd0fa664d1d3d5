#include "widgets/SliderScaleDraw.h"

#include <qwt_text.h>

SliderScaleDraw::SliderScaleDraw(int divisor)
    : labelDivisor(qMax(1, divisor))
{
}

void SliderScaleDraw::setDivisor(int divisor)
{
    const int newDivisor = qMax(1, divisor);
    if (newDivisor != labelDivisor) {
        labelDivisor = newDivisor;
        invalidateCache();
    }
}

int SliderScaleDraw::divisor() const
{
    return labelDivisor;
}

QwtText SliderScaleDraw::label(double value) const
{
    return QwtText(QString::number(value / labelDivisor, 'g', 6));
}
