#include "settingsdlg/PageGraphWgt.h"

#include "chartdlg/CurveSettings.h"
#include "ui_pagegraphwgt.h"

PageGraphWgt::PageGraphWgt(QWidget* parent, CurveSettings* settings, const QString& groupName)
    : ProgramPageWgt(parent), form(new Ui::PageGraphWgtClass), settings(settings), group(groupName)
{
    form->setupUi(this);
    form->groupBox->setDisabled(form->autoscaleChk->isChecked());
    fillLineStyleCombo(form->linestyleBox);
    widgets = CurveWidgets{form->linewidthValue, form->minScaleValue, form->maxScaleValue, form->antialiasingChk,
                           form->autoscaleChk,   form->colorBox,      form->linestyleBox};
}

PageGraphWgt::~PageGraphWgt()
{
    delete form;
}

void PageGraphWgt::FromClassToUi()
{
    curveSettingsToUi(*settings, widgets);
}

void PageGraphWgt::FromUiToClass()
{
    curveSettingsFromUi(settings, widgets);
}

void PageGraphWgt::SaveToFile(QSettings* settings)
{
    saveCurveSettings(settings, group, widgets);
}

QString PageGraphWgt::RestoreFromFile(QSettings* file, QSettings* defaults)
{
    return restoreCurveSettings(group, widgets, file, defaults);
}

void PageGraphWgt::setTitle(const QString& title)
{
    form->mainBox->setTitle(title);
}

void PageGraphWgt::hideColorControls()
{
    form->colorBox->hide();
    form->colorLbl->hide();
}
