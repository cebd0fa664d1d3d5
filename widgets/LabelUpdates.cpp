#include "widgets/LabelUpdates.h"

#include "widgets/BoxBackground.h"

#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QTextDocument>
#include <QVariant>

#include <algorithm>

namespace LabelUpdates {

namespace {

const char* const heldSize = "tolmoHeldSize";

// Aligns the widget's item in layout or in one of its nested layouts; a direction the form
// aligns already keeps its alignment.
bool alignIn(QLayout* layout, QWidget* widget, Qt::Alignment alignment)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget) {
            const Qt::Alignment given = item->alignment();
            Qt::Alignment merged = given;
            if (!(given & Qt::AlignHorizontal_Mask))
                merged |= alignment & Qt::AlignHorizontal_Mask;
            if (!(given & Qt::AlignVertical_Mask))
                merged |= alignment & Qt::AlignVertical_Mask;
            return layout->setAlignment(widget, merged);
        }
        if (item->layout() && alignIn(item->layout(), widget, alignment))
            return true;
    }
    return false;
}

// The size the label's text needs, never less than its minimum.
QSize needed(const QLabel* label)
{
    return label->sizeHint().expandedTo(label->minimumSize());
}

// A held label grows to what its text needs now.
void fit(QWidget* widget)
{
    auto* label = qobject_cast<QLabel*>(widget);
    if (!label || !label->property(heldSize).toBool())
        return;
    const QSize held = label->minimumSize();
    // A plain text that fits on one line, with a pixel to spare, needs no full size hint: that
    // lays the text out and would cost more than showing it.
    const QString text = label->text();
    if (!Qt::mightBeRichText(text) && !text.contains(QLatin1Char('\n')) && label->textFormat() != Qt::RichText) {
        const QFontMetrics metrics = label->fontMetrics();
        const int sides = 2 * (label->margin() + std::max(label->indent(), 0)) + label->width()
                          - label->contentsRect().width();
        const int ends = 2 * label->margin() + label->height() - label->contentsRect().height();
        if (metrics.horizontalAdvance(text) + sides + 1 <= held.width() && metrics.height() + ends <= held.height())
            return;
    }
    const QSize size = held.expandedTo(label->sizeHint());
    if (size != held)
        label->setFixedSize(size);
}

} // namespace

bool setText(QLabel* label, const QString& text)
{
    if (label->text() == text)
        return false;
    label->setText(text);
    fit(label);
    return true;
}

bool setPixmap(QLabel* label, const QPixmap& pixmap)
{
    if (label->pixmap(Qt::ReturnByValue).cacheKey() == pixmap.cacheKey())
        return false;
    label->setPixmap(pixmap);
    return true;
}

bool setToolTip(QWidget* widget, const QString& tip)
{
    if (widget->toolTip() == tip)
        return false;
    widget->setToolTip(tip);
    return true;
}

bool setStyleSheet(QWidget* widget, const QString& sheet)
{
    if (widget->styleSheet() == sheet)
        return false;
    widget->setStyleSheet(sheet);
    return true;
}

bool setPalette(QWidget* widget, const QPalette& palette)
{
    if (widget->palette() == palette)
        return false;
    widget->setPalette(palette);
    return true;
}

bool setFont(QWidget* widget, const QFont& font)
{
    if (widget->font() == font)
        return false;
    widget->setFont(font);
    fit(widget);
    return true;
}

void holdSize(QLabel* label, const QStringList& widest)
{
    const QString shown = label->text();
    QSize size = needed(label);
    for (const QString& text : widest) {
        label->setText(text);
        size = size.expandedTo(needed(label));
    }
    label->setText(shown);
    label->setFixedSize(size);
    label->setProperty(heldSize, true);
    // The text keeps its place when the cell is wider or taller than the label.
    if (QWidget* parent = label->parentWidget(); parent && parent->layout())
        alignIn(parent->layout(), label, label->alignment());
    BoxBackground::keep(label);
}

} // namespace LabelUpdates
