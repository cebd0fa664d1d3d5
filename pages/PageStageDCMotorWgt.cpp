#include "pages/PageStageDCMotorWgt.h"

#include "settings_model/StageSettings.h"
#include "ui_pagestagedcmotorwgt.h"

PageStageDCMotorWgt::PageStageDCMotorWgt(QWidget* parent, StageSettings* settings)
    : StagePageWgt(parent, settings), form(new Ui::PageStageDCMotorWgtClass)
{
    form->setupUi(this);
    showInformation(settings->dcInformation, form->manufacturerEdit, form->seriesEdit, form->anumEdit, form->descEdit);
    auto& data = settings->dcSettings;
    binder.plain(form->nomVoltSpin, &data.NominalVoltage);
    binder.plain(form->NoLoadSpeedSpin, &data.NoLoadSpeed);
    binder.plain(form->NoLoadCurrSpin, &data.NoLoadCurrent);
    binder.plain(form->StallTorqSpin, &data.StallTorque);
    binder.plain(form->MaxContCurrSpin, &data.MaxContinuousCurrent);
    binder.plain(form->ResistSpin, &data.TerminalResistance);
    binder.plain(form->InductSpin, &data.TerminalInductance);
    binder.plain(form->torqConstSpin, &data.TorqueConstant);
    binder.plain(form->speedConstSpin, &data.SpeedConstant);
    binder.plain(form->SpeedTorqGradSpin, &data.SpeedTorqueGradient);
    binder.plain(form->MConstSpin, &data.MechanicalTimeConstant);
    binder.plain(form->RInertSpin, &data.RotorInertia);
    snapshotRecord(data);
    makeReadOnly();
    allowLargestFloat({form->nomVoltSpin, form->NoLoadSpeedSpin, form->NoLoadCurrSpin, form->StallTorqSpin, form->MaxContCurrSpin, form->ResistSpin, form->InductSpin, form->torqConstSpin, form->speedConstSpin, form->SpeedTorqGradSpin, form->MConstSpin, form->RInertSpin});
}

PageStageDCMotorWgt::~PageStageDCMotorWgt()
{
    delete form;
}
