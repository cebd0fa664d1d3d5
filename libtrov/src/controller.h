// One simulated controller: identity, memories (RAM, flash, positioner EEPROM), modes, the open
// handle, and the dispatch of every call to its parts (Motion, Electrical).
//
// controller.cpp holds the life cycle and the calls; memories.cpp the flash, the positioner's
// EEPROM and the position memory in their files.
//
// Locking: every member function except the const accessors of the configuration and the call
// counters requires mutex() to be held by the caller. Nothing here sleeps or calls the log
// callback (log lines are queued and delivered after the call).
#pragma once

#include "configuration.h"
#include "datafolder.h"
#include "electrical.h"
#include "functions.h"
#include "motion.h"
#include "records.h"
#include "trov.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace trovsim {

enum class Mode { Firmware, Bootloader, Restarting };

// One row of an enumeration, captured when it runs.
struct Listing {
    std::string name;
    bool readable = false;
    uint32_t serial = 0;
    device_information_t info{};
};

class Controller {
public:
    static constexpr double kRestartMs = 500;

    Controller(const ControllerConfig& config, std::shared_ptr<DataFolder> folder, bool noise);

    const ControllerConfig& config() const { return config_; }
    const std::string& name() const { return name_; }
    std::mutex& mutex() { return mutex_; }
    std::atomic<int>& callCount(Fn fn) { return calls_[static_cast<size_t>(fn)]; }

    // --- life cycle
    void powerOn(double nowMs);
    // Brings the time-dependent state (restart, motion, electrical) up to now.
    void advance(double nowMs);
    // 0 if a call with this handle may proceed; -4 if the handle was lost; -2 for a call that
    // the bootloader does not implement.
    result_t admit(device_t handle, Fn fn) const;
    // What the call answered (shown by the debug read).
    void noteResult(result_t r) { lastResult_ = r; }
    // At trovsim_reset: handles lost, files written, locks released; the object stays valid.
    void retire();
    // At process exit (the caller holds the lock through a try-lock).
    void shutdown();

    // --- open and close
    result_t open(device_t handle);
    void close(device_t handle);

    // --- records
    result_t getRecord(RecordId id, void* out, size_t size);
    result_t setRecord(RecordId id, const void* in, size_t size, Fn fn);

    // --- state and identity
    result_t getStatus(status_t& s);
    result_t getChart(chart_data_t& c);
    result_t getAnalog(analog_data_t& a);
    result_t getDebug(debug_read_t& d);
    void deviceInformation(device_information_t& info) const;
    uint32_t serial() const { return identity_.serial; }
    void firmwareVersion(uint32_t v[3]) const;
    void bootloaderVersion(uint32_t v[3]) const;

    // --- commands
    result_t motionCommand(MotionCommand cmd, int position, int uposition);
    result_t zero();
    result_t setPosition(const set_position_t& pos);
    result_t getPosition(get_position_t& pos);
    result_t saveSettings();
    result_t readSettings();
    result_t eepromSaveSettings();
    result_t eepromReadSettings();
    result_t clearFram();
    result_t restart(bool intoBootloader);
    result_t gotoFirmware(uint8_t& done);
    result_t setSerialNumber(const serial_number_t& sn);

    // --- calls addressed by name (the device must be closed where it says so)
    bool answers() const;           // plugged, not silent, not busy, not restarting
    bool heldOpen();                // open in this process or locked by another one
    result_t writeKey(const uint8_t* key);
    bool firmwareValid() const { return identity_.firmwareValid; }
    // Firmware upload, in three steps so that the caller waits without the lock.
    result_t beginUpload();
    result_t uploadProgress(int percent);
    result_t finishUpload(const uint8_t* data, uint32_t size);

    // --- enumeration
    bool listing(int flags, Listing& out);

    // --- test controls
    void unplug();
    void plug(bool powerCycle, double nowMs);
    void setBusy(bool busy) { busy_ = busy; }
    void enterBootloader(bool firmwareValid);
    result_t setInput(int input, int64_t value);
    result_t externalCommand(int mvcmd, int position, int uposition);
    double physicalPosition() const { return motion_.physical(); }

private:
    // Replaces the RAM-store settings with source's and tells the motion of each change.
    void loadRamFrom(const RecordSet& source);

    struct Identity {
        uint32_t serial = 0;
        uint8_t key[32] = {};
        uint32_t firmware[3] = {0, 0, 0};
        bool firmwareValid = true;
    };

    MotionContext context() const { return {config_, ram_, inputs_, noise_}; }
    void loseHandle();
    // The alarm acts on the motion as soon as one of its causes appears.
    void checkAlarms(const MotionContext& ctx);
    uint32_t gpioLevel(const MotionContext& ctx) const;
    // What the controller comes up with: the file at the first power-on, the live state later.
    FramState restoredFram();
    bool readFram(FramState& out);
    // The writers return false, after a level-1 log line, when their file could not be written.
    bool writeFram();
    // The controller reboots: the motion stops and starts afresh from the position memory.
    void reboot(double atMs);
    void loadFlash();
    bool writeFlash();
    void loadEeprom();
    bool writeEeprom();
    bool writeOrSay(const char* suffix, const std::string& text);
    std::string path(const char* suffix) const;
    bool persistent() const;
    void refuseOpen(const std::string& cause);
    void rescaleForMicrostepChange(uint32_t oldMode, uint32_t newMode);

    const ControllerConfig config_;
    const std::string name_;
    const std::shared_ptr<DataFolder> folder_;
    const bool noise_;
    std::mutex mutex_;
    std::array<std::atomic<int>, kFunctionCount> calls_{};

    Identity configIdentity() const;

    Identity identity_;
    RecordSet flash_;  // the RAM-store records as saved
    RecordSet ram_;    // the records in force
    RecordSet eeprom_; // the positioner's records
    RecordSet eepromSettingsCopy_;
    bool eepromHasSettings_ = false;
    bool eepromLoaded_ = false; // in memory the positioner keeps its content while detached
    bool positionerAttached_ = false;
    std::string positionerModel_;

    Mode mode_ = Mode::Firmware;
    double restartAt_ = 0;
    bool restartIntoBootloader_ = false;
    bool plugged_ = true;
    bool busy_ = false;
    bool retired_ = false;
    bool uploading_ = false;
    device_t openHandle_ = -1;
    int lockFd_ = -1;
    std::string lastRefusal_;

    bool errv_ = false;
    bool errd_ = false;
    WorldInputs inputs_;
    Motion motion_;
    Electrical electrical_;
    double nowMs_ = 0;
    double powerOnMs_ = 0;
    uint32_t commandsAccepted_ = 0;
    bool poweredBefore_ = false; // the live state is the position memory from then on
    bool framCleared_ = false;   // the next power-on starts the counters at zero
    bool framWritten_ = false;
    FramState lastFram_;
    int32_t lastResult_ = 0;
};

} // namespace trovsim
