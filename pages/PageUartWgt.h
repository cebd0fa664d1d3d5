#ifndef PAGEUARTWGT_H
#define PAGEUARTWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PageUartWgtClass; }

// "UART settings": the controller's serial port.
class PageUartWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageUartWgt(QWidget* parent, MotorSettings* settings);
    ~PageUartWgt() override;

    void FromClassToUi() override;

private:
    Ui::PageUartWgtClass* form;
};

#endif // PAGEUARTWGT_H
