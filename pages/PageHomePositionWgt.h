#ifndef PAGEHOMEPOSITIONWGT_H
#define PAGEHOMEPOSITIONWGT_H

#include "widgets/StepSpinBox.h"
#include "pages/ControllerPageWgt.h"

namespace Ui { class PageHomePositionWgtClass; }

// "Home position": the two phases of the homing run and the standoff from the found position.
class PageHomePositionWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageHomePositionWgt(QWidget* parent, MotorSettings* settings);
    ~PageHomePositionWgt() override;

    void FromClassToUi() override;
    void setEngineType(unsigned int engineType) override;

private:
    Ui::PageHomePositionWgtClass* form;
    StepSpinBox fastSpeedBox;
    StepSpinBox slowSpeedBox;
    StepSpinBox deltaBox;
};

#endif // PAGEHOMEPOSITIONWGT_H
