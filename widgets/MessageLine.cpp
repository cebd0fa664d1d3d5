#include "widgets/MessageLine.h"

#include <QPalette>

#include <algorithm>

#include "log/LogItem.h"
#include "log/MessageLog.h"

MessageLine::MessageLine(QWidget* parent) : QLabel(parent)
{
    // As wide as the window makes it: a long message is cut, never widens the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setMinimumHeight(fontMetrics().height() + 6);
    setIndent(6);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setTextFormat(Qt::PlainText);
    // Queued: the line is drawn from the GUI thread, whatever thread logged.
    if (messageLog)
        following = connect(messageLog, &MessageLog::itemsWaiting, this, &MessageLine::takeLogLines,
                            Qt::QueuedConnection);
    takeLogLines();
}

void MessageLine::takeLogLines()
{
    if (!messageLog)
        return;
    // The queue is bounded; whatever waits in it now is taken in one go.
    LogItem item;
    while (messageLog->takeItem(&item))
        offer(item);
}

void MessageLine::settleWith(const QString& settlingMessage, const QStringList& prefixes)
{
    settling.insert(settlingMessage, prefixes);
}

void MessageLine::nameSubject(const QString& key, const QStringList& names, const QString& libraryPrefix)
{
    subjects.insert(key, Subject{names, libraryPrefix});
}

void MessageLine::settle(const QString& key, const QStringList& kinds)
{
    if (following)
        takeLogLines();
    const auto found = subjects.constFind(key);
    if ((level != 1 && level != 2) || found == subjects.constEnd() || !isAbout(found.value()) || key == heldKey)
        return;
    if (std::none_of(kinds.begin(), kinds.end(), [this](const QString& kind) { return message.contains(kind); }))
        return;
    emptyLine();
}

void MessageLine::hold(const QString& key)
{
    if (following)
        takeLogLines();
    const auto found = subjects.constFind(key);
    if (level == 1 && found != subjects.constEnd() && isAbout(found.value()))
        heldKey = key;
}

void MessageLine::release(const QString& key)
{
    if (key.isEmpty() || key != heldKey)
        return;
    if (following)
        takeLogLines();
    heldKey.clear();
    const auto found = subjects.constFind(key);
    if (found != subjects.constEnd() && isAbout(found.value()))
        emptyLine();
}

bool MessageLine::keptOut(const LogItem& item) const
{
    if (heldKey.isEmpty() || item.loglevel == 1)
        return false;
    const auto found = subjects.constFind(heldKey);
    if (found == subjects.constEnd() || !isAbout(found.value()))
        return false;
    return mentions(found.value(), item.message) ||
           (!found.value().libraryPrefix.isEmpty() && item.message.startsWith(found.value().libraryPrefix));
}

void MessageLine::emptyLine()
{
    level = 0;
    line.clear();
    message.clear();
    source.clear();
    setToolTip(QString());
    QPalette plain = palette();
    plain.setColor(QPalette::WindowText, QPalette().color(QPalette::WindowText));
    setPalette(plain);
    showCut();
}

bool MessageLine::mentions(const Subject& subject, const QString& text)
{
    return std::any_of(subject.names.begin(), subject.names.end(),
                       [&text](const QString& name) { return text.contains(name); });
}

bool MessageLine::heldAgainst(const LogItem& item) const
{
    // The library retries a lost controller every few seconds; the program's line about it says more.
    if (item.source != QLatin1String("libtrov") || (level != 1 && level != 2) || source == QLatin1String("libtrov"))
        return false;
    for (const Subject& subject : subjects) {
        if (!subject.libraryPrefix.isEmpty() && item.message.startsWith(subject.libraryPrefix) && isAbout(subject))
            return true;
    }
    return false;
}

void MessageLine::offer(const LogItem& item)
{
    if (keptOut(item))
        return;
    if (item.loglevel == 1 || item.loglevel == 2) {
        if (!heldAgainst(item))
            show(item);
        return;
    }
    if (level != 1 && level != 2)
        return;
    const auto found = settling.constFind(item.message);
    if (found == settling.constEnd())
        return;
    for (const QString& prefix : found.value()) {
        if (message.startsWith(prefix)) {
            show(item);
            return;
        }
    }
}

void MessageLine::show(const LogItem& item)
{
    level = item.loglevel;
    message = item.message;
    source = item.source;
    line = item.datetime.toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("  ") + item.message;
    setToolTip(item.datetime.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz")) + QLatin1Char(' ') + item.source
               + QStringLiteral(": ") + item.message);
    QPalette shown = palette();
    shown.setColor(QPalette::WindowText, level == 1 ? QColor(QStringLiteral("#FF0000"))
                                                    : QPalette().color(QPalette::WindowText));
    setPalette(shown);
    showCut();
}

void MessageLine::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    showCut();
}

void MessageLine::showCut()
{
    const int room = std::max(0, contentsRect().width() - 2 * indent());
    QString oneLine = line;
    for (QChar& c : oneLine) {
        if (c.isSpace())
            c = QLatin1Char(' ');
    }
    setText(fontMetrics().elidedText(oneLine, Qt::ElideRight, room));
}
