#include "widgets/LabelUpdates.h"

#include "widgets/BoxBackground.h"

#include <QFont>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QTextDocument>

#include <algorithm>

namespace LabelUpdates {

namespace {

class TextSizes;

// The held labels (GUI thread only): a dynamic property would cost more to look up than most
// texts cost to measure. Never destroyed, so a label may outlive the program's statics.
QHash<const QObject*, TextSizes*>& heldLabels()
{
    static auto* const labels = new QHash<const QObject*, TextSizes*>;
    return *labels;
}

// The size each text a held label has shown needs, in the font it was measured in: a text that
// comes back (an idle reading flickering between two values) is not laid out again just to be
// measured. Lives as the label's child; remembers at most maxTexts texts.
class TextSizes : public QObject
{
public:
    static constexpr int maxTexts = 64;

    explicit TextSizes(QLabel* label) : QObject(label), label(label) { heldLabels().insert(label, this); }
    ~TextSizes() override { heldLabels().remove(label); }

    // For the label's current text.
    QSize need()
    {
        if (!(font == label->font())) {
            sizes.clear();
            font = label->font();
        }
        const QString text = label->text();
        const auto known = sizes.constFind(text);
        if (known != sizes.constEnd())
            return *known;
        if (sizes.size() >= maxTexts)
            sizes.clear();  // a moving position never comes back
        const QSize size = measure(text);
        sizes.insert(text, size);
        return size;
    }

private:
    QSize measure(const QString& text) const
    {
        // A plain text that fits on one line, with a pixel to spare, needs no full size hint:
        // that lays the text out and would cost more than showing it.
        if (!Qt::mightBeRichText(text) && !text.contains(QLatin1Char('\n')) && label->textFormat() != Qt::RichText) {
            const QFontMetrics metrics = label->fontMetrics();
            const int sides = 2 * (label->margin() + std::max(label->indent(), 0)) + label->width()
                              - label->contentsRect().width();
            const int ends = 2 * label->margin() + label->height() - label->contentsRect().height();
            const QSize plain(metrics.horizontalAdvance(text) + sides + 1, metrics.height() + ends);
            if (label->minimumSize().expandedTo(plain) == label->minimumSize())
                return plain;
        }
        return label->sizeHint();
    }

    QLabel* const label;
    QFont font;
    QHash<QString, QSize> sizes;
};

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
    if (TextSizes* sizes = heldLabels().value(widget)) {
        const QSize held = widget->minimumSize();
        const QSize size = held.expandedTo(sizes->need());
        if (size != held)
            widget->setFixedSize(size);
    }
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
    if (!heldLabels().contains(label))
        new TextSizes(label);
    // The text keeps its place when the cell is wider or taller than the label.
    if (QWidget* parent = label->parentWidget(); parent && parent->layout())
        alignIn(parent->layout(), label, label->alignment());
    BoxBackground::keep(label);
}

} // namespace LabelUpdates
