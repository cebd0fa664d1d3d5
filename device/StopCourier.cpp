#include "device/StopCourier.h"

#include "device/DeviceInterface.h"
#include "log/MessageLog.h"

StopCourier::StopCourier(DeviceInterface* gatewayIn, const std::atomic<device_t>* handleIn, const QString& axisIn)
    : gateway(gatewayIn), handle(handleIn), axis(axisIn)
{
}

StopCourier::~StopCourier()
{
    dropping.store(true);
    {
        std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        wake.notify_one();
    }
    wait();
}

bool StopCourier::idle() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return !waiting && !underWay;
}

void StopCourier::send(const QString& what, Command command)
{
    // One behind another of this axis keeps its place; alone, it goes now when it can, so that
    // the owner's commands reach the controller in the order they were given.
    if (idle()) {
        const device_t id = handle->load();
        if (id == -1) {
            logNotSent(what, tr("no controller is open"));
            return;
        }
        DeviceInterface::LockWait brief{QDeadlineTimer(briefWaitMs)};
        command(*gateway, id);
        if (!brief.refused())
            return;
    }
    std::lock_guard<std::mutex> lock(mutex);
    waiting = std::move(command);
    waitingWhat = what;
    if (!isRunning())
        start();
    wake.notify_one();
}

bool StopCourier::finish(int ms)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        wake.notify_one();
    }
    if (wait(ms))
        return true;
    dropping.store(true);
    return wait(ms);
}

void StopCourier::run()
{
    DeviceInterface::setThreadCallBar(&dropping);
    DeviceInterface::LockWait patient{QDeadlineTimer(QDeadlineTimer::Forever)};
    for (;;) {
        Command command;
        QString what;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return waiting || ending; });
            if (!waiting)
                break;
            command = std::move(waiting);
            waiting = nullptr;
            what = waitingWhat;
            underWay = true;
        }
        deliver(what, command);
        std::lock_guard<std::mutex> lock(mutex);
        underWay = false;
    }
    DeviceInterface::setThreadCallBar(nullptr);
}

void StopCourier::deliver(const QString& what, const Command& command)
{
    device_t id = handle->load();
    while (id != -1) {
        const result_t result = command(*gateway, id);
        if (result == result_ok)
            return;
        if (dropping.load()) {
            logNotSent(what, tr("the window closed while the controller was busy"));
            return;
        }
        const device_t now = handle->load();
        if (now == id) {
            if (result == result_nodevice)
                break;
            return;
        }
        // The handle changed while the command waited: polling lost the controller and closed
        // it, and may have opened it again; a controller back may still be moving.
        id = now;
    }
    logNotSent(what, tr("the controller was lost"));
}

void StopCourier::logNotSent(const QString& what, const QString& why) const
{
    MessageLog::insertProgramLine(tr("%1: %2 was not sent: %3.").arg(axis, what, why), 1);
}
