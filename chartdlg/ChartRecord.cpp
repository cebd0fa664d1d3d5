#include "chartdlg/ChartRecord.h"

ChartRecord ChartRecord::fromSample(const status_t& status, const chart_data_t& chart, const analog_data_t& analog,
                                    int32_t microstepDivisor, double time)
{
    ChartRecord r{};
    r.Encoder = double(status.EncPosition);
    r.Position = double(status.CurPosition);
    r.uPosition = double(status.uCurPosition);
    r.Speed = double(status.CurSpeed);
    r.uSpeed = double(status.uCurSpeed);
    r.EnCurrent = double(status.Ipwr);
    r.EnVoltage = double(status.Upwr) / 100.0;
    r.PwrCurrent = double(status.Ipwr);
    r.PwrVoltage = double(status.Upwr) / 100.0;
    r.UsbCurrent = double(status.Iusb);
    r.UsbVoltage = double(status.Uusb) / 100.0;
    r.CurrentA = double(chart.WindingCurrentA);
    r.CurrentB = double(chart.WindingCurrentB);
    r.CurrentC = double(chart.WindingCurrentC);
    r.VoltageA = double(chart.WindingVoltageA) / 100.0;
    r.VoltageB = double(chart.WindingVoltageB) / 100.0;
    r.VoltageC = double(chart.WindingVoltageC) / 100.0;
    r.PWM = double(analog.DutyCycle) / 100.0;
    r.Temperature = double(status.curT) / 10.0;
    r.Joy = double(chart.Joy);
    r.Pot = double(chart.Pot);
    r.Time = time;
    r.Flags = status.Flags;
    r.GPIOFlags = status.GPIOFlags;
    r.MicrostepDivisor = microstepDivisor;
    return r;
}
