#ifndef LATESTSAMPLE_H
#define LATESTSAMPLE_H

#include "trov.h"

// The single-axis window's latest sample, written by its sample handler in the GUI thread and
// read there by the other windows.
extern status_t lastStatus;
extern analog_data_t lastAnalogData;
extern bool deviceConnected;
// 2 firmware, 1 bootloader, 0 no device, -1 while a reconnection is attempted.
extern int deviceMode;

#endif // LATESTSAMPLE_H
