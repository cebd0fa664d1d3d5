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
    void advanceTo(double nowMs, const Motion& motion, const MotionContext& ctx);

    // Ipwr, Upwr, Iusb, Uusb, curT, WindSts and the power and alarm bits of Flags.
    void fillStatus(status_t& s, const Motion& motion, const MotionContext& ctx);
    // The readings a controller in its bootloader still reports.
    void fillBootloaderStatus(status_t& s, const MotionContext& ctx);
    void fillChart(chart_data_t& c, const Motion& motion, const MotionContext& ctx);
    void fillAnalog(analog_data_t& a, const Motion& motion, const MotionContext& ctx);

    int32_t temperature(const MotionContext& ctx) const;
    int32_t supplyVoltage(const Motion& motion, const MotionContext& ctx);
    uint32_t alarmBits() const { return alarmBits_; }

private:
    struct Readings {
        int32_t ipwr, upwr, iusb, uusb, curT;
    };
    Readings read(const Motion& motion, const MotionContext& ctx);
    int32_t noise(int32_t amplitude, const MotionContext& ctx);
    uint32_t flagsFor(const MotionContext& ctx) const;

    uint32_t noiseState_;
    uint32_t alarmBits_ = 0;
    double lastMs_ = 0;
};

} // namespace trovsim
