#include "settingsdlg/ApplyReport.h"

#include "common/MessagePrompter.h"
#include "log/MessageLog.h"

QString ApplyReport::refusal(result_t result)
{
    switch (result) {
    case result_error:
        return tr("the controller refused the settings (result %1)").arg(result);
    case result_not_implemented:
        return tr("the controller does not support these settings (result %1)").arg(result);
    case result_nodevice:
        return tr("the controller is lost (result %1)").arg(result);
    default:
        return tr("the controller answered with result %1").arg(result);
    }
}

void ApplyReport::notApplied(const QList<SettingsPage>& pages, const QString& what, const QString& why)
{
    unapplied.append(Unapplied{pages, what, why});
}

void ApplyReport::notSent(const QList<SettingsPage>& pages, const QString& what, const QString& why)
{
    notApplied(pages, what, why);
    cutShort = true;
}

void ApplyReport::corrected(const QString& what)
{
    correctedPages.append(what);
}

void ApplyReport::written(const QString& what)
{
    writtenPages.append(what);
}

QStringList ApplyReport::lines() const
{
    QStringList all;
    for (const Unapplied& entry : unapplied)
        all << entry.what + QStringLiteral(": ") + entry.why;
    return all;
}

void ApplyReport::tell(QWidget* parent, const QString& logPrefix, const QString& afterwards) const
{
    // Warnings first: a window that shows only the latest line then shows the refusal.
    for (const QString& what : correctedPages)
        MessageLog::insertProgramLine(logPrefix
                    + tr("%1: the controller corrected values it does not accept (result -3); the page shows what it "
                         "holds")
                          .arg(what),
                2);
    const QStringList refused = lines();
    for (const QString& line : refused)
        MessageLog::insertProgramLine(logPrefix + tr("%1; not applied").arg(line), 1);
    if (refused.isEmpty())
        return;
    // A write cut short: what did reach the controller is told too.
    QString applied;
    if (cutShort && !writtenPages.isEmpty()) {
        applied = tr("These were applied: %1.").arg(writtenPages.join(QStringLiteral(", "))) + QStringLiteral("\n\n");
        MessageLog::insertProgramLine(logPrefix + applied.trimmed(), 2);
    }
    MessagePrompter::current()->prompt(parent, QMessageBox::Warning, tr("Settings not applied"),
                                       tr("These settings were not applied:") + QStringLiteral("\n\n")
                                           + refused.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + applied
                                           + afterwards,
                                       QMessageBox::Ok, QMessageBox::Ok);
}

void ApplyReport::tellNothingApplied(QWidget* parent, const QString& logPrefix, const QString& why,
                                     const QString& afterwards)
{
    const QString line = tr("Nothing was applied: %1.").arg(why);
    MessageLog::insertProgramLine(logPrefix + line, 1);
    MessagePrompter::current()->prompt(parent, QMessageBox::Warning, tr("Settings not applied"),
                                       line + QStringLiteral("\n\n") + afterwards, QMessageBox::Ok, QMessageBox::Ok);
}

void ApplyReport::tellRefusedCommand(QWidget* parent, const QString& logPrefix, const QString& title,
                                     const QString& what, result_t result, const QString& afterwards)
{
    const QString line = tr("%1: %2.").arg(what, refusal(result));
    MessageLog::insertProgramLine(logPrefix + line, 1);
    MessagePrompter::current()->prompt(parent, QMessageBox::Warning, title,
                                       line + QStringLiteral("\n\n") + afterwards, QMessageBox::Ok, QMessageBox::Ok);
}
