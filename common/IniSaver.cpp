#include "common/IniSaver.h"

#include "common/FileSaver.h"
#include "common/IniSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <atomic>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("IniSaver", text);
}

QSet<QString> keySet(const QStringList& keys)
{
    return QSet<QString>(keys.begin(), keys.end());
}

// A path no other store has used in this process: QSettings keeps parsed files by path.
QString unusedPath()
{
    static std::atomic<unsigned> counter{0};
    return QDir::tempPath()
           + QStringLiteral("/.tolmo-unsaved-%1-%2.ini").arg(QCoreApplication::applicationPid()).arg(++counter);
}

} // namespace

IniSaver::IniSaver(const QString& path)
    : target(path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (info.isDir())
        problem = tr("%1 is a folder").arg(path);
    else if (!QDir().mkpath(folder))
        problem = tr("cannot create the folder %1").arg(folder);
    // The copy lives beside the file: if it cannot be written there, neither can the file.
    if (problem.isEmpty()) {
        copy = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/.") + info.fileName()
                                                + QStringLiteral(".XXXXXX"));
        if (!copy->open())
            problem = copy->errorString();
    }
    if (problem.isEmpty() && info.exists()) {
        QFile original(path);
        QByteArray bytes;
        if (!original.open(QIODevice::ReadOnly))
            problem = tr("%1 cannot be read: %2").arg(path, original.errorString());
        else
            bytes = original.readAll();
        if (problem.isEmpty() && original.error() != QFileDevice::NoError)
            problem = tr("%1 cannot be read: %2").arg(path, original.errorString());
        // A copy cut short would lose the keys it misses at the commit.
        if (problem.isEmpty() && (copy->write(bytes) != bytes.size() || !copy->flush())) {
            // A write the disk took in part leaves Qt without a reason ("Unknown error"): the
            // system gives it.
            problem = FileSaver::writeProblem(copy->fileName());
            if (problem.isEmpty())
                problem = copy->errorString();
        }
    }
    if (problem.isEmpty()) {
        copy->close();
        store = std::make_unique<IniSettings>(copy->fileName());
    } else {
        // Something to read from that is never the file itself; commit() fails.
        copy.reset();
        store = std::make_unique<IniSettings>(unusedPath());
    }
}

IniSaver::~IniSaver()
{
    const QString storePath = store->fileName();
    const bool unsaved = !copy;
    store.reset();
    if (unsaved)
        QFile::remove(storePath);
}

QSettings& IniSaver::settings()
{
    return *store;
}

bool IniSaver::commit(QString* error)
{
    const auto failWith = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!problem.isEmpty())
        return failWith(problem);
    while (!store->group().isEmpty())
        store->endGroup();
    store->sync();
    // A malformed file read in reports a format error, yet it was written whole.
    if (store->status() == QSettings::AccessError) {
        const QString reason = FileSaver::writeProblem(copy->fileName());
        return failWith(reason.isEmpty() ? tr("the settings could not be written") : reason);
    }
    QFile written(copy->fileName());
    if (!written.open(QIODevice::ReadOnly))
        return failWith(written.errorString());
    const QByteArray bytes = written.readAll();
    written.close();

    // Whole: QSettings ends every line, so a copy cut short misses its line end or whole keys.
    // Read back under another name, so that the store's own parse is not taken again.
    const QSet<QString> keys = keySet(store->allKeys());
    bool whole = bytes.isEmpty() ? keys.isEmpty() : bytes.endsWith('\n');
    const QString readBack = copy->fileName() + QStringLiteral(".check");
    if (whole) {
        if (!QFile::rename(copy->fileName(), readBack))
            return failWith(tr("the settings could not be checked"));
        {
            const IniSettings check(readBack);
            whole = keySet(check.allKeys()) == keys;
        }
    }
    QString reason;
    if (!whole) {
        reason = FileSaver::writeProblem(QFileInfo::exists(readBack) ? readBack : copy->fileName());
        if (reason.isEmpty())
            reason = tr("the settings could not be written whole");
    }
    QFile::remove(readBack);
    if (!whole)
        return failWith(reason);
    return FileSaver::save(target, bytes, error);
}
