#include "settingsdlg/PageSliderSetupWgt.h"

#include "ui_pageslidersetupwgt.h"

#include <QSettings>

#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "settingsdlg/PageFileReader.h"
#include "settingsdlg/PageReports.h"
#include "settings_model/SliderSettings.h"
#include "settings_model/UnitTexts.h"

namespace {

const QString groupName = QStringLiteral("Slider_setup");
const QString leftKey = QStringLiteral("Left_point");
const QString rightKey = QStringLiteral("Right_point");
const QString loadKey = QStringLiteral("LoadFromDevice_enable");
const QString watchKey = QStringLiteral("WatchOverLimits_enable");
const QString secondaryKey = QStringLiteral("ShowSecondaryPosition_enable");

} // namespace

PageSliderSetupWgt::PageSliderSetupWgt(QWidget* parent, SliderSettings* settings)
    : ProgramPageWgt(parent), form(new Ui::PageSliderSetupWgtClass), settings(settings)
{
    form->setupUi(this);
    UpdateBtn = form->UpdateBtn;
    connect(form->leftPointValue, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &PageSliderSetupWgt::SgnChangeValues);
    connect(form->rightPointValue, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &PageSliderSetupWgt::SgnChangeValues);
    // What settings.ini holds now: a first save must not write the form's cleared boxes.
    readSearchOptions();
}

PageSliderSetupWgt::~PageSliderSetupWgt()
{
    delete form;
}

void PageSliderSetupWgt::FromClassToUi()
{
    form->leftPointValue->setValue(settings->leftPoint);
    form->rightPointValue->setValue(settings->rightPoint);
    form->LoadFromDeviceChk->setChecked(settings->loadFromDevice);
    form->WatchOverLimitsChk->setChecked(settings->watchOverLimits);
    form->showSecondaryChk->setChecked(settings->showSecondaryPosition);
}

void PageSliderSetupWgt::FromUiToClass()
{
    settings->leftPoint = form->leftPointValue->value();
    settings->rightPoint = form->rightPointValue->value();
    settings->loadFromDevice = form->LoadFromDeviceChk->isChecked();
    settings->watchOverLimits = form->WatchOverLimitsChk->isChecked();
    settings->showSecondaryPosition = form->showSecondaryChk->isChecked();
}

int PageSliderSetupWgt::leftPoint() const
{
    return form->leftPointValue->value();
}

int PageSliderSetupWgt::rightPoint() const
{
    return form->rightPointValue->value();
}

void PageSliderSetupWgt::setUnitSuffix(unsigned int engineType)
{
    Q_UNUSED(engineType);
    form->leftPointValue->setSuffix(positionUnit);
    form->rightPointValue->setSuffix(positionUnit);
}

void PageSliderSetupWgt::SaveToFile(QSettings* file)
{
    file->beginGroup(groupName);
    file->setValue(leftKey, form->leftPointValue->value());
    file->setValue(rightKey, form->rightPointValue->value());
    file->setValue(loadKey, form->LoadFromDeviceChk->isChecked());
    file->setValue(watchKey, form->WatchOverLimitsChk->isChecked());
    file->setValue(secondaryKey, form->showSecondaryChk->isChecked());
    file->endGroup();
}

QString PageSliderSetupWgt::RestoreFromFile(QSettings* file, QSettings* defaults)
{
    QString report;
    {
        PageFileReader reader(file, defaults, groupName);
        // The reader's lines as they come, so that every line stands in key order.
        int taken = 0;
        const auto takeLines = [&] {
            report += reader.report().mid(taken);
            taken = reader.report().size();
        };
        for (QSpinBox* box : {form->leftPointValue, form->rightPointValue}) {
            const QString& key = box == form->leftPointValue ? leftKey : rightKey;
            qint64 point = 0;
            const bool read = reader.readInt(key, &point);
            takeLines();
            if (!read)
                continue;
            // A point the box cannot hold is reported, not clamped into a different point.
            if (point < box->minimum() || point > box->maximum())
                report += pageValueWrong(key);
            else
                box->setValue(int(point));
        }
        const std::pair<const QString*, QCheckBox*> flags[] = {
            {&loadKey, form->LoadFromDeviceChk}, {&watchKey, form->WatchOverLimitsChk},
            {&secondaryKey, form->showSecondaryChk}};
        for (const auto& flag : flags) {
            bool on = true;
            if (reader.readBool(*flag.first, &on))
                flag.second->setChecked(on);
            takeLines();
        }
    }
    readSearchOptions();
    return report;
}

void PageSliderSetupWgt::readSearchOptions()
{
    IniSettings ini(settingsIniPath());
    const ProgramSettingsFile::SearchOptions options = ProgramSettingsFile::readSearchOptions(ini);
    form->probeChk->setChecked(options.probe);
    form->enumChk->setChecked(options.allPorts);
}

bool PageSliderSetupWgt::saveSearchOptions(QString* reason)
{
    ProgramSettingsFile::SearchOptions options;
    options.probe = form->probeChk->isChecked();
    options.allPorts = form->enumChk->isChecked();
    {
        // An unchanged option leaves the file as it is.
        IniSettings ini(settingsIniPath());
        const ProgramSettingsFile::SearchOptions held = ProgramSettingsFile::readSearchOptions(ini);
        if (held.probe == options.probe && held.allPorts == options.allPorts)
            return true;
    }
    IniSaver ini(settingsIniPath());
    ProgramSettingsFile::writeSearchOptions(ini.settings(), options);
    return ini.commit(reason);
}
