#include "common/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>

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

QRect placeWindow(QPoint position, QSize size, QSize minimum, const QVector<QRect>& screens, QPoint fallback)
{
    const QRect* screen = screenHolding(position, screens);
    if (!screen) {
        position = fallback;
        screen = screenHolding(position, screens);
    }
    QSize placed = size;
    if (screen) {
        // In 64 bits: a stored size near the int limit must not wrap.
        const qint64 room_w = qint64(screen->x()) + screen->width() - position.x();
        const qint64 room_h = qint64(screen->y()) + screen->height() - position.y();
        placed.setWidth(int(std::min<qint64>(size.width(), room_w)));
        placed.setHeight(int(std::min<qint64>(size.height(), room_h)));
    }
    return QRect(position, placed.expandedTo(minimum));
}

QVector<QRect> screenGeometries()
{
    QVector<QRect> result;
    for (const QScreen* screen : QGuiApplication::screens())
        result.append(screen->geometry());
    return result;
}
