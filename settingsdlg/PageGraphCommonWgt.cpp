#include "settingsdlg/PageGraphCommonWgt.h"

#include "chartdlg/GraphCommonSettings.h"
#include "settingsdlg/PageFileReader.h"
#include "ui_pagegraphcommonwgt.h"

#include <QSettings>

namespace {

const QString groupName = QStringLiteral("Graph_common_setup");
const QString pointsKey = QStringLiteral("Datapoints");
const QString intervalKey = QStringLiteral("Update_interval");
const QString breakKey = QStringLiteral("dataUpdate_enable");

int clamped(qint64 value, const QSpinBox* box)
{
    return int(qBound(qint64(box->minimum()), value, qint64(box->maximum())));
}

} // namespace

PageGraphCommonWgt::PageGraphCommonWgt(QWidget* parent, GraphCommonSettings* settings)
    : ProgramPageWgt(parent), form(new Ui::PageGraphCommonWgtClass), settings(settings)
{
    form->setupUi(this);
}

PageGraphCommonWgt::~PageGraphCommonWgt()
{
    delete form;
}

void PageGraphCommonWgt::FromClassToUi()
{
    form->datapointsValue->setValue(settings->dataPoints);
    form->intervalValue->setValue(settings->updateInterval);
    form->dataUpdateChk->setChecked(settings->breakUpdateWhenStopped);
}

void PageGraphCommonWgt::FromUiToClass()
{
    settings->dataPoints = form->datapointsValue->value();
    settings->updateInterval = form->intervalValue->value();
    settings->breakUpdateWhenStopped = form->dataUpdateChk->isChecked();
}

void PageGraphCommonWgt::SaveToFile(QSettings* settings)
{
    settings->beginGroup(groupName);
    settings->setValue(pointsKey, form->datapointsValue->value());
    settings->setValue(intervalKey, form->intervalValue->value());
    settings->setValue(breakKey, form->dataUpdateChk->isChecked());
    settings->endGroup();
}

QString PageGraphCommonWgt::RestoreFromFile(QSettings* file, QSettings* defaults)
{
    PageFileReader reader(file, defaults, groupName);
    qint64 number = 0;
    if (reader.readInt(pointsKey, &number)) {
        form->datapointsValue->setValue(clamped(number, form->datapointsValue));
    }
    if (reader.readInt(intervalKey, &number)) {
        form->intervalValue->setValue(clamped(number, form->intervalValue));
    }
    bool on = false;
    if (reader.readBool(breakKey, &on)) {
        form->dataUpdateChk->setChecked(on);
    }
    return reader.report();
}
