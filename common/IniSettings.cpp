#include "common/IniSettings.h"

#include "common/IniText.h"

IniSettings::IniSettings(const QString& fileName, QObject* parent)
    : QSettings(fileName, IniText::format(), parent)
{
}
