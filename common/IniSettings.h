#ifndef INISETTINGS_H
#define INISETTINGS_H

#include "common/IniReadSource.h"

#include <QSettings>

// A QSettings object on an INI file that reads and writes text as UTF-8. Every object on
// settings.ini, a per-controller file or a profile must be one of these: Qt shares the parsed
// file between objects on the same path, so one object without the codec would garble the
// texts for all the others. A file holding serialized objects is read from a copy where they
// are text (see IniReadSource); such an object is for reading only.
class IniSettings : private IniReadSource, public QSettings
{
public:
    explicit IniSettings(const QString& fileName, QObject* parent = nullptr);
};

#endif
