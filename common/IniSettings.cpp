#include "common/IniSettings.h"

IniSettings::IniSettings(const QString& fileName, QObject* parent)
    : QSettings(fileName, QSettings::IniFormat, parent)
{
    setIniCodec("UTF-8");
}
