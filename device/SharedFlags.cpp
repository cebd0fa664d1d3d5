#include "device/SharedFlags.h"

std::atomic<bool> pollingAllowed{true};
std::atomic<bool> chartRecording{false};
std::atomic<bool> joystickCalibrationOpen{false};
std::atomic<bool> analogDataWanted{false};
std::atomic<bool> deviceInitOk{true};
std::atomic<const char*> lastFailedFunction{""};
