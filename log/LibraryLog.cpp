#include "log/LibraryLog.h"

#include "common/SeenOrder.h"
#include "log/LibraryErrorCapture.h"
#include "log/MessageLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QThread>

#include <trov.h>

#include <atomic>

namespace {

// The current local time. Qt asks the C library for the zone on every call (several file
// system calls under a process-wide lock), too slow for a burst of library lines from several
// threads; the offset from UTC is asked once a minute instead (zones change on whole minutes).
QDateTime localNow()
{
    // The minute (high half) and its offset in seconds (low half), read and written as one.
    static std::atomic<quint64> minuteAndOffset{~quint64(0)};
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    const quint64 minute = static_cast<quint64>(msecs / 60000) & 0xFFFFFFFFu;
    quint64 cached = minuteAndOffset.load(std::memory_order_relaxed);
    if ((cached >> 32) != minute) {
        const int offset = QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime).offsetFromUtc();
        cached = (minute << 32) | static_cast<quint32>(offset);
        minuteAndOffset.store(cached, std::memory_order_relaxed);
    }
    const int offset = static_cast<int>(static_cast<quint32>(cached & 0xFFFFFFFFu));
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC, offset);
}

} // namespace

void libraryLogCallback(int level, const wchar_t* message)
{
    const QString text = message ? QString::fromWCharArray(message) : QString();
    LibraryErrorCapture::offer(level, text);
    MessageLog::insertLibraryLine(localNow(), level, text);
}

void stopMessageLog(MessageLog*& log, QThread*& thread)
{
    set_logging_callback(nullptr);
    if (thread) {
        // Its mutex needs no constructor run: it is there from the program's load, before any
        // thread, and the log thread sees it made.
        static SeenOrder order;
        if (log && log->thread() == thread && thread->isRunning()) {
            // Once its loop has stopped, the thread itself delivers the lines still queued to
            // the log, so none of them is dropped; nothing is posted to its queue from here.
            QObject::connect(thread, &QThread::finished, thread, [] {
                QCoreApplication::sendPostedEvents();
                order.pass();
            }, Qt::DirectConnection);
        }
        thread->quit();
        thread->wait();
        order.pass();
    }
    MessageLog::destroy(log);
    delete thread;
    thread = nullptr;
}
