#include "common/FileSaver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FileSaver", text);
}

bool writeAll(int fd, const char* data, qint64 size, int* error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// fsync, where the file system has one.
bool syncFile(int fd, int* error)
{
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
        return true;
    *error = errno;
    return false;
}

void syncFolder(const QByteArray& folder)
{
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    ::fsync(dirFd);
    ::close(dirFd);
}

qint64 milliseconds(const timespec& t)
{
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

FileSaver::FileSaver(const QString& path)
    : target(path)
{
}

FileSaver::~FileSaver()
{
    cancel();
}

bool FileSaver::fail(const QString& what)
{
    failed = true;
    if (reason.isEmpty())
        reason = what;
    cancel();
    return false;
}

bool FileSaver::failErrno(int error)
{
    return fail(qt_error_string(error));
}

bool FileSaver::open()
{
    cancel();
    failed = false;
    reason.clear();
    // A link is followed: the file it names is replaced, the link stays.
    QFileInfo info(target);
    if (info.isSymLink()) {
        const QString resolved = info.canonicalFilePath();
        target = resolved.isEmpty() ? info.symLinkTarget() : resolved;
        info = QFileInfo(target);
    }
    const QByteArray name = QFile::encodeName(target);
    struct stat old {};
    const bool exists = ::stat(name.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return fail(tr("%1 is a folder").arg(target));
    if (exists && !S_ISREG(old.st_mode))
        return fail(tr("%1 is not a regular file").arg(target));
    // A file the user made read-only stays as it is.
    if (exists && ::access(name.constData(), W_OK) != 0)
        return failErrno(errno);

    temporary = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        temporary.clear();
        return failErrno(errno);
    }
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its owner.
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return failErrno(errno);
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            const int kept = ::fchown(fd, old.st_uid, old.st_gid);
            Q_UNUSED(kept);
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0)
            return failErrno(errno);
    }
    return true;
}

bool FileSaver::write(const char* data, qint64 size)
{
    if (failed || fd < 0)
        return fail(tr("The file is not open"));
    int error = 0;
    if (!writeAll(fd, data, size, &error))
        return failErrno(error);
    return true;
}

bool FileSaver::commit()
{
    if (failed || fd < 0)
        return fail(tr("The file is not open"));
    int error = 0;
    if (!syncFile(fd, &error))
        return failErrno(error);
    const QByteArray name = QFile::encodeName(target);
    struct stat old {};
    if (::stat(name.constData(), &old) == 0) {
        // Settings readers keep a parsed file while its size and time are the same: the time
        // must move even when two saves fall into one tick of the file system's clock.
        timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        if (milliseconds(now) <= milliseconds(old.st_mtim)) {
            now = old.st_mtim;
            now.tv_nsec = (now.tv_nsec / 1000000 + 1) * 1000000;
            if (now.tv_nsec >= 1000000000) {
                now.tv_sec += 1;
                now.tv_nsec -= 1000000000;
            }
        }
        const timespec times[2] = {now, now};
        ::futimens(fd, times);
    }
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0)
        return failErrno(errno);
    if (::rename(temporary.constData(), name.constData()) != 0)
        return failErrno(errno);
    temporary.clear();
    syncFolder(QFile::encodeName(QFileInfo(target).absolutePath()));
    return true;
}

void FileSaver::cancel()
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (!temporary.isEmpty()) {
        ::unlink(temporary.constData());
        temporary.clear();
    }
}

bool FileSaver::save(const QString& path, const QByteArray& bytes, QString* error)
{
    FileSaver saver(path);
    if (saver.open() && saver.write(bytes) && saver.commit())
        return true;
    if (error)
        *error = saver.errorString();
    return false;
}

QString FileSaver::writeProblem(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int probe = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (probe < 0)
        return qt_error_string(errno);
    // One block of data: a full disk refuses it, and so does a file at its size limit.
    const QByteArray block(4096, '\n');
    int error = 0;
    bool ok = writeAll(probe, block.constData(), block.size(), &error) && syncFile(probe, &error);
    if (::close(probe) != 0 && ok) {
        error = errno;
        ok = false;
    }
    return ok ? QString() : qt_error_string(error);
}
