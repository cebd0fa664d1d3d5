#ifndef STAGEPAGES_H
#define STAGEPAGES_H

#include <QCoreApplication>

class ApplyReport;
class SettingsDlg;
class SettingsJob;
class StageSettings;

// The settings dialog's positioner pages: they show the dialog's stage records, give them back
// and write the operator's edits to the positioner at Apply.
class StagePages
{
    // The dialog's texts, translated as the dialog's.
    Q_DECLARE_TR_FUNCTIONS(SettingsDlg)

public:
    explicit StagePages(SettingsDlg& dialog) : dialog(dialog) {}

    // The stage pages that are current into target; disabled or unloaded pages leave it alone.
    void fromUiToClass(StageSettings* target);
    // Every stage page shows what it loaded from the positioner present now.
    bool current() const;
    void showRecords();
    // The records read from the positioner on the axis' courier, then shown.
    void load();
    // The records, with their validity, of a read made elsewhere, then shown.
    void take(const StageSettings& read);
    // The stage part of an Apply: only records the operator changed, only to the positioner
    // the pages were loaded from, flagged in job (a copy of the dialog's records) with their
    // edits. A name edit that cannot go goes into the report. True when a record is to go.
    bool prepareApply(StageSettings* job, ApplyReport* report);
    // The job's writes taken: what the positioner took is the dialog's; what it did not goes into
    // the report (unsentWhy for what a stop or a busy gateway kept back), its edit left on the page.
    void takeApply(const SettingsJob& job, bool noneSent, const QString& unsentWhy, ApplyReport* report);

private:
    SettingsDlg& dialog;
};

#endif // STAGEPAGES_H
