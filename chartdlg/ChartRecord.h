#ifndef CHARTRECORD_H
#define CHARTRECORD_H

#include "trov.h"

#include <cstddef>
#include <cstdint>

// One chart sample as the chart shows it, and byte for byte the record of a version 1.2 chart
// file (little-endian). Every quantity is already scaled to the unit of its plot.
struct ChartRecord
{
    double Encoder;
    double Position;
    double uPosition;
    double Speed;
    double uSpeed;
    double EnCurrent;
    double EnVoltage;
    double PwrCurrent;
    double PwrVoltage;
    double UsbCurrent;
    double UsbVoltage;
    double CurrentA;
    double CurrentB;
    double CurrentC;
    double VoltageA;
    double VoltageB;
    double VoltageC;
    double PWM;
    double Temperature;
    double Joy;
    double Pot;
    double Time;  // ms on the chart's time axis
    uint32_t Flags;
    uint32_t GPIOFlags;
    int32_t MicrostepDivisor;
    uint32_t reserved;  // always 0 in memory and in files written

    // The record of one sample; D is the microstep divisor for a stepper, 0 for other motors.
    static ChartRecord fromSample(const status_t& status, const chart_data_t& chart, const analog_data_t& analog,
                                  int32_t microstepDivisor, double time);
};

static_assert(sizeof(ChartRecord) == 192, "a chart record is 192 bytes");
static_assert(offsetof(ChartRecord, Encoder) == 0, "chart record layout");
static_assert(offsetof(ChartRecord, EnCurrent) == 40, "chart record layout");
static_assert(offsetof(ChartRecord, EnVoltage) == 48, "chart record layout");
static_assert(offsetof(ChartRecord, PwrVoltage) == 64, "chart record layout");
static_assert(offsetof(ChartRecord, CurrentA) == 88, "chart record layout");
static_assert(offsetof(ChartRecord, PWM) == 136, "chart record layout");
static_assert(offsetof(ChartRecord, Temperature) == 144, "chart record layout");
static_assert(offsetof(ChartRecord, Joy) == 152, "chart record layout");
static_assert(offsetof(ChartRecord, Pot) == 160, "chart record layout");
static_assert(offsetof(ChartRecord, Time) == 168, "chart record layout");
static_assert(offsetof(ChartRecord, Flags) == 176, "chart record layout");
static_assert(offsetof(ChartRecord, GPIOFlags) == 180, "chart record layout");
static_assert(offsetof(ChartRecord, MicrostepDivisor) == 184, "chart record layout");
static_assert(offsetof(ChartRecord, reserved) == 188, "chart record layout");

#endif // CHARTRECORD_H
