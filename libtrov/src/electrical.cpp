#include "electrical.h"

#include <algorithm>
#include <cmath>

namespace trovsim {

namespace {

// 12-bit converter code of a value against its full scale.
uint32_t adc(double value, double low, double high)
{
    double code = std::round((value - low) / (high - low) * 4095.0);
    return static_cast<uint32_t>(std::clamp(code, 0.0, 4095.0));
}

int32_t potValue(const Motion& motion, const ControllerConfig& hw)
{
    double span = hw.travelHigh - hw.travelLow;
    double v = span > 0 ? 10000.0 * (motion.physical() - hw.travelLow) / span : 0.0;
    return static_cast<int32_t>(std::clamp(std::round(v), 0.0, 10000.0));
}

} // namespace

void Electrical::powerOn(double nowMs)
{
    alarmBits_ = 0;
    lastMs_ = nowMs;
}

void Electrical::advanceTo(double nowMs, const Motion&, const MotionContext&)
{
    if (nowMs > lastMs_)
        lastMs_ = nowMs;
}

int32_t Electrical::noise(int32_t amplitude, const MotionContext& ctx)
{
    if (!ctx.noise || amplitude <= 0)
        return 0;
    // xorshift: deterministic per controller, advanced once per reading
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    return static_cast<int32_t>(noiseState_ % static_cast<uint32_t>(2 * amplitude + 1)) - amplitude;
}

int32_t Electrical::temperature(const MotionContext& ctx) const
{
    if (ctx.inputs.temperature != WorldInputs::kModel)
        return static_cast<int32_t>(ctx.inputs.temperature);
    return 250; // at rest; the thermal model comes with the motion model
}

Electrical::Readings Electrical::read(const Motion&, const MotionContext& ctx)
{
    Readings r;
    double supply = ctx.inputs.supply != WorldInputs::kModel ? static_cast<double>(ctx.inputs.supply) / 100.0
                                                              : ctx.hw.supply;
    double windingCurrent = 0.0; // amplitude in mA; zero while the windings are off
    double ipwr = supply > 0 ? 40.0 + 0.6 * windingCurrent : 0.0;
    r.ipwr = static_cast<int32_t>(std::lround(ipwr)) + (supply > 0 ? noise(2, ctx) : 0);
    r.upwr = static_cast<int32_t>(std::lround(100.0 * supply - ipwr / 100.0)) + (supply > 0 ? noise(1, ctx) : 0);
    r.uusb = ctx.inputs.usbVoltage != WorldInputs::kModel ? static_cast<int32_t>(ctx.inputs.usbVoltage)
                                                           : 500 + noise(2, ctx);
    r.iusb = 60 + noise(1, ctx);
    r.curT = temperature(ctx);
    return r;
}

int32_t Electrical::supplyVoltage(const Motion& motion, const MotionContext& ctx) { return read(motion, ctx).upwr; }

uint32_t Electrical::flagsFor(const MotionContext& ctx) const
{
    double supply = ctx.inputs.supply != WorldInputs::kModel ? static_cast<double>(ctx.inputs.supply) / 100.0
                                                              : ctx.hw.supply;
    return (supply > 0 ? STATE_EXT_POWER : 0u) | alarmBits_;
}

void Electrical::fillStatus(status_t& s, const Motion& motion, const MotionContext& ctx)
{
    Readings r = read(motion, ctx);
    s.Ipwr = r.ipwr;
    s.Upwr = r.upwr;
    s.Iusb = r.iusb;
    s.Uusb = r.uusb;
    s.curT = r.curT;
    uint32_t a = ctx.inputs.windingA >= 0 ? static_cast<uint32_t>(ctx.inputs.windingA) : WIND_A_STATE_OK;
    uint32_t b = ctx.inputs.windingB >= 0 ? static_cast<uint32_t>(ctx.inputs.windingB)
                 : ctx.hw.motor == MotorKind::Dc ? WIND_B_STATE_ABSENT
                                                 : WIND_B_STATE_OK;
    s.WindSts = (a & 0xF) | (b & 0xF0);
    s.Flags |= flagsFor(ctx);
}

void Electrical::fillBootloaderStatus(status_t& s, const MotionContext& ctx)
{
    Motion idle;
    Readings r = read(idle, ctx);
    s.Ipwr = r.ipwr;
    s.Upwr = r.upwr;
    s.Iusb = r.iusb;
    s.Uusb = r.uusb;
    s.curT = r.curT;
    s.Flags |= flagsFor(ctx) & ~static_cast<uint32_t>(STATE_SECUR);
}

void Electrical::fillChart(chart_data_t& c, const Motion& motion, const MotionContext& ctx)
{
    // windings are off until the power model lands: no currents, no voltages
    c.Pot = static_cast<uint32_t>(potValue(motion, ctx.hw));
    int64_t joy = ctx.inputs.joystick + noise(3, ctx);
    c.Joy = static_cast<uint32_t>(std::clamp<int64_t>(joy, 0, 10000));
}

void Electrical::fillAnalog(analog_data_t& a, const Motion& motion, const MotionContext& ctx)
{
    Readings r = read(motion, ctx);
    chart_data_t c{};
    fillChart(c, motion, ctx);
    a.SupVoltage = r.upwr;
    a.FullCurrent = r.ipwr;
    a.Temp = r.curT;
    a.Joy = static_cast<int32_t>(c.Joy);
    a.Pot = static_cast<int32_t>(c.Pot);
    a.L5 = 500 + noise(2, ctx);
    a.H5 = 500 + noise(2, ctx);
    a.R = static_cast<int32_t>(std::lround(ctx.hw.windingR * 1000.0));
    a.L = static_cast<int32_t>(std::lround(ctx.hw.windingL));
    a.A1Voltage_ADC = adc(a.A1Voltage, 0, 6000);
    a.A2Voltage_ADC = adc(a.A2Voltage, 0, 6000);
    a.B1Voltage_ADC = adc(a.B1Voltage, 0, 6000);
    a.B2Voltage_ADC = adc(a.B2Voltage, 0, 6000);
    a.SupVoltage_ADC = adc(a.SupVoltage, 0, 6000);
    a.ACurrent_ADC = adc(a.ACurrent, 0, 5000);
    a.BCurrent_ADC = adc(a.BCurrent, 0, 5000);
    a.FullCurrent_ADC = adc(a.FullCurrent, 0, 5000);
    a.Temp_ADC = adc(a.Temp, -500, 1500);
    a.Joy_ADC = adc(a.Joy, 0, 10000);
    a.Pot_ADC = adc(a.Pot, 0, 10000);
    a.L5_ADC = adc(a.L5, 0, 660);
    a.H5_ADC = adc(a.H5, 0, 660);
}

} // namespace trovsim
