#include "settingsdlg/StagePages.h"

#include <QDateTime>

#include "common/FieldText.h"
#include "device/DeviceInterface.h"
#include "device/LatestSample.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "pages/PagePositionerNameWgt.h"
#include "pages/StagePageWgt.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"

namespace {

using P = SettingsPage;

const P pagePositions[] = {P::PositionerName, P::Stage,        P::StageDcMotor,
                           P::StageStepperMotor, P::StageEncoder, P::StageGear};

void logLine(const QString& text, int level)
{
    if (messageLog)
        messageLog->InsertLine(QDateTime::currentDateTime(), text, QStringLiteral("Tolmo"), level);
}

} // namespace

void StagePages::fromUiToClass(StageSettings* target)
{
    // A disabled page may show emptied fields: its records stay the target's.
    for (P position : pagePositions) {
        auto* found = qobject_cast<StagePageWgt*>(dialog.page(position));
        if (found && found->isCurrent())
            found->FromUiToClass(target);
    }
}

bool StagePages::current() const
{
    for (P position : pagePositions) {
        auto* found = qobject_cast<StagePageWgt*>(dialog.page(position));
        if (!found || !found->isCurrent())
            return false;
    }
    return true;
}

void StagePages::showRecords()
{
    for (P position : pagePositions) {
        if (auto* found = qobject_cast<StagePageWgt*>(dialog.page(position)))
            found->FromClassToUi();
    }
}

void StagePages::load()
{
    dialog.stageSettings->loadFromDevice();
    showRecords();
}


void StagePages::apply()
{
    StageSettings* const stageSettings = dialog.stageSettings;
    StageSettings edited(*stageSettings);
    fromUiToClass(&edited);
    bool anyChanged = false;
    for (int index = 0; index < StageSettings::RecordCount; ++index) {
        // The name is the one edit; the read-only records go back only when their bytes moved.
        const bool changed = index == StageSettings::StageNameRecord ? !stageSettings->sameRecord(edited, index)
                                                                     : !stageSettings->sameBytes(edited, index);
        stageSettings->toWrite[index] = changed;
        anyChanged = anyChanged || changed;
    }
    auto* namePage = qobject_cast<PagePositionerNameWgt*>(dialog.page(P::PositionerName));
    const bool nameEdited =
        stageSettings->toWrite[StageSettings::StageNameRecord] || (namePage && namePage->fieldBinder().edited());

    // Written only to the positioner the pages were loaded from, while its memory is present.
    const bool writable =
        !dialog.multiaxis && (lastStatus.Flags & STATE_EEPROM_CONNECTED) && deviceConnected && current();
    if (!writable) {
        for (bool& flag : stageSettings->toWrite)
            flag = false;
        if (nameEdited)
            logLine(tr("The positioner name \"%1\" was kept but not written: no positioner memory was loaded and connected")
                        .arg(namePage ? namePage->shownName() : QString()),
                    1);
        return;
    }
    if (!anyChanged)
        return;

    const StageSettings before(*stageSettings);
    for (int index = 0; index < StageSettings::RecordCount; ++index) {
        if (stageSettings->toWrite[index])
            stageSettings->takeRecord(edited, index);
    }
    StageSettings::WriteResults results;
    stageSettings->saveToDevice(&results);
    for (int index = 0; index < StageSettings::RecordCount; ++index) {
        if (index == StageSettings::StageNameRecord || !stageSettings->toWrite[index] || results[index] == result_ok
            || results[index] == result_value_error)
            continue;
        stageSettings->takeRecord(before, index);
        logLine(QStringLiteral("%1 failed (result %2); the positioner keeps its record")
                    .arg(QString::fromLatin1(StageSettings::recordSetName(index)))
                    .arg(results[index]),
                1);
    }
    const result_t nameResult = results[StageSettings::StageNameRecord];
    if (!stageSettings->toWrite[StageSettings::StageNameRecord])
        return;
    if (nameResult != result_ok) {
        // Failed or corrected: what the positioner holds now is what the page shows.
        stageSettings->takeRecord(before, StageSettings::StageNameRecord);
        stage_name_t held{};
        if (dialog.gateway->get_stage_name(dialog.updateThread->deviceHandle->load(), &held) == result_ok) {
            held.PositionerName[sizeof held.PositionerName - 1] = 0;
            stageSettings->stageName = held;
            stageSettings->valid[StageSettings::StageNameRecord] = true;
        }
        if (nameResult != result_value_error)
            logLine(tr("set_stage_name failed (result %1); the positioner name is \"%2\"")
                        .arg(nameResult)
                        .arg(readFieldText(stageSettings->stageName.PositionerName)),
                    1);
    }
    // The name applied (or held) is the page's new starting point: no edit is pending.
    if (namePage)
        namePage->FromClassToUi();
}

