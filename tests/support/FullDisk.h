#ifndef FULLDISK_H
#define FULLDISK_H

#include <signal.h>
#include <sys/resource.h>

#include <QtGlobal>

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

#endif // FULLDISK_H
