#ifndef PAGERECORDS_H
#define PAGERECORDS_H

#include "chartdlg/GraphSettings.h"
#include "log/LogSettings.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "settings_model/SliderSettings.h"

// The records a settings dialog hands its pages, without a controller behind them.
struct PageRecords
{
    CyclicSettings cyclic;
    LogSettings log;
    GraphSettings graph;
    SliderSettings slider;
    MotorSettings motor{nullptr, nullptr};
    StageSettings stage{nullptr, nullptr};

    SettingsPageContext context()
    {
        SettingsPageContext c;
        c.motorSettings = &motor;
        c.stageSettings = &stage;
        c.cyclicSettings = &cyclic;
        c.logSettings = &log;
        c.graphSettings = &graph;
        c.sliderSettings = &slider;
        return c;
    }
};

#endif // PAGERECORDS_H
