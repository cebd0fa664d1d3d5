#include "settingsdlg/StagePages.h"

#include "device/DeviceInterface.h"
#include "device/LatestSample.h"
#include "device/UpdateThread.h"
#include "pages/PagePositionerNameWgt.h"
#include "pages/StagePageWgt.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/ApplyReport.h"
#include "settingsdlg/SettingsDlg.h"

namespace {

using P = SettingsPage;

const P pagePositions[] = {P::PositionerName, P::Stage,        P::StageDcMotor,
                           P::StageStepperMotor, P::StageEncoder, P::StageGear};

// The stage pages whose shown values differ from before in record index.
QList<P> pagesHoldingEdit(const SettingsDlg& dialog, const StageSettings& before, int index)
{
    QList<P> holders;
    for (P position : pagePositions) {
        auto* found = qobject_cast<StagePageWgt*>(dialog.page(position));
        if (!found || !found->isCurrent())
            continue;
        StageSettings probe(before);
        found->FromUiToClass(&probe);
        const bool same = index == StageSettings::StageNameRecord ? probe.sameRecord(before, index)
                                                                  : probe.sameBytes(before, index);
        if (!same)
            holders.append(position);
    }
    return holders;
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

void StagePages::take(const StageSettings& read)
{
    StageSettings* const own = dialog.stageSettings;
    for (int index = 0; index < StageSettings::RecordCount; ++index) {
        own->takeRecord(read, index);
        own->valid[index] = read.valid[index];
    }
    showRecords();
}

void StagePages::apply(ApplyReport* report)
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
            report->notApplied({P::PositionerName}, dialog.pageTitle(P::PositionerName),
                               tr("no positioner memory was loaded and connected"));
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
        if (!stageSettings->toWrite[index] || results[index] == result_ok)
            continue;
        const QList<P> holders = pagesHoldingEdit(dialog, before, index);
        const QString what = dialog.pageTitles(holders, StageSettings::recordSetName(index));
        if (results[index] == result_value_error) {
            report->corrected(what);
            continue;
        }
        // Not written: the record stays the positioner's, the edit the page's, for the next Apply.
        stageSettings->takeRecord(before, index);
        report->notApplied(holders, what, ApplyReport::refusal(results[index]));
    }
    const result_t nameResult = results[StageSettings::StageNameRecord];
    if (!stageSettings->toWrite[StageSettings::StageNameRecord]
        || (nameResult != result_ok && nameResult != result_value_error))
        return;
    if (nameResult == result_value_error) {
        // Corrected: what the positioner holds now is what the page shows.
        stage_name_t held{};
        if (dialog.gateway->get_stage_name(dialog.updateThread->deviceHandle->load(), &held) == result_ok) {
            held.PositionerName[sizeof held.PositionerName - 1] = 0;
            stageSettings->stageName = held;
            stageSettings->valid[StageSettings::StageNameRecord] = true;
        }
    }
    // The name applied (or held) is the page's new starting point: no edit is pending.
    if (namePage)
        namePage->FromClassToUi();
}

