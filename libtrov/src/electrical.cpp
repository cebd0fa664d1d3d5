#include "electrical.h"

#include <algorithm>
#include <cmath>

namespace trovsim {

namespace {

constexpr double kAmbient = 250;            // tenths of a degree
constexpr double kHeatPerMa = 0.12;         // tenths of a degree per mA drawn beyond the idle draw
constexpr double kIdleMa = 40;              // what the controller draws by itself
constexpr double kThermalTauMs = 120000;
constexpr double kDriverOverheat = 1250;    // tenths of a degree
constexpr double kOverheatHysteresis = 50;  // tenths of a degree
constexpr double kPi = 3.14159265358979323846;

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

int32_t toInt(double v) { return static_cast<int32_t>(std::lround(std::clamp(v, -2e9, 2e9))); }

} // namespace

void Electrical::powerOn(double nowMs)
{
    flags_ = 0;
    alarm_ = false;
    overheat_ = false;
    temperature_ = kAmbient;
    lastMs_ = nowMs;
}

double Electrical::supplyVolts(const MotionContext& ctx) const
{
    return ctx.inputs.supply != WorldInputs::kModel ? static_cast<double>(ctx.inputs.supply) / 100.0 : ctx.hw.supply;
}

Electrical::Readings Electrical::model(const Motion& motion, const MotionContext& ctx) const
{
    Readings r;
    double supply = supplyVolts(ctx);
    double iw = supply > 0 ? motion.windingCurrent(ctx) : 0.0; // no windings without a supply
    r.ipwr = supply > 0 ? kIdleMa + 0.6 * iw * (0.5 + 0.5 * motion.speedFraction(ctx)) : 0.0;
    r.upwr = std::max(0.0, 100.0 * supply - r.ipwr / 100.0); // a 0.1 ohm source
    r.uusb = ctx.inputs.usbVoltage != WorldInputs::kModel ? static_cast<double>(ctx.inputs.usbVoltage) : 500.0;
    r.iusb = 60;
    r.curT = ctx.inputs.temperature != WorldInputs::kModel ? static_cast<double>(ctx.inputs.temperature)
                                                           : temperature_;
    return r;
}

void Electrical::advanceTo(double nowMs, const Motion& motion, const MotionContext& ctx)
{
    if (nowMs <= lastMs_)
        return;
    double target = kAmbient + kHeatPerMa * (model(motion, ctx).ipwr - kIdleMa);
    temperature_ += (target - temperature_) * (1.0 - std::exp(-(nowMs - lastMs_) / kThermalTauMs));
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
        return static_cast<int32_t>(std::clamp<int64_t>(ctx.inputs.temperature, -2000, 5000));
    return toInt(temperature_);
}

int32_t Electrical::supplyVoltage(const Motion& motion, const MotionContext& ctx)
{
    return toInt(model(motion, ctx).upwr);
}

void Electrical::causes(const Motion& motion, const MotionContext& ctx, uint32_t& flags, bool& alarm)
{
    Readings r = model(motion, ctx);
    secure_settings_t sec = ctx.ram.get<secure_settings_t>();
    flags = 0;
    alarm = false;
    auto cause = [&](bool on, uint32_t flag, bool raisesAlarm) {
        if (!on)
            return;
        flags |= flag;
        alarm = alarm || raisesAlarm;
    };
    double t = ctx.inputs.temperature != WorldInputs::kModel ? static_cast<double>(ctx.inputs.temperature)
                                                             : temperature_;
    overheat_ = t > sec.CriticalT || (overheat_ && t > sec.CriticalT - kOverheatHysteresis);
    cause(r.upwr > sec.CriticalUpwr, STATE_OVERLOAD_POWER_VOLTAGE, true);
    cause(r.ipwr > sec.CriticalIpwr, STATE_OVERLOAD_POWER_CURRENT, true);
    cause(r.uusb > sec.CriticalUusb, STATE_OVERLOAD_USB_VOLTAGE, true);
    cause(r.iusb > sec.CriticalIusb, STATE_OVERLOAD_USB_CURRENT, true);
    cause(overheat_, STATE_CONTROLLER_OVERHEAT, true);
    cause(ctx.inputs.driverTemperature != WorldInputs::kModel &&
              static_cast<double>(ctx.inputs.driverTemperature) > kDriverOverheat,
          STATE_POWER_OVERHEAT, (sec.Flags & ALARM_ON_DRIVER_OVERHEATING) != 0);
    cause(r.upwr < sec.LowUpwrOff, STATE_LOW_POWER_VOLTAGE, (sec.Flags & LOW_UPWR_PROTECTION) != 0);
    cause(r.uusb < sec.MinimumUusb, STATE_LOW_USB_VOLTAGE, false);
    cause(ctx.inputs.hBridgeFault, 0, (sec.Flags & H_BRIDGE_ALERT) != 0);
    cause(motion.misset(), STATE_BORDERS_SWAP_MISSET, (sec.Flags & ALARM_ON_BORDERS_SWAP_MISSET) != 0);
}

bool Electrical::evaluate(const Motion& motion, const MotionContext& ctx)
{
    uint32_t live;
    bool alarmCause;
    causes(motion, ctx, live, alarmCause);
    bool sticky = (ctx.ram.get<secure_settings_t>().Flags & ALARM_FLAGS_STICKING) != 0;
    flags_ = sticky ? (flags_ | live) : live;
    bool raised = alarmCause && !alarm_;
    if (alarmCause)
        alarm_ = true; // it stays until command_stop finds no cause left
    return raised;
}

void Electrical::stopCommand(const Motion& motion, const MotionContext& ctx)
{
    uint32_t live;
    bool alarmCause;
    causes(motion, ctx, live, alarmCause);
    flags_ = live;
    alarm_ = alarmCause;
}

void Electrical::fillReadings(status_t& s, const Motion& motion, const MotionContext& ctx)
{
    Readings r = model(motion, ctx);
    bool supplied = supplyVolts(ctx) > 0;
    s.Ipwr = supplied ? std::max(0, toInt(r.ipwr) + noise(2, ctx)) : 0;
    s.Upwr = supplied ? std::max(0, toInt(r.upwr) + noise(1, ctx)) : 0;
    s.Uusb = std::max(0, toInt(r.uusb) + (ctx.inputs.usbVoltage == WorldInputs::kModel ? noise(2, ctx) : 0));
    s.Iusb = toInt(r.iusb) + noise(1, ctx);
    s.curT = temperature(ctx);
    s.Flags |= supplied ? STATE_EXT_POWER : 0u;
}

void Electrical::fillStatus(status_t& s, const Motion& motion, const MotionContext& ctx)
{
    fillReadings(s, motion, ctx);
    uint32_t a = ctx.inputs.windingA >= 0 ? static_cast<uint32_t>(ctx.inputs.windingA) : WIND_A_STATE_OK;
    uint32_t b = ctx.inputs.windingB >= 0 ? static_cast<uint32_t>(ctx.inputs.windingB)
                 : ctx.ram.get<entype_settings_t>().EngineType == ENGINE_TYPE_DC ||
                           ctx.ram.get<entype_settings_t>().EngineType == ENGINE_TYPE_2DC
                     ? WIND_B_STATE_ABSENT
                     : WIND_B_STATE_OK;
    s.WindSts = (a & 0xF) | (b & 0xF0);
    s.Flags |= alarmBits();
}

void Electrical::fillBootloaderStatus(status_t& s, const MotionContext& ctx)
{
    fillReadings(s, Motion(), ctx);
}

Electrical::Windings Electrical::windings(const Motion& motion, const MotionContext& ctx, const Readings& r) const
{
    Windings w{};
    double iw = supplyVolts(ctx) > 0 ? motion.windingCurrent(ctx) : 0.0;
    engine_settings_t eng = ctx.ram.get<engine_settings_t>();
    uint32_t type = ctx.ram.get<entype_settings_t>().EngineType;
    if (eng.EngineFlags & ENGINE_LIMIT_CURR)
        iw = std::min(iw, static_cast<double>(eng.NomCurrent));
    double ohm = ctx.hw.windingR;
    double theta = motion.electricalAngle(ctx);
    if (type == ENGINE_TYPE_DC || type == ENGINE_TYPE_2DC) {
        // one phase: the bridge's duty cycle follows the speed
        double frac = motion.speedFraction(ctx);
        double dir = motion.velocity() < 0 ? -1.0 : 1.0;
        w.duty = frac;
        w.voltageA = dir * frac * r.upwr;
        w.currentA = iw > 0 ? dir * iw * (0.3 + 0.7 * frac) : 0.0;
    } else {
        if (type == ENGINE_TYPE_BRUSHLESS) {
            w.currentA = iw * std::cos(theta);
            w.currentB = iw * std::cos(theta - 2 * kPi / 3);
            w.currentC = iw * std::cos(theta + 2 * kPi / 3);
        } else {
            w.currentA = iw * std::cos(theta);
            w.currentB = iw * std::sin(theta);
        }
        w.voltageA = w.currentA * ohm / 10.0;
        w.voltageB = w.currentB * ohm / 10.0;
        w.voltageC = w.currentC * ohm / 10.0;
        w.duty = r.upwr > 0 ? std::clamp((iw * ohm / 1000.0) / (r.upwr / 100.0), 0.0, 1.0) : 0.0;
    }
    if (eng.EngineFlags & ENGINE_LIMIT_VOLT) {
        double cap = eng.NomVoltage;
        w.voltageA = std::clamp(w.voltageA, -cap, cap);
        w.voltageB = std::clamp(w.voltageB, -cap, cap);
        w.voltageC = std::clamp(w.voltageC, -cap, cap);
    }
    return w;
}

void Electrical::fillChart(chart_data_t& c, const Motion& motion, const MotionContext& ctx)
{
    Windings w = windings(motion, ctx, model(motion, ctx));
    c.WindingVoltageA = toInt(w.voltageA);
    c.WindingVoltageB = toInt(w.voltageB);
    c.WindingVoltageC = toInt(w.voltageC);
    c.WindingCurrentA = toInt(w.currentA);
    c.WindingCurrentB = toInt(w.currentB);
    c.WindingCurrentC = toInt(w.currentC);
    c.Pot = static_cast<uint32_t>(potValue(motion, ctx.hw));
    int64_t joy = ctx.inputs.joystick + noise(3, ctx);
    c.Joy = static_cast<uint32_t>(std::clamp<int64_t>(joy, 0, 10000));
}

void Electrical::fillAnalog(analog_data_t& a, const Motion& motion, const MotionContext& ctx)
{
    Readings r = model(motion, ctx);
    Windings w = windings(motion, ctx, r);
    chart_data_t c{};
    fillChart(c, motion, ctx);
    bool supplied = supplyVolts(ctx) > 0;
    a.A1Voltage = toInt(std::max(0.0, w.voltageA));
    a.A2Voltage = toInt(std::max(0.0, -w.voltageA));
    a.B1Voltage = toInt(std::max(0.0, w.voltageB));
    a.B2Voltage = toInt(std::max(0.0, -w.voltageB));
    a.SupVoltage = supplied ? std::max(0, toInt(r.upwr) + noise(1, ctx)) : 0;
    a.ACurrent = toInt(std::abs(w.currentA));
    a.BCurrent = toInt(std::abs(w.currentB));
    a.FullCurrent = supplied ? std::max(0, toInt(r.ipwr) + noise(2, ctx)) : 0;
    a.Temp = temperature(ctx);
    a.Joy = static_cast<int32_t>(c.Joy);
    a.Pot = static_cast<int32_t>(c.Pot);
    a.L5 = 500 + noise(2, ctx);
    a.H5 = 500 + noise(2, ctx);
    a.DutyCycle = toInt(10000.0 * w.duty);
    a.R = toInt(ctx.hw.windingR * 1000.0);
    a.L = toInt(ctx.hw.windingL);
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
