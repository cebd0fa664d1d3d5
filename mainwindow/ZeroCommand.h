#ifndef ZEROCOMMAND_H
#define ZEROCOMMAND_H

#include <QString>

#include <atomic>
#include <functional>

#include "trov.h"

class DeviceInterface;
class MotorSettings;
class SliderSettings;

// The Zero button: sets the position counter to 0 and shifts the borders so that they keep
// their physical place: the controller's borders (written before the zero, written back when
// the zero fails) when the slider takes them from the controller, else the slider's points.
class ZeroCommand
{
public:
    enum class Outcome {
        Zeroed,
        StatusUnread,  // the fresh status read failed: nothing done
        Moving,        // refused: the axis moves
        BordersUnsent, // the shifted borders did not reach the controller: no zero
        ZeroFailed     // command_zero failed: the old borders are back
    };

    ZeroCommand(DeviceInterface* gateway, const std::atomic<device_t>* handle, MotorSettings* motor,
                SliderSettings* slider);

    // side: "left", "right" or anything else (the button passes ""). beforeChange runs once
    // the axis is known to stand still, before anything is written.
    Outcome run(const QString& side, int sliderMin, int sliderMax, const std::function<void()>& beforeChange = {});

    // The log line of an outcome other than Zeroed, and its level.
    static QString message(Outcome outcome);
    static int messageLevel(Outcome outcome);

private:
    DeviceInterface* const gateway;
    const std::atomic<device_t>* const handle;
    MotorSettings* const motor;
    SliderSettings* const slider;
};

#endif // ZEROCOMMAND_H
