// The test controls (trovsim.h).
#include "clock.h"
#include "controller.h"
#include "faults.h"
#include "firmware.h"
#include "functions.h"
#include "journal.h"
#include "logsink.h"
#include "registry.h"
#include "trovsim.h"

using namespace trovsim;

namespace {

// Runs body on the named controller, or on every controller for NULL; -1 for an unknown name.
template <class Body> int onDevices(const char* dev, Body&& body)
{
    CallLogScope scope;
    Registry& registry = Registry::instance();
    registry.ensureStarted();
    std::vector<std::shared_ptr<Controller>> list;
    if (dev) {
        std::shared_ptr<Controller> c = registry.byName(dev);
        if (!c)
            return -1;
        list.push_back(c);
    } else {
        list = registry.controllers();
    }
    int result = 0;
    double now = Clock::instance().nowMs();
    for (auto& c : list) {
        std::lock_guard<std::mutex> lock(c->mutex());
        c->advance(now);
        if (body(*c, now) != 0)
            result = -1;
    }
    return result;
}

// Checks the names of a fault; dev NULL means every device.
bool faultTarget(const char* dev, const char* function, std::string& device, int& fn)
{
    Registry::instance().ensureStarted();
    fn = findFunction(function);
    if (fn < 0 || (dev && !Registry::instance().byName(dev)))
        return false;
    device = dev ? dev : "";
    return true;
}

} // namespace

extern "C" {

TROV_API int trovsim_reset(const char* controller_set, const char* data_dir)
{
    CallLogScope scope;
    Faults::instance().clear();
    Registry::instance().setReuseHandles(false);
    Registry::instance().reset(controller_set, data_dir);
    Journal::instance().clear();
    Journal::instance().clearCounts();
    return 0;
}

TROV_API void trovsim_reuse_handles(int on)
{
    Registry::instance().setReuseHandles(on != 0);
}

TROV_API void trovsim_clock_manual(int on)
{
    Registry::instance().ensureStarted();
    Clock::instance().setManual(on != 0);
}

TROV_API void trovsim_advance_ms(uint64_t ms)
{
    Registry::instance().ensureStarted();
    Clock::instance().advance(ms);
}

TROV_API void trovsim_set_time_scale(double scale)
{
    Registry::instance().ensureStarted();
    Clock::instance().setScale(scale);
}

TROV_API uint64_t trovsim_now_ms(void)
{
    Registry::instance().ensureStarted();
    double now = Clock::instance().nowMs();
    return now > 0 ? static_cast<uint64_t>(now) : 0;
}

TROV_API int trovsim_unplug(const char* dev)
{
    return onDevices(dev, [](Controller& c, double) {
        c.unplug();
        return 0;
    });
}

TROV_API int trovsim_plug(const char* dev, int power_cycle)
{
    return onDevices(dev, [&](Controller& c, double now) {
        c.plug(power_cycle != 0, now);
        return 0;
    });
}

TROV_API int trovsim_set_busy(const char* dev, int busy)
{
    return onDevices(dev, [&](Controller& c, double) {
        c.setBusy(busy != 0);
        return 0;
    });
}

TROV_API int trovsim_enter_bootloader(const char* dev, int firmware_valid)
{
    return onDevices(dev, [&](Controller& c, double) {
        c.enterBootloader(firmware_valid != 0);
        return 0;
    });
}

TROV_API int trovsim_force_result(const char* dev, const char* function, int result, int count)
{
    std::string device;
    int fn;
    if (!faultTarget(dev, function, device, fn))
        return -1;
    Faults::instance().force(device, fn, result, count);
    return 0;
}

TROV_API int trovsim_delay_call(const char* dev, const char* function, int delay_ms, int count)
{
    std::string device;
    int fn;
    if (!faultTarget(dev, function, device, fn) || delay_ms < 0)
        return -1;
    Faults::instance().delay(device, fn, delay_ms, count);
    return 0;
}

TROV_API int trovsim_hold_call(const char* dev, const char* function)
{
    std::string device;
    int fn;
    if (!faultTarget(dev, function, device, fn))
        return -1;
    Faults::instance().hold(device, fn);
    return 0;
}

TROV_API int trovsim_wait_held(const char* dev, const char* function, int timeout_ms)
{
    std::string device;
    int fn;
    if (!faultTarget(dev, function, device, fn))
        return -1;
    return Faults::instance().waitHeld(device, fn, timeout_ms) ? 0 : -1;
}

TROV_API int trovsim_release_call(const char* dev, const char* function)
{
    std::string device;
    int fn;
    if (!faultTarget(dev, function, device, fn))
        return -1;
    Faults::instance().release(device, fn);
    return 0;
}

TROV_API void trovsim_clear_faults(void) { Faults::instance().clear(); }

TROV_API int trovsim_set_input(const char* dev, int input, int64_t value)
{
    return onDevices(dev, [&](Controller& c, double) { return c.setInput(input, value); });
}

TROV_API int trovsim_external_command(const char* dev, int mvcmd, int position, int uposition)
{
    if (!dev)
        return -1;
    return onDevices(dev, [&](Controller& c, double) { return c.externalCommand(mvcmd, position, uposition); });
}

TROV_API void trovsim_journal_clear(void) { Journal::instance().clear(); }

TROV_API int trovsim_journal_size(void) { return Journal::instance().size(); }

TROV_API int trovsim_journal_entry(int index, trovsim_call_t* out)
{
    if (!out)
        return -1;
    return Journal::instance().entry(index, *out) ? 0 : -1;
}

TROV_API int trovsim_call_count(const char* dev, const char* function)
{
    Registry::instance().ensureStarted();
    int fn = findFunction(function);
    if (fn < 0)
        return -1;
    if (dev) {
        std::shared_ptr<Controller> c = Registry::instance().byName(dev);
        return c ? c->callCount(static_cast<Fn>(fn)).load() : -1;
    }
    int total = Journal::instance().deviceLessCount(fn).load();
    for (auto& c : Registry::instance().controllers())
        total += c->callCount(static_cast<Fn>(fn)).load();
    return total;
}

TROV_API int trovsim_physical_position(const char* dev, double* steps)
{
    if (!dev || !steps)
        return -1;
    return onDevices(dev, [&](Controller& c, double) {
        *steps = c.physicalPosition();
        return 0;
    });
}

TROV_API void trovsim_emit_log(int level, const char* utf8_text)
{
    CallLogScope scope;
    Registry::instance().ensureStarted();
    LogSink::instance().post(level, utf8_text ? utf8_text : "");
}

TROV_API size_t trovsim_make_firmware_image(uint32_t major, uint32_t minor, uint32_t release, const uint8_t* payload,
                                            uint32_t payload_size, uint8_t* out, size_t capacity)
{
    const uint32_t version[3] = {major, minor, release};
    return makeFirmwareImage(version, payload, payload_size, out, capacity);
}

} // extern "C"
