#include "settings_model/CyclicSettings.h"

CyclicSettings::CyclicSettings()
    : type(-1), leftPoint(0), spare1(0), rightPoint(0), spare2(0)
{
}
