#ifndef WINDOWPLACEMENT_H
#define WINDOWPLACEMENT_H

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

// Where a window with a stored position and size goes: on the screen that holds the point, cut
// so that it ends on that screen, never below minimum. A point on no screen is replaced by
// fallback (on the first screen that holds it). Pure, so that every window can reuse it.
QRect placeWindow(QPoint position, QSize size, QSize minimum, const QVector<QRect>& screens,
                  QPoint fallback = QPoint(300, 0));

// The available geometry of every screen of the application.
QVector<QRect> screenGeometries();

#endif // WINDOWPLACEMENT_H
