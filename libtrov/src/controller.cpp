#include "controller.h"

#include "firmware.h"
#include "logsink.h"
#include "persist.h"
#include "trovsim.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace trovsim {

namespace {

void log(int level, const std::string& text) { LogSink::instance().post(level, text); }

void copyText(char* dst, size_t size, const std::string& src)
{
    std::memset(dst, 0, size);
    std::memcpy(dst, src.data(), std::min(src.size(), size - 1));
}

} // namespace

Controller::Controller(const ControllerConfig& config, std::shared_ptr<DataFolder> folder, bool noise)
    : config_(config), name_(config.deviceName()), folder_(std::move(folder)), noise_(noise), electrical_(config.serial)
{
    identity_ = configIdentity();
    fillAllDefaults(flash_, config_.motor, Store::RAM);
}

Controller::Identity Controller::configIdentity() const
{
    Identity id;
    id.serial = config_.serial;
    std::copy(config_.firmware, config_.firmware + 3, id.firmware);
    id.firmwareValid = true;
    return id;
}

std::string Controller::path(const char* suffix) const { return folder_->path() + "/" + config_.id + suffix; }

bool Controller::persistent() const { return folder_ && folder_->ensure(); }

// --- life cycle

void Controller::powerOn(double nowMs)
{
    nowMs_ = std::max(nowMs_, nowMs);
    powerOnMs_ = nowMs_;
    loadFlash();
    ram_ = flash_;
    positionerAttached_ = !config_.positioner.empty();
    positionerModel_ = config_.positioner;
    if (positionerAttached_)
        loadEeprom();
    errv_ = false;
    mode_ = config_.startInBootloader || !identity_.firmwareValid ? Mode::Bootloader : Mode::Firmware;
    restartIntoBootloader_ = false;
    reboot(nowMs_);
    commandsAccepted_ = 0;
    lastResult_ = 0;
}

void Controller::reboot(double atMs)
{
    motion_.powerOn(restoredFram(), atMs);
    electrical_.powerOn(atMs);
    framCleared_ = false;
    poweredBefore_ = true;
}

void Controller::advance(double nowMs)
{
    if (nowMs > nowMs_)
        nowMs_ = nowMs;
    if (mode_ == Mode::Restarting && nowMs_ >= restartAt_) {
        // a restart reboots: RAM comes back from flash
        mode_ = restartIntoBootloader_ || !identity_.firmwareValid ? Mode::Bootloader : Mode::Firmware;
        ram_ = flash_;
        errv_ = false;
        reboot(restartAt_);
    }
    if (mode_ != Mode::Firmware)
        return;
    MotionContext ctx = context();
    checkAlarms(ctx);
    // a moving axis is advanced in slices so that the temperature and the alarms follow it; at
    // rest the only thing that happens by itself is the next power deadline
    constexpr double kSliceMs = 100;
    double t = motion_.lastMs();
    while (t < nowMs_) {
        double next = motion_.moving() ? t + kSliceMs : motion_.nextEventMs(ctx);
        if (!(next > t) || next > nowMs_)
            next = nowMs_;
        motion_.advanceTo(next, ctx);
        electrical_.advanceTo(next, motion_, ctx);
        checkAlarms(ctx);
        t = next;
    }
    motion_.advanceTo(nowMs_, ctx); // what takes no time, such as a move to where the axis is
}

void Controller::checkAlarms(const MotionContext& ctx)
{
    if (electrical_.evaluate(motion_, ctx))
        motion_.alarmStop(ctx);
}

result_t Controller::admit(device_t handle, Fn fn) const
{
    if (retired_ || handle < 0 || openHandle_ != handle)
        return result_nodevice;
    if (mode_ == Mode::Bootloader && !worksInBootloader(fn))
        return result_not_implemented;
    return result_ok;
}

void Controller::loseHandle()
{
    writeFram();
    unlockFile(lockFd_);
    lockFd_ = -1;
    openHandle_ = -1;
}

void Controller::retire()
{
    retired_ = true;
    loseHandle();
}

void Controller::shutdown() { loseHandle(); }

// --- open and close

void Controller::refuseOpen(const std::string& cause)
{
    // the reconnect loop retries every second: say it once per cause
    if (cause != lastRefusal_)
        log(2, name_ + ": open refused: " + cause);
    lastRefusal_ = cause;
}

result_t Controller::open(device_t handle)
{
    if (retired_)
        return result_error;
    std::string cause;
    if (!plugged_)
        cause = "no device";
    else if (config_.silent)
        cause = "no controller answers";
    else if (mode_ == Mode::Restarting)
        cause = "controller is restarting";
    else if (config_.busy || busy_ || uploading_)
        cause = "busy, held by another program";
    else if (openHandle_ != -1)
        cause = "busy, already open";
    if (cause.empty() && persistent()) {
        int fd = lockFile(path(".lock"));
        if (fd == -1)
            cause = "busy, locked by another process";
        else if (fd >= 0)
            lockFd_ = fd; // -2: the file cannot be made, so there is nothing to lock against
    }
    if (!cause.empty()) {
        refuseOpen(cause);
        return result_error;
    }
    openHandle_ = handle;
    lastRefusal_.clear();
    return result_ok;
}

void Controller::close(device_t handle)
{
    if (openHandle_ == handle)
        loseHandle();
}

// --- records

result_t Controller::getRecord(RecordId id, void* out, size_t size)
{
    const RecordDesc& r = describe(id);
    if (size != r.size)
        return result_error;
    if (r.store == Store::EEPROM && !positionerAttached_)
        return result_error;
    std::memset(out, 0, size);
    std::memcpy(out, (r.store == Store::EEPROM ? eeprom_ : ram_).bytes(id), size);
    return result_ok;
}

void Controller::rescaleForMicrostepChange(uint32_t oldMode, uint32_t newMode)
{
    uint32_t oldD = microstepDivisor(oldMode), newD = microstepDivisor(newMode);
    if (oldD == newD || ram_.get<entype_settings_t>().EngineType != ENGINE_TYPE_STEP)
        return;
    for (int i = 0; i < kRecordCount; ++i) {
        RecordId id = static_cast<RecordId>(i);
        if (describe(id).store == Store::RAM && id != RecordId::engine_settings)
            rescaleMicrosteps(id, ram_.bytes(id), oldD, newD);
    }
}

result_t Controller::setRecord(RecordId id, const void* in, size_t size, Fn fn)
{
    const RecordDesc& r = describe(id);
    if (size != r.size)
        return result_error;
    bool eeprom = r.store == Store::EEPROM;
    if (eeprom && !positionerAttached_)
        return result_error;
    RecordSet& target = eeprom ? eeprom_ : ram_;

    RecordBytes rec{};
    std::memcpy(rec.bytes, in, size);
    normalise(id, rec.bytes);
    ValidationContext ctx = contextFor(ram_);
    ctx.held = target.bytes(id);
    uint32_t oldMode = ram_.get<engine_settings_t>().MicrostepMode;
    uint32_t newMode = oldMode;
    if (id == RecordId::engine_settings) {
        uint32_t asked;
        std::memcpy(&asked, rec.bytes + offsetof(engine_settings_t, MicrostepMode), sizeof asked);
        if (asked >= MICROSTEP_MODE_FULL && asked <= MICROSTEP_MODE_FRAC_256)
            newMode = asked;
        ctx.divisor = microstepDivisor(newMode);
    }
    std::string what;
    bool corrected = validate(id, rec.bytes, ctx, &what);

    RecordBytes before;
    std::memcpy(before.bytes, target.bytes(id), size);
    if (id == RecordId::engine_settings)
        rescaleForMicrostepChange(oldMode, newMode);
    std::memcpy(target.bytes(id), rec.bytes, size);
    // The positioner's memory is written through: a write that failed changed nothing.
    if (eeprom && !writeEeprom()) {
        std::memcpy(target.bytes(id), before.bytes, size);
        return result_error;
    }
    motion_.settingsChanged(id, before.bytes, context());

    errv_ = corrected;
    if (corrected) {
        log(2, std::string(functionName(fn)) + ": " + what);
        return result_value_error;
    }
    return result_ok;
}

// --- state and identity

result_t Controller::getStatus(status_t& s)
{
    std::memset(&s, 0, sizeof s);
    MotionContext ctx = context();
    if (mode_ == Mode::Bootloader) {
        electrical_.fillBootloaderStatus(s, ctx);
    } else {
        motion_.fillStatus(s, ctx);
        electrical_.fillStatus(s, motion_, ctx);
        if (motion_.commandRefused())
            s.Flags |= STATE_ERRC;
        s.GPIOFlags |= gpioLevel(ctx);
        motion_.clearLatches(); // latched events show once
    }
    if (errv_)
        s.Flags |= STATE_ERRV;
    if (errd_ || inputs_.dataError)
        s.Flags |= STATE_ERRD;
    if (positionerAttached_)
        s.Flags |= STATE_EEPROM_CONNECTED;
    return result_ok;
}

result_t Controller::getChart(chart_data_t& c)
{
    std::memset(&c, 0, sizeof c);
    electrical_.fillChart(c, motion_, context());
    return result_ok;
}

result_t Controller::getAnalog(analog_data_t& a)
{
    std::memset(&a, 0, sizeof a);
    electrical_.fillAnalog(a, motion_, context());
    return result_ok;
}

result_t Controller::getDebug(debug_read_t& d)
{
    // a 128-byte block, one byte in the low 8 bits of each word
    uint8_t block[128] = {};
    auto put = [&](size_t at, const void* v, size_t n) { std::memcpy(block + at, v, n); };
    MotionContext ctx = context();
    int64_t phys = static_cast<int64_t>(std::llround(motion_.physical() * 256.0));
    int64_t enc = motion_.fram().encoder;
    int64_t target = static_cast<int64_t>(std::llround(motion_.target() * 256.0));
    // Wraps like the controller's 32-bit millisecond counter.
    const double upMs = std::max(0.0, nowMs_ - powerOnMs_);
    uint32_t uptime = static_cast<uint32_t>(static_cast<uint64_t>(upMs));
    int32_t vel = static_cast<int32_t>(std::lround(motion_.velocity() * 256.0));
    int64_t counter = static_cast<int64_t>(std::llround(motion_.position() * 256.0));
    uint32_t power = motion_.powerState();
    uint32_t alarms = electrical_.alarmBits();
    int32_t temperature = electrical_.temperature(ctx);
    int32_t upwr = electrical_.supplyVoltage(motion_, ctx);
    put(0, &phys, 8);
    put(8, &enc, 8);
    put(16, &uptime, 4);
    put(20, &commandsAccepted_, 4);
    put(24, &vel, 4);
    put(28, &lastResult_, 4);
    put(32, &target, 8);
    put(40, &counter, 8);
    put(48, &power, 4);
    put(52, &alarms, 4);
    put(56, &temperature, 4);
    put(60, &upwr, 4);
    std::memset(&d, 0, sizeof d);
    for (size_t i = 0; i < sizeof block; ++i)
        d.DebugData[i] = block[i];
    return result_ok;
}

uint32_t Controller::gpioLevel(const MotionContext& ctx) const
{
    extio_settings_t extio = ram_.get<extio_settings_t>();
    bool level;
    if (extio.EXTIOSetupFlags & EXTIO_SETUP_OUTPUT) {
        switch (extio.EXTIOModeFlags & 0xF0) {
        case EXTIO_SETUP_MODE_OUT_ON: level = true; break;
        case EXTIO_SETUP_MODE_OUT_MOVING: level = motion_.moving(); break;
        case EXTIO_SETUP_MODE_OUT_ALARM: level = electrical_.inAlarm(); break;
        case EXTIO_SETUP_MODE_OUT_MOTOR_ON: level = motion_.powerState() != PWR_STATE_OFF; break;
        case EXTIO_SETUP_MODE_OUT_MOTOR_FOUND: level = true; break;
        default: level = false; break;
        }
        level = level != ((extio.EXTIOSetupFlags & EXTIO_SETUP_INVERT) != 0);
    } else {
        level = ctx.inputs.extioIn;
    }
    return level ? static_cast<uint32_t>(STATE_GPIO_LEVEL) : 0u;
}

void Controller::deviceInformation(device_information_t& info) const
{
    std::memset(&info, 0, sizeof info);
    copyText(info.Manufacturer, sizeof info.Manufacturer, config_.manufacturer);
    copyText(info.ManufacturerId, sizeof info.ManufacturerId, config_.manufacturerId);
    copyText(info.ProductDescription, sizeof info.ProductDescription,
             mode_ == Mode::Bootloader ? std::string("SIMBOOT") : config_.description);
}

void Controller::firmwareVersion(uint32_t v[3]) const { std::copy(identity_.firmware, identity_.firmware + 3, v); }

void Controller::bootloaderVersion(uint32_t v[3]) const { std::copy(config_.bootloader, config_.bootloader + 3, v); }

// --- commands

result_t Controller::motionCommand(MotionCommand cmd, int position, int uposition)
{
    MotionContext ctx = context();
    bool stops = cmd == MotionCommand::Stop || cmd == MotionCommand::Sstp || cmd == MotionCommand::PowerOff;
    if (electrical_.inAlarm() && !stops) {
        motion_.refuse(cmd); // answered, but not carried out
        return result_ok;
    }
    result_t r = motion_.command(cmd, position, uposition, ctx);
    if (cmd == MotionCommand::Stop)
        electrical_.stopCommand(motion_, ctx);
    if (r == result_ok && !motion_.commandRefused())
        ++commandsAccepted_;
    checkAlarms(ctx);
    return r;
}

result_t Controller::zero()
{
    motion_.zero(context());
    return result_ok;
}

result_t Controller::setPosition(const set_position_t& pos)
{
    motion_.setPosition(pos, context());
    return result_ok;
}

result_t Controller::getPosition(get_position_t& pos)
{
    std::memset(&pos, 0, sizeof pos);
    motion_.getPosition(pos, context());
    return result_ok;
}

result_t Controller::saveSettings()
{
    // A flash that could not be written keeps what it held: that is what the next power-up reads.
    const RecordSet held = flash_;
    const bool heldErrd = errd_;
    for (int i = 0; i < kRecordCount; ++i) {
        RecordId id = static_cast<RecordId>(i);
        if (describe(id).store == Store::RAM)
            std::memcpy(flash_.bytes(id), ram_.bytes(id), describe(id).size);
    }
    errd_ = false;
    if (!writeFlash()) {
        flash_ = held;
        errd_ = heldErrd;
        return result_error;
    }
    log(3, name_ + ": settings saved to flash");
    return result_ok;
}

void Controller::loadRamFrom(const RecordSet& source)
{
    for (int i = 0; i < kRecordCount; ++i) {
        RecordId id = static_cast<RecordId>(i);
        const RecordDesc& r = describe(id);
        if (r.store != Store::RAM)
            continue;
        RecordBytes before;
        std::memcpy(before.bytes, ram_.bytes(id), r.size);
        std::memcpy(ram_.bytes(id), source.bytes(id), r.size);
        motion_.settingsChanged(id, before.bytes, context());
    }
}

result_t Controller::readSettings()
{
    loadRamFrom(flash_);
    log(3, name_ + ": settings read from flash");
    return result_ok;
}

result_t Controller::eepromSaveSettings()
{
    if (!positionerAttached_)
        return result_error;
    const RecordSet held = eepromSettingsCopy_;
    const bool heldAny = eepromHasSettings_;
    eepromSettingsCopy_ = ram_;
    eepromHasSettings_ = true;
    if (!writeEeprom()) {
        eepromSettingsCopy_ = held;
        eepromHasSettings_ = heldAny;
        return result_error;
    }
    return result_ok;
}

result_t Controller::eepromReadSettings()
{
    if (!positionerAttached_ || !eepromHasSettings_)
        return result_error;
    loadRamFrom(eepromSettingsCopy_);
    return result_ok;
}

result_t Controller::clearFram()
{
    // the live counters go on; the next power-on starts them at zero
    const bool held = framCleared_;
    framCleared_ = true;
    if (!writeFram()) {
        framCleared_ = held;
        return result_error;
    }
    return result_ok;
}

result_t Controller::restart(bool intoBootloader)
{
    mode_ = Mode::Restarting;
    restartAt_ = nowMs_ + kRestartMs;
    restartIntoBootloader_ = intoBootloader;
    loseHandle();
    log(3, name_ + ": controller restarting");
    return result_ok;
}

result_t Controller::gotoFirmware(uint8_t& done)
{
    done = 0;
    if (mode_ == Mode::Bootloader && identity_.firmwareValid) {
        done = 1;
        restart(false);
    }
    return result_ok;
}

result_t Controller::setSerialNumber(const serial_number_t& sn)
{
    uint8_t key[32];
    for (size_t i = 0; i < 32; ++i) {
        if (sn.Key[i] > 255) {
            log(2, "set_serial_number: Key[" + std::to_string(i) + "] " + std::to_string(sn.Key[i]) +
                       " out of range 0..255, nothing changed");
            return result_value_error;
        }
        key[i] = static_cast<uint8_t>(sn.Key[i]);
    }
    if (std::memcmp(key, identity_.key, sizeof key) != 0) {
        log(2, name_ + ": serial number not changed: key mismatch");
        return result_ok;
    }
    const uint32_t held = identity_.serial;
    identity_.serial = sn.SN;
    if (!writeFlash()) {
        identity_.serial = held;
        return result_error;
    }
    return result_ok;
}

// --- calls addressed by name

bool Controller::answers() const
{
    return plugged_ && !config_.silent && !config_.busy && !busy_ && !uploading_ && mode_ != Mode::Restarting &&
           !retired_;
}

bool Controller::heldOpen()
{
    if (openHandle_ != -1)
        return true;
    if (!folder_ || !folder_->exists())
        return false;
    int fd = lockFile(path(".lock"));
    if (fd == -1)
        return true;
    unlockFile(fd);
    return false;
}

result_t Controller::writeKey(const uint8_t* key)
{
    if (!answers() || heldOpen())
        return result_error;
    uint8_t held[sizeof identity_.key];
    std::memcpy(held, identity_.key, sizeof held);
    std::memcpy(identity_.key, key, sizeof identity_.key);
    if (!writeFlash()) {
        std::memcpy(identity_.key, held, sizeof held);
        return result_error;
    }
    return result_ok;
}

result_t Controller::beginUpload()
{
    if (!answers() || heldOpen())
        return result_error;
    uploading_ = true;
    mode_ = Mode::Bootloader;
    reboot(nowMs_);
    log(3, name_ + ": Firmware update started");
    return result_ok;
}

result_t Controller::uploadProgress(int percent)
{
    if (!plugged_ || retired_) {
        uploading_ = false;
        identity_.firmwareValid = false;
        writeFlash();
        return result_nodevice;
    }
    log(3, name_ + ": firmware update " + std::to_string(percent) + "%");
    return result_ok;
}

result_t Controller::finishUpload(const uint8_t* data, uint32_t size)
{
    result_t r = uploadProgress(100);
    if (r != result_ok)
        return r;
    uploading_ = false;
    uint32_t version[3];
    std::string reason;
    if (!parseFirmwareImage(data, size, version, &reason)) {
        identity_.firmwareValid = false;
        writeFlash();
        log(1, name_ + ": firmware image rejected: " + reason);
        return result_error;
    }
    const Identity held = identity_;
    std::copy(version, version + 3, identity_.firmware);
    identity_.firmwareValid = true;
    if (!writeFlash()) {
        // Not stored: the controller stays in its bootloader with the firmware it had.
        identity_ = held;
        return result_error;
    }
    return restart(false);
}

// --- enumeration

bool Controller::listing(int flags, Listing& out)
{
    if (!plugged_ || retired_)
        return false;
    if (config_.extra && !(flags & ENUMERATE_ALL_COM))
        return false;
    if (config_.silent && (flags & ENUMERATE_PROBE))
        return false;
    out.name = name_;
    out.readable = answers() && !heldOpen();
    if (out.readable) {
        out.serial = identity_.serial;
        deviceInformation(out.info);
    }
    return true;
}

// --- test controls

void Controller::unplug()
{
    if (!plugged_)
        return;
    plugged_ = false;
    bool wasOpen = openHandle_ != -1;
    loseHandle();
    if (wasOpen)
        log(1, name_ + ": device lost");
}

void Controller::plug(bool powerCycle, double nowMs)
{
    bool was = plugged_;
    plugged_ = true;
    if (powerCycle)
        powerOn(nowMs);
    if (!was)
        log(3, name_ + ": device plugged back");
}

void Controller::enterBootloader(bool firmwareValid)
{
    identity_.firmwareValid = firmwareValid;
    writeFlash();
    loseHandle();
    mode_ = Mode::Bootloader;
    reboot(nowMs_);
}

result_t Controller::setInput(int input, int64_t value)
{
    switch (input) {
    case TROVSIM_JOYSTICK: inputs_.joystick = std::clamp<int64_t>(value, 0, 10000); break;
    case TROVSIM_BUTTON_LEFT: inputs_.buttonLeft = value != 0; break;
    case TROVSIM_BUTTON_RIGHT: inputs_.buttonRight = value != 0; break;
    case TROVSIM_EXTIO_IN: inputs_.extioIn = value != 0; break;
    case TROVSIM_SYNC_PULSE:
        if (value != 0 && mode_ == Mode::Firmware)
            motion_.syncPulse(context());
        break;
    case TROVSIM_POSITIONER:
        if (value != 0 && !positionerAttached_) {
            positionerAttached_ = true;
            if (positionerModel_.empty())
                positionerModel_ = config_.positioner.empty() ? "LS-100" : config_.positioner;
            loadEeprom();
        } else if (value == 0) {
            positionerAttached_ = false; // its memory stays in the file, keyed by controller
        }
        break;
    case TROVSIM_TEMPERATURE: inputs_.temperature = value; break;
    case TROVSIM_DRIVER_TEMPERATURE: inputs_.driverTemperature = value; break;
    case TROVSIM_SUPPLY: inputs_.supply = value; break;
    case TROVSIM_USB_VOLTAGE: inputs_.usbVoltage = value; break;
    case TROVSIM_WINDING_A: inputs_.windingA = value < 0 ? -1 : static_cast<int>(value & 0xF); break;
    case TROVSIM_WINDING_B: inputs_.windingB = value < 0 ? -1 : static_cast<int>(value & 0xF0); break;
    case TROVSIM_ENCODER_STATE: inputs_.encoderState = value < 0 || value > ENC_STATE_OK ? -1 : static_cast<int>(value); break;
    case TROVSIM_H_BRIDGE_FAULT: inputs_.hBridgeFault = value != 0; break;
    case TROVSIM_DATA_ERROR: inputs_.dataError = value != 0; break;
    case TROVSIM_PHYSICAL_POSITION: motion_.setPhysical(static_cast<double>(value) / 256.0, context()); break;
    default: return result_error;
    }
    if (mode_ == Mode::Firmware)
        checkAlarms(context());
    return result_ok;
}

result_t Controller::externalCommand(int mvcmd, int position, int uposition)
{
    MotionCommand cmd;
    switch (mvcmd & MVCMD_NAME_BITS) {
    case MVCMD_MOVE: cmd = MotionCommand::Move; break;
    case MVCMD_MOVR: cmd = MotionCommand::Movr; break;
    case MVCMD_LEFT: cmd = MotionCommand::Left; break;
    case MVCMD_RIGHT: cmd = MotionCommand::Right; break;
    case MVCMD_STOP: cmd = MotionCommand::Stop; break;
    case MVCMD_HOME: cmd = MotionCommand::Home; break;
    case MVCMD_LOFT: cmd = MotionCommand::Loft; break;
    case MVCMD_SSTP: cmd = MotionCommand::Sstp; break;
    default: return result_error;
    }
    if (mode_ != Mode::Firmware || !plugged_)
        return result_error;
    return motionCommand(cmd, position, uposition);
}

} // namespace trovsim
