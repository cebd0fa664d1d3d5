#include "pages/PageStageStepperMotorWgt.h"

#include "settings_model/StageSettings.h"
#include "ui_pagestagesteppermotorwgt.h"

PageStageStepperMotorWgt::PageStageStepperMotorWgt(QWidget* parent, StageSettings* settings)
    : StagePageWgt(parent, settings), form(new Ui::PageStageStepperMotorWgtClass)
{
    form->setupUi(this);
    showInformation(settings->stepInformation, form->manufacturerEdit, form->seriesEdit, form->anumEdit, form->descEdit);
    auto& data = settings->stepSettings;
    binder.plain(form->nomVoltSpin, &data.NominalVoltage);
    binder.plain(form->currWindingSpin, &data.CurrentPerWinding);
    binder.plain(form->holdTorqSpin, &data.HoldingTorque);
    binder.plain(form->resistSpin, &data.ResistancePerWinding);
    binder.plain(form->inductSpin, &data.InductancePerWinding);
    binder.plain(form->inertiaSpin, &data.RotorInertia);
    binder.plain(form->maxSpeedSpin, &data.MaxSpeed);
    snapshotRecord(data);
    makeReadOnly();
    allowLargestFloat({form->nomVoltSpin, form->currWindingSpin, form->holdTorqSpin, form->resistSpin, form->inductSpin, form->inertiaSpin, form->maxSpeedSpin});
}

PageStageStepperMotorWgt::~PageStageStepperMotorWgt()
{
    delete form;
}
