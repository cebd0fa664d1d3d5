#include "multiaxis/JogTracker.h"

#include <Qt>

JogTracker::JogTracker(int slotCount) : slotTotal(qBound(0, slotCount, 3)) {}

bool JogTracker::keyJog(int key, int* slot, Command* direction) const
{
    int s = -1;
    Command d = Command::None;
    switch (key) {
    case Qt::Key_Left: s = 0; d = Command::Left; break;
    case Qt::Key_Right: s = 0; d = Command::Right; break;
    case Qt::Key_Down: s = 1; d = Command::Left; break;
    case Qt::Key_Up: s = 1; d = Command::Right; break;
    case Qt::Key_PageDown: s = 2; d = Command::Left; break;
    case Qt::Key_PageUp: s = 2; d = Command::Right; break;
    default: return false;
    }
    // The page keys belong to Z, which only three axes have.
    if (s >= slotTotal)
        return false;
    *slot = s;
    *direction = d;
    return true;
}

JogTracker::Action JogTracker::start(int slot, Command direction, int key, const void* button)
{
    origins[slot] = Origin{true, key, button};
    return Action{slot, direction};
}

JogTracker::Action JogTracker::keyPressed(int key, bool editing, bool autoRepeat)
{
    int slot = -1;
    Command direction = Command::None;
    if (editing || !keyJog(key, &slot, &direction))
        return {};
    // A repeat of the key that jogs the slot goes on with that jog; one of a key whose first
    // press went to a box starts nothing either.
    if (autoRepeat)
        return {};
    return start(slot, direction, key, nullptr);
}

JogTracker::Action JogTracker::keyReleased(int key, bool autoRepeat)
{
    int slot = -1;
    Command direction = Command::None;
    if (autoRepeat || !keyJog(key, &slot, &direction))
        return {};
    Origin& origin = origins[slot];
    if (!origin.active || origin.button || origin.key != key)
        return {};
    origin = Origin{};
    return Action{slot, Command::SoftStop};
}

JogTracker::Action JogTracker::buttonPressed(const void* button, int slot, bool increase, bool enabled)
{
    if (!button || !enabled || slot < 0 || slot >= slotTotal)
        return {};
    return start(slot, increase ? Command::Right : Command::Left, 0, button);
}

JogTracker::Action JogTracker::buttonReleased(const void* button)
{
    for (int slot = 0; button && slot < slotTotal; ++slot) {
        if (origins[slot].active && origins[slot].button == button) {
            origins[slot] = Origin{};
            return Action{slot, Command::SoftStop};
        }
    }
    return {};
}

QVector<int> JogTracker::releaseAll()
{
    QVector<int> held;
    for (int slot = 0; slot < slotTotal; ++slot) {
        if (origins[slot].active)
            held.append(slot);
        origins[slot] = Origin{};
    }
    return held;
}

bool JogTracker::jogging(int slot) const
{
    return slot >= 0 && slot < slotTotal && origins[slot].active;
}
