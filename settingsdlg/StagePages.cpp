#include "settingsdlg/StagePages.h"

#include "device/DeviceInterface.h"
#include "device/LatestSample.h"
#include "device/UpdateThread.h"
#include "pages/PagePositionerNameWgt.h"
#include "pages/StagePageWgt.h"
#include "settings_model/StageSettings.h"
#include "settings_model/SettingsJob.h"
#include "settingsdlg/ApplyReport.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsJobRunner.h"

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
    auto job = dialog.transfers.newJob();
    job->readStage();
    dialog.runner->start(job, tr("Reading the positioner memory"),
                         tr("Reading the positioner memory of %1").arg(dialog.axisText()),
                         [this](SettingsJob& read, AxisCourier::Outcome outcome) {
                             if (outcome == AxisCourier::Outcome::Done && !read.wasDropped())
                                 take(read.stage);
                         });
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

bool StagePages::prepareApply(StageSettings* job, ApplyReport* report)
{
    const StageSettings* const stageSettings = dialog.stageSettings;
    StageSettings edited(*stageSettings);
    fromUiToClass(&edited);
    bool anyChanged = false;
    for (int index = 0; index < StageSettings::RecordCount; ++index) {
        // The name is the one edit; the read-only records go back only when their bytes moved.
        const bool changed = index == StageSettings::StageNameRecord ? !stageSettings->sameRecord(edited, index)
                                                                     : !stageSettings->sameBytes(edited, index);
        job->toWrite[index] = changed;
        anyChanged = anyChanged || changed;
    }
    auto* namePage = qobject_cast<PagePositionerNameWgt*>(dialog.page(P::PositionerName));
    const bool nameEdited =
        job->toWrite[StageSettings::StageNameRecord] || (namePage && namePage->fieldBinder().edited());

    // Written only to the positioner the pages were loaded from, while its memory is present.
    const bool writable =
        !dialog.multiaxis && (lastStatus.Flags & STATE_EEPROM_CONNECTED) && deviceConnected && current();
    if (!writable) {
        for (bool& flag : job->toWrite)
            flag = false;
        if (nameEdited)
            report->notApplied({P::PositionerName}, dialog.pageTitle(P::PositionerName),
                               tr("no positioner memory was loaded and connected"));
        return false;
    }
    for (int index = 0; index < StageSettings::RecordCount; ++index) {
        if (job->toWrite[index])
            job->takeRecord(edited, index);
    }
    return anyChanged;
}

void StagePages::takeApply(const SettingsJob& job, bool noneSent, const QString& unsentWhy, ApplyReport* report)
{
    StageSettings* const stageSettings = dialog.stageSettings;
    const StageSettings& written = job.stage;
    for (int index = 0; index < StageSettings::RecordCount; ++index)
        stageSettings->toWrite[index] = written.toWrite[index];
    for (int index = 0; index < StageSettings::RecordCount; ++index) {
        if (!written.toWrite[index])
            continue;
        const result_t result = job.stageWrites[size_t(index)];
        const bool sent = !noneSent && !job.stageUnsent[size_t(index)];
        const QList<P> holders = pagesHoldingEdit(dialog, *stageSettings, index);
        const QString what = dialog.pageTitles(holders, StageSettings::recordSetName(index));
        if (sent && (result == result_ok || result == result_value_error)) {
            stageSettings->takeRecord(written, index);
            stageSettings->valid[index] = written.valid[index];
            if (result == result_value_error)
                report->corrected(what);
            continue;
        }
        // Not written: the record stays the positioner's, the edit the page's, for the next Apply.
        if (sent)
            report->notApplied(holders, what, ApplyReport::refusal(result));
        else
            report->notSent(holders, what, unsentWhy);
    }
    const int name = StageSettings::StageNameRecord;
    const result_t nameResult = job.stageWrites[size_t(name)];
    if (!written.toWrite[name] || noneSent || job.stageUnsent[size_t(name)]
        || (nameResult != result_ok && nameResult != result_value_error))
        return;
    // The name applied (or held) is the page's new starting point: no edit is pending.
    if (auto* namePage = qobject_cast<PagePositionerNameWgt*>(dialog.page(P::PositionerName)))
        namePage->FromClassToUi();
}
