#ifndef SLIDERSETTINGS_H
#define SLIDERSETTINGS_H

#include <cstdint>

// The main window's position slider: its bounds and how it treats them.
class SliderSettings
{
public:
    SliderSettings();
    SliderSettings(int32_t leftPoint, int32_t rightPoint, bool loadFromDevice, bool watchOverLimits,
                   bool showSecondaryPosition);

    int32_t leftPoint;
    int32_t rightPoint;
    // The slider takes the controller's borders rather than its own bounds.
    bool loadFromDevice;
    bool watchOverLimits;
    bool showSecondaryPosition;
};

#endif // SLIDERSETTINGS_H
