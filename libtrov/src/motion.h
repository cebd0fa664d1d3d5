// The moving part of one controller: position counter, speed, physical stage, encoder, the
// running motion program and the power state of the windings.
//
// The controller owns one Motion and drives it lazily: before every call it calls advanceTo(now)
// under its own lock, then the call's operation. Nothing here runs in the background, sleeps or
// takes locks. The settings in force, the hardware and the test inputs come in a MotionContext.
#pragma once

#include "configuration.h"
#include "records.h"
#include "trov.h"

#include <cstdint>
#include <limits>

namespace trovsim {

// What the outside world does to a controller (test inputs; INT64_MIN or -1 = left to the model).
struct WorldInputs {
    static constexpr int64_t kModel = std::numeric_limits<int64_t>::min();
    int64_t joystick = 5000;
    bool buttonLeft = false;
    bool buttonRight = false;
    bool extioIn = false;
    int64_t temperature = kModel;       // tenths of a degree
    int64_t driverTemperature = kModel; // tenths of a degree
    int64_t supply = kModel;            // hundredths of a volt
    int64_t usbVoltage = kModel;        // hundredths of a volt
    int windingA = -1;                  // WIND_A_STATE_*
    int windingB = -1;                  // WIND_B_STATE_*
    int encoderState = -1;              // ENC_STATE_*
    bool hBridgeFault = false;
    bool dataError = false;
};

struct MotionContext {
    const ControllerConfig& hw;
    const RecordSet& ram; // the settings in force
    const WorldInputs& inputs;
    bool noise;
};

enum class MotionCommand { Move, Movr, Left, Right, Stop, Sstp, Home, Loft, PowerOff };

// What survives a power cycle in the controller's FRAM.
struct FramState {
    double position = 0; // counter: steps (with the microstep fraction) or counts
    int64_t encoder = 0;
    double physical = 0; // stage position in the same units
};

class Motion {
public:
    void powerOn(const FramState& fram, double nowMs);
    void advanceTo(double nowMs, const MotionContext& ctx);

    // Motion commands; refused commands still answer 0 (they show in MvCmdSts and ERRC).
    result_t command(MotionCommand cmd, int position, int uposition, const MotionContext& ctx);
    void zero(const MotionContext& ctx);
    void setPosition(const set_position_t& pos, const MotionContext& ctx);
    void getPosition(get_position_t& out, const MotionContext& ctx) const;
    // A set_ call changed a record (EngineType or MicrostepMode changes stop the motion).
    void settingsChanged(RecordId id, const uint8_t* before, const MotionContext& ctx);

    // MoveSts, MvCmdSts, PWRSts, EncSts, positions, speeds and the GPIO bits of the motion.
    void fillStatus(status_t& s, const MotionContext& ctx) const;

    FramState fram() const { return {position_, encoder_, physical_}; }
    double position() const { return position_; }
    double velocity() const { return velocity_; }
    double physical() const { return physical_; }
    uint32_t powerState() const { return powerState_; }
    bool commandRefused() const { return refused_; }

private:
    double position_ = 0;
    double velocity_ = 0;
    double physical_ = 0;
    int64_t encoder_ = 0;
    uint32_t mvCmdSts_ = 0;
    uint32_t powerState_ = PWR_STATE_OFF;
    bool refused_ = false;
    double lastMs_ = 0;
};

} // namespace trovsim
