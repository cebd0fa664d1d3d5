#include "device/LeftRunning.h"

#include <QObject>
#include <QThread>

#include <atomic>

namespace {

std::atomic<int> kept{0};

class Keeper : public QObject
{
public:
    Keeper(const QList<QThread*>& threads, std::function<void()> free)
        : threads(threads), free(std::move(free))
    {
        ++kept;
        for (QThread* thread : threads)
            connect(thread, &QThread::finished, this, &Keeper::check, Qt::QueuedConnection);
        // A thread may have ended before the connection.
        QMetaObject::invokeMethod(this, &Keeper::check, Qt::QueuedConnection);
    }

private:
    void check()
    {
        if (freed)
            return;
        for (QThread* thread : threads) {
            if (!thread->isFinished())
                return;
        }
        freed = true;
        free();
        --kept;
        deleteLater();
    }

    const QList<QThread*> threads;
    const std::function<void()> free;
    bool freed = false;
};

} // namespace

void LeftRunning::keep(const QList<QThread*>& threads, std::function<void()> free)
{
    new Keeper(threads, std::move(free));
}

bool LeftRunning::any()
{
    return kept > 0;
}
