#ifndef CYCLICMOTION_H
#define CYCLICMOTION_H

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

#include "device/AxisCourier.h"
#include "trov.h"

class CyclicSettings;

// The single-axis window's cyclic motion: the axis travels back and forth by itself, one step
// of the decision per status sample. Type 0 runs from limit switch to limit switch, type 1
// between two points; the settings are read afresh at every step, so an edited point takes
// effect during the motion. The legs go through the axis' courier, one at a time: while a leg
// is with it, the samples decide nothing, and so do those read before its answer came.
class CyclicMotion
{
public:
    // context: where the legs' answers arrive (the window); readsBegun: how many status reads
    // polling has begun, empty when the samples carry no read number.
    CyclicMotion(AxisCourier* courier, QObject* context, std::function<quint64()> readsBegun = {});

    bool isOn() const { return on; }
    // The Cyclic button: re-arms the edge stop and reverse; when off, switches on and sends the
    // first move. Returns true when it switched on now.
    bool start(const CyclicSettings& settings);
    // Off without a command; a leg not yet sent stays.
    void switchOff();
    // One sample while on: sends what the sample calls for. readNumber: the sample's status
    // read, 0 when unknown.
    void step(const status_t& status, const CyclicSettings& settings, quint64 readNumber = 0);

    // The run on now, 0 when off.
    quint64 currentRun() const { return on ? run : 0; }
    // From any thread: the legs of the run on now that have not gone yet stay.
    std::function<void()> halter() const;

    // State, for the tests.
    bool stopPending() const { return edgeStopPending; }
    bool reversePending() const { return edgeReversePending; }
    bool legInFlight() const { return inFlight != 0; }
    int lastLeg() const { return ptpDirection; }
    int lastTarget() const { return ptpTarget; }

private:
    void borderToBorder(const status_t& status);
    void pointToPoint(const status_t& status, int left, int right);
    // A move to point; on success the leg in direction starts (0: the current leg goes on).
    void moveTo(int point, int direction);
    void sendLeg(AxisCourier::Command leg, std::function<void(result_t)> answered);

    AxisCourier* const courier;
    QObject* const context;
    const std::function<quint64()> readsBegun;
    // The run whose legs may still go, read by the courier thread before each leg; 0 when none.
    const std::shared_ptr<std::atomic<quint64>> permit;
    bool on = false;
    quint64 run = 0;
    quint64 runs = 0;
    // The run whose leg is with the courier, 0 when none.
    quint64 inFlight = 0;
    // Reads begun when the last leg was answered: those samples are older than the leg.
    quint64 answeredAtRead = 0;
    // Border to border: a stop, then the move away, still to be sent at the edge being reached.
    bool edgeStopPending = true;
    bool edgeReversePending = true;
    // Point to point: 0 no leg yet, 1 the last leg went to the left point, 2 to the right one.
    int ptpDirection = 0;
    int ptpTarget = 0;
};

#endif // CYCLICMOTION_H
