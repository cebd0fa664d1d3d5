// The moving part of one controller: position counter, speed, physical stage, encoder, the
// running motion program and the power state of the windings.
//
// The controller owns one Motion and drives it lazily: before every call it calls advanceTo(now)
// under its own lock, then the call's operation. Nothing here runs in the background, sleeps or
// takes locks. The settings in force, the hardware and the test inputs come in a MotionContext.
//
// The kinematics are integrated piecewise in closed form (pieces of constant acceleration), so a
// move ends exactly on its target whatever the spacing of the calls, and an axis at rest costs
// nothing however much time passes. Signals crossed inside a piece (borders, switches, the
// revolution sensor) are found at their exact position and time.
//
// Homing does not reset the position counter; the program has its own Zero.
//
// motion.cpp holds the settings, the power, the programs and the commands; kinematics.cpp the
// pieces and the signals crossed inside them.
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
    // The latched GPIO events (revolution sensor, sync pulses) have been reported.
    void clearLatches() { latches_ = 0; }

    // A command that the controller does not carry out (alarm): stops, shows code|ERROR.
    void refuse(MotionCommand cmd);
    // An alarm: motion stops at once and the windings go off.
    void alarmStop(const MotionContext& ctx);
    // The world: a sync input pulse, the stage moved by hand.
    void syncPulse(const MotionContext& ctx);
    void setPhysical(double physical, const MotionContext& ctx);

    FramState fram() const;
    double position() const { return position_; }
    double velocity() const { return velocity_; }
    double physical() const { return physical_; }
    double target() const;
    uint32_t powerState() const { return powerState_; }
    bool commandRefused() const { return refused_; }
    bool misset() const { return misset_; }
    bool moving() const { return program_ != Program::None || velocity_ != 0; }
    double lastMs() const { return lastMs_; }
    // When the state next changes by itself (a power deadline); +inf if never.
    double nextEventMs(const MotionContext& ctx) const;
    // Winding current amplitude in mA, and |speed| as a fraction of the nominal speed.
    double windingCurrent(const MotionContext& ctx) const;
    double speedFraction(const MotionContext& ctx) const;
    // The electrical angle of the windings in radians.
    double electricalAngle(const MotionContext& ctx) const;

private:
    static constexpr double kCounterLimit = 2147483647.0; // the counter is reported as 32 bits

    enum class Program { None, Move, Movr, Left, Right, Sstp, Home, Loft };
    enum class Stage { None, Goto, Run, Brake };
    enum class HomeStep { Phase1, Half, Phase2, Standoff };

    // The settings in force, in position units (steps or counts) and seconds.
    struct Params {
        bool stepper;
        double d;           // microstep divisor (1 for counts)
        double toUnits;     // units/s per unit of a speed setting (rpm for DC)
        double vnom;        // nominal speed, units/s (0: none)
        double vmax;        // move speed
        bool limitRpm;
        bool accelOn;
        double accel, decel;
        double antiplay;    // signed, units; 0 = no backlash approach
        double loft;        // Antiplay whatever the flag says
        double antiplaySpeed;
        double fastHome, slowHome, homeDelta;
        uint32_t homeFlags;
        double halfTurn;
        double rev;         // units per revolution of the sensor
        double left, right; // position borders
        uint32_t borderFlags, enderFlags;
        double s;           // -1 with ENGINE_REVERSE
        double encRatio;    // encoder counts per unit of the stage
        double encSign;
        uint32_t powerFlags;
        double reductDelayMs, offDelayMs, setTimeMs, hold, nomCurrent;
        uint32_t syncOutFlags;
        double syncOutPeriod;
        double travelLow, travelHigh, swLow, swHigh;
        bool swClosed;
    };
    struct Segment {
        Stage stage = Stage::None;
        double target = 0;
        double speed = 0;
        int dir = 0;
        bool antiplay = false;
        bool braking = false;
    };
    // One piece of constant acceleration: from the current state over t seconds to (p1, v1).
    struct Piece {
        double t = 0;
        double a = 0;
        double p1 = 0, v1 = 0;
        bool done = false;
    };
    enum class Event { None, BorderStop, SwitchStop, Misset, HardStop, HomeReached, HomeFailed, CounterLimit };

    Params params(const MotionContext& ctx) const;
    // params(), and keeps the stage where it is when the counting direction changed.
    Params prepare(const MotionContext& ctx);
    double speedOf(uint32_t whole, uint32_t micro, const Params& P) const;
    double capped(double v, const Params& P) const;

    Piece plan(const Params& P, double rem);
    bool applyPiece(const Piece& piece, const Params& P, double& used);
    void segmentDone(const Params& P);
    void startHomePhase(HomeStep step, const Params& P);
    void homeEvent(double at, const Params& P);

    void startGoto(double target, double speed, bool antiplay);
    void startRun(int dir, double speed);
    void begin(Program program, uint32_t code, const Params& P);
    void finish(bool error);
    void stopAtOnce();
    void setPower(uint32_t state, double atMs, const Params& P);
    void motionEnded();
    void updatePower(double nowMs, const Params& P);
    void shiftTargets(double delta);
    double onGrid(double position, const Params& P) const;
    void moveTo(double p1, const Params& P);

    bool switchPressed(int sw, double phys, const Params& P) const;
    bool switchView(int sw, double phys, const Params& P) const;
    int leftSwitch(const Params& P) const { return (P.enderFlags & ENDER_SWAP) ? 2 : 1; }
    int rightSwitch(const Params& P) const { return (P.enderFlags & ENDER_SWAP) ? 1 : 2; }
    bool leftEdge(const Params& P) const;
    bool rightEdge(const Params& P) const;
    bool blockedBy(int dir, const Params& P) const;
    double iwAt(double ms, const Params& P) const;
    double iwTarget(uint32_t state, const Params& P) const;

    double position_ = 0;
    double velocity_ = 0;
    double physical_ = 0;
    double physOffset_ = 0; // physical = s * position + offset (changes when steps are lost)
    double s_ = 0;          // the counting direction the offset was made for (0: not yet)
    double encoder_ = 0; // encoder counts, rounded when reported
    uint32_t mvCmdSts_ = 0;
    uint32_t powerState_ = PWR_STATE_OFF;
    bool refused_ = false;
    bool misset_ = false;
    double lastMs_ = 0;

    Program program_ = Program::None;
    uint32_t code_ = 0;
    Segment seg_;
    double finalTarget_ = 0; // of a move: where it ends
    bool approachPending_ = false;
    double approachSpeed_ = 0;
    double loftStart_ = 0;
    HomeStep homeStep_ = HomeStep::Phase1;
    int homeSwitch_ = 0;     // the switch that phase 1 found (0: none)
    double homePoint_ = 0;   // where the last phase found its mark
    double phaseStart_ = 0;
    uint32_t condition_ = 0; // stop condition of the running phase: 0, 1 REV, 2 SYN, 3 LIM
    int condSwitch_ = 0;     // LIM: the switch to watch
    bool condRelease_ = false; // LIM: wait for its release instead of its press

    double restSinceMs_ = 0; // when the last motion ended
    double iwFrom_ = 0, iwAtMs_ = 0;
    uint32_t latches_ = 0;   // STATE_REV_SENSOR, STATE_SYNC_INPUT, STATE_SYNC_OUTPUT
    double syncOrigin_ = 0;
    uint32_t syncOutFlags_ = 0;
};

} // namespace trovsim
