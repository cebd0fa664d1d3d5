#ifndef AXISSLOTSTATUS_H
#define AXISSLOTSTATUS_H

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <tuple>

#include "multiaxis/Multiaxis.h"

// What the slots X, Y and Z show of the axes in them: the status texts, the alarm colour, the
// controls and title of an axis that is lost or in its bootloader, and the positioner found on
// each axis. The window's refresh runs
// refreshSlot for every open slot.
class AxisSlotStatus
{
public:
    explicit AxisSlotStatus(Multiaxis& window);

    // Adds the name of a working axis to `names`, for the window's title.
    void refreshSlot(int slot, QStringList* names);
    // What axis `axis` may be used for, as its slot shows it: the rule of the buttons and the
    // scripts (MultiaxisAxes::commandUse), so that an axis whose handle polling has let go is
    // shown lost before a sample says so.
    AxisUse use(int axis) const;
    // The slot's controls, title and position line for the use shown of the axis it shows now.
    void showAxisUse(int slot);
    // The slot's controls, title and position line for an axis in that use: the controls are
    // disabled while it is lost or in its bootloader.
    void showUse(int slot, AxisUse use);
    // Axis `axis`'s slot shows it lost or in its bootloader.
    bool outOfUse(int axis) const { return useShown[axis] == AxisUse::Lost || useShown[axis] == AxisUse::Bootloader; }
    void showAlarm(int slot, bool alarm);
    // Gives every slot's box the width of the longest title any axis can give it, in any use,
    // so that a lost or bootloader axis neither widens the window nor has its title cut; run
    // once the colours are known.
    void holdTitleWidths();

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
    // Per axis: the use its slot shows, and how many times it has changed.
    AxisUse useShown[Multiaxis::maxAxes];
    quint64 useSpell[Multiaxis::maxAxes];
    // Monotonic milliseconds; tests replace it to step the stage retry.
    std::function<qint64()> clockMs;

    // The axis is back after its loss was told: one information line, which ends what
    // the message line showed about it.
    void tellBack(int axis);

private:
    // The axis is back: its basic settings are read on its courier's thread and taken here.
    void readSettings(int axis);
    void detectStage(int axis);
    QString axisName(int axis) const;
    QString slotTitle(int slot, int axis) const { return slotTitle(slot, axis, useShown[axis]); }
    QString slotTitle(int slot, int axis, AxisUse use) const;

    Multiaxis& window;
    // Per axis: when the positioner name was last asked for.
    qint64 stageReadAt[Multiaxis::maxAxes];
    // Per axis: the positioner memory is being read on the courier's thread; absent samples so
    // far, so that a read of a memory gone since is not taken.
    bool stageReadWaits[Multiaxis::maxAxes] = {false, false, false};
    // Per axis: back, and its settings read was cut short or failed; a read is under way; when it
    // was asked for; a read had to be made again, and that was told.
    bool settingsUnread[Multiaxis::maxAxes] = {false, false, false};
    bool settingsReadWaits[Multiaxis::maxAxes] = {false, false, false};
    qint64 settingsReadAt[Multiaxis::maxAxes] = {0, 0, 0};
    bool readAgainTold[Multiaxis::maxAxes] = {false, false, false};
    quint64 stageAbsentSamples[Multiaxis::maxAxes] = {0, 0, 0};
};

#endif // AXISSLOTSTATUS_H
