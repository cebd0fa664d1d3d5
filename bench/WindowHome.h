#ifndef WINDOWHOME_H
#define WINDOWHOME_H

// A home folder of its own for a benchmark that builds a control window: its configuration and
// an empty defaults file, so that the window's set-up finds what it needs.

#include <QFile>
#include <QTemporaryDir>

struct WindowHome
{
    QTemporaryDir home;
    WindowHome()
    {
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home.path()));
        QFile defaults(home.filePath(QStringLiteral("tolmodefault.cfg")));
        defaults.open(QIODevice::WriteOnly);
    }
};

#endif // WINDOWHOME_H
