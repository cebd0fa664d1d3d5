#ifndef PAGEDCMOTORWGT_H
#define PAGEDCMOTORWGT_H

#include "pages/DCMotorPageWgt.h"

namespace Ui { class PageDCMotorWgtClass; }

// "DC motor": the engine, move and feedback fields of a DC motor.
class PageDCMotorWgt : public DCMotorPageWgt
{
    Q_OBJECT

public:
    PageDCMotorWgt(QWidget* parent, MotorSettings* settings);
    ~PageDCMotorWgt() override;

protected:
    void retranslate() override;

private:
    Ui::PageDCMotorWgtClass* form;
};

#endif // PAGEDCMOTORWGT_H
