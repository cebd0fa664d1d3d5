#include "common/WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

const QRect* screenHolding(QPoint point, const QVector<QRect>& screens)
{
    for (const QRect& screen : screens) {
        if (screen.contains(point))
            return &screen;
    }
    return nullptr;
}

const QRect* screenHoldingFrame(const QRect& frame, const QVector<QRect>& screens)
{
    if (const QRect* corner = screenHolding(frame.topLeft(), screens))
        return corner;
    const QRect* best = nullptr;
    qint64 most = 0;
    for (const QRect& screen : screens) {
        const QRect common = screen.intersected(frame);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > most) {
            most = area;
            best = &screen;
        }
    }
    return best ? best : (screens.isEmpty() ? nullptr : &screens.first());
}

// Frame margins the window manager gave the latest framed window: the best guess for a window
// not framed yet, whose own frame is unknown until it is on the screen.
QMargins& learnedFrame()
{
    static QMargins frame;
    return frame;
}

const char* const wantedSizeProperty = "tolmoWantedSize";
const char* const cutSizeProperty = "tolmoCutSize";

bool framed(const QWidget& window)
{
    return window.frameGeometry() != window.geometry();
}

// Shown windows are put on their screen; lives as the window's child.
class OnScreenKeeper : public QObject
{
public:
    explicit OnScreenKeeper(QWidget* window) : QObject(window), window(window) { window->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window->windowHandle() && event->type() == QEvent::Show) {
            holdFramePosition();
            return false;
        }
        if (watched != window || !window->isWindow())
            return false;
        if (event->type() == QEvent::Show) {
            // The window's own show handling first: a window may settle its size there.
            const bool handled = static_cast<QObject*>(window)->event(event);
            if (QWindow* handle = window->windowHandle()) {
                if (handle != watchedHandle) {
                    handle->installEventFilter(this);
                    watchedHandle = handle;
                }
            }
            awaitingFrame = !framed(*window);
            if (!maximised())
                place();
            return handled;
        }
        // Framed at last: the real frame may be larger than the guess the first placement had.
        if (awaitingFrame && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            && framed(*window)) {
            awaitingFrame = false;
            QMetaObject::invokeMethod(
                this, [this] {
                    if (window->isVisible() && !maximised())
                        place();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool maximised() const { return window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen); }

    void place()
    {
        if (QLayout* layout = window->layout())
            layout->activate();
        const QMargins frame = windowFrame(*window);
        const QSize sides(frame.left() + frame.right(), frame.top() + frame.bottom());
        // A top-level window's position is that of its frame.
        const QRect outer(window->pos(), window->size() + sides);
        const QSize minimum = window->minimumSize().expandedTo(window->minimumSizeHint()) + sides;
        const QRect placed = frameOnScreen(outer, minimum, screenGeometries());
        if (placed == outer)
            return;
        applyPlace(*window, QRect(placed.topLeft(), placed.size() - sides), window->size());
    }

    // Until the window manager frames a window, Qt takes a position it is given as that of the
    // window's inside, and the title bar would land above it: the frame's place is asked for
    // as the window is mapped.
    void holdFramePosition()
    {
        QWindow* handle = window->windowHandle();
        if (!handle || framed(*window) || maximised() || !window->testAttribute(Qt::WA_Moved))
            return;
        handle->setFramePosition(window->pos());
    }

    QWidget* const window;
    QPointer<QWindow> watchedHandle;
    bool awaitingFrame = false;
};

} // namespace

QRect frameOnScreen(const QRect& frame, QSize minimum, const QVector<QRect>& screens)
{
    const QRect* screen = screenHoldingFrame(frame, screens);
    if (!screen || screen->contains(frame))
        return frame;
    QRect placed(frame.topLeft(), frame.size().boundedTo(screen->size()).expandedTo(minimum));
    // The right and bottom edges onto the screen, then the top left corner, which wins.
    if (placed.right() > screen->right())
        placed.moveRight(screen->right());
    if (placed.bottom() > screen->bottom())
        placed.moveBottom(screen->bottom());
    if (placed.left() < screen->left())
        placed.moveLeft(screen->left());
    if (placed.top() < screen->top())
        placed.moveTop(screen->top());
    return placed;
}

void keepOnScreen(QWidget* window)
{
    static const char* const kept = "tolmoKeptOnScreen";
    if (!window || window->property(kept).toBool())
        return;
    window->setProperty(kept, true);
    new OnScreenKeeper(window);
}

QRect placeWindow(QPoint position, QSize size, QSize minimum, const QVector<QRect>& screens, QPoint fallback,
                  QMargins frame)
{
    const QRect* screen = screenHolding(position, screens);
    if (!screen) {
        position = fallback;
        screen = screenHolding(position, screens);
    }
    QSize placed = size;
    // In 64 bits: a stored size near the int limit must not wrap.
    const qint64 frame_w = qint64(frame.left()) + frame.right(), frame_h = qint64(frame.top()) + frame.bottom();
    if (screen) {
        // Only what the whole screen has no room for is cut.
        placed.setWidth(int(std::max<qint64>(std::min<qint64>(size.width(), screen->width() - frame_w), 0)));
        placed.setHeight(int(std::max<qint64>(std::min<qint64>(size.height(), screen->height() - frame_h), 0)));
    }
    placed = placed.expandedTo(minimum);
    if (screen) {
        // A window that would end beyond the screen moves back onto it, as far as the screen's
        // top left corner.
        const qint64 over_x = position.x() + frame_w + placed.width() - (qint64(screen->x()) + screen->width());
        const qint64 over_y = position.y() + frame_h + placed.height() - (qint64(screen->y()) + screen->height());
        if (over_x > 0)
            position.setX(int(std::max<qint64>(screen->x(), position.x() - over_x)));
        if (over_y > 0)
            position.setY(int(std::max<qint64>(screen->y(), position.y() - over_y)));
    }
    return QRect(position, placed);
}

void placeFirstShow(QWidget& window, const QWidget* over, int offset)
{
    if (window.testAttribute(Qt::WA_Moved) || window.isVisible())
        return;
    if (QLayout* layout = window.layout())
        layout->activate();
    const QMargins frame = windowFrame(window);
    const QSize size = window.size().expandedTo(window.minimumSizeHint())
                       + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QVector<QRect> screens = screenGeometries();
    QPoint centre = over && over->isVisible() ? over->frameGeometry().center() : QPoint();
    if (!over || !over->isVisible()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        centre = screen ? screen->availableGeometry().center() : QPoint(size.width() / 2, size.height() / 2);
    }
    QRect placed(centre - QPoint(size.width() / 2, size.height() / 2) + QPoint(offset, offset), size);
    placed = frameOnScreen(placed, size, screens);
    window.move(placed.topLeft());
}

void applyPlace(QWidget& window, const QRect& placed, QSize wanted)
{
    // A cut of a cut keeps the size first given.
    if (window.property(cutSizeProperty).toSize() == window.size() && window.property(wantedSizeProperty).isValid())
        wanted = window.property(wantedSizeProperty).toSize();
    window.move(placed.topLeft());
    window.resize(placed.size());
    const bool cut = window.width() < wanted.width() || window.height() < wanted.height();
    window.setProperty(wantedSizeProperty, cut ? QVariant(wanted) : QVariant());
    window.setProperty(cutSizeProperty, cut ? QVariant(window.size()) : QVariant());
}

QSize sizeToStore(const QWidget& window)
{
    const QVariant wanted = window.property(wantedSizeProperty);
    if (wanted.isValid() && window.property(cutSizeProperty).toSize() == window.size())
        return wanted.toSize();
    return window.size();
}

QVector<QRect> screenGeometries()
{
    QVector<QRect> result;
    for (const QScreen* screen : QGuiApplication::screens())
        result.append(screen->availableGeometry());
    return result;
}

QMargins windowFrame(const QWidget& window)
{
    const QRect outer = window.frameGeometry(), inner = window.geometry();
    const QMargins known(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    // A window never shown has no frame of its own yet, whatever its geometry says.
    const bool real = window.testAttribute(Qt::WA_WState_Created) && known.left() >= 0 && known.top() >= 0
                      && known.right() >= 0 && known.bottom() >= 0;
    if (real && !known.isNull()) {
        learnedFrame() = known;
        return known;
    }
    // Not framed yet (the window manager frames a window once shown): the frame the last
    // framed window had, else the style's guess.
    if (!learnedFrame().isNull())
        return learnedFrame();
    const QStyle* style = window.style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return QMargins(border, title + border, border, border);
}

int widthForTitle(const QWidget& window)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const int bar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return QFontMetrics(font).horizontalAdvance(window.windowTitle()) + 5 * bar;
}
