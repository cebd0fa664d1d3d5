#include "pages/PageLimitsWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagelimitswgt.h"

PageLimitsWgt::PageLimitsWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageLimitsWgtClass)
{
    form->setupUi(this);
    // The form's connection acts only on a toggle; the box starts unchecked.
    form->label_7->setEnabled(form->lowVoltageBox->isChecked());
    form->LowVoltageOffBox->setEnabled(form->lowVoltageBox->isChecked());

    secure_settings_t& secure = settings->secure;
    binder.flagWord(&secure.Flags, FieldBinder::Rebuild);
    binder.tenfold(form->LowVoltageOffBox, &secure.LowUpwrOff);
    binder.plain(form->MaxCurrentPwrBox, &secure.CriticalIpwr);
    binder.tenfold(form->MaxVoltagePwrBox, &secure.CriticalUpwr);
    binder.plain(form->MaxCurrentUsbBox, &secure.CriticalIusb);
    binder.tenfold(form->MaxVoltageUsbBox, &secure.CriticalUusb);
    binder.tenfold(form->MinVoltageUsbBox, &secure.MinimumUusb);
    binder.tenth(form->MaxTempBox, &secure.CriticalT);
    binder.flag(form->overheatBox, &secure.Flags, ALARM_ON_DRIVER_OVERHEATING);
    binder.flag(form->lowVoltageBox, &secure.Flags, LOW_UPWR_PROTECTION);
    binder.flag(form->bridgeBox, &secure.Flags, H_BRIDGE_ALERT);
    binder.flag(form->borderMissetBox, &secure.Flags, ALARM_ON_BORDERS_SWAP_MISSET);
    binder.flag(form->stickyAlarmBox, &secure.Flags, ALARM_FLAGS_STICKING);
}

PageLimitsWgt::~PageLimitsWgt()
{
    delete form;
}

void PageLimitsWgt::retranslate()
{
    form->retranslateUi(this);
}
