#ifndef STAGEREAD_H
#define STAGEREAD_H

#include "settings_model/StageSettings.h"
#include "trov.h"

class DeviceInterface;

// The positioner records of a controller whose positioner memory has appeared, read on the
// axis' courier thread into records of their own; the window's thread takes them in the
// courier's reply, which hands them over.
class StageRead
{
public:
    // The controller of own, nothing read yet. whole: all the records (for a settings dialog
    // on show), else only the name.
    StageRead(const StageSettings& own, bool whole);

    // The command the courier runs.
    result_t run(DeviceInterface& gateway, device_t id);
    // It ran to its end and read the name. A read cut short (a stop barred its calls) or one
    // that found no positioner gives nothing: the next sample that shows the memory reads again.
    bool usable() const { return complete && records.valid[StageSettings::StageNameRecord]; }

    const bool whole;
    StageSettings records;

private:
    bool complete = false;
};

#endif // STAGEREAD_H
