#ifndef PAGELIMITSWGT_H
#define PAGELIMITSWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PageLimitsWgtClass; }

// "Maximum ratings": the critical voltages, currents and temperature and the protection flags.
class PageLimitsWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageLimitsWgt(QWidget* parent, MotorSettings* settings);
    ~PageLimitsWgt() override;

protected:
    void retranslate() override;

private:
    Ui::PageLimitsWgtClass* form;
};

#endif // PAGELIMITSWGT_H
