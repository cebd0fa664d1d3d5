#ifndef BOXBACKGROUND_H
#define BOXBACKGROUND_H

#include <QObject>
#include <QPixmap>

class QEvent;
class QGroupBox;
class QLabel;

// Makes a label inside a group box paint its own background, a picture of the box beneath it,
// so that a new text repaints the label alone: the box's frame and title are not drawn again
// for every value. The picture is taken again whenever the box or the label's place changes
// (resize, move, palette, style sheet, enabled state). The object lives as the label's child.
class BoxBackground : public QObject
{
public:
    // Only where it holds: the label sits in a group box with nothing that paints between
    // them. Returns the keeper, or null when it does not hold.
    static BoxBackground* keep(QLabel* label);

    bool eventFilter(QObject* watched, QEvent* event) override;
    // Whether the label paints the picture now (false until it is shown).
    bool opaque() const { return !picture.isNull(); }

private:
    BoxBackground(QLabel* label, QGroupBox* box);
    void retake();

    QLabel* label;
    QGroupBox* box;
    QPixmap picture;
};

#endif // BOXBACKGROUND_H
