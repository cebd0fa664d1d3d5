#include "pages/PageBLDCMotorWgt.h"

#include "ui_pagebldcmotorwgt.h"

PageBLDCMotorWgt::PageBLDCMotorWgt(QWidget* parent, MotorSettings* settings)
    : DCMotorPageWgt(parent, settings), form(new Ui::PageBLDCMotorWgtClass)
{
    form->setupUi(this);
    setUpForm(form, bldcSpeedUnit, bldcAccelUnit);
    binder.radioGroup({{form->noneRadio, FEEDBACK_NONE},
                       {form->hallRadio, FEEDBACK_ENCODERHALL},
                       {form->potentRadio, FEEDBACK_POTENTIOMETER},
                       {form->encoderRadio, FEEDBACK_ENCODER}},
                      &settings->feedback.FeedbackType, ~0u, nullptr);
}

PageBLDCMotorWgt::~PageBLDCMotorWgt()
{
    delete form;
}

void PageBLDCMotorWgt::retranslate()
{
    form->retranslateUi(this);
}
