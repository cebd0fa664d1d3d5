#include "widgets/DeadZoneSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

DeadZoneSlider::DeadZoneSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent), scale(10000), wholeLower(0), wholeUpper(0), deadLower(0), deadUpper(0)
{
    setRange(0, scale);
    setFocusPolicy(Qt::NoFocus);
}

void DeadZoneSlider::SetWholeRange(int lower, int upper)
{
    if (wholeLower == lower && wholeUpper == upper)
        return;
    wholeLower = lower;
    wholeUpper = upper;
    update();
}

void DeadZoneSlider::SetDeadZoneRange(int lower, int upper)
{
    if (deadLower == lower && deadUpper == upper)
        return;
    deadLower = lower;
    deadUpper = upper;
    update();
}

void DeadZoneSlider::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void DeadZoneSlider::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void DeadZoneSlider::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void DeadZoneSlider::wheelEvent(QWheelEvent* event)
{
    // The joystick moves the handle, nothing else; the wheel may still scroll around it.
    event->ignore();
}

void DeadZoneSlider::keyPressEvent(QKeyEvent* event)
{
    event->ignore();
}

void DeadZoneSlider::bandPart(int lower, int upper, int w, int* x, int* width) const
{
    const qint64 lo = qBound(0, lower, scale);
    const qint64 hi = qBound(0, upper, scale);
    *x = int(lo * w / scale);
    *width = int((hi - lo) * w / scale - 1);
}

void DeadZoneSlider::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        const int w = width();
        const int h = height();
        painter.setPen(QColor(128, 128, 128));
        painter.setBrush(QColor(192, 192, 192));
        painter.drawRect(0, h / 6, w - 2, h / 3);
        painter.drawRect(0, h / 2, w - 2, h / 3);

        int x = 0;
        int bandWidth = 0;
        bandPart(deadLower, deadUpper, w, &x, &bandWidth);
        if (bandWidth > 0) {
            painter.setBrush(QColor(255, 0, 0));
            painter.drawRect(x, h / 6, bandWidth, h / 3);
        }
        bandPart(wholeLower, wholeUpper, w, &x, &bandWidth);
        if (bandWidth > 0) {
            painter.setBrush(QColor(0, 255, 0));
            painter.drawRect(x, h / 2, bandWidth, h / 3);
        }
    }
    QSlider::paintEvent(event);
}
