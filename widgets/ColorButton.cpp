#include "widgets/ColorButton.h"

#include <QColorDialog>
#include <QPainter>

ColorButton::ColorButton(QWidget* parent)
    : QPushButton(parent)
{
    connect(this, SIGNAL(clicked()), this, SLOT(openDialog()));
}

void ColorButton::setColor(const QColor& color)
{
    buttonColor = color;
    update();
}

QColor ColorButton::color() const
{
    return buttonColor;
}

void ColorButton::openDialog()
{
    const QColor chosen = QColorDialog::getColor(buttonColor, this, tr("Select a color"));
    if (chosen.isValid()) {
        setColor(chosen);
    }
}

void ColorButton::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    QPainter painter(this);
    const int h = painter.viewport().height();
    const int q = h / 4;
    painter.setPen(QPen(Qt::gray, 0));
    painter.setBrush(QBrush(buttonColor, Qt::SolidPattern));
    painter.drawRect(q, q, 2 * h, h / 2);
    painter.setPen(QPen(Qt::black, 0));
    QFont font = painter.font();
    font.setPointSize(qMax(1, 2 * h / 5));
    painter.setFont(font);
    painter.drawText(int(2.5 * h), 3 * h / 4, buttonColor.name());
}
