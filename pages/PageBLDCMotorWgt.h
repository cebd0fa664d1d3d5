#ifndef PAGEBLDCMOTORWGT_H
#define PAGEBLDCMOTORWGT_H

#include "pages/DCMotorPageWgt.h"

namespace Ui { class PageBLDCMotorWgtClass; }

// "BLDC motor": the engine, move and feedback fields of a brushless DC motor.
class PageBLDCMotorWgt : public DCMotorPageWgt
{
    Q_OBJECT

public:
    PageBLDCMotorWgt(QWidget* parent, MotorSettings* settings);
    ~PageBLDCMotorWgt() override;

protected:
    void retranslate() override;

private:
    Ui::PageBLDCMotorWgtClass* form;
};

#endif // PAGEBLDCMOTORWGT_H
