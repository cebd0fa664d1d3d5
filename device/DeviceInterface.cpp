#include "device/DeviceInterface.h"

#include <QByteArray>
#include <QDebug>

#include <algorithm>
#include <chrono>
#include <cstring>


namespace {

// About a second: 51 slices of 20 ms, as the lock was always waited for.
constexpr auto lockSlice = std::chrono::milliseconds(20);
constexpr auto lockWaitLimit = 51 * lockSlice;
constexpr uint64_t modeMask = 0xff;

int modeOf(uint64_t state) { return int(state & modeMask); }
uint64_t generationOf(uint64_t state) { return state >> 8; }

thread_local const std::atomic<bool>* callBar = nullptr;
thread_local DeviceInterface::LockWait* lockScope = nullptr;
thread_local bool goesFirst = false;
thread_local std::atomic<bool>* holdMark = nullptr;
thread_local bool quietFailures = false;
thread_local DeviceInterface::CallCounts callCounts;

bool callsBarred() { return callBar && callBar->load(); }

} // namespace

DeviceInterface::DeviceInterface()
{
    // Queued signals of every gateway carry result_t; register before anything connects.
    registerTrovMetaTypes();
}

DeviceInterface::~DeviceInterface() = default;

void DeviceInterface::setThreadCallBar(const std::atomic<bool>* bar)
{
    callBar = bar;
}

const std::atomic<bool>* DeviceInterface::threadCallBar()
{
    return callBar;
}

bool DeviceInterface::callsRefusedHere()
{
    return callsBarred() || (lockScope && lockScope->refusedLock);
}

void DeviceInterface::setThreadGoesFirst(bool first)
{
    goesFirst = first;
}

void DeviceInterface::setThreadHoldMark(std::atomic<bool>* mark)
{
    holdMark = mark;
}

DeviceInterface::CallCounts DeviceInterface::callCountsHere()
{
    return callCounts;
}

DeviceInterface::QuietFailures::QuietFailures() : outer(quietFailures)
{
    quietFailures = true;
}

DeviceInterface::QuietFailures::~QuietFailures()
{
    quietFailures = outer;
}

DeviceInterface::LockWait::LockWait(QDeadlineTimer deadline, Until until, std::atomic<bool>* started)
    : deadline(deadline), until(until), startedMark(started), outer(lockScope)
{
    lockScope = this;
}

DeviceInterface::LockWait::~LockWait()
{
    lockScope = outer;
}

bool DeviceInterface::lock()
{
    using Clock = std::chrono::steady_clock;
    LockWait* const scope = lockScope;
    if (scope && scope->refusedLock) {
        ++callCounts.refused;
        return false;
    }
    const Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + lockWaitLimit;
    if (scope && scope->until == LockWait::Until::FirstCall && scope->started)
        deadline = start + lockWaitLimit;
    else if (scope && scope->deadline.isForever())
        deadline = Clock::time_point::max();
    else if (scope)
        deadline = start + std::chrono::nanoseconds(std::max<qint64>(0, scope->deadline.remainingTimeNSecs()));
    const Clock::time_point announceAt = start + lockSlice;
    bool announced = false;
    bool got = false;
    std::unique_lock<std::mutex> guard(lockState);
    // Served in the order they came: a caller that took the lock once does not take it again
    // before those already waiting.
    const quint64 turn = nextTurn++;
    std::set<quint64>& line = goesFirst ? first : others;
    line.insert(turn);
    for (;;) {
        // Read with the state held: a bar set before this call got the lock stops it here.
        if (callsBarred())
            break;
        const bool mine = goesFirst ? *first.begin() == turn : first.empty() && *others.begin() == turn;
        // An expired deadline still takes a free lock.
        if (!held && mine) {
            held = true;
            got = true;
            markedHolder.store(holdMark != nullptr);
            if (holdMark)
                holdMark->store(true);
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!announced && (now >= announceAt || now >= deadline)) {
            guard.unlock();
            qDebug("DeviceInterface::lock() Mutex is already locked!");
            guard.lock();
            announced = true;
            continue;
        }
        if (now >= deadline)
            break;
        Clock::time_point wake = announced ? deadline : std::min(deadline, announceAt);
        // A bar is set without a word to the gateway: looked at now and then.
        if (callBar)
            wake = std::min(wake, now + lockSlice);
        if (wake == Clock::time_point::max())
            lockFreed.wait(guard);
        else
            lockFreed.wait_until(guard, wake);
    }
    line.erase(turn);
    // The next in line may take a free lock now.
    if (!got)
        lockFreed.notify_all();
    guard.unlock();
    if (got) {
        ++callCounts.made;
        for (LockWait* s = scope; s; s = s->outer) {
            s->started = true;
            if (s->startedMark)
                s->startedMark->store(true);
        }
        return true;
    }
    ++callCounts.refused;
    if (scope && !callsBarred())
        scope->refusedLock = true;
    return false;
}

void DeviceInterface::lockRegardless()
{
    std::unique_lock<std::mutex> guard(lockState);
    const quint64 turn = nextTurn++;
    std::set<quint64>& line = goesFirst ? first : others;
    line.insert(turn);
    lockFreed.wait(guard, [&] {
        return !held && (goesFirst ? *first.begin() == turn : first.empty() && *others.begin() == turn);
    });
    line.erase(turn);
    held = true;
    markedHolder.store(holdMark != nullptr);
    if (holdMark)
        holdMark->store(true);
    ++callCounts.made;
}

void DeviceInterface::unlock()
{
    std::lock_guard<std::mutex> guard(lockState);
    held = false;
    markedHolder.store(false);
    if (holdMark)
        holdMark->store(false);
    lockFreed.notify_all();
}

result_t DeviceInterface::finish(const char* name, OnValueError onValueError, result_t result)
{
    lastResultValue.store(result);
    // Unlocked before the signal: a slot connected directly may call the gateway again.
    unlock();
    if (result == result_ok && std::strncmp(name, "command_", 8) == 0)
        emit commandTaken();
    if (result != result_ok && !quietFailures) {
        if (result == result_value_error && onValueError == OnValueError::Warning)
            emit warningSignal(name, result);
        else
            emit errorSignal(name, result);
    }
    return result;
}

template <typename Call>
result_t DeviceInterface::locked(const char* name, OnValueError onValueError, Call&& call)
{
    if (!lock())
        return result_error;
    return finish(name, onValueError, call());
}

void DeviceInterface::forgetMode()
{
    uint64_t state = modeState.load();
    while (!modeState.compare_exchange_weak(state, (generationOf(state) + 1) << 8)) {
    }
}

device_t DeviceInterface::open_device(const char* name)
{
    if (!lock())
        return -1;
    const device_t id = ::open_device(name);
    openedHandle.store(id);
    unlock();
    forgetMode();
    return id;
}

result_t DeviceInterface::close_device(device_t id)
{
    if (!lock())
        lockRegardless();
    device_t copy = id;
    const result_t result = ::close_device(&copy);
    // Forgotten before the signal, so that its slots see no mode of the closed handle.
    forgetMode();
    return finish("close_device", OnValueError::Error, result);
}

result_t DeviceInterface::probe_device(const char* name)
{
    return locked("probe_device", OnValueError::Error, [&] { return ::probe_device(name); });
}

enumeration_handle_t DeviceInterface::enumerate_devices(int flags)
{
    if (!lock())
        return nullptr;
    const enumeration_handle_t handle = ::enumerate_devices(flags);
    unlock();
    return handle;
}

result_t DeviceInterface::free_enumerate_devices(enumeration_handle_t handle)
{
    return locked("free_enumerate_devices", OnValueError::Error, [&] { return ::free_enumerate_devices(handle); });
}

result_t DeviceInterface::get_enumerate_device_serial(enumeration_handle_t handle, int index, uint32_t* serial)
{
    return locked("get_enumerate_device_serial", OnValueError::Error,
                  [&] { return ::get_enumerate_device_serial(handle, index, serial); });
}

result_t DeviceInterface::get_enumerate_device_information(enumeration_handle_t handle, int index,
                                                           device_information_t* info)
{
    return locked("get_enumerate_device_information", OnValueError::Error,
                  [&] { return ::get_enumerate_device_information(handle, index, info); });
}

#define DEVICE_INTERFACE_DEFINE_RECORD(name)                                                              \
    result_t DeviceInterface::get_##name(device_t id, name##_t* record)                                   \
    {                                                                                                     \
        return locked("get_" #name, OnValueError::Error, [&] { return ::get_##name(id, record); });       \
    }                                                                                                     \
    result_t DeviceInterface::set_##name(device_t id, const name##_t* record)                             \
    {                                                                                                     \
        return locked("set_" #name, OnValueError::Warning, [&] { return ::set_##name(id, record); });     \
    }
DEVICE_INTERFACE_RECORDS(DEVICE_INTERFACE_DEFINE_RECORD)
#undef DEVICE_INTERFACE_DEFINE_RECORD

#define DEVICE_INTERFACE_DEFINE_COMMAND(name)                                                   \
    result_t DeviceInterface::name(device_t id)                                                 \
    {                                                                                           \
        return locked(#name, OnValueError::Error, [&] { return ::name(id); });                  \
    }
DEVICE_INTERFACE_COMMANDS(DEVICE_INTERFACE_DEFINE_COMMAND)
#undef DEVICE_INTERFACE_DEFINE_COMMAND

result_t DeviceInterface::command_move(device_t id, int position, int uposition)
{
    return locked("command_move", OnValueError::Error, [&] { return ::command_move(id, position, uposition); });
}

result_t DeviceInterface::command_movr(device_t id, int delta, int udelta)
{
    return locked("command_movr", OnValueError::Error, [&] { return ::command_movr(id, delta, udelta); });
}

result_t DeviceInterface::set_position(device_t id, set_position_t position)
{
    return locked("command_setposition", OnValueError::Error, [&] { return ::set_position(id, &position); });
}

result_t DeviceInterface::get_position(device_t id, get_position_t* position)
{
    return locked("command_getposition", OnValueError::Error, [&] { return ::get_position(id, position); });
}

result_t DeviceInterface::get_status(device_t id, status_t* status)
{
    return locked("get_status", OnValueError::Error, [&] { return ::get_status(id, status); });
}

result_t DeviceInterface::get_chart_data(device_t id, chart_data_t* data)
{
    return locked("get_chart_data", OnValueError::Error, [&] { return ::get_chart_data(id, data); });
}

result_t DeviceInterface::get_analog_data(device_t id, analog_data_t* data)
{
    return locked("get_analog_data", OnValueError::Error, [&] { return ::get_analog_data(id, data); });
}

result_t DeviceInterface::get_device_information(device_t id, device_information_t* info)
{
    return locked("get_device_information", OnValueError::Error, [&] { return ::get_device_information(id, info); });
}

result_t DeviceInterface::get_serial_number(device_t id, uint32_t* serial)
{
    return locked("get_serial_number", OnValueError::Error, [&] { return ::get_serial_number(id, serial); });
}

result_t DeviceInterface::get_firmware_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release)
{
    return locked("get_firmware_version", OnValueError::Error,
                  [&] { return ::get_firmware_version(id, major, minor, release); });
}

result_t DeviceInterface::get_bootloader_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release)
{
    return locked("get_bootloader_version", OnValueError::Error,
                  [&] { return ::get_bootloader_version(id, major, minor, release); });
}

result_t DeviceInterface::get_debug_read(device_t id, debug_read_t* data)
{
    return locked("get_debug_read", OnValueError::Error, [&] { return ::get_debug_read(id, data); });
}

result_t DeviceInterface::command_update_firmware(const char* name, const uint8_t* data, uint32_t size)
{
    return locked("command_update_firmware", OnValueError::Error,
                  [&] { return ::command_update_firmware(name, data, size); });
}

result_t DeviceInterface::service_command_updf(device_t id)
{
    return locked("command_updf", OnValueError::Error, [&] { return ::service_command_updf(id); });
}

result_t DeviceInterface::set_serial_number(device_t id, uint32_t serial, const uint8_t* key)
{
    serial_number_t record;
    std::memset(&record, 0, sizeof record);
    record.SN = serial;
    for (int i = 0; i < 32; ++i)
        record.Key[i] = key[i];
    return locked("set_serial_number", OnValueError::Error, [&] { return ::set_serial_number(id, &record); });
}

result_t DeviceInterface::write_key(const char* name, const uint8_t* key)
{
    return locked("write_key", OnValueError::Error, [&] { return ::write_key(name, key); });
}

result_t DeviceInterface::goto_firmware(device_t id, uint8_t* ret)
{
    return locked("goto_firmware", OnValueError::Error, [&] { return ::goto_firmware(id, ret); });
}

result_t DeviceInterface::has_firmware(const char* name, uint8_t* ret)
{
    return locked("has_firmware", OnValueError::Error, [&] { return ::has_firmware(name, ret); });
}

QString DeviceInterface::failureText(const char* name, result_t result)
{
    return QStringLiteral("Function %1() failed, result = %2").arg(QLatin1String(name)).arg(result);
}

int DeviceInterface::getMode(device_t id)
{
    if (id == -1)
        return 0;
    uint64_t state = modeState.load();
    if (modeOf(state) != 0)
        return modeOf(state);

    // A record of this call's own: several threads ask at once.
    device_information_t info;
    std::memset(&info, 0, sizeof info);
    if (get_device_information(id, &info) != result_ok)
        return 0;
    const QByteArray description(info.ProductDescription,
                                 int(qstrnlen(info.ProductDescription, sizeof info.ProductDescription)));
    const int mode = description.toUpper().contains("BOOT") ? 1 : 2;
    modeAnswered(mode);

    // Keep the answer only if no open or close came in between (state still holds the
    // generation this read started in); another reader's answer for it is as good as ours.
    const uint64_t unread = state;
    uint64_t expected = unread;
    while (!modeState.compare_exchange_weak(expected, unread | uint64_t(mode))) {
        if (expected != unread)
            break;
    }
    return mode;
}
