#ifndef PAGEPIDWGT_H
#define PAGEPIDWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PagePidWgtClass; }

// "PID control": twelve of the regulators' coefficients; the other nine are never touched.
class PagePidWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PagePidWgt(QWidget* parent, MotorSettings* settings);
    ~PagePidWgt() override;

protected:
    void retranslate() override;

private:
    Ui::PagePidWgtClass* form;
};

#endif // PAGEPIDWGT_H
