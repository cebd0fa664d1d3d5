#include "log/LogSettings.h"

LogSettings::LogSettings()
    : programLevel(3), scriptLevel(3), libraryLevel(3), autosave(false), autosaveFolder(QString())
{
}

LogSettings::LogSettings(int programLevel, int scriptLevel, int libraryLevel, bool autosave,
                         const QDir& autosaveFolder)
    : programLevel(programLevel),
      scriptLevel(scriptLevel),
      libraryLevel(libraryLevel),
      autosave(autosave),
      autosaveFolder(autosaveFolder)
{
}
