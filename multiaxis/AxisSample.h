#ifndef AXISSAMPLE_H
#define AXISSAMPLE_H

#include "trov.h"

// The latest polling sample of one axis of the multi-axis window. It starts as "not connected",
// so the display leaves the axis alone until its first sample.
struct AxisSample
{
    status_t state{};
    bool connected = false;
    // 0 no device, 1 bootloader, 2 firmware.
    int deviceMode = 0;
};

#endif // AXISSAMPLE_H
