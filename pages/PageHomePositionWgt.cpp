#include "pages/PageHomePositionWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagehomepositionwgt.h"

#include <QHBoxLayout>

#include <climits>

PageHomePositionWgt::PageHomePositionWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageHomePositionWgtClass)
{
    form->setupUi(this);
    fastSpeedBox.setObjectName(QStringLiteral("fastSpeedBox"));
    slowSpeedBox.setObjectName(QStringLiteral("slowSpeedBox"));
    deltaBox.setObjectName(QStringLiteral("deltaBox"));
    // Speeds are unsigned: the direction is chosen by the two direction combos.
    for (StepSpinBox* speed : {&fastSpeedBox, &slowSpeedBox}) {
        speed->setUnitMode(0, QStringLiteral(" rpm"), 0);
        speed->setMinimumStep(0, 0);
        speed->setMaximumStep(1000000, 0);
    }
    deltaBox.setUnitMode(0, QStringLiteral(" counts"), 0);
    deltaBox.setMinimumStep(INT_MIN, 0);
    deltaBox.setMaximumStep(INT_MAX, 0);
    form->homeLayout->addWidget(&fastSpeedBox, 1, 1);
    for (const auto& place : {std::make_pair(&slowSpeedBox, form->slowSpeedWidget),
                              std::make_pair(&deltaBox, form->deltaWidget)}) {
        auto* layout = new QHBoxLayout(place.second);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(place.first);
    }
    setTabOrder(form->dirFastBox, &fastSpeedBox);
    setTabOrder(&fastSpeedBox, form->StopCondBox);
    setTabOrder(form->dirBox, &slowSpeedBox);
    setTabOrder(&slowSpeedBox, form->StopCondBox_2);
    setTabOrder(form->StopCondBox_2, &deltaBox);

    home_settings_t& home = settings->home;
    binder.stepPair(&fastSpeedBox, &home.FastHome, &home.uFastHome, FieldBinder::SpeedUnit, true);
    binder.stepPair(&slowSpeedBox, &home.SlowHome, &home.uSlowHome, FieldBinder::SpeedUnit, true);
    binder.stepPair(&deltaBox, &home.HomeDelta, &home.uHomeDelta, FieldBinder::PositionUnit, true);
    binder.flagWord(&home.HomeFlags, FieldBinder::Rebuild);
    binder.bitCombo(form->dirFastBox, &home.HomeFlags, HOME_DIR_FIRST, 1);
    binder.bitCombo(form->dirBox, &home.HomeFlags, HOME_DIR_SECOND, 1);
    binder.flag(form->fromEndChk, &home.HomeFlags, HOME_MV_SEC_EN);
    binder.flag(form->halfRevChk, &home.HomeFlags, HOME_HALF_MV);
    // A stop condition of 0 matches no entry: the combo keeps what it shows.
    binder.codeCombo(form->StopCondBox, &home.HomeFlags, HOME_STOP_FIRST_BITS,
                     {HOME_STOP_FIRST_REV, HOME_STOP_FIRST_SYN, HOME_STOP_FIRST_LIM}, -1);
    binder.codeCombo(form->StopCondBox_2, &home.HomeFlags, HOME_STOP_SECOND_BITS,
                     {HOME_STOP_SECOND_REV, HOME_STOP_SECOND_SYN, HOME_STOP_SECOND_LIM}, -1);
}

PageHomePositionWgt::~PageHomePositionWgt()
{
    delete form;
}

void PageHomePositionWgt::FromClassToUi()
{
    ControllerPageWgt::FromClassToUi();
    // Only a click moves it through the form; a load sets it here.
    form->halfRevChk->setEnabled(form->fromEndChk->isChecked());
}

void PageHomePositionWgt::setEngineType(unsigned int engineType)
{
    applyEngineType(engineType);
}
