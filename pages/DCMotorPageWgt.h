#ifndef DCMOTORPAGEWGT_H
#define DCMOTORPAGEWGT_H

#include "pages/ControllerPageWgt.h"
#include "settings_model/MotorSettings.h"

#include <QAbstractButton>
#include <QSpinBox>

// What the DC and brushless DC motor pages share: one design over two forms, differing only in
// their feedback buttons and unit texts.
class DCMotorPageWgt : public ControllerPageWgt
{
    Q_OBJECT

public slots:
    void OnSpeedChkUnchecked();

protected:
    DCMotorPageWgt(QWidget* parent, MotorSettings* settings);

    // Binds the fields both forms have and sets the page's unit texts.
    template <typename Form>
    void setUpForm(Form* form, const QString& speedUnit, const QString& accelUnit)
    {
        for (QSpinBox* box : {form->rpmBox, form->speedBox, form->antiplaySpeedBox}) {
            box->setSuffix(speedUnit);
        }
        form->accelBox->setSuffix(accelUnit);
        form->decelBox->setSuffix(accelUnit);
        useMaxSpeedChk = form->useMaxSpeedChk;
        limitSpeedChk = form->limitSpeedChk;
        rpmBox = form->rpmBox;
        OnSpeedChkUnchecked();
        connect(form->limitSpeedChk, &QAbstractButton::toggled, this, &DCMotorPageWgt::OnSpeedChkUnchecked);
        connect(form->useMaxSpeedChk, &QAbstractButton::toggled, this, &DCMotorPageWgt::OnSpeedChkUnchecked);

        engine_settings_t& engine = settings->engine;
        const std::pair<QAbstractButton*, uint32_t> flags[] = {
            {form->voltageChk, ENGINE_LIMIT_VOLT}, {form->currentChk, ENGINE_LIMIT_CURR},
            {form->limitSpeedChk, ENGINE_LIMIT_RPM}, {form->playChk, ENGINE_ANTIPLAY},
            {form->reversChk, ENGINE_REVERSE},       {form->useMaxSpeedChk, ENGINE_MAX_SPEED},
            {form->accelChk, ENGINE_ACCEL_ON}};
        for (const auto& flag : flags) {
            binder.flag(flag.first, &engine.EngineFlags, flag.second);
        }
        binder.tenfold(form->voltageBox, &engine.NomVoltage);
        binder.plain(form->currentBox, &engine.NomCurrent);
        binder.plain(form->rpmBox, &engine.NomSpeed);
        binder.plain(form->playBox, &engine.Antiplay);
        binder.plain(form->speedBox, &settings->move.Speed);
        binder.plain(form->antiplaySpeedBox, &settings->move.AntiplaySpeed);
        binder.plain(form->accelBox, &settings->move.Accel);
        binder.plain(form->decelBox, &settings->move.Decel);
        binder.plain(form->cptBox, &settings->feedback.IPS);
        binder.flag(form->encoderReverseChk, &settings->feedback.FeedbackFlags, FEEDBACK_ENC_REVERSE);
    }

private:
    QAbstractButton* useMaxSpeedChk;
    QAbstractButton* limitSpeedChk;
    QSpinBox* rpmBox;
};

#endif // DCMOTORPAGEWGT_H
