#include "chartdlg/voidScaleDraw.h"

#include <qwt_text.h>

voidScaleDraw::voidScaleDraw()
{
    for (auto type : {QwtScaleDiv::MinorTick, QwtScaleDiv::MediumTick, QwtScaleDiv::MajorTick})
        setTickLength(type, 0);
}

QwtText voidScaleDraw::label(double) const
{
    return QwtText();
}
