#ifndef INISETTINGS_H
#define INISETTINGS_H

#include <QSettings>

// A QSettings object on one of the program's INI files (settings.ini, a per-controller file, a
// profile), read and written as IniText: texts as UTF-8, serialized objects never decoded.
class IniSettings : public QSettings
{
public:
    explicit IniSettings(const QString& fileName, QObject* parent = nullptr);
};

#endif
