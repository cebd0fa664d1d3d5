#ifndef AXISSAMPLE_H
#define AXISSAMPLE_H

#include <cstdint>

#include "trov.h"

// What an axis can be used for now.
enum class AxisUse { Unknown, Working, Lost, Bootloader };

// The latest polling sample of one axis of the multi-axis window. It starts as "not connected",
// so the display leaves the axis alone until its first sample.
struct AxisSample
{
    status_t state{};
    bool connected = false;
    // 0 no device, 1 bootloader, 2 firmware.
    int deviceMode = 0;
    // A sample has come in.
    bool received = false;
    // Polling's count of the controller's reopenings when it came.
    uint64_t openings = 0;

    // What the latest sample says; Unknown before the first one.
    AxisUse use() const
    {
        if (!received)
            return AxisUse::Unknown;
        if (!connected || deviceMode == 0)
            return AxisUse::Lost;
        return deviceMode == 1 ? AxisUse::Bootloader : AxisUse::Working;
    }
};

#endif // AXISSAMPLE_H
