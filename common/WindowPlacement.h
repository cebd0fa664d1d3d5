#ifndef WINDOWPLACEMENT_H
#define WINDOWPLACEMENT_H

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

class QWidget;

// Where a window with a stored position and size goes: on the screen that holds the point, at
// its size, cut only where the whole screen has no room for it, never below minimum, and moved
// back towards the screen's top left corner so that it ends on the screen. A point on no screen
// is replaced by fallback (on the first screen that holds it). The position is that of the
// window's frame, the size that of its inside, which the frame surrounds. Pure, so that every
// window can reuse it.
QRect placeWindow(QPoint position, QSize size, QSize minimum, const QVector<QRect>& screens,
                  QPoint fallback = QPoint(300, 0), QMargins frame = QMargins());

// Moves and sizes a window to placed. Where that is smaller than wanted, the size it was given,
// only because the screen has no room for it, sizeToStore() gives wanted back while the window
// keeps the placed size.
void applyPlace(QWidget& window, const QRect& placed, QSize wanted);
// The size a window's stored place keeps: its own, or, while it has the size a placement cut it
// to, the size it was given: a small screen never becomes the operator's choice.
QSize sizeToStore(const QWidget& window);

// The available geometry of every screen of the application.
QVector<QRect> screenGeometries();

// The frame around a window's inside; for a window not framed yet, the style's title bar and border.
QMargins windowFrame(const QWidget& window);

// Where a window's frame goes as it is shown: where it is when it lies wholly on a screen;
// otherwise cut to the screen that holds its top left corner (else the most of it, else the
// first screen), never below `minimum` (the smallest frame the window can have), and moved
// wholly onto that screen, its title bar first when even its minimum is larger.
QRect frameOnScreen(const QRect& frame, QSize minimum, const QVector<QRect>& screens);

// How wide a window must be for the window manager to show its whole title: the title in a bold
// application font, with room beside it for the title bar's icon and buttons.
int widthForTitle(const QWidget& window);

// A window about to be shown that no stored place or earlier showing has put anywhere goes
// centred over `over` (over its screen when none), `offset` further down and right, wholly on
// that screen: left to itself the window manager puts it where it likes, in the corner at
// times, or on another window of the same kind.
void placeFirstShow(QWidget& window, const QWidget* over, int offset = 0);

// Puts a window wholly on its screen, frame and title bar included, every time it is shown,
// once it has its real size; a maximised or full-screen window is left to the window manager.
// Called as the window is built, before any other event filter of its own is installed.
void keepOnScreen(QWidget* window);

#endif // WINDOWPLACEMENT_H
