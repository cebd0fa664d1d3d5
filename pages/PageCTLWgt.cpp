#include "pages/PageCTLWgt.h"

#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "pages/JoystickCalibrationDlg.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/UnitTexts.h"
#include "ui_pagectlwgt.h"

#include <QLayout>

#include <memory>

namespace {

// The polling thread reads the joystick while the flag is up; it comes down on every way out.
struct CalibrationFlag
{
    CalibrationFlag() { joystickCalibrationOpen = true; }
    ~CalibrationFlag() { joystickCalibrationOpen = false; }
    CalibrationFlag(const CalibrationFlag&) = delete;
    CalibrationFlag& operator=(const CalibrationFlag&) = delete;
};

} // namespace

PageCTLWgt::PageCTLWgt(QWidget* parent, MotorSettings* settings, UpdateThread* thread)
    : ControllerPageWgt(parent, settings), form(new Ui::PageCTLWgtClass), thread(thread)
{
    form->setupUi(this);
    control_settings_t& control = settings->control;
    joystick_settings_t& joystick = settings->joystick;

    binder.flagWord(&control.Flags, FieldBinder::Rebuild);
    binder.bitFieldCombo(form->modeCombo, &control.Flags, CONTROL_MODE_BITS);
    binder.bitCombo(form->leftCombo, &control.Flags, CONTROL_BTN_LEFT_PUSHED_OPEN, 1);
    binder.bitCombo(form->rightCombo, &control.Flags, CONTROL_BTN_RIGHT_PUSHED_OPEN, 1);
    // Each timeout stands level between the two speeds it separates.
    for (int i = 0; i < speedCount; ++i) {
        StepSpinBox& box = speedBoxes[i];
        box.setObjectName(QStringLiteral("speedBox%1").arg(i));
        box.setUnitMode(0, dcSpeedUnit, 0);
        box.setMinimumStep(0, 0);
        box.setMaximumStep(1000000, 0);
        form->speedGrid->addWidget(&box, 2 * i + 1, 0, 2, 1);
        binder.stepPair(&box, &control.MaxSpeed[i], &control.uMaxSpeed[i], FieldBinder::SpeedUnit, true);
    }
    for (int i = 0; i < timeoutCount; ++i) {
        QSpinBox& box = timeoutBoxes[i];
        box.setObjectName(QStringLiteral("timeoutBox%1").arg(i));
        box.setRange(0, 65535);
        box.setSuffix(tr(" ms"));
        form->speedGrid->addWidget(&box, 2 * i + 2, 1, 2, 1);
        binder.plain(&box, &control.Timeout[i]);
    }
    binder.plain(form->lowEndSpin, &joystick.JoyLowEnd);
    binder.plain(form->centerSpin, &joystick.JoyCenter);
    binder.plain(form->highEndSpin, &joystick.JoyHighEnd);
    binder.plain(form->expFactorSpin, &joystick.ExpFactor);
    binder.tenth(form->deadZoneSpin, &joystick.DeadZone);
    binder.flag(form->reverseChk, &joystick.JoyFlags, JOY_REVERSE);

    connect(form->modeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &PageCTLWgt::modeChanged);
    connect(form->joyCalibBtn, &QPushButton::clicked, this, &PageCTLWgt::OnJoyCalibBtnPressed);
    modeChanged(form->modeCombo->currentIndex());
}

PageCTLWgt::~PageCTLWgt()
{
    delete form;
}

void PageCTLWgt::setEngineType(unsigned int engineType)
{
    applyEngineType(engineType);
}

void PageCTLWgt::retranslate()
{
    form->retranslateUi(this);
    for (QSpinBox& box : timeoutBoxes) {
        box.setSuffix(tr(" ms"));
    }
}

void PageCTLWgt::modeChanged(int index)
{
    form->leftGroup->setEnabled(index > 0);
    form->rightGroup->setEnabled(index > 0);
    form->speedGroup->setEnabled(index > 0);
    form->joyGroup->setEnabled(index == 1);
    for (QSpinBox& box : timeoutBoxes) {
        box.setEnabled(index == 2);
    }
}

void PageCTLWgt::OnJoyCalibBtnPressed()
{
    std::unique_ptr<JoystickCalibrationDlg> dialog(new JoystickCalibrationDlg(this, settings, QString()));
    const QMetaObject::Connection result =
        connect(dialog.get(), &JoystickCalibrationDlg::sendJoySettings, this, &PageCTLWgt::receiveJoySettings);
    QMetaObject::Connection samples;
    if (thread) {
        samples = connect(thread, &UpdateThread::finished, dialog.get(), &JoystickCalibrationDlg::RefreshWindow);
    }
    dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
    {
        CalibrationFlag open;
        dialog->exec();
    }
    disconnect(result);
    disconnect(samples);
}

void PageCTLWgt::receiveJoySettings(int low, int center, int high, double deadZone, bool centerKnown)
{
    form->lowEndSpin->setValue(low);
    form->highEndSpin->setValue(high);
    if (centerKnown) {
        form->centerSpin->setValue(center);
        form->deadZoneSpin->setValue(deadZone);
    }
}
