#include "pages/PageTtlWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagettlwgt.h"

#include <climits>

PageTtlWgt::PageTtlWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageTtlWgtClass)
{
    form->setupUi(this);
    form->stateFrame->setFrameShape(QFrame::NoFrame);
    form->periodBox->setSuffix(tr(" counts/steps"));
    form->positionBox->setUnitMode(0, QString(), 0);
    form->positionBox->setMinimumStep(INT_MIN, 0);
    form->positionBox->setMaximumStep(INT_MAX, 0);
    form->speedBox->setUnitMode(0, QString(), 0);
    form->speedBox->setMinimumStep(0, 0);
    form->speedBox->setMaximumStep(1000000, 0);
    form->clutterTimeBox->setSingleStep(1000);
    // Rounded once the value is entered: rounding every keystroke turns a typed 2500 into 0.
    form->clutterTimeBox->setKeyboardTracking(false);
    connect(form->clutterTimeBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &PageTtlWgt::RewriteClutterValue);

    // The enabled state is set here, whatever the form holds and in whatever order connections
    // run; the period box follows both of its boxes through one slot.
    for (QCheckBox* enabled : {form->syncInEnabledChk, form->syncOutEnabledChk}) {
        enabled->setChecked(true);
        connect(enabled, &QCheckBox::toggled, this, &PageTtlWgt::OnEnabledChkToggled);
    }
    connect(form->syncOutEnabledChk, &QCheckBox::toggled, this, &PageTtlWgt::OnOneOfTwoChecked);
    connect(form->everyChk, &QCheckBox::toggled, this, &PageTtlWgt::OnOneOfTwoChecked);
    OnEnabledChkToggled();
    OnOneOfTwoChecked();

    sync_in_settings_t& in = settings->syncIn;
    sync_out_settings_t& out = settings->syncOut;
    binder.flagWord(&in.SyncInFlags, FieldBinder::Rebuild);
    binder.flagWord(&out.SyncOutFlags, FieldBinder::Rebuild);
    binder.plain(form->clutterTimeBox, &in.ClutterTime);
    binder.flag(form->syncInEnabledChk, &in.SyncInFlags, SYNCIN_ENABLED);
    binder.flag(form->syncInInvertChk, &in.SyncInFlags, SYNCIN_INVERT);
    binder.flag(form->absolutePositionChk, &in.SyncInFlags, SYNCIN_GOTOPOSITION);
    // The controller reads the microsteps against its own microstep mode.
    binder.stepPair(form->positionBox, &in.Position, &in.uPosition, FieldBinder::PositionUnit, true);
    binder.stepPair(form->speedBox, &in.Speed, &in.uSpeed, FieldBinder::SpeedUnit, true);
    binder.flag(form->syncOutEnabledChk, &out.SyncOutFlags, SYNCOUT_ENABLED);
    binder.flag(form->syncOutInvertChk, &out.SyncOutFlags, SYNCOUT_INVERT);
    binder.plain(form->pulseWidthBox, &out.SyncOutPulseSteps);
    binder.bitCombo(form->pulseUnitBox, &out.SyncOutFlags, SYNCOUT_IN_STEPS, 1);
    binder.radioGroup({{form->state1Radio, SYNCOUT_STATE}, {form->state0Radio, 0}}, &out.SyncOutFlags, SYNCOUT_STATE,
                      nullptr);
    binder.flag(form->onStartChk, &out.SyncOutFlags, SYNCOUT_ONSTART);
    binder.flag(form->onStopChk, &out.SyncOutFlags, SYNCOUT_ONSTOP);
    binder.flag(form->everyChk, &out.SyncOutFlags, SYNCOUT_ONPERIOD);
    binder.plain(form->periodBox, &out.SyncOutPeriod);
}

PageTtlWgt::~PageTtlWgt()
{
    delete form;
}

void PageTtlWgt::setEngineType(unsigned int engineType)
{
    applyEngineType(engineType);
}

void PageTtlWgt::RewriteClutterValue(int value)
{
    form->clutterTimeBox->setValue(value / 1000 * 1000);
}

void PageTtlWgt::OnOneOfTwoChecked()
{
    form->periodBox->setEnabled(form->syncOutEnabledChk->isChecked() && form->everyChk->isChecked());
}

void PageTtlWgt::OnEnabledChkToggled()
{
    const auto setEnabled = [](std::initializer_list<QWidget*> widgets, bool on) {
        for (QWidget* widget : widgets) {
            widget->setEnabled(on);
        }
    };
    setEnabled({form->absolutePositionChk, form->positionBox, form->speedBox}, form->syncInEnabledChk->isChecked());
    const bool out = form->syncOutEnabledChk->isChecked();
    setEnabled({form->pulseWidthLbl, form->pulseWidthBox, form->pulseUnitBox, form->onStartChk, form->onStopChk,
                form->everyChk},
               out);
    // While the output is enabled its fixed level does not apply.
    setEnabled({form->fixedStateLbl, form->state0Radio, form->state1Radio}, !out);
}
