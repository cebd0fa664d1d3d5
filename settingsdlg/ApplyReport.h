#ifndef APPLYREPORT_H
#define APPLYREPORT_H

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include "settingsdlg/SettingsPageIndex.h"
#include "trov.h"

class QWidget;

// What one Apply of the settings dialog did not write, and the values the controller corrected.
// Each goes to the log; everything not applied goes into one message box, so that a refusal
// never looks like success.
class ApplyReport
{
    // The dialog's texts, translated as the dialog's.
    Q_DECLARE_TR_FUNCTIONS(SettingsDlg)

public:
    struct Unapplied
    {
        // The pages holding the edit that was not written; empty when none is known.
        QList<SettingsPage> pages;
        // The pages' names, or the library call when no page holds it.
        QString what;
        QString why;
    };

    // Why a write was not taken: "the controller refused the settings (result -1)".
    static QString refusal(result_t result);

    // Nothing was written because the controller takes no settings now (why: "the controller is
    // lost"): one log line after logPrefix and one box, ended by afterwards.
    static void tellNothingApplied(QWidget* parent, const QString& logPrefix, const QString& why,
                                   const QString& afterwards);
    // A command that the controller refused (Save to flash, Restore from flash): one log line
    // after logPrefix and one box titled title saying what failed, why, and what the pages show.
    static void tellRefusedCommand(QWidget* parent, const QString& logPrefix, const QString& title,
                                   const QString& what, result_t result, const QString& afterwards);

    void notApplied(const QList<SettingsPage>& pages, const QString& what, const QString& why);
    // Not applied because the write was cut short (or did not start) before it: the box then
    // names what was written too.
    void notSent(const QList<SettingsPage>& pages, const QString& what, const QString& why);
    // The controller took the record with values of its own (result -3).
    void corrected(const QString& what);
    // The controller took the record.
    void written(const QString& what);

    bool allApplied() const { return unapplied.isEmpty(); }
    const QList<Unapplied>& notWritten() const { return unapplied; }
    // "Home position: the controller refused the settings (result -1)", one per record.
    QStringList lines() const;
    // The log lines (each after logPrefix), the warnings first; then one box naming everything
    // not applied, ended by what the operator can do next.
    void tell(QWidget* parent, const QString& logPrefix, const QString& afterwards) const;

private:
    QList<Unapplied> unapplied;
    QStringList correctedPages;
    QStringList writtenPages;
    bool cutShort = false;
};

#endif // APPLYREPORT_H
