#include "common/IniSettings.h"

IniSettings::IniSettings(const QString& fileName, QObject* parent)
    : IniReadSource(fileName)
    , QSettings(readPath, QSettings::IniFormat, parent)
{
    setIniCodec("UTF-8");
}
