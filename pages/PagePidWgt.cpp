#include "pages/PagePidWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pagepidwgt.h"

PagePidWgt::PagePidWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PagePidWgtClass)
{
    form->setupUi(this);
    pid_settings_t& pid = settings->pid;
    binder.plain(form->pCurBox, &pid.KpI);
    binder.plain(form->iCurBox, &pid.KiI);
    binder.plain(form->dCurBox, &pid.KdI);
    binder.plain(form->pVoltBox, &pid.KpU);
    binder.plain(form->iVoltBox, &pid.KiU);
    binder.plain(form->dVoltBox, &pid.KdU);
    binder.plain(form->pSpeedBox, &pid.KpSpeed);
    binder.plain(form->iSpeedBox, &pid.KiSpeed);
    binder.plain(form->dSpeedBox, &pid.KdSpeed);
    binder.plain(form->pPosBox, &pid.KpPos);
    binder.plain(form->iPosBox, &pid.KiPos);
    binder.plain(form->dPosBox, &pid.KdPos);
}

PagePidWgt::~PagePidWgt()
{
    delete form;
}

void PagePidWgt::retranslate()
{
    form->retranslateUi(this);
}
