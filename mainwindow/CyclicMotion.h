#ifndef CYCLICMOTION_H
#define CYCLICMOTION_H

#include <atomic>

#include "trov.h"

class CyclicSettings;
class DeviceInterface;

// The single-axis window's cyclic motion: the axis travels back and forth by itself, one step
// of the decision per status sample. Type 0 runs from limit switch to limit switch, type 1
// between two points; the settings are read afresh at every step, so an edited point takes
// effect during the motion.
class CyclicMotion
{
public:
    CyclicMotion(DeviceInterface* gateway, const std::atomic<device_t>* handle);

    bool isOn() const { return on; }
    // The Cyclic button: re-arms the edge stop and reverse; when off, switches on and sends the
    // first move. Returns true when it switched on now.
    bool start(const CyclicSettings& settings);
    // Off without a command.
    void switchOff() { on = false; }
    // One sample while on: sends what the sample calls for.
    void step(const status_t& status, const CyclicSettings& settings);

    // State, for the tests.
    bool stopPending() const { return edgeStopPending; }
    bool reversePending() const { return edgeReversePending; }
    int lastLeg() const { return ptpDirection; }
    int lastTarget() const { return ptpTarget; }

private:
    void borderToBorder(const status_t& status);
    void pointToPoint(const status_t& status, int left, int right);
    result_t moveTo(int point);

    DeviceInterface* const gateway;
    const std::atomic<device_t>* const handle;
    bool on = false;
    // Border to border: a stop, then the move away, still to be sent at the edge being reached.
    bool edgeStopPending = true;
    bool edgeReversePending = true;
    // Point to point: 0 no leg yet, 1 the last leg went to the left point, 2 to the right one.
    int ptpDirection = 0;
    int ptpTarget = 0;
};

#endif // CYCLICMOTION_H
