#include "device/UpdateThread.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <memory>

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"

namespace {

constexpr int pauseSliceMs = 20;

QString boundedName(const char* name)
{
    if (!name)
        return QString();
    return QString::fromLocal8Bit(name, int(qstrnlen(name, UpdateThread::deviceNameSize - 1)));
}

int boundedPeriod(int ms) { return std::clamp(ms, 1, UpdateThread::maxReconnectIntervalMs); }

} // namespace

UpdateThread::UpdateThread(unsigned int number, QObject* /*parent*/, std::atomic<device_t>* deviceHandle,
                           const char* deviceName, DeviceInterface* gateway)
    : QThread(nullptr), deviceHandle(deviceHandle), deviceNameText(boundedName(deviceName)), number(number),
      gateway(gateway)
{
    registerTrovMetaTypes();
    std::memset(this->deviceName, 0, sizeof this->deviceName);
    if (deviceName)
        std::memcpy(this->deviceName, deviceName, qstrnlen(deviceName, deviceNameSize - 1));
    std::memset(&lastStatus, 0, sizeof lastStatus);
    std::memset(&lastChartData, 0, sizeof lastChartData);
    std::memset(&lastAnalogData, 0, sizeof lastAnalogData);
    endOrder.passAtEndOf(this);
}

UpdateThread::~UpdateThread()
{
    stopRequest.store(true);
    wait();
    endOrder.pass();
}

void UpdateThread::setReconnectInterval(int timeMs)
{
    reconnectIntervalMs.store(std::clamp(timeMs, minReconnectIntervalMs, maxReconnectIntervalMs));
}

void UpdateThread::setTiming(const Timing& timing)
{
    firmwarePeriodMs.store(boundedPeriod(timing.firmwarePeriodMs));
    bootloaderPeriodMs.store(boundedPeriod(timing.bootloaderPeriodMs));
    busyPauseMs.store(std::clamp(timing.busyPauseMs, 0, maxReconnectIntervalMs));
}

void UpdateThread::run()
{
    // The timer lives and dies in this thread; timeout runs update() here, not in the owner's thread.
    auto tickTimer = std::make_unique<QTimer>();
    tickTimer->setTimerType(Qt::PreciseTimer);
    connect(tickTimer.get(), &QTimer::timeout, this, &UpdateThread::update, Qt::DirectConnection);
    currentPeriodMs.store(firmwarePeriodMs.load());
    timer = tickTimer.get();
    tickTimer->start(currentPeriodMs.load());
    exec();
    timer = nullptr;
}

void UpdateThread::applyPeriod(int periodMs)
{
    if (currentPeriodMs.exchange(periodMs) == periodMs)
        return;
    // Only the thread's own tick may touch its timer; a restart on every tick would drift.
    if (QThread::currentThread() == this && timer)
        timer->setInterval(periodMs);
}

void UpdateThread::pause(int ms, const std::atomic<bool>* cancel) const
{
    for (int left = ms; left > 0 && !stopRequest.load() && !(cancel && cancel->load()); left -= pauseSliceMs)
        QThread::msleep(unsigned(std::min(left, pauseSliceMs)));
}

void UpdateThread::emitSample(bool connect, int deviceMode)
{
    status_t state;
    chart_data_t chart;
    analog_data_t analog;
    quint64 readNumber = 0;
    {
        std::lock_guard<std::mutex> lock(recordsMutex);
        state = lastStatus;
        chart = lastChartData;
        analog = lastAnalogData;
        readNumber = lastStatusReadNumber;
    }
    const QDateTime msrTime = QDateTime::currentDateTimeUtc();
    emit finished(int(number), msrTime, state, chart, analog, connect, deviceMode);
    emit sampleRead(int(number), msrTime, state, chart, analog, connect, deviceMode, readNumber);
}

void UpdateThread::update()
{
    if (stopRequest.load() && QThread::currentThread() == this && timer) {
        timer->stop();
        exit(0);
    }

    // Reconnections that finish after this point replace the handle this tick works with.
    const uint64_t reconnectionsBefore = reconnections.load();
    device_t id = -1;
    uint64_t handleSeen = 0;
    int mode = 0;
    {
        std::lock_guard<std::recursive_mutex> handleInUse(handleMutex);
        id = deviceHandle->load();
        handleSeen = handleChanges;
        mode = gateway->getMode(id);
    }

    switch (poll(id, handleSeen, mode)) {
    case Outcome::Silenced:
    case Outcome::HandleChanged:
    case Outcome::Sampled:
        break;
    case Outcome::Lost:
        reconnectSince(reconnectionsBefore);
        break;
    case Outcome::Busy:
        pause(busyPauseMs.load());
        break;
    case Outcome::NoDevice:
        reconnectSince(reconnectionsBefore);
        // The sample of this tick comes after the reconnection, unless polling was silenced meanwhile.
        if (PollingSilencer::beginTick()) {
            emitSample(false, 0);
            PollingSilencer::endTick();
        }
        break;
    }

    if (stopRequest.load() && QThread::currentThread() == this && timer) {
        timer->stop();
        exit(0);
    }
}

UpdateThread::Outcome UpdateThread::poll(device_t id, uint64_t handleSeen, int mode)
{
    // Everything between beginTick and endTick is short: a silencer waits for it.
    if (!PollingSilencer::beginTick())
        return Outcome::Silenced;
    struct TickEnd
    {
        ~TickEnd() { PollingSilencer::endTick(); }
    } tickEnd;

    if (mode != 1 && mode != 2)
        return Outcome::NoDevice;

    applyPeriod(mode == 2 ? firmwarePeriodMs.load() : bootloaderPeriodMs.load());

    // Reads one record. The flag is tested before every call, so a silencer waits for at most
    // the one call under way; Lost and Busy end the tick.
    auto read = [&](auto call, auto& record) -> Outcome {
        if (!pollingAllowed.load())
            return Outcome::Silenced;
        std::remove_reference_t<decltype(record)> fresh;
        std::memset(&fresh, 0, sizeof fresh);
        result_t result = result_ok;
        {
            // A close or reconnection waits for this call; one that came first ends the tick.
            std::lock_guard<std::recursive_mutex> handleInUse(handleMutex);
            if (handleChanges != handleSeen)
                return Outcome::HandleChanged;
            result = (gateway->*call)(id, &fresh);
        }
        if (result == result_nodevice) {
            emitSample(false, mode);
            return Outcome::Lost;
        }
        if (result == result_error)
            return Outcome::Busy;
        std::lock_guard<std::mutex> lock(recordsMutex);
        record = fresh;
        return Outcome::Sampled;
    };

    // Counted before the gateway's lock is asked for: a command that held the lock meanwhile
    // finds this read already counted, so its sample never passes for a later one.
    const quint64 readNumber = ++statusReads;
    Outcome outcome = read(&DeviceInterface::get_status, lastStatus);
    if (outcome != Outcome::Sampled)
        return outcome;
    {
        std::lock_guard<std::mutex> lock(recordsMutex);
        lastStatusReadNumber = readNumber;
    }

    if (mode == 2) {
        if (chartRecording.load() || joystickCalibrationOpen.load()) {
            outcome = read(&DeviceInterface::get_chart_data, lastChartData);
            if (outcome != Outcome::Sampled)
                return outcome;
        }
        if (analogDataWanted.load()) {
            outcome = read(&DeviceInterface::get_analog_data, lastAnalogData);
            if (outcome != Outcome::Sampled)
                return outcome;
        }
    }
    // A silencer that came during the last read gets no sample of it.
    if (!pollingAllowed.load())
        return Outcome::Silenced;
    emitSample(true, mode);
    return Outcome::Sampled;
}

std::unique_lock<std::mutex> UpdateThread::holdReconnection()
{
    return std::unique_lock<std::mutex>(reconnectMutex);
}

bool UpdateThread::reconnect()
{
    return reconnectSince(reconnections.load());
}

bool UpdateThread::reconnectSince(uint64_t seen)
{
    std::unique_lock<std::mutex> held = holdReconnection();
    // Another reconnection finished since the caller saw the device fail: it is already back.
    if (reconnections.load() != seen && deviceHandle->load() != -1)
        return true;
    return reconnectHeld(held);
}

bool UpdateThread::reconnectHeld(const std::unique_lock<std::mutex>& held, const std::atomic<bool>* cancel,
                                 int deadlineMs)
{
    Q_ASSERT(held.owns_lock() && held.mutex() == &reconnectMutex);
    Q_UNUSED(held);
    QElapsedTimer clock;
    clock.start();
    const auto givenUp = [&] {
        return stopRequest.load() || (cancel && cancel->load()) || (deadlineMs >= 0 && clock.elapsed() >= deadlineMs);
    };
    for (;;) {
        closeDevice();

        int interval = reconnectIntervalMs.load();
        if (deadlineMs >= 0)
            interval = int(std::min<qint64>(interval, std::max<qint64>(0, deadlineMs - clock.elapsed())));
        // Once an outage: a controller away for long would write a line every interval.
        if (!reconnectAnnounced) {
            qDebug() << "waiting for reconnect " << interval << " ms";
            reconnectAnnounced = true;
        }
        emitSample(false, -1);
        pause(interval, cancel);
        if (cancel && cancel->load())
            return false;

        const device_t id = gateway->open_device(deviceName);
        replaceHandle(id);
        if (id != -1) {
            ++reconnections;
            reconnectAnnounced = false;
            return true;
        }
        if (givenUp())
            return false;
    }
}

void UpdateThread::replaceHandle(device_t id)
{
    std::lock_guard<std::recursive_mutex> noTickUsesIt(handleMutex);
    ++handleChanges;
    deviceHandle->store(id);
}

void UpdateThread::closeDevice()
{
    std::lock_guard<std::recursive_mutex> noTickUsesIt(handleMutex);
    ++handleChanges;
    const device_t old = deviceHandle->exchange(-1);
    if (old != -1)
        gateway->close_device(old);
}
