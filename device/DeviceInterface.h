#ifndef DEVICEINTERFACE_H
#define DEVICEINTERFACE_H

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

#include "device/TrovMetaTypes.h"
#include "trov.h"

// Every record with a get_/set_ pair in the library, in the library's order.
#define DEVICE_INTERFACE_RECORDS(X) \
    X(feedback_settings)            \
    X(home_settings)                \
    X(move_settings)                \
    X(engine_settings)              \
    X(entype_settings)              \
    X(power_settings)               \
    X(secure_settings)              \
    X(edges_settings)               \
    X(pid_settings)                 \
    X(sync_in_settings)             \
    X(sync_out_settings)            \
    X(extio_settings)               \
    X(brake_settings)               \
    X(control_settings)             \
    X(joystick_settings)            \
    X(ctp_settings)                 \
    X(uart_settings)                \
    X(calibration_coefficients)     \
    X(controller_name)              \
    X(stage_name)                   \
    X(stage_information)            \
    X(stage_settings)               \
    X(dc_information)               \
    X(dc_settings)                  \
    X(step_information)             \
    X(step_settings)                \
    X(encoder_information)          \
    X(encoder_settings)             \
    X(gear_information)             \
    X(gear_settings)

// Commands that take nothing but the handle.
#define DEVICE_INTERFACE_COMMANDS(X) \
    X(command_power_off)             \
    X(command_stop)                  \
    X(command_sstp)                  \
    X(command_home)                  \
    X(command_left)                  \
    X(command_right)                 \
    X(command_loft)                  \
    X(command_zero)                  \
    X(command_save_settings)         \
    X(command_read_settings)         \
    X(command_eesave_settings)       \
    X(command_eeread_settings)       \
    X(command_clear_fram)            \
    X(command_reset)

// The one road from the program to the controller library. Every call is serialised through
// one lock per gateway, waits for it about a second at most, and reports a failure through
// errorSignal (or warningSignal for a value the controller corrected). A thread that goes first
// (an axis' courier) gets the lock as soon as the call under way ends.
class DeviceInterface : public QObject
{
    Q_OBJECT

public:
    DeviceInterface();
    ~DeviceInterface() override;

    device_t open_device(const char* name);
    // Waits for the lock however long it takes: every caller forgets the handle afterwards.
    result_t close_device(device_t id);
    result_t probe_device(const char* name);

    enumeration_handle_t enumerate_devices(int flags);
    result_t free_enumerate_devices(enumeration_handle_t handle);
    result_t get_enumerate_device_serial(enumeration_handle_t handle, int index, uint32_t* serial);
    result_t get_enumerate_device_information(enumeration_handle_t handle, int index, device_information_t* info);

#define DEVICE_INTERFACE_DECLARE_RECORD(name)         \
    result_t get_##name(device_t id, name##_t* record); \
    result_t set_##name(device_t id, const name##_t* record);
    DEVICE_INTERFACE_RECORDS(DEVICE_INTERFACE_DECLARE_RECORD)
#undef DEVICE_INTERFACE_DECLARE_RECORD

#define DEVICE_INTERFACE_DECLARE_COMMAND(name) result_t name(device_t id);
    DEVICE_INTERFACE_COMMANDS(DEVICE_INTERFACE_DECLARE_COMMAND)
#undef DEVICE_INTERFACE_DECLARE_COMMAND

    result_t command_move(device_t id, int position, int uposition);
    result_t command_movr(device_t id, int delta, int udelta);
    result_t set_position(device_t id, set_position_t position);
    result_t get_position(device_t id, get_position_t* position);

    result_t get_status(device_t id, status_t* status);
    result_t get_chart_data(device_t id, chart_data_t* data);
    result_t get_analog_data(device_t id, analog_data_t* data);
    result_t get_device_information(device_t id, device_information_t* info);
    result_t get_serial_number(device_t id, uint32_t* serial);
    result_t get_firmware_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release);
    result_t get_bootloader_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release);
    result_t get_debug_read(device_t id, debug_read_t* data);

    result_t command_update_firmware(const char* name, const uint8_t* data, uint32_t size);
    result_t service_command_updf(device_t id);
    result_t set_serial_number(device_t id, uint32_t serial, const uint8_t* key);
    result_t write_key(const char* name, const uint8_t* key);
    result_t goto_firmware(device_t id, uint8_t* ret);
    result_t has_firmware(const char* name, uint8_t* ret);

    // While *bar is set, every call the calling thread makes through any gateway is refused:
    // result_error (null, -1), no signal, nothing reaches the library; only close_device still
    // goes through. The flag is read once the gateway's lock is held, so a call that is still
    // waiting for the lock when the flag is set never reaches the controller. Null lifts it.
    static void setThreadCallBar(const std::atomic<bool>* bar);
    // The calling thread's bar, null when none.
    static const std::atomic<bool>* threadCallBar();
    // The calling thread's calls are barred now, or one of its innermost LockWait found no lock
    // in time: whoever set the bar or the scope tells why, not the caller.
    static bool callsRefusedHere();

    // While set, the calling thread's calls go before those of other threads waiting for the
    // same gateway: polling, enumeration, scripts and the rest wait (no longer than their own
    // lock wait) until it has had its turn, however they queued. Threads that go first wait
    // among themselves as everyone did before. For the couriers, whose stops must not wait
    // behind the next status read.
    static void setThreadGoesFirst(bool first);
    // While set, *mark is true while the calling thread holds a gateway: a library call of its
    // own is under way, and every other call waits for it. Null lifts it.
    static void setThreadHoldMark(std::atomic<bool>* mark);
    // The call under way is of a thread with a hold mark (a script's).
    bool heldByMarkedThread() const { return markedHolder.load(); }
    // How many of the calling thread's calls have reached the library, and how many were refused
    // (barred, or no lock in time), through any gateway: a job whose `made` moved has started,
    // and one whose `refused` moved too was cut short.
    struct CallCounts
    {
        quint64 made = 0;
        quint64 refused = 0;
    };
    static CallCounts callCountsHere();

    // While one lives, a failed call of the calling thread emits neither errorSignal nor
    // warningSignal: the caller tells it in its own words (a stop that waits for a lost
    // controller is no red failure). Scopes nest.
    class QuietFailures
    {
    public:
        QuietFailures();
        ~QuietFailures();
        QuietFailures(const QuietFailures&) = delete;
        QuietFailures& operator=(const QuietFailures&) = delete;

    private:
        const bool outer;
    };

    // While one lives, the lock waits of the calling thread's calls through any gateway end at
    // its deadline, all of them together (Forever: as long as it takes; a call bar still ends
    // it). Once a call found no lock in time, the later ones of the scope are refused at once,
    // so that a command made of several calls never goes out in part. Scopes nest. Without one,
    // each call waits about a second. Until::FirstCall: the deadline is the one to start by;
    // once a call of the scope has had the lock, each later one waits its usual second.
    class LockWait
    {
    public:
        enum class Until { EveryCall, FirstCall };
        // started, when given, is set once a call of the scope has had the lock (from its thread).
        explicit LockWait(QDeadlineTimer deadline, Until until = Until::EveryCall, std::atomic<bool>* started = nullptr);
        ~LockWait();
        LockWait(const LockWait&) = delete;
        LockWait& operator=(const LockWait&) = delete;
        // A call of this scope got no lock in time: result_error, no signal, no library call.
        bool refused() const { return refusedLock; }

    private:
        friend class DeviceInterface;
        const QDeadlineTimer deadline;
        const Until until;
        std::atomic<bool>* const startedMark;
        LockWait* const outer;
        bool refusedLock = false;
        bool started = false;
    };

    // 0 no device (or not readable now), 1 bootloader, 2 firmware. Cached per gateway until
    // the next open or close; once cached it takes no lock and calls nothing.
    int getMode(device_t id);

    // Result of the latest completed call through this gateway, from whichever thread.
    result_t lastResult() const { return lastResultValue.load(); }
    // Handle returned by the latest open_device through this gateway.
    device_t handle() const { return openedHandle.load(); }

    // How a failed call of errorSignal or warningSignal is told in the log:
    // "Function command_move() failed, result = -1".
    static QString failureText(const char* name, result_t result);

signals:
    void errorSignal(const char* name, result_t result);
    void warningSignal(const char* name, result_t result);
    // A command ("command_...") the controller took, from the thread that sent it.
    void commandTaken();

protected:
    // Called by getMode between the library's answer and keeping it, outside the lock: an open
    // or close may come in between, and the answer is then not kept.
    virtual void modeAnswered(int mode) { Q_UNUSED(mode); }

private:
    enum class OnValueError { Error, Warning };

    bool lock();
    // The lock however long it takes and whatever bars the thread; still after those that go first.
    void lockRegardless();
    void unlock();
    template <typename Call>
    result_t locked(const char* name, OnValueError onValueError, Call&& call);
    result_t finish(const char* name, OnValueError onValueError, result_t result);
    void forgetMode();

    std::mutex lockState;
    std::condition_variable lockFreed;
    // Guarded by lockState: a call holds the gateway; the callers waiting for it by the order
    // they came, those that go first apart. The lowest of `first` takes a free lock, else the
    // lowest of `others`.
    bool held = false;
    quint64 nextTurn = 0;
    std::set<quint64> first;
    std::set<quint64> others;
    std::atomic<bool> markedHolder{false};
    std::atomic<device_t> openedHandle{-1};
    std::atomic<result_t> lastResultValue{0};
    // Mode in the low byte, the count of opens and closes above it: a mode read that started
    // before an open or close is not stored after it.
    std::atomic<uint64_t> modeState{0};
};

#endif // DEVICEINTERFACE_H
