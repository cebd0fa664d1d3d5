#include "device/LatestSample.h"

status_t lastStatus{};
analog_data_t lastAnalogData{};
bool deviceConnected = false;
int deviceMode = 0;
