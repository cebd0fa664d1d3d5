#include "pages/PageStageGearWgt.h"

#include "settings_model/StageSettings.h"
#include "ui_pagestagegearwgt.h"

PageStageGearWgt::PageStageGearWgt(QWidget* parent, StageSettings* settings)
    : StagePageWgt(parent, settings), form(new Ui::PageStageGearWgtClass)
{
    form->setupUi(this);
    showInformation(settings->gearInformation, form->manufacturerEdit, form->seriesEdit, form->anumberEdit, form->descEdit);
    auto& data = settings->gearSettings;
    binder.plain(form->reduct1Spin, &data.Reduction1);
    binder.plain(form->reduct2Spin, &data.Reduction2);
    binder.plain(form->MaxContTorqSpin, &data.MaxContinuousTorque);
    binder.plain(form->MaxInSpeedSpin, &data.MaxInputSpeed);
    snapshotRecord(data);
    makeReadOnly();
    allowLargestFloat({form->MaxContTorqSpin, form->MaxInSpeedSpin});
}

PageStageGearWgt::~PageStageGearWgt()
{
    delete form;
}
