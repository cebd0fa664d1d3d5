#ifndef SIMULATEDAXIS_H
#define SIMULATEDAXIS_H

// Opening and closing one simulated controller around a test.

#include <atomic>
#include <memory>

#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "trovsim.h"

// A fresh simulator (data folder dataDir, "" = in memory) on the stepped clock with no faults
// and an empty journal, and the axis opened through a new gateway; returns the handle, -1 when
// it did not open.
inline device_t openOnFreshSimulator(std::unique_ptr<DeviceInterface>& gateway, const char* axis,
                                     const char* dataDir = "")
{
    if (trovsim_reset(nullptr, dataDir) != 0)
        return -1;
    trovsim_clock_manual(1);
    trovsim_clear_faults();
    trovsim_journal_clear();
    gateway = std::make_unique<DeviceInterface>();
    return gateway->open_device(axis);
}

// Clears the faults, closes the handle if it is open and lets the gateway go.
inline void closeAndRelease(std::unique_ptr<DeviceInterface>& gateway, std::atomic<device_t>& handle)
{
    trovsim_clear_faults();
    if (gateway && handle != -1)
        gateway->close_device(handle);
    handle = -1;
    gateway.reset();
}

// The same, after the axis' polling thread (not started, or stopped here) has gone.
inline void closeAndRelease(std::unique_ptr<UpdateThread>& poller, std::unique_ptr<DeviceInterface>& gateway,
                            std::atomic<device_t>& handle)
{
    if (poller)
        poller->stopRequest = true;
    poller.reset();
    closeAndRelease(gateway, handle);
}

#endif // SIMULATEDAXIS_H
