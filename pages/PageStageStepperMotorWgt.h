#ifndef PAGESTAGESTEPPERMOTORWGT_H
#define PAGESTAGESTEPPERMOTORWGT_H

#include "pages/StagePageWgt.h"

namespace Ui { class PageStageStepperMotorWgtClass; }

// "Stepper Motor": the data of the positioner's stepper motor, read-only.
class PageStageStepperMotorWgt : public StagePageWgt
{
    Q_OBJECT

public:
    PageStageStepperMotorWgt(QWidget* parent, StageSettings* settings);
    ~PageStageStepperMotorWgt() override;

private:
    Ui::PageStageStepperMotorWgtClass* form;
};

#endif // PAGESTAGESTEPPERMOTORWGT_H
