#ifndef PAGEMOTORTYPEWGT_H
#define PAGEMOTORTYPEWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PageMotorTypeWgtClass; }

// "Motor & Driver type": mirrors the engine and driver type of the container (the dialog never
// lets the user select it) and reports a change of engine type.
class PageMotorTypeWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageMotorTypeWgt(QWidget* parent, MotorSettings* settings);
    ~PageMotorTypeWgt() override;

    // 3, 1 or 5 by the checked engine button; 0 when none of them is checked.
    unsigned int currentMotorType() const;

signals:
    void SgnMotorTypeChanged(unsigned int engineType);

private slots:
    void setMotorTypeDC(bool on);
    void setMotorTypeStep(bool on);
    void setMotorTypeBLDC(bool on);

private:
    Ui::PageMotorTypeWgtClass* form;
};

#endif // PAGEMOTORTYPEWGT_H
