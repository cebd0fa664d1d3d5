#ifndef AXISSLOTSTATUS_H
#define AXISSLOTSTATUS_H

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>
#include <functional>
#include <tuple>

#include "multiaxis/Multiaxis.h"

// What the slots X, Y and Z show of the axes in them: the status texts, the alarm colour, the
// controls of a lost axis, and the positioner found on each axis. The window's refresh runs
// refreshSlot for every open slot.
class AxisSlotStatus
{
public:
    explicit AxisSlotStatus(Multiaxis& window);

    void refreshSlot(int slot, QString* title);
    // The slot's controls and position line as for a lost (or present) axis.
    void showLost(int slot, bool lost);
    void showAlarm(int slot, bool alarm);

    QColor normalColor;
    QColor alarmColor;
    QFont font;
    bool alarmShown[Multiaxis::maxAxes] = {false, false, false};
    // Per slot: what its texts were last made from. The refresh runs three times per sample;
    // with the same inputs it formats and sets nothing.
    using SlotInputs = std::tuple<int, uint32_t, int, bool, QString, unsigned int, unsigned int, unsigned int, int32_t,
                                  int32_t, int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t>;
    SlotInputs shownInputs[Multiaxis::maxAxes];
    // Per axis: no positioner memory known; its stage pages are disabled.
    bool stageAbsent[Multiaxis::maxAxes];
    // Per axis: its slot's controls are disabled because it is lost.
    bool lostShown[Multiaxis::maxAxes];
    // Monotonic milliseconds; tests replace it to step the stage retry.
    std::function<qint64()> clockMs;

private:
    void detectStage(int axis);
    QString axisName(int axis) const;

    Multiaxis& window;
    // Per axis: when the positioner name was last asked for.
    qint64 stageReadAt[Multiaxis::maxAxes];
};

#endif // AXISSLOTSTATUS_H
