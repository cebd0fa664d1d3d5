#include "common/SettingsWriteReport.h"

#include "common/FileSaver.h"
#include "common/MessagePrompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SettingsWriteReport", text);
}

QSet<QString>& reportedFiles()
{
    static QSet<QString> files;
    return files;
}

QSet<QString>& reportedFolders()
{
    static QSet<QString> folders;
    return folders;
}

QString cleanFolder(const QString& folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// A folder whose disk is full still takes what fits: the daily log and small settings files
// go on growing there, and what does not fit is told as it fails.
bool diskFull(const QString& reason)
{
    for (int error : {ENOSPC, EFBIG, EDQUOT}) {
        if (reason == qt_error_string(error))
            return true;
    }
    return false;
}

} // namespace

bool SettingsWriteReport::folderReported(const QString& path)
{
    return reportedFolders().contains(cleanFolder(QFileInfo(path).absolutePath()));
}

void SettingsWriteReport::fileFailed(QWidget* parent, const QString& path, const QString& reason, const LogLine& log)
{
    const QString file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (reportedFiles().contains(file) || folderReported(file))
        return;
    reportedFiles().insert(file);
    if (log)
        log(tr("The configuration could not be written to %1: %2").arg(path, reason));
    MessagePrompter::current()->prompt(parent, QMessageBox::Warning, tr("Error"),
                                       tr("The configuration could not be written to %1.\n%2").arg(path, reason),
                                       QMessageBox::Ok, QMessageBox::Ok);
}

QString SettingsWriteReport::checkFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return tr("a file has its name");
    errno = 0;
    if (!QDir().mkpath(folder))
        return errno != 0 ? qt_error_string(errno) : tr("it cannot be created");
    const QString probe = folder + QStringLiteral("/.write-check");
    const QString reason = FileSaver::writeProblem(probe);
    QFile::remove(probe);
    return reason;
}

void SettingsWriteReport::folderFailed(QWidget* parent, const QString& folder, const QString& reason,
                                       const LogLine& log)
{
    const QString clean = cleanFolder(folder);
    if (reportedFolders().contains(clean))
        return;
    reportedFolders().insert(clean);
    const bool full = diskFull(reason);
    if (log) {
        log((full ? tr("The disk of the configuration folder %1 is full (%2): settings and the log are kept only "
                       "while it has room.")
                  : tr("The configuration folder %1 cannot be used (%2): settings and the log will not be kept this "
                       "session."))
                .arg(folder, reason));
    }
    MessagePrompter::current()->prompt(
        parent, QMessageBox::Warning, QStringLiteral("Tolmo"),
        (full ? tr("The disk of the configuration folder %1 is full: %2.\nSettings and the log are kept only while "
                   "it has room: free some space on it.")
              : tr("The configuration folder %1 cannot be used: %2.\nSettings and the log will not be kept this "
                   "session."))
            .arg(folder, reason),
        QMessageBox::Ok, QMessageBox::Ok);
}

void SettingsWriteReport::forget()
{
    reportedFiles().clear();
    reportedFolders().clear();
}
