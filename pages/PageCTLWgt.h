#ifndef PAGECTLWGT_H
#define PAGECTLWGT_H

#include <QSpinBox>

#include "widgets/StepSpinBox.h"
#include "pages/ControllerPageWgt.h"

class UpdateThread;
namespace Ui { class PageCTLWgtClass; }

// "Control": how the axis is driven by hand (joystick or two buttons), its ten speed steps with
// the timeouts between them, and the joystick, with its calibration dialog.
class PageCTLWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    static constexpr int speedCount = 10;
    static constexpr int timeoutCount = 9;

    PageCTLWgt(QWidget* parent, MotorSettings* settings, UpdateThread* thread);
    ~PageCTLWgt() override;

    void setEngineType(unsigned int engineType) override;

public slots:
    void modeChanged(int index);
    void OnJoyCalibBtnPressed();
    // A calibration's result into the widgets; the zero and dead zone only when measured.
    void receiveJoySettings(int low, int center, int high, double deadZone, bool centerKnown);

protected:
    void retranslate() override;

private:
    Ui::PageCTLWgtClass* form;
    UpdateThread* thread;
    StepSpinBox speedBoxes[speedCount];
    QSpinBox timeoutBoxes[timeoutCount];
};

#endif // PAGECTLWGT_H
