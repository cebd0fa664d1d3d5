#include "widgets/BoxBackground.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>

BoxBackground* BoxBackground::keep(QLabel* label)
{
    // Plain containers between the box and the label paint nothing of their own.
    QWidget* parent = label->parentWidget();
    while (parent && !qobject_cast<QGroupBox*>(parent)) {
        if (parent->metaObject() != &QWidget::staticMetaObject || parent->autoFillBackground())
            return nullptr;
        parent = parent->parentWidget();
    }
    if (!parent || label->autoFillBackground())
        return nullptr;
    return new BoxBackground(label, static_cast<QGroupBox*>(parent));
}

BoxBackground::BoxBackground(QLabel* label, QGroupBox* box)
    : QObject(label), label(label), box(box)
{
    for (QWidget* w = label; w; w = w->parentWidget()) {
        w->installEventFilter(this);
        if (w == box)
            break;
    }
}

bool BoxBackground::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Paint:
        if (watched == label && opaque())
            QPainter(label).drawPixmap(0, 0, picture);
        break;
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::FontChange:
        if (watched != label || event->type() != QEvent::FontChange)
            retake();
        break;
    default:
        break;
    }
    return false;
}

void BoxBackground::retake()
{
    picture = QPixmap();
    label->setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (!label->isVisible() || label->size().isEmpty())
        return;
    const QRect area(label->mapTo(box, QPoint()), label->size());
    const qreal ratio = label->devicePixelRatioF();
    QPixmap shot(area.size() * ratio);
    shot.setDevicePixelRatio(ratio);
    shot.fill(Qt::transparent);
    // The box alone over the window colour beneath it, as the screen shows it under the label.
    box->render(&shot, QPoint(), QRegion(area), QWidget::DrawWindowBackground);
    picture = shot;
    label->setAttribute(Qt::WA_OpaquePaintEvent, true);
    label->update();
}
