#ifndef INIREADSOURCE_H
#define INIREADSOURCE_H

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryFile;

// What an INI store reads: the file itself, or a copy of it in which Qt will not rebuild objects
// from serialized data. Qt decodes a value written as "@Variant(…)" or "@DateTime(…)" with
// QDataStream, and a damaged or hostile payload there asks for an allocation of any size, which
// ends the program. The program never writes such values, so in the copy they read as the text
// they show.
class IniReadSource
{
public:
    IniReadSource(const IniReadSource&) = delete;
    IniReadSource& operator=(const IniReadSource&) = delete;

    // The file's bytes with every value that Qt would decode from a data stream made plain text
    // (its leading '@' doubled, as Qt writes a text that starts with '@'). *changed tells whether
    // anything was.
    static QByteArray neutralized(const QByteArray& bytes, bool* changed = nullptr);

protected:
    explicit IniReadSource(const QString& fileName);
    ~IniReadSource();

    // The path to hand to QSettings.
    QString readPath;

private:
    std::unique_ptr<QTemporaryFile> copy;
};

#endif // INIREADSOURCE_H
