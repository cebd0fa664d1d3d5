#include "pages/PageUartWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pageuartwgt.h"

namespace {

const uint32_t baudRates[] = {9600, 14400, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

} // namespace

PageUartWgt::PageUartWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageUartWgtClass)
{
    form->setupUi(this);
    for (uint32_t rate : baudRates) {
        form->speedCombo->addItem(QString::number(rate), QVariant(uint(rate)));
    }

    uart_settings_t& uart = settings->uart;
    binder.flagWord(&uart.UARTSetupFlags, FieldBinder::Rebuild);
    // A rate not in the list shows the first entry and, unless chosen anew, goes back as it was.
    binder.dataCombo(form->speedCombo, &uart.Speed, 0);
    binder.flag(form->parityChk, &uart.UARTSetupFlags, UART_PARITY_BIT_USE);
    binder.bitFieldCombo(form->parityCombo, &uart.UARTSetupFlags, UART_PARITY_BITS);
    binder.bitCombo(form->stopBitsCombo, &uart.UARTSetupFlags, UART_STOP_BIT, 0);
}

PageUartWgt::~PageUartWgt()
{
    delete form;
}

void PageUartWgt::FromClassToUi()
{
    ControllerPageWgt::FromClassToUi();
    // The form follows clicks only; a load sets the enabling itself.
    form->parityLbl->setEnabled(form->parityChk->isChecked());
    form->parityCombo->setEnabled(form->parityChk->isChecked());
}
