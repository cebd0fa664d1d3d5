// The electrical side of one controller: supply and USB readings, temperature, winding states,
// alarms, and the chart, analog and debug records built from them and from the motion.
#pragma once

#include "motion.h"

#include <cstdint>

namespace trovsim {

class Electrical {
public:
    explicit Electrical(uint32_t seed) : noiseState_(seed * 2654435761u + 1u) {}

    void powerOn(double nowMs);
    // Integrates the temperature up to now with the load that the motion puts on the supply.
    void advanceTo(double nowMs, const Motion& motion, const MotionContext& ctx);

    // Looks at the protection limits. True when the alarm has just been raised (the motion must
    // then stop and the windings go off).
    bool evaluate(const Motion& motion, const MotionContext& ctx);
    // command_stop: the alarm ends if no cause remains, and sticky flags are let go.
    void stopCommand(const Motion& motion, const MotionContext& ctx);
    bool inAlarm() const { return alarm_; }

    // Ipwr, Upwr, Iusb, Uusb, curT, WindSts and the power and alarm bits of Flags.
    void fillStatus(status_t& s, const Motion& motion, const MotionContext& ctx);
    // The readings a controller in its bootloader still reports.
    void fillBootloaderStatus(status_t& s, const MotionContext& ctx);
    void fillChart(chart_data_t& c, const Motion& motion, const MotionContext& ctx);
    void fillAnalog(analog_data_t& a, const Motion& motion, const MotionContext& ctx);

    int32_t temperature(const MotionContext& ctx) const;
    int32_t supplyVoltage(const Motion& motion, const MotionContext& ctx);
    uint32_t alarmBits() const { return flags_ | (alarm_ ? static_cast<uint32_t>(STATE_ALARM) : 0u); }

private:
    struct Readings {
        double ipwr, upwr, iusb, uusb, curT; // without noise
    };
    struct Windings {
        double currentA, currentB, currentC; // mA
        double voltageA, voltageB, voltageC; // hundredths of a volt
        double duty;                         // 0..1
    };
    Readings model(const Motion& motion, const MotionContext& ctx) const;
    // The supply, USB and temperature readings and the external-power bit, with their noise.
    void fillReadings(status_t& s, const Motion& motion, const MotionContext& ctx);
    Windings windings(const Motion& motion, const MotionContext& ctx, const Readings& r) const;
    double supplyVolts(const MotionContext& ctx) const;
    // Live causes: the flags that the readings raise now, and which of them raise the alarm.
    void causes(const Motion& motion, const MotionContext& ctx, uint32_t& flags, bool& alarm);
    int32_t noise(int32_t amplitude, const MotionContext& ctx);

    uint32_t noiseState_;
    double temperature_ = 250; // tenths of a degree, the model's
    bool overheat_ = false;    // with its hysteresis
    uint32_t flags_ = 0;       // cause flags as reported (sticky or live)
    bool alarm_ = false;
    double lastMs_ = 0;
};

} // namespace trovsim
