#ifndef PAGEPOWERWGT_H
#define PAGEPOWERWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PagePowerWgtClass; }

// "Power management": the hold current, the delays before reduction and power-off, the
// current set time and the three switches of the power flag word.
class PagePowerWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PagePowerWgt(QWidget* parent, MotorSettings* settings);
    ~PagePowerWgt() override;

private:
    Ui::PagePowerWgtClass* form;
};

#endif // PAGEPOWERWGT_H
