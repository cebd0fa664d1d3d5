#ifndef INISAVER_H
#define INISAVER_H

#include <QString>

#include <memory>

class QSettings;
class QTemporaryFile;

// Changes an INI file with the safety of FileSaver. QSettings writes a small file into a buffer
// and reports nothing when the disk refuses it at the close, so the changes are made on a copy
// beside the file; commit() checks that the copy came out whole and hands its bytes to
// FileSaver. A failed commit leaves the file as it was.
class IniSaver
{
public:
    // Reads the file as it is (a missing one is empty; serialized objects read as text, see
    // IniText). Its folder is made when missing.
    explicit IniSaver(const QString& path);
    ~IniSaver();
    IniSaver(const IniSaver&) = delete;
    IniSaver& operator=(const IniSaver&) = delete;

    // The file's settings, to read and change; commit() makes the changes the file's.
    QSettings& settings();
    QString path() const { return target; }
    bool commit(QString* error);

private:
    QString target;
    std::unique_ptr<QTemporaryFile> copy;
    std::unique_ptr<QSettings> store;
    QString problem;
};

#endif // INISAVER_H
