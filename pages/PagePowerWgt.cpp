#include "pages/PagePowerWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagepowerwgt.h"

PagePowerWgt::PagePowerWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PagePowerWgtClass)
{
    form->setupUi(this);
    power_settings_t& power = settings->power;
    binder.flagWord(&power.PowerFlags, FieldBinder::Rebuild);
    binder.plain(form->holdCurrentSpin, &power.HoldCurrent);
    binder.plain(form->currReductDelaySpin, &power.CurrReductDelay);
    binder.plain(form->powerOffDelaySpin, &power.PowerOffDelay);
    binder.plain(form->smoothCurrentSpin, &power.CurrentSetTime);
    binder.flag(form->powerOffChk, &power.PowerFlags, POWER_OFF_ENABLED);
    binder.flag(form->currentReductChk, &power.PowerFlags, POWER_REDUCT_ENABLED);
    binder.flag(form->smoothCurrentChk, &power.PowerFlags, POWER_SMOOTH_CURRENT);
}

PagePowerWgt::~PagePowerWgt()
{
    delete form;
}
