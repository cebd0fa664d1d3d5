#ifndef MOTIONRULES_H
#define MOTIONRULES_H

#include <QString>

#include <cstdint>

#include "trov.h"

class DeviceInterface;

// Decisions of the motion commands of both control windows, kept apart from the widgets.
namespace MotionRules {

// The axis stands still: neither MOVE_STATE_MOVING nor the running bit of the command state.
// A soft stop that has ended its ramp (MoveSts without the moving bit but the command still
// running) still moves.
bool axisStopped(const status_t& status);

// The axis stands exactly on a whole-step point, microsteps included.
bool standsOn(const status_t& status, int point);

enum class SoftStopAction { SoftStop, Stop, PowerOff };
// Soft stop on a fresh status read (a sample may be 100 ms old, and powering off a moving axis
// drops it): power off only when the read worked and the axis stands still; Stop while a soft
// stop still runs (the multi-axis window's second press stops hard, the single-axis window
// soft-stops again); anything else, a failed read included, soft-stops.
SoftStopAction softStopAction(result_t statusResult, const status_t& status);
// The same on a status read now through the gateway.
SoftStopAction softStopActionNow(DeviceInterface& gateway, device_t id);
// Sends what softStopActionNow decides; a running soft stop gets `again` (the multi-axis window
// stops hard, the single-axis window soft-stops again).
result_t softStopNow(DeviceInterface& gateway, device_t id, SoftStopAction again);

// The rule of STOP, Soft stop, a jog's release and Exit, in both windows: an axis has something to
// stop when it has a controller, open now or one polling may open again, unless the controller is
// known to be in its bootloader: its last sample showed the bootloader and polling has not opened
// it again since (openings: UpdateThread::reopenings at that sample, and now). An axis opened
// again may run its firmware, and move, before any sample says so; one lost may come back moving.
bool hasSomethingToStop(bool bootloaderSampled, uint64_t openingsAtSample, uint64_t openingsNow);

struct Borders
{
    int32_t left;
    int32_t right;
    bool operator==(const Borders& o) const { return left == o.left && right == o.right; }
};

// The borders after the position counter is set to 0 at `position`, so that they keep their
// physical place. At or beyond the slider's left end (or side "left") the left border becomes 0
// and the right one keeps the width; at or beyond the right end (or "right") likewise; otherwise
// both shift by -position. Worked in 64 bits and clamped to the 32-bit range.
Borders zeroedBorders(Borders borders, int32_t position, int32_t sliderMin, int32_t sliderMax,
                      const QString& side);

} // namespace MotionRules

#endif // MOTIONRULES_H
