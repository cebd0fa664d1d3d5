#ifndef LOGSETTINGS_H
#define LOGSETTINGS_H

#include <QDir>
#include <QMetaType>

// The program's log options. A plain value: it travels to the log thread as a copy, so the
// dialog that owns the original may change or go away meanwhile.
class LogSettings
{
public:
    LogSettings();
    LogSettings(int programLevel, int scriptLevel, int libraryLevel, bool autosave,
                const QDir& autosaveFolder);

    int programLevel;
    int scriptLevel;
    int libraryLevel;
    bool autosave;
    QDir autosaveFolder;
};

Q_DECLARE_METATYPE(LogSettings)

#endif
