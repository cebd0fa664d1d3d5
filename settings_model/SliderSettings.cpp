#include "settings_model/SliderSettings.h"

SliderSettings::SliderSettings() : SliderSettings(0, 0, false, false, false) {}

SliderSettings::SliderSettings(int32_t leftPoint, int32_t rightPoint, bool loadFromDevice, bool watchOverLimits,
                               bool showSecondaryPosition)
    : leftPoint(leftPoint), rightPoint(rightPoint), loadFromDevice(loadFromDevice), watchOverLimits(watchOverLimits),
      showSecondaryPosition(showSecondaryPosition)
{
}
