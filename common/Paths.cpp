#include "common/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {

QString homeDirectory()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return QFile::decodeName(home);

    // Without HOME the configuration must not land at the root of the file system.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result
        && result->pw_dir && result->pw_dir[0] != '\0')
        return QFile::decodeName(result->pw_dir);
    return QDir::tempPath();
}

} // namespace

QString configDirPath()
{
    return homeDirectory() + QStringLiteral("/.config/Tolmo.conf");
}

bool createConfigDir()
{
    return QDir().mkpath(configDirPath());
}

QString settingsIniPath()
{
    return configDirPath() + QStringLiteral("/settings.ini");
}

QString sharePath()
{
    // Tests and a start from the build tree point it elsewhere.
    const QByteArray overridden = qgetenv("TOLMO_SHARE_DIR");
    if (!overridden.isEmpty())
        return QFile::decodeName(overridden) + QLatin1Char('/');
    // Installed data first; a program run from its build folder finds the copies beside itself.
    const QString installed = QStringLiteral("/usr/share/tolmo/");
    if (QFileInfo(installed).isDir() || !QCoreApplication::instance())
        return installed;
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

QString scriptsPath()
{
    return sharePath() + QStringLiteral("/scripts/");
}

QString profilesPath()
{
    return sharePath() + QStringLiteral("/profiles/");
}

QString fileNameFromPath(const QString& path)
{
    const int separator = qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(separator + 1);
}
