#ifndef SETTINGSTRANSFERS_H
#define SETTINGSTRANSFERS_H

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "device/AxisCourier.h"
#include "settingsdlg/SettingsPageIndex.h"

class ApplyReport;
class MotorSettings;
class SettingsDlg;
class SettingsJob;

// The settings dialog's reads from and writes to the controller. Each goes to the axis' courier
// as a job on copies of the dialog's records and is taken back on the dialog's thread in the
// reply: the dialog's thread never waits for the controller. A read cut short leaves the pages
// as they were; a write cut short says what was written and what not.
class SettingsTransfers
{
    // The dialog's texts, translated as the dialog's.
    Q_DECLARE_TR_FUNCTIONS(SettingsDlg)

public:
    // Whole: everything asked for was read (or the controller is in its bootloader); Failed: it
    // ran to its end, but a call failed; Cut: cut short or not sent, nothing taken.
    enum class ReadEnd { Whole, Failed, Cut };
    using ReadDone = std::function<void(ReadEnd end)>;
    // Whether every edit was applied.
    using ApplyDone = std::function<void(bool allApplied)>;

    explicit SettingsTransfers(SettingsDlg& dialog) : dialog(dialog) {}

    // The positioner and controller records (every one, or the changed and the flagged ones)
    // and with all the identity, read, taken and shown. showStage: the positioner pages show
    // what was read whatever it is.
    void read(bool all, bool showStage, ReadDone done = {});
    // The pages from the containers, at once.
    void redraw();
    // Ok and Apply: the edits of the pages to the controller; the report ends with afterwards.
    // what and doing name the job as the courier's lines and the dialog's line name it.
    void apply(const QString& afterwards, const QString& what, const QString& doing, ApplyDone done = {});
    // A job whose steps read all (SettingsJob::readAll) among others: taken as read(true) takes
    // it. done gets the job after it was taken, or told as cut short; not when it was dropped.
    void readWith(std::shared_ptr<SettingsJob> job, const QString& what, const QString& doing,
                  std::function<void(SettingsJob& job, ReadEnd end)> done);
    // Copies of the dialog's records for a job.
    std::shared_ptr<SettingsJob> newJob() const;

    // The controller pages whose shown values differ from before in record index.
    QList<SettingsPage> pagesHoldingEdit(const MotorSettings& before, const MotorSettings& edited, int index) const;
    // The records the pages hold that the container does not, each named with why.
    ApplyReport editsOnThePages(const QString& why);

private:
    // The read's records into the containers (none: the containers as they are), then the pages.
    void show(const SettingsJob* read, bool all, bool showStage);
    // The pages of the refused records show the operator's values again after a reload.
    void showEditsAgain(const MotorSettings& edited, const QList<int>& refused, const ApplyReport& report);
    void takeApply(SettingsJob& job, AxisCourier::Outcome outcome, const MotorSettings& before,
                   const MotorSettings& edited, const std::shared_ptr<ApplyReport>& report, const QString& afterwards,
                   const ApplyDone& done);
    // A read that was not taken: the line says so and offers it again.
    void tellNotTaken(const QString& what, AxisCourier::Outcome outcome);

    SettingsDlg& dialog;
};

#endif // SETTINGSTRANSFERS_H
