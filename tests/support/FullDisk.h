#ifndef FULLDISK_H
#define FULLDISK_H

#include <signal.h>
#include <sys/resource.h>

#include <QFile>

// A disk with only `room` bytes for any one file, without root and on any file system: a write
// beyond it fails with EFBIG. The limit holds for the whole process while the object lives.
struct FullDisk
{
    rlimit old{};
    explicit FullDisk(qint64 room)
    {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{rlim_t(room), old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &old); }
};

// Puts at path an INI file of a few kilobytes, as a user has one, and returns its bytes (none
// when it could not be written). A save over it fits in part, where buffered writers fail silently.
inline QByteArray putOldFile(const QString& path)
{
    QByteArray bytes = "[Old]\n";
    while (bytes.size() < 2000)
        bytes += "kept" + QByteArray::number(bytes.size()) + "=old text of the file\n";
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() ? bytes
                                                                                                       : QByteArray();
}

#endif // FULLDISK_H
