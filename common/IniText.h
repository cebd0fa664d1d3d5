#ifndef INITEXT_H
#define INITEXT_H

#include <QByteArray>
#include <QSettings>

// The text of the program's INI files, in the layout of Qt's own INI format so that every file
// stored before reads as it did, and QSettings on top for its callers.
//
// Reading never rebuilds an object from serialized data: Qt decodes a value written as
// "@Variant(…)" or "@DateTime(…)" with QDataStream, and a damaged payload there asks for an
// allocation of any size, which ends the program. Here such a value is the text it shows; only a
// value (or list entry) that starts with one of them is such a value. Writing keeps every text
// whole: Qt's own writer drops characters beyond U+FFFF.
class IniText
{
public:
    // The QSettings format of these files (registered once).
    static QSettings::Format format();

    // Every key ("group/key") of the file with its value.
    static QSettings::SettingsMap parse(const QByteArray& bytes);
    static QByteArray serialize(const QSettings::SettingsMap& map);
};

#endif // INITEXT_H
