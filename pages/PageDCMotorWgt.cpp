#include "pages/PageDCMotorWgt.h"

#include "ui_pagedcmotorwgt.h"

PageDCMotorWgt::PageDCMotorWgt(QWidget* parent, MotorSettings* settings)
    : DCMotorPageWgt(parent, settings), form(new Ui::PageDCMotorWgtClass)
{
    form->setupUi(this);
    setUpForm(form, dcSpeedUnit, dcAccelUnit);
    // No button stands for the brushless codes 3 and 5: they check nothing and keep the choice.
    binder.radioGroup({{form->potentRadio, FEEDBACK_POTENTIOMETER}, {form->encoderRadio, FEEDBACK_ENCODER}},
                      &settings->feedback.FeedbackType, ~0u, nullptr);
}

PageDCMotorWgt::~PageDCMotorWgt()
{
    delete form;
}

void PageDCMotorWgt::retranslate()
{
    form->retranslateUi(this);
}
