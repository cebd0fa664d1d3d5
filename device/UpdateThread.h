#ifndef UPDATETHREAD_H
#define UPDATETHREAD_H

#include <QDateTime>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "common/SeenOrder.h"
#include "device/TrovMetaTypes.h"
#include "trov.h"

class DeviceInterface;
class QTimer;

// Watches one open controller: reads its state every 100 ms (500 ms in its bootloader) in a
// thread of its own and hands every sample out through finished(). A lost controller is
// announced and reopened by name until it is back. Parts that need the controller to
// themselves silence it with a PollingSilencer.
class UpdateThread : public QThread
{
    Q_OBJECT

public:
    // Poll periods and the pause after a busy answer; tests and benchmarks shorten them
    // before the thread starts.
    struct Timing
    {
        int firmwarePeriodMs = 100;
        int bootloaderPeriodMs = 500;
        int busyPauseMs = 1000;
    };

    static constexpr int minReconnectIntervalMs = 10;
    static constexpr int maxReconnectIntervalMs = 60000;
    static constexpr int deviceNameSize = 256;

    // The parent argument is ignored: the thread has no QObject parent. The handle is shared
    // with the owner and the parts that reach this axis through the thread; it must outlive it.
    UpdateThread(unsigned int number, QObject* parent, std::atomic<device_t>* deviceHandle,
                 const char* deviceName, DeviceInterface* gateway);
    // Stops the thread and waits for it.
    ~UpdateThread() override;

    // Closes the controller if it is open and reopens it by name, retrying at the reconnect
    // interval until it opens or a stop is requested. Callable from any thread; a caller that
    // waited while another reconnection of this axis reopened the device returns at once.
    bool reconnect();

    // Keeps every other reconnection of this axis out while the holder replaces the device
    // (closes it, uploads, reopens it with reconnectHeld()).
    std::unique_lock<std::mutex> holdReconnection();
    // reconnect() for a caller that holds holdReconnection(). It also gives up, returning false
    // with the handle at -1, once `cancel` is set or deadlineMs (when not negative) has passed;
    // polling's own reconnection then carries on.
    bool reconnectHeld(const std::unique_lock<std::mutex>& held, const std::atomic<bool>* cancel = nullptr,
                       int deadlineMs = -1);
    // Sets the shared handle to -1 and closes the device it named. Callable from any thread: a
    // library call of a tick on that handle finishes first, and the tick sees the change before
    // its next call and ends there, so no poll ever uses a closed handle. Waits for at most one
    // library call of the tick; a slot connected directly to the gateway's signals may call it.
    void closeDevice();

    void setTiming(const Timing& timing);
    // Period the timer runs at now: 100 ms in firmware, 500 ms in the bootloader.
    int pollPeriod() const { return currentPeriodMs.load(); }
    int reconnectInterval() const { return reconnectIntervalMs.load(); }
    // How many status reads this thread has begun. A read is counted before it asks for the
    // gateway's lock, so a sample whose statusReadNumber is above the count taken just after a
    // command returned read the controller after that command.
    quint64 statusReadsBegun() const { return statusReads.load(); }
    // Counts the controller's reopenings (by polling or the firmware update): a part waiting for a
    // lost controller follows this, not the handle's number, which the library may give again.
    const std::atomic<uint64_t>& reopenings() const { return reconnections; }

    // The handle of the open controller, -1 while none is open.
    std::atomic<device_t>* const deviceHandle;
    // The name the controller is reopened by, NUL-terminated, and the same as text.
    char deviceName[deviceNameSize];
    const QString deviceNameText;
    // Set by the owner to end the thread; it ends at its next tick.
    std::atomic<bool> stopRequest{false};

signals:
    void finished(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                  analog_data_t analog_data, bool connect, int device_mode);
    // The same sample, right after finished(), with the number of its status read (see
    // statusReadsBegun()). msrTime is taken after the reads, so it cannot tell whether a read
    // began before or after a command sent meanwhile; this number can.
    void sampleRead(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                    analog_data_t analog_data, bool connect, int device_mode, quint64 statusReadNumber);

public slots:
    // Bounded to minReconnectIntervalMs .. maxReconnectIntervalMs.
    void setReconnectInterval(int timeMs);
    // One polling tick; the thread's timer calls it.
    void update();

protected:
    void run() override;

private:
    enum class Outcome { Silenced, Sampled, Lost, Busy, NoDevice, HandleChanged };

    Outcome poll(device_t id, uint64_t handleSeen, int mode);
    void replaceHandle(device_t id);
    // Reconnects unless a reconnection has finished since the count of them was seen.
    bool reconnectSince(uint64_t seen);
    void emitSample(bool connect, int deviceMode);
    void applyPeriod(int periodMs);
    // Sleeps in short slices so that a stop request (or `cancel`) cuts it short.
    void pause(int ms, const std::atomic<bool>* cancel = nullptr) const;

    const unsigned int number;
    DeviceInterface* const gateway;
    std::atomic<int> reconnectIntervalMs{1000};
    std::atomic<int> firmwarePeriodMs{100};
    std::atomic<int> bootloaderPeriodMs{500};
    std::atomic<int> busyPauseMs{1000};
    std::atomic<int> currentPeriodMs{100};
    std::atomic<quint64> statusReads{0};
    QTimer* timer = nullptr;

    // One reconnection of this axis at a time; the count of successful ones tells a waiting
    // caller that the work is already done.
    std::mutex reconnectMutex;
    std::atomic<uint64_t> reconnections{0};
    // Guarded by reconnectMutex: the outage under way has been announced.
    bool reconnectAnnounced = false;
    // Held by a tick for each library call on its handle and by every change of the handle;
    // handleChanges counts the changes, so a tick knows whether the handle it read still holds.
    // Recursive: the gateway reports a failure while its caller still holds it, and a slot
    // connected directly may close or reconnect the device from that same thread.
    std::recursive_mutex handleMutex;
    uint64_t handleChanges = 0;

    // The last records read; the firmware thread's reconnection sends them too.
    std::mutex recordsMutex;
    status_t lastStatus;
    chart_data_t lastChartData;
    analog_data_t lastAnalogData;
    quint64 lastStatusReadNumber = 0;

    // Orders the thread's end before the destructor for the thread sanitizer, as wait() does.
    SeenOrder endOrder;
};

#endif // UPDATETHREAD_H
