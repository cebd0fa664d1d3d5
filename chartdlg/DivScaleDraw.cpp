#include "chartdlg/DivScaleDraw.h"

#include <qwt_text.h>

DivScaleDraw::DivScaleDraw(int divisor)
    : divisor_(qMax(1, divisor))
{
}

void DivScaleDraw::setDivisor(int divisor)
{
    divisor = qMax(1, divisor);
    if (divisor != divisor_) {
        divisor_ = divisor;
        invalidateCache();
    }
}

QwtText DivScaleDraw::label(double value) const
{
    return QwtText(QString::number(value / divisor_, 'g', 6));
}
