#include "pages/PageStageEncoderWgt.h"

#include "settings_model/StageSettings.h"
#include "ui_pagestageencoderwgt.h"

PageStageEncoderWgt::PageStageEncoderWgt(QWidget* parent, StageSettings* settings)
    : StagePageWgt(parent, settings), form(new Ui::PageStageEncoderWgtClass)
{
    form->setupUi(this);
    showInformation(settings->encoderInformation, form->manufacturerEdit, form->seriesEdit, form->anumberEdit, form->descEdit);
    auto& data = settings->encoderSettings;
    binder.plain(form->MaxFreqSpin, &data.MaxOperatingFrequency);
    binder.plain(form->supV1Spin, &data.SupplyVoltage1);
    binder.plain(form->supV2Spin, &data.SupplyVoltage2);
    binder.plain(form->MaxCurrSpin, &data.MaxCurrentConsumption);
    binder.text(form->OutTypeEdit, data.OutputType);
    snapshotRecord(data);
    makeReadOnly();
    allowLargestFloat({form->MaxFreqSpin, form->MaxCurrSpin});
}

PageStageEncoderWgt::~PageStageEncoderWgt()
{
    delete form;
}
