#include "pages/PageMotorTypeWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagemotortypewgt.h"

PageMotorTypeWgt::PageMotorTypeWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageMotorTypeWgtClass)
{
    form->setupUi(this);
    connect(form->dcMotorBtn, &QRadioButton::toggled, this, &PageMotorTypeWgt::setMotorTypeDC);
    connect(form->stepperMotorBtn, &QRadioButton::toggled, this, &PageMotorTypeWgt::setMotorTypeStep);
    connect(form->bldcMotorBtn, &QRadioButton::toggled, this, &PageMotorTypeWgt::setMotorTypeBLDC);
    form->bldcMotorBtn->hide();
    form->unknownMotorBtn->hide();
    form->unknownDriverBtn->hide();
    form->discreteDriverBtn->setEnabled(false);
    form->extDriverBtn->setEnabled(false);
    for (QRadioButton* button : findChildren<QRadioButton*>()) {
        button->setStyleSheet(QStringLiteral("QRadioButton { color : red; }"));
    }

    binder.radioGroup({{form->dcMotorBtn, ENGINE_TYPE_DC},
                       {form->bldcMotorBtn, ENGINE_TYPE_BRUSHLESS},
                       {form->stepperMotorBtn, ENGINE_TYPE_STEP}},
                      &settings->entype.EngineType, ~0u, form->unknownMotorBtn);
    binder.radioGroup({{form->discreteDriverBtn, DRIVER_TYPE_DISCRETE_FET},
                       {form->integrateDriverBtn, DRIVER_TYPE_INTEGRATE},
                       {form->extDriverBtn, DRIVER_TYPE_EXTERNAL}},
                      &settings->entype.DriverType, ~0u, form->unknownDriverBtn);
}

PageMotorTypeWgt::~PageMotorTypeWgt()
{
    delete form;
}

unsigned int PageMotorTypeWgt::currentMotorType() const
{
    if (form->stepperMotorBtn->isChecked()) {
        return ENGINE_TYPE_STEP;
    }
    if (form->dcMotorBtn->isChecked()) {
        return ENGINE_TYPE_DC;
    }
    if (form->bldcMotorBtn->isChecked()) {
        return ENGINE_TYPE_BRUSHLESS;
    }
    return 0;
}

void PageMotorTypeWgt::setMotorTypeDC(bool on)
{
    if (on) {
        emit SgnMotorTypeChanged(ENGINE_TYPE_DC);
    }
}

void PageMotorTypeWgt::setMotorTypeStep(bool on)
{
    if (on) {
        emit SgnMotorTypeChanged(ENGINE_TYPE_STEP);
    }
}

void PageMotorTypeWgt::setMotorTypeBLDC(bool on)
{
    if (on) {
        emit SgnMotorTypeChanged(ENGINE_TYPE_BRUSHLESS);
    }
}
