#ifndef PAGEFILEREADER_H
#define PAGEFILEREADER_H

#include <QColor>
#include <QString>

class QSettings;

// Reads the keys of one group for a program page. Each key comes from file, else from defaults
// when given (a key missing there too reads as 0, true, or the colour "0"); with neither the
// key is reported as not found. A value that does not convert, or is not finite, is reported as
// wrong. The read functions return true when the widget is to take the value.
class PageFileReader
{
public:
    // Enters the group in both stores; the destructor leaves it.
    PageFileReader(QSettings* file, QSettings* defaults, const QString& group);
    ~PageFileReader();
    PageFileReader(const PageFileReader&) = delete;
    PageFileReader& operator=(const PageFileReader&) = delete;

    bool readInt(const QString& key, qint64* value);
    bool readReal(const QString& key, double* value);
    bool readBool(const QString& key, bool* value);
    bool readColor(const QString& key, QColor* value);

    const QString& report() const { return lines; }

private:
    // The text of the key, or false when it was reported; missing marks a key in neither store.
    bool text(const QString& key, QString* value, bool* missing);
    // The key's value through parse (false: the value is wrong), or whenMissing.
    template <typename T, typename Parse>
    bool read(const QString& key, T* value, T whenMissing, Parse parse);

    QSettings* file;
    QSettings* defaults;
    QString lines;
};

#endif // PAGEFILEREADER_H
