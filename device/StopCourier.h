#ifndef STOPCOURIER_H
#define STOPCOURIER_H

#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "trov.h"

class DeviceInterface;

// Takes the stop commands of one axis to its controller, so that a gateway held by another
// thread (a slow answer, a long call) holds up neither the caller nor the other axes. A command
// goes out at once when the gateway is free within briefWaitMs; otherwise the courier's own
// thread sends it as soon as the gateway is free, to the handle the axis has then. At most one
// command waits: a newer one takes its place. One that cannot be sent (the axis was lost
// meanwhile, or the courier had to end first) is logged as an error naming the axis; a failure
// the controller answers is the gateway's to report.
class StopCourier : public QThread
{
    Q_OBJECT

public:
    using Command = std::function<result_t(DeviceInterface&, device_t)>;
    static constexpr int briefWaitMs = 30;

    // axis: how the log names the axis ("SN 10001"). The handle must outlive the courier.
    StopCourier(DeviceInterface* gateway, const std::atomic<device_t>* handle, const QString& axis);
    // Ends the thread, dropping what still waits for the gateway.
    ~StopCourier() override;

    // From the owner's thread only. what: the command as the log names it ("Stop").
    void send(const QString& what, Command command);
    // Sends what is left, then ends the thread; after ms, what still waits for the gateway is
    // dropped and the thread gets another ms. False when it has not ended (it is inside a
    // library call that does not return).
    bool finish(int ms);
    // Nothing waits and nothing is under way.
    bool idle() const;

protected:
    void run() override;

private:
    void deliver(const QString& what, const Command& command);
    void logNotSent(const QString& what, const QString& why) const;

    DeviceInterface* const gateway;
    const std::atomic<device_t>* const handle;
    const QString axis;
    // The thread's call bar: set, its lock waits end and nothing more reaches the controller.
    std::atomic<bool> dropping{false};

    mutable std::mutex mutex;
    std::condition_variable wake;
    // Guarded by mutex.
    Command waiting;
    QString waitingWhat;
    bool underWay = false;
    bool ending = false;
};

#endif // STOPCOURIER_H
