#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include <QDateTime>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>

// Writes one fuzz input as the file at path. Qt keeps a parsed INI file while its size and
// time stay the same, so every input gets a new modification time to be parsed afresh.
inline bool writeFuzzInput(const QString& path, const uint8_t* data, size_t size)
{
    static qint64 stamp = 0;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++stamp, Qt::UTC),
                            QFileDevice::FileModificationTime);
}

#endif // FUZZINPUT_H
