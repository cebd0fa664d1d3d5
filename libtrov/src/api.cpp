// The library's entry points. Every call takes the same path: the handle or name is looked up,
// injected faults run (outside every lock), the controller is locked and brought up to the
// current time, the call runs, the journal notes it, and log lines go out after all locks.
#include "clock.h"
#include "controller.h"
#include "faults.h"
#include "functions.h"
#include "journal.h"
#include "logsink.h"
#include "registry.h"
#include "trov.h"

#include <chrono>
#include <cstring>
#include <thread>

using namespace trovsim;

namespace {

const std::string kNoDevice;

// Counting, faults, journal and trace around the work of one call.
template <class Work> result_t run(Fn fn, const std::string& dev, Controller* c, Work&& work)
{
    if (c)
        c->callCount(fn).fetch_add(1, std::memory_order_relaxed);
    else
        Journal::instance().deviceLessCount(static_cast<int>(fn)).fetch_add(1, std::memory_order_relaxed);
    int forced = 0;
    result_t r = Faults::instance().beforeCall(static_cast<int>(fn), dev, forced) ? forced : work();
    Journal::instance().record(static_cast<int>(fn), dev, r, Clock::instance().nowMs());
    if (LogSink::instance().threshold() >= 4)
        LogSink::instance().post(4, std::string(functionName(fn)) + "(" + dev + ") = " + std::to_string(r));
    return r;
}

// A call on an open handle.
template <class Body> result_t onHandle(Fn fn, device_t id, Body&& body)
{
    CallLogScope scope;
    Registry& registry = Registry::instance();
    registry.ensureStarted();
    std::shared_ptr<Controller> c = registry.byHandle(id);
    return run(fn, c ? c->name() : kNoDevice, c.get(), [&]() -> result_t {
        if (!c)
            return result_error;
        std::lock_guard<std::mutex> lock(c->mutex());
        c->advance(Clock::instance().nowMs());
        result_t r = c->admit(id, fn);
        if (r == result_ok)
            r = body(*c);
        c->noteResult(r);
        return r;
    });
}

// A call that names its device.
template <class Body> result_t onName(Fn fn, const char* name, Body&& body)
{
    CallLogScope scope;
    Registry& registry = Registry::instance();
    registry.ensureStarted();
    std::shared_ptr<Controller> c = registry.byName(name);
    return run(fn, c ? c->name() : std::string(name ? name : ""), c.get(), [&]() -> result_t {
        return c ? body(c) : result_error;
    });
}

// A call without a device (enumeration).
template <class Body> result_t onRegistry(Fn fn, Body&& body)
{
    CallLogScope scope;
    Registry::instance().ensureStarted();
    return run(fn, kNoDevice, nullptr, [&]() -> result_t { return body(Registry::instance()); });
}

template <class T> result_t getRecord(Fn fn, device_t id, T* out)
{
    return onHandle(fn, id, [&](Controller& c) {
        return out ? c.getRecord(RecordOf<T>::id, out, sizeof *out) : result_error;
    });
}

template <class T> result_t setRecord(Fn fn, device_t id, const T* in)
{
    return onHandle(fn, id, [&](Controller& c) {
        return in ? c.setRecord(RecordOf<T>::id, in, sizeof *in, fn) : result_error;
    });
}

result_t motion(Fn fn, device_t id, MotionCommand cmd, int position = 0, int uposition = 0)
{
    return onHandle(fn, id, [&](Controller& c) { return c.motionCommand(cmd, position, uposition); });
}

void waitSimulated(double simMs)
{
    double real = Clock::instance().realDelayMs(simMs);
    if (real > 0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(real));
}

} // namespace

extern "C" {

TROV_API void set_logging_callback(logging_callback_t cb) { LogSink::instance().setCallback(cb); }

TROV_API result_t trov_version(char* version)
{
    return onRegistry(Fn::trov_version, [&](Registry&) {
        if (!version)
            return result_error;
        static const char kVersion[] = "6.0.0 (simulated controllers)";
        static_assert(sizeof kVersion <= 33, "version text too long");
        std::memcpy(version, kVersion, sizeof kVersion);
        return result_ok;
    });
}

// --- enumeration

TROV_API enumeration_handle_t enumerate_devices(int enumerate_flags)
{
    void* handle = nullptr;
    onRegistry(Fn::enumerate_devices, [&](Registry& r) {
        handle = r.enumerate(enumerate_flags);
        return handle ? result_ok : result_error;
    });
    return handle;
}

TROV_API result_t free_enumerate_devices(enumeration_handle_t handle)
{
    return onRegistry(Fn::free_enumerate_devices, [&](Registry& r) { return r.freeEnumeration(handle); });
}

TROV_API int get_device_count(enumeration_handle_t handle)
{
    return onRegistry(Fn::get_device_count, [&](Registry& r) { return r.count(handle); });
}

TROV_API const char* get_device_name(enumeration_handle_t handle, int index)
{
    const char* name = nullptr;
    onRegistry(Fn::get_device_name, [&](Registry& r) {
        name = r.name(handle, index);
        return name ? result_ok : result_error;
    });
    return name;
}

TROV_API result_t get_enumerate_device_serial(enumeration_handle_t handle, int index, uint32_t* serial)
{
    return onRegistry(Fn::get_enumerate_device_serial, [&](Registry& r) { return r.serial(handle, index, serial); });
}

TROV_API result_t get_enumerate_device_information(enumeration_handle_t handle, int index, device_information_t* info)
{
    return onRegistry(Fn::get_enumerate_device_information,
                      [&](Registry& r) { return r.information(handle, index, info); });
}

// --- open, close

TROV_API device_t open_device(const char* name)
{
    CallLogScope scope;
    Registry& registry = Registry::instance();
    registry.ensureStarted();
    std::shared_ptr<Controller> c = registry.byName(name);
    return run(Fn::open_device, c ? c->name() : std::string(name ? name : ""), c.get(),
               [&]() -> result_t { return c ? registry.open(name) : -1; });
}

TROV_API result_t close_device(device_t* id)
{
    CallLogScope scope;
    Registry& registry = Registry::instance();
    registry.ensureStarted();
    std::shared_ptr<Controller> c = id ? registry.byHandle(*id) : nullptr;
    return run(Fn::close_device, c ? c->name() : kNoDevice, c.get(), [&] { return registry.close(id); });
}

TROV_API result_t probe_device(const char* name)
{
    return onName(Fn::probe_device, name, [&](const std::shared_ptr<Controller>& c) {
        std::lock_guard<std::mutex> lock(c->mutex());
        c->advance(Clock::instance().nowMs());
        return c->answers() && !c->heldOpen() ? result_ok : result_error;
    });
}

// --- records

#define TROV_RECORD(record, store)                                                                  \
    TROV_API result_t get_##record(device_t id, record##_t* out) { return getRecord(Fn::get_##record, id, out); } \
    TROV_API result_t set_##record(device_t id, const record##_t* in) { return setRecord(Fn::set_##record, id, in); }
#define TROV_FIELD(...)
#define TROV_END(record)
#include "records.def"
#undef TROV_RECORD
#undef TROV_FIELD
#undef TROV_END

// --- commands

TROV_API result_t command_move(device_t id, int position, int uposition)
{
    return motion(Fn::command_move, id, MotionCommand::Move, position, uposition);
}
TROV_API result_t command_movr(device_t id, int delta, int udelta)
{
    return motion(Fn::command_movr, id, MotionCommand::Movr, delta, udelta);
}
TROV_API result_t command_left(device_t id) { return motion(Fn::command_left, id, MotionCommand::Left); }
TROV_API result_t command_right(device_t id) { return motion(Fn::command_right, id, MotionCommand::Right); }
TROV_API result_t command_stop(device_t id) { return motion(Fn::command_stop, id, MotionCommand::Stop); }
TROV_API result_t command_sstp(device_t id) { return motion(Fn::command_sstp, id, MotionCommand::Sstp); }
TROV_API result_t command_home(device_t id) { return motion(Fn::command_home, id, MotionCommand::Home); }
TROV_API result_t command_loft(device_t id) { return motion(Fn::command_loft, id, MotionCommand::Loft); }
TROV_API result_t command_power_off(device_t id) { return motion(Fn::command_power_off, id, MotionCommand::PowerOff); }

TROV_API result_t command_zero(device_t id)
{
    return onHandle(Fn::command_zero, id, [](Controller& c) { return c.zero(); });
}
TROV_API result_t command_save_settings(device_t id)
{
    return onHandle(Fn::command_save_settings, id, [](Controller& c) { return c.saveSettings(); });
}
TROV_API result_t command_read_settings(device_t id)
{
    return onHandle(Fn::command_read_settings, id, [](Controller& c) { return c.readSettings(); });
}
TROV_API result_t command_eesave_settings(device_t id)
{
    return onHandle(Fn::command_eesave_settings, id, [](Controller& c) { return c.eepromSaveSettings(); });
}
TROV_API result_t command_eeread_settings(device_t id)
{
    return onHandle(Fn::command_eeread_settings, id, [](Controller& c) { return c.eepromReadSettings(); });
}
TROV_API result_t command_clear_fram(device_t id)
{
    return onHandle(Fn::command_clear_fram, id, [](Controller& c) { return c.clearFram(); });
}
TROV_API result_t command_reset(device_t id)
{
    return onHandle(Fn::command_reset, id, [](Controller& c) { return c.restart(false); });
}
TROV_API result_t set_position(device_t id, const set_position_t* position)
{
    return onHandle(Fn::set_position, id,
                    [&](Controller& c) { return position ? c.setPosition(*position) : result_error; });
}
TROV_API result_t get_position(device_t id, get_position_t* position)
{
    return onHandle(Fn::get_position, id,
                    [&](Controller& c) { return position ? c.getPosition(*position) : result_error; });
}

// --- state and identity

TROV_API result_t get_status(device_t id, status_t* status)
{
    return onHandle(Fn::get_status, id, [&](Controller& c) { return status ? c.getStatus(*status) : result_error; });
}
TROV_API result_t get_chart_data(device_t id, chart_data_t* data)
{
    return onHandle(Fn::get_chart_data, id, [&](Controller& c) { return data ? c.getChart(*data) : result_error; });
}
TROV_API result_t get_analog_data(device_t id, analog_data_t* data)
{
    return onHandle(Fn::get_analog_data, id, [&](Controller& c) { return data ? c.getAnalog(*data) : result_error; });
}
TROV_API result_t get_device_information(device_t id, device_information_t* info)
{
    return onHandle(Fn::get_device_information, id, [&](Controller& c) {
        if (!info)
            return result_error;
        c.deviceInformation(*info);
        return result_ok;
    });
}
TROV_API result_t get_serial_number(device_t id, uint32_t* serial)
{
    return onHandle(Fn::get_serial_number, id, [&](Controller& c) {
        if (!serial)
            return result_error;
        *serial = c.serial();
        return result_ok;
    });
}
TROV_API result_t get_firmware_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release)
{
    return onHandle(Fn::get_firmware_version, id, [&](Controller& c) {
        if (!major || !minor || !release)
            return result_error;
        uint32_t v[3];
        c.firmwareVersion(v);
        *major = v[0];
        *minor = v[1];
        *release = v[2];
        return result_ok;
    });
}
TROV_API result_t get_bootloader_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release)
{
    return onHandle(Fn::get_bootloader_version, id, [&](Controller& c) {
        if (!major || !minor || !release)
            return result_error;
        uint32_t v[3];
        c.bootloaderVersion(v);
        *major = v[0];
        *minor = v[1];
        *release = v[2];
        return result_ok;
    });
}
TROV_API result_t get_debug_read(device_t id, debug_read_t* data)
{
    return onHandle(Fn::get_debug_read, id, [&](Controller& c) { return data ? c.getDebug(*data) : result_error; });
}

// --- service

TROV_API result_t command_update_firmware(const char* name, const uint8_t* data, uint32_t data_size)
{
    return onName(Fn::command_update_firmware, name, [&](const std::shared_ptr<Controller>& c) {
        {
            std::lock_guard<std::mutex> lock(c->mutex());
            c->advance(Clock::instance().nowMs());
            result_t r = c->beginUpload();
            if (r != result_ok)
                return r;
        }
        // the upload takes its time without holding the controller: others see it busy
        const double quarter = (300.0 + data_size * 0.02) / 4.0;
        for (int percent = 25; percent <= 75; percent += 25) {
            waitSimulated(quarter);
            std::lock_guard<std::mutex> lock(c->mutex());
            result_t r = c->uploadProgress(percent);
            if (r != result_ok)
                return r;
        }
        waitSimulated(quarter);
        std::lock_guard<std::mutex> lock(c->mutex());
        c->advance(Clock::instance().nowMs());
        return c->finishUpload(data, data_size);
    });
}

TROV_API result_t service_command_updf(device_t id)
{
    return onHandle(Fn::service_command_updf, id, [](Controller& c) { return c.restart(true); });
}

TROV_API result_t set_serial_number(device_t id, const serial_number_t* serial)
{
    return onHandle(Fn::set_serial_number, id,
                    [&](Controller& c) { return serial ? c.setSerialNumber(*serial) : result_error; });
}

TROV_API result_t write_key(const char* name, const uint8_t* key)
{
    return onName(Fn::write_key, name, [&](const std::shared_ptr<Controller>& c) {
        if (!key)
            return result_error;
        std::lock_guard<std::mutex> lock(c->mutex());
        c->advance(Clock::instance().nowMs());
        return c->writeKey(key);
    });
}

TROV_API result_t goto_firmware(device_t id, uint8_t* ret)
{
    return onHandle(Fn::goto_firmware, id, [&](Controller& c) { return ret ? c.gotoFirmware(*ret) : result_error; });
}

TROV_API result_t has_firmware(const char* name, uint8_t* ret)
{
    return onName(Fn::has_firmware, name, [&](const std::shared_ptr<Controller>& c) {
        if (!ret)
            return result_error;
        std::lock_guard<std::mutex> lock(c->mutex());
        c->advance(Clock::instance().nowMs());
        if (!c->answers())
            return result_error;
        *ret = c->firmwareValid() ? 1 : 0;
        return result_ok;
    });
}

} // extern "C"
