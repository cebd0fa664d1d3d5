#ifndef VOIDSCALEDRAW_H
#define VOIDSCALEDRAW_H

#include <qwt_scale_draw.h>

// An axis without labels: the spacer on the right of every chart plot, the flag plot's left axis.
class voidScaleDraw : public QwtScaleDraw
{
public:
    // With zero tick lengths the axis shows at most its backbone.
    voidScaleDraw();
    QwtText label(double) const override;
};

#endif // VOIDSCALEDRAW_H
