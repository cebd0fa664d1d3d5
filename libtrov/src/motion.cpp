#include "motion.h"

#include <algorithm>
#include <cmath>

namespace trovsim {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;
constexpr int kBldcPolePairs = 4;

double sign(double x) { return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0; }

uint32_t codeOf(MotionCommand cmd)
{
    switch (cmd) {
    case MotionCommand::Move: return MVCMD_MOVE;
    case MotionCommand::Movr: return MVCMD_MOVR;
    case MotionCommand::Left: return MVCMD_LEFT;
    case MotionCommand::Right: return MVCMD_RIGHT;
    case MotionCommand::Stop: return MVCMD_STOP;
    case MotionCommand::Sstp: return MVCMD_SSTP;
    case MotionCommand::Home: return MVCMD_HOME;
    case MotionCommand::Loft: return MVCMD_LOFT;
    case MotionCommand::PowerOff: break;
    }
    return MVCMD_UKNWN;
}

} // namespace

// --- settings

Motion::Params Motion::params(const MotionContext& ctx) const
{
    const RecordSet& ram = ctx.ram;
    const ControllerConfig& hw = ctx.hw;
    engine_settings_t eng = ram.get<engine_settings_t>();
    entype_settings_t entype = ram.get<entype_settings_t>();
    move_settings_t mv = ram.get<move_settings_t>();
    home_settings_t home = ram.get<home_settings_t>();
    edges_settings_t edges = ram.get<edges_settings_t>();
    power_settings_t power = ram.get<power_settings_t>();
    feedback_settings_t fb = ram.get<feedback_settings_t>();
    sync_out_settings_t so = ram.get<sync_out_settings_t>();

    Params P;
    P.stepper = entype.EngineType == ENGINE_TYPE_STEP ||
                (entype.EngineType == ENGINE_TYPE_NONE && hw.motor == MotorKind::Stepper);
    P.d = P.stepper ? microstepDivisor(eng.MicrostepMode) : 1.0;
    double ips = std::max<uint32_t>(1, fb.IPS);
    P.toUnits = P.stepper ? 1.0 : ips / 60.0;
    P.vnom = speedOf(eng.NomSpeed, eng.uNomSpeed, P);
    P.limitRpm = (eng.EngineFlags & ENGINE_LIMIT_RPM) != 0;
    P.vmax = capped((eng.EngineFlags & ENGINE_MAX_SPEED) ? P.vnom : speedOf(mv.Speed, mv.uSpeed, P), P);
    P.accelOn = (eng.EngineFlags & ENGINE_ACCEL_ON) != 0;
    P.accel = std::max(1.0, static_cast<double>(mv.Accel)) * P.toUnits;
    P.decel = std::max(1.0, static_cast<double>(mv.Decel)) * P.toUnits;
    P.loft = eng.Antiplay;
    P.antiplay = (eng.EngineFlags & ENGINE_ANTIPLAY) ? P.loft : 0.0;
    P.antiplaySpeed = capped(speedOf(mv.AntiplaySpeed, mv.uAntiplaySpeed, P), P);
    if (P.antiplaySpeed <= 0)
        P.antiplaySpeed = P.vmax; // a zero approach speed would never arrive
    P.fastHome = capped(speedOf(home.FastHome, home.uFastHome, P), P);
    P.slowHome = capped(speedOf(home.SlowHome, home.uSlowHome, P), P);
    P.homeDelta = home.HomeDelta + (P.stepper ? home.uHomeDelta / P.d : 0.0);
    P.homeFlags = home.HomeFlags;
    P.halfTurn = P.stepper ? eng.StepsPerRev / 2.0 : ips / 2.0;
    P.rev = P.stepper ? std::max<uint32_t>(1, hw.stepsPerRev) : (hw.encoderCpr ? hw.encoderCpr : ips);
    P.left = edges.LeftBorder + (P.stepper ? edges.uLeftBorder / P.d : 0.0);
    P.right = edges.RightBorder + (P.stepper ? edges.uRightBorder / P.d : 0.0);
    P.borderFlags = edges.BorderFlags;
    P.enderFlags = edges.EnderFlags;
    P.s = (eng.EngineFlags & ENGINE_REVERSE) ? -1.0 : 1.0;
    P.encRatio = hw.encoderCpr == 0 ? 0.0 : P.stepper ? static_cast<double>(hw.encoderCpr) / std::max<uint32_t>(1, hw.stepsPerRev) : 1.0;
    P.encSign = (hw.encoderReversed ? -1.0 : 1.0) * ((fb.FeedbackFlags & FEEDBACK_ENC_REVERSE) ? -1.0 : 1.0);
    P.powerFlags = power.PowerFlags;
    P.reductDelayMs = power.CurrReductDelay;
    P.offDelayMs = power.PowerOffDelay * 1000.0;
    P.setTimeMs = power.CurrentSetTime;
    P.hold = power.HoldCurrent / 100.0;
    P.nomCurrent = eng.NomCurrent;
    P.syncOutFlags = so.SyncOutFlags;
    P.syncOutPeriod = so.SyncOutPeriod;
    P.travelLow = hw.travelLow;
    P.travelHigh = hw.travelHigh;
    P.swLow = hw.switchLow;
    P.swHigh = hw.switchHigh;
    P.swClosed = hw.switchPushedClosed;
    return P;
}

Motion::Params Motion::prepare(const MotionContext& ctx)
{
    Params P = params(ctx);
    syncOutFlags_ = P.syncOutFlags;
    if (P.s != s_) {
        // the stage stays where it is when the counting direction flips
        physOffset_ = physical_ - P.s * position_;
        s_ = P.s;
    }
    return P;
}

double Motion::speedOf(uint32_t whole, uint32_t micro, const Params& P) const
{
    return P.stepper ? whole + micro / P.d : whole * P.toUnits;
}

double Motion::capped(double v, const Params& P) const
{
    // a nominal speed of zero sets no limit
    return P.limitRpm && P.vnom > 0 ? std::min(v, P.vnom) : v;
}

// --- life cycle

void Motion::powerOn(const FramState& fram, double nowMs)
{
    position_ = fram.position;
    encoder_ = static_cast<double>(fram.encoder);
    physical_ = fram.physical;
    s_ = 0; // the offset is made at the first use, when the settings are known
    velocity_ = 0;
    mvCmdSts_ = MVCMD_UKNWN;
    powerState_ = PWR_STATE_OFF;
    iwFrom_ = 0;
    iwAtMs_ = nowMs;
    refused_ = false;
    misset_ = false;
    program_ = Program::None;
    seg_ = Segment{};
    approachPending_ = false;
    latches_ = 0;
    restSinceMs_ = nowMs;
    lastMs_ = nowMs;
}

FramState Motion::fram() const
{
    FramState f;
    f.position = position_;
    f.encoder = static_cast<int64_t>(std::llround(encoder_));
    f.physical = physical_;
    return f;
}

double Motion::target() const
{
    if (program_ == Program::Move || program_ == Program::Movr)
        return finalTarget_;
    if (seg_.stage == Stage::Goto)
        return seg_.target;
    return position_;
}

// --- power

double Motion::iwTarget(uint32_t state, const Params& P) const
{
    switch (state) {
    case PWR_STATE_OFF: return 0;
    case PWR_STATE_REDUCT: return P.nomCurrent * P.hold;
    default: return P.nomCurrent;
    }
}

double Motion::iwAt(double ms, const Params& P) const
{
    double target = iwTarget(powerState_, P);
    if (!(P.powerFlags & POWER_SMOOTH_CURRENT) || P.setTimeMs <= 0)
        return target;
    double f = std::clamp((ms - iwAtMs_) / P.setTimeMs, 0.0, 1.0);
    return iwFrom_ + (target - iwFrom_) * f;
}

void Motion::setPower(uint32_t state, double atMs, const Params& P)
{
    if (state == powerState_)
        return;
    iwFrom_ = iwAt(atMs, P);
    iwAtMs_ = atMs;
    powerState_ = state;
}

void Motion::updatePower(double nowMs, const Params& P)
{
    if (moving() || (powerState_ != PWR_STATE_NORM && powerState_ != PWR_STATE_REDUCT))
        return;
    // both delays count from the end of the motion; whichever expires first acts first
    double reductAt = (P.powerFlags & POWER_REDUCT_ENABLED) ? restSinceMs_ + P.reductDelayMs : kInf;
    double offAt = (P.powerFlags & POWER_OFF_ENABLED) ? restSinceMs_ + P.offDelayMs : kInf;
    if (powerState_ == PWR_STATE_NORM && reductAt < offAt && reductAt <= nowMs)
        setPower(PWR_STATE_REDUCT, reductAt, P);
    if (offAt <= nowMs)
        setPower(PWR_STATE_OFF, offAt, P);
}

double Motion::nextEventMs(const MotionContext& ctx) const
{
    if (moving())
        return lastMs_;
    if (powerState_ != PWR_STATE_NORM && powerState_ != PWR_STATE_REDUCT)
        return kInf;
    Params P = params(ctx);
    double next = kInf;
    if (powerState_ == PWR_STATE_NORM && (P.powerFlags & POWER_REDUCT_ENABLED))
        next = restSinceMs_ + P.reductDelayMs;
    if (P.powerFlags & POWER_OFF_ENABLED)
        next = std::min(next, restSinceMs_ + P.offDelayMs);
    return next > lastMs_ ? next : lastMs_;
}

double Motion::windingCurrent(const MotionContext& ctx) const { return iwAt(lastMs_, params(ctx)); }

double Motion::speedFraction(const MotionContext& ctx) const
{
    if (velocity_ == 0)
        return 0;
    double vnom = params(ctx).vnom;
    return vnom > 0 ? std::min(1.0, std::abs(velocity_) / vnom) : 1.0;
}

double Motion::electricalAngle(const MotionContext& ctx) const
{
    Params P = params(ctx);
    if (P.stepper)
        return kPi / 2 * position_; // one full step is a quarter of the electrical period
    return 2 * kPi * kBldcPolePairs * position_ / P.rev;
}

// --- switches and edges

bool Motion::switchPressed(int sw, double phys, const Params& P) const
{
    return sw == 1 ? phys <= P.swLow : phys >= P.swHigh;
}

bool Motion::switchView(int sw, double phys, const Params& P) const
{
    bool pressed = switchPressed(sw, phys, P);
    bool closed = P.swClosed ? pressed : !pressed;
    uint32_t closedMeansPushed = sw == 1 ? ENDER_SW1_ACTIVE_LOW : ENDER_SW2_ACTIVE_LOW;
    return (P.enderFlags & closedMeansPushed) ? closed : !closed;
}

bool Motion::leftEdge(const Params& P) const
{
    return (P.borderFlags & BORDER_IS_ENCODER) ? position_ <= P.left : switchView(leftSwitch(P), physical_, P);
}

bool Motion::rightEdge(const Params& P) const
{
    return (P.borderFlags & BORDER_IS_ENCODER) ? position_ >= P.right : switchView(rightSwitch(P), physical_, P);
}

bool Motion::blockedBy(int dir, const Params& P) const
{
    return (dir < 0 && (P.borderFlags & BORDER_STOP_LEFT) && leftEdge(P)) ||
           (dir > 0 && (P.borderFlags & BORDER_STOP_RIGHT) && rightEdge(P));
}

// --- programs

void Motion::startGoto(double target, double speed, bool antiplay)
{
    seg_ = Segment{};
    seg_.stage = Stage::Goto;
    seg_.target = std::clamp(target, -kCounterLimit, kCounterLimit);
    seg_.speed = speed;
    seg_.antiplay = antiplay;
}

void Motion::startRun(int dir, double speed)
{
    seg_ = Segment{};
    seg_.stage = Stage::Run;
    seg_.dir = dir;
    seg_.speed = speed;
}

void Motion::begin(Program program, uint32_t code, const Params& P)
{
    if (!moving() && (P.syncOutFlags & SYNCOUT_ENABLED) && (P.syncOutFlags & SYNCOUT_ONSTART))
        latches_ |= STATE_SYNC_OUTPUT;
    program_ = program;
    code_ = code;
    mvCmdSts_ = code | MVCMD_RUNNING;
    seg_ = Segment{};
    approachPending_ = false;
    syncOrigin_ = position_;
}

void Motion::motionEnded()
{
    restSinceMs_ = lastMs_;
    if ((syncOutFlags_ & SYNCOUT_ENABLED) && (syncOutFlags_ & SYNCOUT_ONSTOP))
        latches_ |= STATE_SYNC_OUTPUT;
}

void Motion::finish(bool error)
{
    bool was = moving();
    program_ = Program::None;
    seg_ = Segment{};
    approachPending_ = false;
    velocity_ = 0;
    mvCmdSts_ = code_ | (error ? MVCMD_ERROR : 0u);
    if (was)
        motionEnded();
}

void Motion::stopAtOnce()
{
    bool was = moving();
    program_ = Program::None;
    seg_ = Segment{};
    approachPending_ = false;
    velocity_ = 0;
    if (was)
        motionEnded();
}

void Motion::startHomePhase(HomeStep step, const Params& P)
{
    homeStep_ = step;
    phaseStart_ = position_;
    int dir1 = (P.homeFlags & HOME_DIR_FIRST) ? 1 : -1;
    int dir2 = (P.homeFlags & HOME_DIR_SECOND) ? 1 : -1;
    int dir = step == HomeStep::Phase1 ? dir1 : dir2;
    double speed = step == HomeStep::Phase1 ? P.fastHome : P.slowHome;
    condition_ = step == HomeStep::Phase1 ? (P.homeFlags & HOME_STOP_FIRST_BITS) >> 4
                                          : (P.homeFlags & HOME_STOP_SECOND_BITS) >> 6;
    if (condition_ == 0) {
        homeEvent(position_, P); // nothing to look for: the phase ends where it starts
        return;
    }
    if (speed <= 0) {
        finish(true);
        return;
    }
    condSwitch_ = 0;
    condRelease_ = false;
    if (condition_ == 3) {
        if (step == HomeStep::Phase2 && homeSwitch_ != 0 && dir2 != dir1) {
            condSwitch_ = homeSwitch_; // moving off the switch that phase 1 found
            condRelease_ = true;
        } else {
            condSwitch_ = dir < 0 ? leftSwitch(P) : rightSwitch(P);
        }
        bool pushed = switchView(condSwitch_, physical_, P);
        if (pushed != condRelease_) {
            homeEvent(position_, P);
            return;
        }
    }
    startRun(dir, speed);
}

void Motion::homeEvent(double at, const Params& P)
{
    velocity_ = 0;
    homePoint_ = at;
    if (homeStep_ == HomeStep::Phase1) {
        homeSwitch_ = condition_ == 3 && !condRelease_ ? condSwitch_ : 0;
        if (P.homeFlags & HOME_MV_SEC_EN) {
            if (P.homeFlags & HOME_HALF_MV) {
                if (P.fastHome <= 0) {
                    finish(true);
                    return;
                }
                homeStep_ = HomeStep::Half;
                int dir2 = (P.homeFlags & HOME_DIR_SECOND) ? 1 : -1;
                startGoto(at + dir2 * P.halfTurn, P.fastHome, false);
            } else {
                startHomePhase(HomeStep::Phase2, P);
            }
            return;
        }
    }
    homeStep_ = HomeStep::Standoff;
    if (P.fastHome <= 0) {
        finish(true);
        return;
    }
    startGoto(homePoint_ + P.homeDelta, P.fastHome, false);
}

void Motion::segmentDone(const Params& P)
{
    switch (program_) {
    case Program::Move:
    case Program::Movr:
        if (approachPending_) {
            approachPending_ = false;
            startGoto(finalTarget_, approachSpeed_, true);
        } else {
            finish(false);
        }
        break;
    case Program::Loft:
        if (seg_.antiplay)
            finish(false);
        else
            startGoto(loftStart_, P.antiplaySpeed, true);
        break;
    case Program::Home:
        if (homeStep_ == HomeStep::Half)
            startHomePhase(HomeStep::Phase2, P);
        else if (homeStep_ == HomeStep::Standoff)
            finish(false);
        break;
    case Program::Sstp:
        finish(false);
        break;
    default:
        stopAtOnce();
        break;
    }
}

// --- commands

result_t Motion::command(MotionCommand cmd, int position, int uposition, const MotionContext& ctx)
{
    Params P = prepare(ctx);
    switch (cmd) {
    case MotionCommand::PowerOff:
        if (program_ != Program::None)
            finish(true);
        else
            stopAtOnce();
        setPower(PWR_STATE_OFF, lastMs_, P);
        return result_ok;
    case MotionCommand::Stop:
        stopAtOnce();
        code_ = MVCMD_STOP;
        mvCmdSts_ = MVCMD_STOP;
        refused_ = false;
        misset_ = false;
        return result_ok;
    case MotionCommand::Sstp:
        refused_ = false;
        if (velocity_ == 0 || !P.accelOn) {
            stopAtOnce();
            code_ = MVCMD_SSTP;
            mvCmdSts_ = MVCMD_SSTP;
            return result_ok;
        }
        begin(Program::Sstp, MVCMD_SSTP, P);
        seg_.stage = Stage::Brake;
        return result_ok;
    default:
        break;
    }

    const uint32_t code = codeOf(cmd);
    double target = 0;
    int dir = 0;
    switch (cmd) {
    case MotionCommand::Move: target = position + (P.stepper ? uposition / P.d : 0.0); break;
    case MotionCommand::Movr: {
        bool chained = program_ == Program::Move || program_ == Program::Movr;
        target = (chained ? finalTarget_ : position_) + position + (P.stepper ? uposition / P.d : 0.0);
        break;
    }
    case MotionCommand::Left: dir = -1; break;
    case MotionCommand::Right: dir = 1; break;
    case MotionCommand::Loft: dir = static_cast<int>(sign(-P.loft)); break;
    default: break;
    }
    target = std::clamp(target, -kCounterLimit, kCounterLimit);
    if (cmd == MotionCommand::Move || cmd == MotionCommand::Movr)
        dir = static_cast<int>(sign(target - position_));

    bool impossible = cmd != MotionCommand::Home && P.vmax <= 0;
    if (impossible || (cmd != MotionCommand::Home && dir != 0 && blockedBy(dir, P))) {
        // further into an edge the axis stands on, or no speed to move at
        stopAtOnce();
        code_ = code;
        mvCmdSts_ = code | MVCMD_ERROR;
        refused_ = true;
        return result_ok;
    }
    refused_ = false;
    if (cmd == MotionCommand::Loft && P.loft == 0) {
        stopAtOnce();
        code_ = code;
        mvCmdSts_ = code;
        return result_ok;
    }
    if (powerState_ != PWR_STATE_NORM)
        setPower(PWR_STATE_NORM, lastMs_, P);

    switch (cmd) {
    case MotionCommand::Move:
    case MotionCommand::Movr: {
        begin(cmd == MotionCommand::Move ? Program::Move : Program::Movr, code, P);
        finalTarget_ = target;
        if (P.antiplay != 0 && target != position_) {
            // the side it arrives from: where it would stop, seen from the target
            double stopAt = position_ + velocity_ * std::abs(velocity_) / (2 * P.decel);
            double from = sign(target - stopAt);
            if (from == 0)
                from = sign(velocity_);
            if (from != 0 && from != sign(P.antiplay)) {
                approachPending_ = true;
                approachSpeed_ = P.antiplaySpeed;
                startGoto(target - P.antiplay, P.vmax, false);
                break;
            }
        }
        startGoto(target, P.vmax, false);
        break;
    }
    case MotionCommand::Left:
    case MotionCommand::Right:
        begin(cmd == MotionCommand::Left ? Program::Left : Program::Right, code, P);
        startRun(dir, P.vmax);
        break;
    case MotionCommand::Home:
        begin(Program::Home, code, P);
        homeSwitch_ = 0;
        startHomePhase(HomeStep::Phase1, P);
        break;
    case MotionCommand::Loft:
        begin(Program::Loft, code, P);
        loftStart_ = position_;
        startGoto(position_ - P.loft, P.vmax, false);
        break;
    default:
        break;
    }
    return result_ok;
}

void Motion::refuse(MotionCommand cmd)
{
    stopAtOnce();
    code_ = codeOf(cmd);
    mvCmdSts_ = code_ | MVCMD_ERROR;
    refused_ = true;
}

void Motion::alarmStop(const MotionContext& ctx)
{
    Params P = prepare(ctx);
    if (program_ != Program::None)
        finish(true);
    else
        stopAtOnce();
    setPower(PWR_STATE_OFF, lastMs_, P);
}

void Motion::syncPulse(const MotionContext& ctx)
{
    latches_ |= STATE_SYNC_INPUT;
    if (program_ == Program::Home && seg_.stage == Stage::Run && condition_ == 2)
        homeEvent(position_, prepare(ctx));
}

void Motion::setPhysical(double physical, const MotionContext& ctx)
{
    Params P = prepare(ctx);
    double target = std::clamp(physical, P.travelLow, P.travelHigh);
    if (P.stepper) {
        // an open-loop counter does not see the stage being moved; the encoder does
        encoder_ += P.encSign * P.encRatio * (target - physical_);
        physical_ = target;
        physOffset_ = physical_ - P.s * position_;
    } else {
        moveTo(position_ + P.s * (target - physical_), P);
    }
}

void Motion::shiftTargets(double delta)
{
    seg_.target += delta;
    finalTarget_ += delta;
    loftStart_ += delta;
    homePoint_ += delta;
    phaseStart_ += delta;
    syncOrigin_ += delta;
}

double Motion::onGrid(double position, const Params& P) const
{
    // the counter counts whole microsteps (counts); what lies between stays where it is
    return std::round(position * P.d) / P.d;
}

void Motion::zero(const MotionContext& ctx)
{
    Params P = prepare(ctx);
    double delta = -onGrid(position_, P);
    shiftTargets(delta);
    position_ += delta;
    physOffset_ = physical_ - P.s * position_;
    encoder_ = 0;
}

void Motion::setPosition(const set_position_t& pos, const MotionContext& ctx)
{
    Params P = prepare(ctx);
    if (!(pos.PosFlags & SETPOS_IGNORE_POSITION)) {
        double delta = pos.Position + (P.stepper ? pos.uPosition / P.d : 0.0) - onGrid(position_, P);
        shiftTargets(delta);
        position_ += delta;
        physOffset_ = physical_ - P.s * position_;
    }
    if (!(pos.PosFlags & SETPOS_IGNORE_ENCODER))
        encoder_ = static_cast<double>(pos.EncPosition);
}

void Motion::getPosition(get_position_t& out, const MotionContext& ctx) const
{
    uint32_t d = microstepDivisor(ctx.ram.get<engine_settings_t>().MicrostepMode);
    bool stepper = ctx.ram.get<entype_settings_t>().EngineType == ENGINE_TYPE_STEP;
    double pos = std::clamp(position_, -kCounterLimit, kCounterLimit);
    double whole = std::trunc(pos);
    out.Position = static_cast<int32_t>(whole);
    out.uPosition = stepper ? static_cast<int32_t>(std::trunc((pos - whole) * d)) : 0;
    out.EncPosition = static_cast<int64_t>(std::llround(encoder_));
}

void Motion::settingsChanged(RecordId id, const uint8_t* before, const MotionContext& ctx)
{
    bool stop = false;
    if (id == RecordId::engine_settings) {
        engine_settings_t old;
        std::memcpy(&old, before, sizeof old);
        stop = old.MicrostepMode != ctx.ram.get<engine_settings_t>().MicrostepMode;
    } else if (id == RecordId::entype_settings) {
        entype_settings_t old;
        std::memcpy(&old, before, sizeof old);
        stop = old.EngineType != ctx.ram.get<entype_settings_t>().EngineType;
    }
    prepare(ctx);
    if (stop && moving()) {
        if (program_ != Program::None)
            finish(true);
        else
            stopAtOnce();
    }
}

void Motion::fillStatus(status_t& s, const MotionContext& ctx) const
{
    Params P = params(ctx);
    get_position_t p;
    getPosition(p, ctx);
    bool running = program_ != Program::None;
    s.MoveSts = moving() ? MOVE_STATE_MOVING : 0u;
    if ((program_ == Program::Left || program_ == Program::Right) && seg_.stage == Stage::Run &&
        velocity_ == seg_.dir * seg_.speed)
        s.MoveSts |= MOVE_STATE_TARGET_SPEED;
    if (running && seg_.antiplay)
        s.MoveSts |= MOVE_STATE_ANTIPLAY;
    s.MvCmdSts = mvCmdSts_;

    bool accelerating = false;
    if (running && P.accelOn) {
        double vc = seg_.speed;
        switch (seg_.stage) {
        case Stage::Brake: accelerating = velocity_ != 0; break;
        case Stage::Goto: accelerating = seg_.braking || std::abs(velocity_) != vc; break;
        case Stage::Run: accelerating = velocity_ != seg_.dir * vc; break;
        case Stage::None: break;
        }
    }
    s.PWRSts = powerState_ == PWR_STATE_NORM && accelerating ? static_cast<uint32_t>(PWR_STATE_MAX) : powerState_;

    s.CurPosition = p.Position;
    s.uCurPosition = p.uPosition;
    s.EncPosition = p.EncPosition;
    double v = std::clamp(P.stepper ? velocity_ : velocity_ / P.toUnits, -kCounterLimit, kCounterLimit);
    if (!P.stepper)
        v += v > 0 ? 1e-9 : v < 0 ? -1e-9 : 0; // rpm -> counts/s -> rpm comes back a hair short
    double vw = std::trunc(v);
    s.CurSpeed = static_cast<int32_t>(vw);
    s.uCurSpeed = P.stepper ? static_cast<int32_t>(std::trunc((v - vw) * P.d)) : 0;

    if (ctx.inputs.encoderState >= 0) {
        s.EncSts = static_cast<uint32_t>(ctx.inputs.encoderState);
    } else if (ctx.hw.encoderCpr == 0) {
        s.EncSts = ENC_STATE_ABSENT;
    } else {
        // the counter and the encoder agree when the reversals cancel out
        double agree = P.stepper ? P.s * P.encSign : P.encSign;
        s.EncSts = agree > 0 ? ENC_STATE_OK : ENC_STATE_REVERS;
    }

    if (leftEdge(P))
        s.GPIOFlags |= STATE_LEFT_EDGE;
    if (rightEdge(P))
        s.GPIOFlags |= STATE_RIGHT_EDGE;
    if (ctx.inputs.buttonLeft)
        s.GPIOFlags |= STATE_BUTTON_LEFT;
    if (ctx.inputs.buttonRight)
        s.GPIOFlags |= STATE_BUTTON_RIGHT;
    if (ctx.ram.get<extio_settings_t>().EXTIOSetupFlags & EXTIO_SETUP_OUTPUT)
        s.GPIOFlags |= STATE_GPIO_PINOUT;
    if (ctx.ram.get<entype_settings_t>().EngineType == ENGINE_TYPE_BRUSHLESS) {
        double sector = std::floor(electricalAngle(ctx) / (kPi / 3));
        int k = static_cast<int>(sector - 6 * std::floor(sector / 6));
        if (k <= 2)
            s.GPIOFlags |= STATE_HALL_A;
        if (k >= 2 && k <= 4)
            s.GPIOFlags |= STATE_HALL_B;
        if (k >= 4 || k == 0)
            s.GPIOFlags |= STATE_HALL_C;
    }
    if (ctx.hw.brake && (ctx.ram.get<brake_settings_t>().BrakeFlags & BRAKE_ENABLED) && powerState_ == PWR_STATE_OFF)
        s.GPIOFlags |= STATE_BRAKE;
    s.GPIOFlags |= latches_ & (STATE_REV_SENSOR | STATE_SYNC_INPUT);
    bool syncOut = (P.syncOutFlags & SYNCOUT_ENABLED) ? (latches_ & STATE_SYNC_OUTPUT) != 0
                                                      : (P.syncOutFlags & SYNCOUT_STATE) != 0;
    if (syncOut != ((P.syncOutFlags & SYNCOUT_INVERT) != 0))
        s.GPIOFlags |= STATE_SYNC_OUTPUT;
    if (ctx.hw.encoderCpr != 0) {
        int64_t q = p.EncPosition & 3; // quadrature: 00, 10, 11, 01
        if (q == 1 || q == 2)
            s.GPIOFlags |= STATE_ENC_A;
        if (q >= 2)
            s.GPIOFlags |= STATE_ENC_B;
    }
}

} // namespace trovsim
