#ifndef JOGTRACKER_H
#define JOGTRACKER_H

#include <QVector>

// Which key or jog button started the jog of each slot (X, Y, Z), so that only the release of
// that key or button soft-stops it, and a loss of focus soft-stops every jog still held.
// It decides; the window sends.
class JogTracker
{
public:
    enum class Command { None, Left, Right, SoftStop };
    struct Action
    {
        int slot = -1;
        Command command = Command::None;
    };

    explicit JogTracker(int slotCount);

    // The slot and direction of a jog key: the arrows for X and Y, the page keys for Z with three
    // axes. False for every other key.
    bool keyJog(int key, int* slot, Command* direction) const;

    // A press of a jog key. While a target box has the focus (editing) the arrows are the box's own
    // and jog nothing. One held key is one jog: the presses and releases a held key repeats
    // (autoRepeat) neither start nor end it.
    Action keyPressed(int key, bool editing, bool autoRepeat = false);
    // Soft-stops the slot only when this key started its jog.
    Action keyReleased(int key, bool autoRepeat = false);
    // A disabled button sends nothing.
    Action buttonPressed(const void* button, int slot, bool increase, bool enabled);
    Action buttonReleased(const void* button);
    // The window lost the focus: the slots to soft-stop at once; nothing is tracked afterwards.
    QVector<int> releaseAll();

    bool jogging(int slot) const;

private:
    struct Origin
    {
        bool active = false;
        int key = 0;
        const void* button = nullptr;
    };

    Action start(int slot, Command direction, int key, const void* button);

    const int slotTotal;
    Origin origins[3];
};

#endif // JOGTRACKER_H
