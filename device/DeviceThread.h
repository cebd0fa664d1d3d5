#ifndef DEVICETHREAD_H
#define DEVICETHREAD_H

#include <QList>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <cstdint>

#include "device/TrovMetaTypes.h"
#include "trov.h"

class DeviceInterface;

// Lists the controllers the library can find, in a thread of its own so that the search
// window stays responsive. One start makes one enumeration and ends with one finished().
class DeviceThread : public QThread
{
    Q_OBJECT

public:
    // Flags of the items in the search window's list.
    static constexpr Qt::ItemFlags readableFlags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    // Longest device name kept, in bytes (what the polling thread can hold).
    static constexpr int maxNameLength = 255;

    // The parent argument is ignored: the thread has no QObject parent.
    DeviceThread(QObject* parent, DeviceInterface* gateway, uint32_t enumerationFlags);
    // Stops the run and waits for it.
    ~DeviceThread() override;

    // The name without its dots and backslashes, read up to its NUL or 256 characters.
    static QString cleanPortName(const char* name);

    // Set by the owner: the run ends before its next device without emitting.
    std::atomic<bool> stopRequest{false};

signals:
    void finished(QStringList names, QStringList descriptions, QList<uint32_t> serials,
                  QList<Qt::ItemFlags> flags);

protected:
    void run() override;

private:
    DeviceInterface* const gateway;
    const uint32_t enumerationFlags;
};

#endif // DEVICETHREAD_H
