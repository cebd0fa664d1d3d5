#ifndef PAGESTEPPERMOTORWGT_H
#define PAGESTEPPERMOTORWGT_H

#include "widgets/StepSpinBox.h"
#include "pages/ControllerPageWgt.h"

namespace Ui { class PageStepperMotorWgtClass; }

// "Stepper motor": the engine, move and feedback fields of a stepper. The microstep mode chosen
// here sets the divisor of the three speed boxes at once; the container learns it on a store.
class PageStepperMotorWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageStepperMotorWgt(QWidget* parent, MotorSettings* settings);
    ~PageStepperMotorWgt() override;

    void FromClassToUi() override;

public slots:
    void OnStepModeChanged(int index);
    void OnSpeedChkUnchecked();

protected:
    void retranslate() override;

private:
    // Each speed box and the pair it is rescaled from: the pair as loaded or as last edited, with
    // the divisor it was given against. Rescaling from the last result would lose microsteps on
    // the way through a coarser mode.
    struct SpeedBox
    {
        StepSpinBox* box;
        qint64 step;
        qint64 uStep;
        int divisor;
    };
    void setDivisor(int divisor);
    void keepPairs();

    Ui::PageStepperMotorWgtClass* form;
    StepSpinBox maxSpeedBox;
    StepSpinBox speedBox;
    StepSpinBox antiplaySpeedBox;
    SpeedBox speeds[3];
    bool rescaling;
};

#endif // PAGESTEPPERMOTORWGT_H
