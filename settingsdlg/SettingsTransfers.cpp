#include "settingsdlg/SettingsTransfers.h"

#include "ui_settingsdlg.h"

#include <QColor>
#include <QPalette>

#include "device/ControllerSettings.h"
#include "device/UpdateThread.h"
#include "pages/ControllerPageWgt.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/SettingsJob.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/ApplyReport.h"
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsJobRunner.h"

namespace {

using P = SettingsPage;
using Outcome = AxisCourier::Outcome;

} // namespace

std::shared_ptr<SettingsJob> SettingsTransfers::newJob() const
{
    return std::make_shared<SettingsJob>(*dialog.motorSettings, *dialog.stageSettings, *dialog.controllerSettings,
                                         dialog.updateThread->deviceHandle);
}

void SettingsTransfers::read(bool all, bool showStage, ReadDone done)
{
    auto job = newJob();
    // A record whose page holds an edit not yet applied is read back too.
    MotorSettings shown(*dialog.motorSettings);
    dialog.AllPagesFromUiToClass(&shown);
    for (int index = 0; index < MotorSettings::RecordCount; ++index) {
        if (!dialog.motorSettings->sameRecord(shown, index))
            job->motor.reRead[index] = true;
    }
    job->readStage();
    job->readMotor(all);
    if (all)
        job->readIdentity();
    dialog.runner->start(job, tr("Reading the settings"), tr("Reading the settings of %1").arg(dialog.axisText()),
                         [this, all, showStage, done](SettingsJob& taken, Outcome outcome) {
                             ReadEnd end = ReadEnd::Cut;
                             if (taken.wasDropped()) {
                                 // Cancelled or closed: the next showing reads anew.
                             } else if (outcome != Outcome::Done) {
                                 tellNotTaken(tr("Reading the settings of %1").arg(dialog.axisText()), outcome);
                             } else {
                                 show(&taken, all, showStage);
                                 end = taken.mode == 1 || taken.readResult == result_ok ? ReadEnd::Whole
                                                                                         : ReadEnd::Failed;
                             }
                             if (done)
                                 done(end);
                         });
}

void SettingsTransfers::readWith(std::shared_ptr<SettingsJob> job, const QString& what, const QString& doing,
                                 std::function<void(SettingsJob& job, ReadEnd end)> done)
{
    dialog.runner->start(job, what, doing, [this, doing, done](SettingsJob& taken, Outcome outcome) {
        ReadEnd end = ReadEnd::Cut;
        if (taken.wasDropped())
            return;
        if (outcome != Outcome::Done) {
            tellNotTaken(doing, outcome);
        } else {
            show(&taken, true, false);
            end = taken.mode == 1 || taken.readResult == result_ok ? ReadEnd::Whole : ReadEnd::Failed;
        }
        done(taken, end);
    });
}

void SettingsTransfers::tellNotTaken(const QString& what, Outcome outcome)
{
    dialog.wholeRead = false;
    dialog.updateApplyEnabled();
    dialog.runner->tell(outcome == Outcome::Cut
                            ? tr("%1 was cut short; the pages show the settings read before.").arg(what)
                            : tr("%1 did not start; the pages show the settings read before.").arg(what),
                        true);
}

void SettingsTransfers::redraw()
{
    show(nullptr, false, false);
}

void SettingsTransfers::show(const SettingsJob* read, bool all, bool showStage)
{
    SettingsDlg& d = dialog;
    if (read)
        d.knownMode = read->mode;
    // Edits the last Ok or Apply could not write stay on their pages, marked, for the next one
    // (the controller back after a loss); the other pages show what was read.
    const bool keep = d.editsLeftUnapplied;
    MotorSettings kept(*d.motorSettings);
    QList<int> held;
    ApplyReport holders;
    if (keep) {
        d.AllPagesFromUiToClass(&kept);
        for (int index = 0; index < MotorSettings::RecordCount; ++index) {
            if (d.motorSettings->sameRecord(kept, index))
                continue;
            held.append(index);
            holders.notApplied(pagesHoldingEdit(*d.motorSettings, kept, index), QString(), QString());
        }
    }
    if (d.controllerMode() == 1) {
        d.wholeRead = true;
        d.applyTreeState(d.motorSettings->entype.EngineType);
        d.makeCurrent(P::AboutDevice);
        d.updateApplyEnabled();
        return;
    }
    d.clearUnappliedMarks();
    if (read) {
        d.wholeRead = true;
        d.runner->tell(read->readResult == result_ok
                           ? QString()
                           : tr("Some settings of %1 could not be read: the log names them.").arg(d.axisText()),
                       read->readResult != result_ok);
        StageSettings* const stage = d.stageSettings;
        bool stageChanged = false;
        for (int index = 0; index < StageSettings::RecordCount; ++index) {
            if (!read->stageRead[size_t(index)])
                continue;
            stageChanged = stageChanged || !stage->sameBytes(read->stage, index);
            stage->takeRecord(read->stage, index);
            stage->valid[index] = read->stage.valid[index];
        }
        // Pages showing another positioner's records would write them to this one: show what
        // was read instead.
        if (showStage || (stageChanged && d.stagePages.current()))
            d.stagePages.showRecords();
        MotorSettings* const motor = d.motorSettings;
        for (int index = 0; index < MotorSettings::RecordCount; ++index) {
            if (!read->motorRead[size_t(index)])
                continue;
            motor->takeRecord(read->motor, index);
            motor->valid[index] = read->motor.valid[index];
            motor->reRead[index] = false;
        }
        if (all)
            d.controllerSettings->takeIdentity(read->identity);
    }
    d.setEngineType();
    for (ControllerPageWgt* controller : d.controllerPagesFor(d.motorSettings->entype.EngineType))
        controller->FromClassToUi();
    // The other motor pages show the records too: a type changed on its page then stores one of
    // them, and an untouched page must give back what was read, not its form's defaults.
    for (ControllerPageWgt* other : d.otherMotorPages(d.motorSettings->entype.EngineType))
        other->FromClassToUi();
    if (keep) {
        showEditsAgain(kept, held, holders);
        d.markUnapplied(d.unapplied);
    } else {
        d.redrawProgramPages();
    }
    d.updateApplyEnabled();
    emit d.SgnChangeSettings();
}

QList<SettingsPage> SettingsTransfers::pagesHoldingEdit(const MotorSettings& before, const MotorSettings& edited,
                                                        int index) const
{
    QList<P> found;
    for (P position : SettingsDlg::controllerPositionsFor(edited.entype.EngineType)) {
        ControllerPageWgt* page = dialog.controllerPage(position);
        if (!page)
            continue;
        MotorSettings probe(before);
        page->FromUiToClass(&probe);
        if (position == P::StepperMotor)
            probe.engine.NomVoltage = before.engine.NomVoltage; // as AllPagesFromUiToClass keeps it
        if (!probe.sameRecord(before, index))
            found.append(position);
    }
    return found;
}

void SettingsTransfers::showEditsAgain(const MotorSettings& edited, const QList<int>& refused,
                                       const ApplyReport& report)
{
    if (refused.isEmpty())
        return;
    // The pages draw from the container: it holds the operator's values while they do.
    MotorSettings* const motor = dialog.motorSettings;
    const MotorSettings held(*motor);
    for (int index : refused)
        motor->takeRecord(edited, index);
    for (const ApplyReport::Unapplied& entry : report.notWritten()) {
        for (P position : entry.pages) {
            if (ControllerPageWgt* holder = dialog.controllerPage(position))
                holder->FromClassToUi();
        }
    }
    for (int index : refused)
        motor->takeRecord(held, index);
}

ApplyReport SettingsTransfers::editsOnThePages(const QString& why)
{
    MotorSettings edited(*dialog.motorSettings);
    dialog.AllPagesFromUiToClass(&edited);
    ApplyReport report;
    for (int index = 0; index < MotorSettings::RecordCount; ++index) {
        if (dialog.motorSettings->sameRecord(edited, index))
            continue;
        const QList<P> pages = pagesHoldingEdit(*dialog.motorSettings, edited, index);
        report.notApplied(pages, dialog.pageTitles(pages, MotorSettings::recordSetName(index)), why);
    }
    return report;
}

void SettingsTransfers::apply(const QString& afterwards, const QString& what, const QString& doing, ApplyDone done)
{
    SettingsDlg& d = dialog;
    d.editsLeftUnapplied = false;
    // Nothing is taken from the pages unless the controller can take it too; Ok then keeps them
    // in front of the operator, and says why.
    const QString why = d.whyNoSettings();
    if (!why.isEmpty()) {
        d.updateApplyEnabled();
        d.editsLeftUnapplied = true;
        d.unapplied = editsOnThePages(why);
        d.markUnapplied(d.unapplied);
        {
            const SettingsDlg::OperationScope operation(&d);
            ApplyReport::tellNothingApplied(
                &d, d.logPrefix(), why,
                tr("The pages keep the values; Ok or Apply tries them again once the controller takes settings."));
        }
        if (done)
            done(false);
        return;
    }
    d.clearUnappliedMarks();
    d.programPagesToRecords();
    d.updateModifiedMark();

    const MotorSettings before(*d.motorSettings);
    MotorSettings edited(before);
    d.AllPagesFromUiToClass(&edited);
    auto job = newJob();
    bool anyWrite = false;
    for (int index = 0; index < MotorSettings::RecordCount; ++index) {
        const bool changed = !before.sameRecord(edited, index);
        job->motor.toWrite[index] = changed;
        d.motorSettings->toWrite[index] = changed;
        if (changed)
            job->motor.takeRecord(edited, index);
        anyWrite = anyWrite || changed;
    }
    auto report = std::make_shared<ApplyReport>();
    anyWrite = d.stagePages.prepareApply(&job->stage, report.get()) || anyWrite;
    if (!anyWrite) {
        // Nothing to write: no job, as before.
        takeApply(*job, Outcome::Done, before, edited, report, afterwards, done);
        return;
    }
    job->writeMotor();
    job->writeStage();
    d.runner->start(job, what, doing.arg(d.axisText()),
                    [this, before, edited, report, afterwards, done](SettingsJob& taken, Outcome outcome) {
                        takeApply(taken, outcome, before, edited, report, afterwards, done);
                    });
}

void SettingsTransfers::takeApply(SettingsJob& job, Outcome outcome, const MotorSettings& before,
                                  const MotorSettings& edited, const std::shared_ptr<ApplyReport>& report,
                                  const QString& afterwards, const ApplyDone& done)
{
    SettingsDlg& d = dialog;
    MotorSettings* const motor = d.motorSettings;
    const bool dropped = job.wasDropped();
    const QString unsent = outcome == Outcome::NotSent ? tr("not written: the write did not start")
                                                       : tr("cut short before it was written");
    QList<int> refused;
    bool readBack = false;
    for (int index = 0; index < MotorSettings::RecordCount; ++index) {
        if (!job.motor.toWrite[index])
            continue;
        const result_t result = job.motorWrites[size_t(index)];
        const bool sent = outcome != Outcome::NotSent && !job.motorUnsent[size_t(index)];
        const QList<P> holders = pagesHoldingEdit(before, edited, index);
        const QString what = d.pageTitles(holders, MotorSettings::recordSetName(index));
        if (sent && (result == result_ok || result == result_value_error)) {
            // The controller holds it now: what it read back when it corrected it, else the edit.
            const MotorSettings& holds = job.motorRead[size_t(index)] ? job.motor : edited;
            motor->takeRecord(holds, index);
            motor->valid[index] = holds.valid[index];
            report->written(what);
            if (result == result_value_error) {
                readBack = true;
                report->corrected(what);
            }
            continue;
        }
        // Not written: the container keeps what the controller holds, so the next Apply tries again.
        refused.append(index);
        if (sent)
            report->notApplied(holders, what, ApplyReport::refusal(result));
        else
            report->notSent(holders, what, unsent);
    }
    // Only what reached the controller changes how it counts.
    const bool critical = SettingsDlg::isCriticalChange(before, *motor);
    d.stagePages.takeApply(job, outcome == Outcome::NotSent, unsent, report.get());
    if (dropped) {
        // Cancelled or closed meanwhile: the containers hold what the controller took; nothing
        // more goes out and nothing is told.
        emit d.SgnChangeSettings();
        return;
    }

    QPalette palette = d.ui->configLbl->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, QColor(0, 0, 0, 255));
    d.ui->configLbl->setPalette(palette);
    d.ui->configLbl->setToolTip(QString());

    const auto tell = [this, edited, refused, report, afterwards, done, critical, readBack] {
        SettingsDlg& dlg = dialog;
        if (critical || readBack)
            showEditsAgain(edited, refused, *report);
        dlg.editsLeftUnapplied = !report->allApplied();
        dlg.unapplied = *report;
        dlg.markUnapplied(*report);
        {
            // The box waits for the operator: a reload meanwhile would take the edits off the pages.
            const SettingsDlg::OperationScope operation(&dlg);
            report->tell(&dlg, dlg.logPrefix(), afterwards);
        }
        if (done)
            done(report->allApplied());
    };
    if (critical) {
        emit d.SgnChangeCritSettings();
        read(true, false, [tell](ReadEnd) { tell(); });
        return;
    }
    if (readBack)
        // The controller corrected some values: show what it holds.
        redraw();
    else
        emit d.SgnChangeSettings();
    tell();
}
