#include "pages/PageBrakeWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagebrakewgt.h"

PageBrakeWgt::PageBrakeWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageBrakeWgtClass)
{
    form->setupUi(this);
    brake_settings_t& brake = settings->brake;
    binder.flagWord(&brake.BrakeFlags, FieldBinder::Rebuild);
    binder.flag(form->brakeControlChk, &brake.BrakeFlags, BRAKE_ENABLED);
    binder.flag(form->powerOffChk, &brake.BrakeFlags, BRAKE_ENG_PWROFF);
    binder.plain(form->t1Spin, &brake.t1);
    binder.plain(form->t2Spin, &brake.t2);
    binder.plain(form->t3Spin, &brake.t3);
    binder.plain(form->t4Spin, &brake.t4);
}

PageBrakeWgt::~PageBrakeWgt()
{
    delete form;
}
