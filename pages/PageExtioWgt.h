#ifndef PAGEEXTIOWGT_H
#define PAGEEXTIOWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PageExtioWgtClass; }

// "EXTIO settings": the external pin's direction, polarity and modes.
class PageExtioWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageExtioWgt(QWidget* parent, MotorSettings* settings);
    ~PageExtioWgt() override;

private:
    Ui::PageExtioWgtClass* form;
};

#endif // PAGEEXTIOWGT_H
