#include "widgets/ElidingLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

int ElidingLabel::widthFor(const QStringList& texts) const
{
    int width = 0;
    for (const QString& text : texts)
        width = std::max(width, fontMetrics().horizontalAdvance(text));
    // Frame, margin and indent as QLabel counts them, and a pixel for rounding.
    return width + QLabel::sizeHint().width() - fontMetrics().horizontalAdvance(text()) + 1;
}

void ElidingLabel::holdWidths(const QStringList& widest, const QStringList& fitting)
{
    preferredWidth = widthFor(widest);
    smallestWidth = std::min(widthFor(fitting), preferredWidth);
    updateGeometry();
}

QSize ElidingLabel::sizeHint() const
{
    const QSize own = QLabel::sizeHint();
    return preferredWidth > 0 ? QSize(preferredWidth, own.height()) : own;
}

QSize ElidingLabel::minimumSizeHint() const
{
    const QSize own = QLabel::minimumSizeHint();
    return smallestWidth > 0 ? QSize(smallestWidth, own.height()) : own;
}

bool ElidingLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width() - 2 * std::max(indent(), 0);
}

bool ElidingLabel::event(QEvent* event)
{
    // The whole text on hover, only while it is cut; a tool tip of its own goes first.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (isElided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void ElidingLabel::paintEvent(QPaintEvent* event)
{
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(std::max(indent(), 0), 0, -std::max(indent(), 0), 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shown, foregroundRole());
}
