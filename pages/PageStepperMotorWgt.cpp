#include "pages/PageStepperMotorWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagesteppermotorwgt.h"

#include <QHBoxLayout>

#include <climits>

PageStepperMotorWgt::PageStepperMotorWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings),
      form(new Ui::PageStepperMotorWgtClass),
      speeds{{&speedBox, 0, 0, 256}, {&antiplaySpeedBox, 0, 0, 256}, {&maxSpeedBox, 0, 0, 256}},
      rescaling(false)
{
    form->setupUi(this);
    maxSpeedBox.setObjectName(QStringLiteral("maxSpeedBox"));
    speedBox.setObjectName(QStringLiteral("speedBox"));
    antiplaySpeedBox.setObjectName(QStringLiteral("antiplaySpeedBox"));
    form->playBox->setSuffix(stepperPositionUnit);
    form->accelBox->setSuffix(stepperAccelUnit);
    form->decelBox->setSuffix(stepperAccelUnit);
    const std::pair<StepSpinBox*, QWidget*> places[] = {
        {&maxSpeedBox, form->maxSpeedWidget}, {&speedBox, form->speedwidget}, {&antiplaySpeedBox, form->antiplaywidget}};
    for (const auto& place : places) {
        place.first->setUnitMode(1, stepperSpeedUnit, 0);
        place.first->setMinimumStep(0, 1);
        place.first->setMaximumStep(1000000, 0);
        auto* layout = new QHBoxLayout(place.second);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(place.first);
    }
    OnSpeedChkUnchecked();
    form->playBox->setEnabled(form->playChk->isChecked());
    setTabOrder(form->limitSpeedChk, &maxSpeedBox);
    setTabOrder(form->ratedCurrBox, &speedBox);
    setTabOrder(form->playBox, &antiplaySpeedBox);

    connect(form->stepmodeBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PageStepperMotorWgt::OnStepModeChanged);
    connect(form->limitSpeedChk, &QCheckBox::toggled, this, &PageStepperMotorWgt::OnSpeedChkUnchecked);
    connect(form->useMaxSpeedChk, &QCheckBox::toggled, this, &PageStepperMotorWgt::OnSpeedChkUnchecked);
    for (SpeedBox& speed : speeds) {
        connect(speed.box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this, &speed] {
            if (!rescaling) {
                speed.step = speed.box->getStep();
                speed.uStep = speed.box->getUStep();
                speed.divisor = speed.box->getStepFactor();
            }
        });
    }
    form->potentRadio->setEnabled(false);
    form->encoderRadio->setEnabled(false);

    engine_settings_t& engine = settings->engine;
    binder.flag(form->limitSpeedChk, &engine.EngineFlags, ENGINE_LIMIT_RPM);
    binder.flag(form->playChk, &engine.EngineFlags, ENGINE_ANTIPLAY);
    binder.flag(form->reversChk, &engine.EngineFlags, ENGINE_REVERSE);
    binder.flag(form->useMaxSpeedChk, &engine.EngineFlags, ENGINE_MAX_SPEED);
    binder.flag(form->accelChk, &engine.EngineFlags, ENGINE_ACCEL_ON);
    binder.plain(form->ratedCurrBox, &engine.NomCurrent);
    binder.stepPair(&maxSpeedBox, &engine.NomSpeed, &engine.uNomSpeed, FieldBinder::NoUnit, false);
    binder.plain(form->playBox, &engine.Antiplay);
    binder.stepPair(&speedBox, &settings->move.Speed, &settings->move.uSpeed, FieldBinder::NoUnit, false);
    binder.stepPair(&antiplaySpeedBox, &settings->move.AntiplaySpeed, &settings->move.uAntiplaySpeed,
                    FieldBinder::NoUnit, false);
    binder.plain(form->accelBox, &settings->move.Accel);
    binder.plain(form->decelBox, &settings->move.Decel);
    binder.plain(form->stepsPerTurnBox, &engine.StepsPerRev);
    // Modes 1 to 9; any other shows "full step".
    binder.codeCombo(form->stepmodeBox, &engine.MicrostepMode, ~0u, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 0);
    binder.radioGroup({{form->encoderRadio, FEEDBACK_ENCODER},
                       {form->potentRadio, FEEDBACK_POTENTIOMETER},
                       {form->feedbackNoneRadio, FEEDBACK_NONE}},
                      &settings->feedback.FeedbackType, ~0u, nullptr);
    binder.plain(form->cptBox, &settings->feedback.IPS);
    binder.flag(form->encoderReverseChk, &settings->feedback.FeedbackFlags, FEEDBACK_ENC_REVERSE);
}

PageStepperMotorWgt::~PageStepperMotorWgt()
{
    delete form;
}

void PageStepperMotorWgt::FromClassToUi()
{
    setDivisor(settings->microstepDivisor());
    keepPairs();
    ControllerPageWgt::FromClassToUi();
}

void PageStepperMotorWgt::setDivisor(int divisor)
{
    rescaling = true;
    for (SpeedBox& speed : speeds) {
        speed.box->setStepFactor(divisor);
        // The slowest speed there is: one microstep, or one step when there are no microsteps.
        if (divisor > 1) {
            speed.box->setMinimumStep(0, 1);
        } else {
            speed.box->setMinimumStep(1, 0);
        }
    }
    rescaling = false;
}

void PageStepperMotorWgt::keepPairs()
{
    for (SpeedBox& speed : speeds) {
        speed.step = speed.box->getStep();
        speed.uStep = speed.box->getUStep();
        speed.divisor = speed.box->getStepFactor();
    }
}

void PageStepperMotorWgt::OnStepModeChanged(int index)
{
    if (index < 0) {
        return;
    }
    const int divisor = 1 << qMin(index, 8);
    setDivisor(divisor);
    rescaling = true;
    for (const SpeedBox& speed : speeds) {
        const qint64 uStep = speed.uStep * divisor / qMax(1, speed.divisor);
        speed.box->setValue(int(qBound<qint64>(INT_MIN, speed.step + uStep / divisor, INT_MAX)), int(uStep % divisor));
    }
    rescaling = false;
}

void PageStepperMotorWgt::OnSpeedChkUnchecked()
{
    maxSpeedBox.setEnabled(form->useMaxSpeedChk->isChecked() || form->limitSpeedChk->isChecked());
}

void PageStepperMotorWgt::retranslate()
{
    form->retranslateUi(this);
}
