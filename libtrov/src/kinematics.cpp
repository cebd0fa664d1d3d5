// Motion's kinematics: the pieces of constant acceleration that make up a move, a run or a
// stop, and the signals crossed inside a piece (borders, switches, the revolution sensor, the
// homing marks), each found at its exact position and time.
#include "motion.h"

#include <algorithm>
#include <cmath>

namespace trovsim {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

double sign(double x) { return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0; }

// Time to cover dist along the direction of motion, starting at speed u >= 0 with acceleration a.
double timeFor(double dist, double u, double a)
{
    if (dist <= 0)
        return 0;
    if (a == 0)
        return u > 0 ? dist / u : 0;
    double disc = std::max(0.0, u * u + 2 * a * dist);
    double den = u + std::sqrt(disc);
    return den > 0 ? 2 * dist / den : 0;
}

} // namespace

Motion::Piece Motion::plan(const Params& P, double rem)
{
    Piece pc;
    const double p = position_, v = velocity_;
    pc.p1 = p;
    pc.v1 = v;
    auto piece = [&](double t, double a) {
        pc.t = t;
        pc.a = a;
        pc.p1 = p + v * t + 0.5 * a * t * t;
        pc.v1 = v + a * t;
    };
    // Accelerates by a for up to t, ending exactly at v1 when t fits in the time left.
    auto reach = [&](double t, double a, double v1) {
        if (t > rem) {
            piece(rem, a);
            return false;
        }
        piece(t, a);
        pc.v1 = v1;
        return true;
    };

    switch (seg_.stage) {
    case Stage::None:
        pc.done = true;
        return pc;

    case Stage::Brake: {
        if (v == 0 || !P.accelOn) {
            pc.v1 = 0;
            pc.done = true;
            return pc;
        }
        double sg = sign(v), t0 = std::abs(v) / P.decel;
        if (reach(t0, -sg * P.decel, 0))
            pc.done = true;
        return pc;
    }

    case Stage::Run: {
        double dir = seg_.dir, vc = seg_.speed, u = v * dir;
        if (!P.accelOn) {
            if (u != vc)
                pc.v1 = dir * vc; // the speed jumps
            else
                piece(rem, 0);
            return pc;
        }
        if (u < 0) { // running the other way: slow down first
            double t0 = -u / P.decel;
            reach(t0, dir * P.decel, 0);
        } else if (u < vc) {
            double t1 = (vc - u) / P.accel;
            reach(t1, dir * P.accel, dir * vc);
        } else if (u > vc) {
            double t1 = (u - vc) / P.decel;
            reach(t1, -dir * P.decel, dir * vc);
        } else {
            piece(rem, 0);
        }
        return pc;
    }

    case Stage::Goto:
        break;
    }

    const double T = seg_.target, x = T - p;
    if (x == 0 && (v == 0 || !P.accelOn)) {
        pc.v1 = 0;
        pc.done = true;
        return pc;
    }
    // on the target but still moving: come back to it
    const double sg = x > 0 ? 1.0 : x < 0 ? -1.0 : -sign(v);
    const double dist = std::abs(x), u = v * sg, vc = seg_.speed;

    if (!P.accelOn) {
        if (u != vc) {
            pc.v1 = sg * vc;
            return pc;
        }
        double t = dist / vc;
        if (t <= rem) {
            pc.t = t;
            pc.p1 = T;
            pc.v1 = 0;
            pc.done = true;
        } else {
            piece(rem, 0);
        }
        return pc;
    }

    if (u > 0 && (seg_.braking || u * u >= 2 * P.decel * dist)) {
        // the deceleration that stops exactly on the target
        seg_.braking = true;
        double a = u * u / (2 * dist), tau = 2 * dist / u;
        if (tau <= rem) {
            pc.t = tau;
            pc.a = -sg * a;
            pc.p1 = T;
            pc.v1 = 0;
            pc.done = true;
        } else {
            piece(rem, -sg * a);
        }
        return pc;
    }
    seg_.braking = false;
    if (u < 0) { // moving away: turn round smoothly
        double t0 = -u / P.decel;
        reach(t0, sg * P.decel, 0);
        return pc;
    }
    if (u > vc) { // faster than the speed now set
        double t1 = (u - vc) / P.decel;
        reach(t1, -sg * P.decel, sg * vc);
        return pc;
    }
    if (u < vc) {
        double t1 = (vc - u) / P.accel;
        // the peak speed of a triangle that meets the braking curve
        double w = std::sqrt((2 * P.accel * P.decel * dist + P.decel * u * u) / (P.accel + P.decel));
        double tb = (w - u) / P.accel;
        if (tb < t1) {
            if (reach(tb, sg * P.accel, sg * w)) {
                pc.p1 = T - sg * w * w / (2 * P.decel);
                seg_.braking = true;
            }
        } else {
            reach(t1, sg * P.accel, sg * vc);
        }
        return pc;
    }
    // cruising
    double tc = (dist - vc * vc / (2 * P.decel)) / vc;
    if (tc <= 0) {
        seg_.braking = true;
        return plan(P, rem);
    }
    if (tc <= rem) {
        pc.t = tc;
        pc.p1 = T - sg * vc * vc / (2 * P.decel);
        seg_.braking = true;
    } else {
        piece(rem, 0);
    }
    return pc;
}

void Motion::moveTo(double p1, const Params& P)
{
    double ph0 = physical_, dp = p1 - position_;
    position_ = p1;
    double ph = P.s * p1 + physOffset_;
    double clamped = std::clamp(ph, P.travelLow, P.travelHigh);
    if (clamped != ph)
        physOffset_ = clamped - P.s * p1; // at a hard stop a stepper loses its steps
    physical_ = clamped;
    encoder_ += P.stepper ? P.encSign * P.encRatio * (clamped - ph0) : P.encSign * P.encRatio * dp;
}

// Carries out one piece, up to the first signal on its way that ends or changes the program.
bool Motion::applyPiece(const Piece& pc, const Params& P, double& used)
{
    used = pc.t;
    const double p0 = position_, ph0 = physical_, dp = pc.p1 - p0;
    if (dp == 0) {
        velocity_ = pc.v1;
        return false;
    }
    const double m = dp > 0 ? 1.0 : -1.0;
    const double travelled = std::abs(dp);
    const double phRaw = P.s * pc.p1 + physOffset_;
    const double ph1 = std::clamp(phRaw, P.travelLow, P.travelHigh);
    const bool homing = program_ == Program::Home;
    const bool homeRun = homing && seg_.stage == Stage::Run;

    Event ev = Event::None;
    double at = 0, best = kInf;
    // position c of the counter where the stage is at phys
    auto counterAt = [&](double phys) { return P.s * (phys - physOffset_); };
    auto consider = [&](Event e, double c) {
        double dist = (c - p0) * m;
        if (dist < 0)
            dist = 0;
        if (dist <= travelled && dist < best) {
            best = dist;
            at = dist == 0 ? p0 : c;
            ev = e;
        }
    };

    if (std::abs(pc.p1) > kCounterLimit)
        consider(Event::CounterLimit, m * kCounterLimit);

    // hard stops: a stepper goes on counting, anything else stalls there
    if (homing || !P.stepper) {
        Event e = homing ? Event::HomeFailed : Event::HardStop;
        if (phRaw < P.travelLow)
            consider(e, ph0 <= P.travelLow ? p0 : counterAt(P.travelLow));
        if (phRaw > P.travelHigh)
            consider(e, ph0 >= P.travelHigh ? p0 : counterAt(P.travelHigh));
    }

    // borders by position
    if (!homing && (P.borderFlags & BORDER_IS_ENCODER)) {
        if (m < 0 && (P.borderFlags & BORDER_STOP_LEFT) && pc.p1 < P.left)
            consider(Event::BorderStop, p0 <= P.left ? p0 : P.left);
        if (m > 0 && (P.borderFlags & BORDER_STOP_RIGHT) && pc.p1 > P.right)
            consider(Event::BorderStop, p0 >= P.right ? p0 : P.right);
    }
    // an axis already standing on a switch border it runs into
    if (!homing && !(P.borderFlags & BORDER_IS_ENCODER)) {
        if (m < 0 && (P.borderFlags & BORDER_STOP_LEFT) && switchView(leftSwitch(P), ph0, P))
            consider(Event::SwitchStop, p0);
        if (m > 0 && (P.borderFlags & BORDER_STOP_RIGHT) && switchView(rightSwitch(P), ph0, P))
            consider(Event::SwitchStop, p0);
    }

    // switches passed on the way
    for (int sw = 1; sw <= 2; ++sw) {
        bool before = switchPressed(sw, ph0, P), after = switchPressed(sw, ph1, P);
        if (before == after)
            continue;
        double c = counterAt(sw == 1 ? P.swLow : P.swHigh);
        bool viewBefore = switchView(sw, ph0, P), viewAfter = switchView(sw, ph1, P);
        bool pushes = !viewBefore && viewAfter, releases = viewBefore && !viewAfter;
        if (homeRun && condition_ == 3 && sw == condSwitch_) {
            if (condRelease_ ? releases : pushes)
                consider(Event::HomeReached, c);
            continue;
        }
        if (!pushes)
            continue;
        if (homeRun) {
            consider(Event::HomeFailed, c); // a switch that this phase does not look for
            continue;
        }
        if (homing)
            continue;
        if (!(P.borderFlags & BORDER_IS_ENCODER) &&
            ((m < 0 && sw == leftSwitch(P) && (P.borderFlags & BORDER_STOP_LEFT)) ||
             (m > 0 && sw == rightSwitch(P) && (P.borderFlags & BORDER_STOP_RIGHT))))
            consider(Event::SwitchStop, c);
        if ((P.borderFlags & BORDERS_SWAP_MISSET_DETECTION) &&
            ((m < 0 && sw == rightSwitch(P)) || (m > 0 && sw == leftSwitch(P))))
            consider(Event::Misset, c);
    }

    // the revolution sensor: a mark at every multiple of a revolution of the stage
    double revMark = kInf;
    {
        double k = ph1 > ph0 ? std::floor(ph0 / P.rev) + 1 : std::ceil(ph0 / P.rev) - 1;
        double mark = k * P.rev;
        if ((ph1 > ph0 && mark <= ph1) || (ph1 < ph0 && mark >= ph1))
            revMark = counterAt(mark);
    }
    if (homeRun && condition_ == 1 && revMark != kInf)
        consider(Event::HomeReached, revMark);
    if (homeRun) {
        double limit = (P.travelHigh - P.travelLow) + P.rev;
        if (std::abs(pc.p1 - phaseStart_) > limit)
            consider(Event::HomeFailed, phaseStart_ + m * limit);
    }

    const double end = ev == Event::None ? pc.p1 : at;
    if (revMark != kInf && (revMark - p0) * m <= (end - p0) * m)
        latches_ |= STATE_REV_SENSOR;
    if ((P.syncOutFlags & SYNCOUT_ENABLED) && (P.syncOutFlags & SYNCOUT_ONPERIOD) && P.syncOutPeriod > 0 &&
        std::floor((end - syncOrigin_) / P.syncOutPeriod) != std::floor((p0 - syncOrigin_) / P.syncOutPeriod))
        latches_ |= STATE_SYNC_OUTPUT;

    if (ev == Event::None) {
        moveTo(pc.p1, P);
        velocity_ = pc.v1;
        return false;
    }

    used = std::min(pc.t, timeFor(std::abs(at - p0), std::abs(velocity_), pc.a * m));
    moveTo(at, P);
    velocity_ = 0;
    switch (ev) {
    case Event::HomeReached: homeEvent(at, P); break;
    case Event::Misset:
        misset_ = true;
        finish(true);
        break;
    default: finish(true); break;
    }
    return true;
}

void Motion::advanceTo(double nowMs, const MotionContext& ctx)
{
    if (nowMs < lastMs_)
        nowMs = lastMs_;
    if (!moving() && powerState_ != PWR_STATE_NORM && powerState_ != PWR_STATE_REDUCT) {
        lastMs_ = nowMs; // nothing changes at rest with the windings off
        return;
    }
    Params P = prepare(ctx);
    for (int guard = 0; moving() && guard < 10000; ++guard) {
        if (program_ == Program::None) {
            velocity_ = 0;
            break;
        }
        double rem = std::max(0.0, (nowMs - lastMs_) / 1000.0);
        Piece pc = plan(P, rem);
        bool progress = pc.t > 0 || pc.done || pc.v1 != velocity_ || pc.p1 != position_;
        if (!progress)
            break;
        double used = 0;
        bool stopped = applyPiece(pc, P, used);
        lastMs_ = used >= rem ? nowMs : lastMs_ + used * 1000.0;
        if (stopped)
            continue;
        if (pc.done)
            segmentDone(P);
        else if (pc.t >= rem)
            break;
    }
    lastMs_ = nowMs;
    updatePower(nowMs, P);
}

} // namespace trovsim
