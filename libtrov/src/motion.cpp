#include "motion.h"

#include <cmath>

namespace trovsim {

// Until the motion model lands, the controller stands still and powered off: commands are
// accepted and change nothing.

void Motion::powerOn(const FramState& fram, double nowMs)
{
    position_ = fram.position;
    encoder_ = fram.encoder;
    physical_ = fram.physical;
    velocity_ = 0;
    mvCmdSts_ = MVCMD_UKNWN;
    powerState_ = PWR_STATE_OFF;
    refused_ = false;
    lastMs_ = nowMs;
}

void Motion::advanceTo(double nowMs, const MotionContext&)
{
    if (nowMs > lastMs_)
        lastMs_ = nowMs;
}

result_t Motion::command(MotionCommand, int, int, const MotionContext&) { return result_ok; }

void Motion::zero(const MotionContext&) {}

void Motion::setPosition(const set_position_t&, const MotionContext&) {}

void Motion::getPosition(get_position_t& out, const MotionContext& ctx) const
{
    uint32_t d = microstepDivisor(ctx.ram.get<engine_settings_t>().MicrostepMode);
    double whole = std::trunc(position_);
    out.Position = static_cast<int32_t>(whole);
    out.uPosition = static_cast<int32_t>(std::trunc((position_ - whole) * d));
    out.EncPosition = encoder_;
}

void Motion::settingsChanged(RecordId, const uint8_t*, const MotionContext&) {}

void Motion::fillStatus(status_t& s, const MotionContext& ctx) const
{
    get_position_t p;
    getPosition(p, ctx);
    s.MoveSts = velocity_ != 0 ? MOVE_STATE_MOVING : 0;
    s.MvCmdSts = mvCmdSts_;
    s.PWRSts = powerState_;
    s.CurPosition = p.Position;
    s.uCurPosition = p.uPosition;
    s.EncPosition = encoder_;
    s.CurSpeed = 0;
    s.uCurSpeed = 0;

    if (ctx.inputs.encoderState >= 0) {
        s.EncSts = static_cast<uint32_t>(ctx.inputs.encoderState);
    } else if (ctx.hw.encoderCpr == 0) {
        s.EncSts = ENC_STATE_ABSENT;
    } else {
        // the counter and the encoder agree when the reversals cancel out
        bool reverse = (ctx.ram.get<engine_settings_t>().EngineFlags & ENGINE_REVERSE) != 0;
        bool encReverse = (ctx.ram.get<feedback_settings_t>().FeedbackFlags & FEEDBACK_ENC_REVERSE) != 0;
        s.EncSts = (reverse ^ ctx.hw.encoderReversed ^ encReverse) ? ENC_STATE_REVERS : ENC_STATE_OK;
    }

    extio_settings_t extio = ctx.ram.get<extio_settings_t>();
    if (extio.EXTIOSetupFlags & EXTIO_SETUP_OUTPUT)
        s.GPIOFlags |= STATE_GPIO_PINOUT;
    if (ctx.inputs.buttonLeft)
        s.GPIOFlags |= STATE_BUTTON_LEFT;
    if (ctx.inputs.buttonRight)
        s.GPIOFlags |= STATE_BUTTON_RIGHT;
}

} // namespace trovsim
