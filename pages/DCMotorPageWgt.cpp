#include "pages/DCMotorPageWgt.h"

#include <QAbstractButton>
#include <QSpinBox>

DCMotorPageWgt::DCMotorPageWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), useMaxSpeedChk(nullptr), limitSpeedChk(nullptr), rpmBox(nullptr)
{
}

void DCMotorPageWgt::OnSpeedChkUnchecked()
{
    rpmBox->setEnabled(useMaxSpeedChk->isChecked() || limitSpeedChk->isChecked());
}
