#ifndef ZEROCOMMAND_H
#define ZEROCOMMAND_H

#include <QString>

#include <atomic>
#include <functional>

#include "settings_model/MotorSettings.h"
#include "settings_model/SliderSettings.h"
#include "trov.h"

class DeviceInterface;

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

    // A zero on the axis' courier thread: it works on copies of the window's records, taken on
    // the window's thread, which takes the outcome back from them in the reply.
    struct Job
    {
        Job(const MotorSettings& motor, const SliderSettings& slider, const std::atomic<device_t>* handle)
            : motor(motor), slider(slider), handle(handle)
        {
        }
        MotorSettings motor;
        SliderSettings slider;
        const std::atomic<device_t>* handle;
        QString side;
        int sliderMin = 0;
        int sliderMax = 0;
        // On the courier thread, once the axis is known to stand still.
        std::function<void()> beforeChange;

        // Filled by run(Job&).
        bool ran = false;
        bool changed = false;
        Outcome outcome = Outcome::StatusUnread;
        // The courier tells why nothing was done (barred, or no lock in time).
        bool courierTells = false;
    };
    // result_ok when the controller took the zero or answered that the axis moves.
    static result_t run(Job& job, DeviceInterface& gateway);

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
