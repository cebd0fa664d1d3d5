#include "common/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

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

} // namespace

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
        const qint64 room_w = qint64(screen->x()) + screen->width() - position.x() - frame_w;
        const qint64 room_h = qint64(screen->y()) + screen->height() - position.y() - frame_h;
        placed.setWidth(int(std::max<qint64>(std::min<qint64>(size.width(), room_w), 0)));
        placed.setHeight(int(std::max<qint64>(std::min<qint64>(size.height(), room_h), 0)));
    }
    placed = placed.expandedTo(minimum);
    if (screen) {
        // A window that its minimum makes larger than the room moves back onto the screen, as
        // far as the screen's top left corner.
        const qint64 over_x = position.x() + frame_w + placed.width() - (qint64(screen->x()) + screen->width());
        const qint64 over_y = position.y() + frame_h + placed.height() - (qint64(screen->y()) + screen->height());
        if (over_x > 0)
            position.setX(int(std::max<qint64>(screen->x(), position.x() - over_x)));
        if (over_y > 0)
            position.setY(int(std::max<qint64>(screen->y(), position.y() - over_y)));
    }
    return QRect(position, placed);
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
    if (!known.isNull())
        return known;
    // Not framed yet (the window manager frames a window once shown): the style's guess.
    const QStyle* style = window.style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return QMargins(border, title + border, border, border);
}
