#ifndef FILESAVER_H
#define FILESAVER_H

#include <QByteArray>
#include <QString>

// Writes a file so that a failure never costs the old one: the bytes go to a temporary file
// beside the target, every write, the sync and the close are checked, and only then does the
// temporary file take the target's place. On failure the target is as it was and
// errorString() gives the system's reason ("No space left on device").
class FileSaver
{
public:
    explicit FileSaver(const QString& path);
    // Drops a temporary file that was not committed.
    ~FileSaver();
    FileSaver(const FileSaver&) = delete;
    FileSaver& operator=(const FileSaver&) = delete;

    bool open();
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Puts the written file in the target's place; false (target untouched) after any failure.
    bool commit();
    void cancel();
    QString errorString() const { return reason; }

    // The whole save in one call; *error gets the reason on failure.
    static bool save(const QString& path, const QByteArray& bytes, QString* error);
    // Why a write onto path fails now: it appends a block to the file (made when missing) and
    // syncs. Empty when that worked; the caller removes what it no longer needs.
    static QString writeProblem(const QString& path);

private:
    bool fail(const QString& what);
    bool failErrno(int error);

    QString target;
    QByteArray temporary;  // local 8-bit path of the temporary file while one exists
    int fd = -1;
    bool failed = false;
    QString reason;
};

#endif // FILESAVER_H
