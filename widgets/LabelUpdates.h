#ifndef LABELUPDATES_H
#define LABELUPDATES_H

#include <QStringList>

class QFont;
class QLabel;
class QPalette;
class QPixmap;
class QWidget;

// Setters for what a refresh shows many times a second. Each leaves the widget alone when it
// shows the value already (and says whether it changed it): a pixmap, style sheet or tool tip
// set again costs a re-layout or a re-polish even when nothing differs.
namespace LabelUpdates {

bool setText(QLabel* label, const QString& text);
bool setPixmap(QLabel* label, const QPixmap& pixmap);
bool setToolTip(QWidget* widget, const QString& tip);
bool setStyleSheet(QWidget* widget, const QString& sheet);
bool setPalette(QWidget* widget, const QPalette& palette);
bool setFont(QWidget* widget, const QFont& font);

// Gives a value label a fixed size, wide enough for its current text, the widest of `widest`
// and its minimum width, and aligns it in its layout cell as its text is aligned. A new text
// then repaints the label alone instead of laying out the whole window; setText above widens it
// (never narrows it) when a text needs more room. In a group box it paints its own background
// (BoxBackground), so the box is not drawn again beneath it either.
void holdSize(QLabel* label, const QStringList& widest = QStringList());

} // namespace LabelUpdates

#endif // LABELUPDATES_H
