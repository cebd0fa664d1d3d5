#ifndef PAGEBRAKEWGT_H
#define PAGEBRAKEWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PageBrakeWgtClass; }

// "Brake control": the four times of the brake sequence and its two switches.
class PageBrakeWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageBrakeWgt(QWidget* parent, MotorSettings* settings);
    ~PageBrakeWgt() override;

private:
    Ui::PageBrakeWgtClass* form;
};

#endif // PAGEBRAKEWGT_H
