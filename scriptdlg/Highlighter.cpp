#include "scriptdlg/Highlighter.h"

namespace {

enum BlockState { Plain = 0, InBlockComment = 1 };

QTextCharFormat foreground(Qt::GlobalColor colour)
{
    QTextCharFormat format;
    format.setForeground(QBrush(colour));
    return format;
}

QTextCharFormat foreground(Qt::GlobalColor colour, int weight)
{
    QTextCharFormat format = foreground(colour);
    format.setFontWeight(weight);
    return format;
}

} // namespace

Highlighter::Highlighter(QTextDocument* parent)
    : QSyntaxHighlighter(parent),
      commentStart(QStringLiteral("/\\*")),
      commentEnd(QStringLiteral("\\*/")),
      blockCommentFormat(foreground(Qt::gray))
{
    static const char* const keywords[] = {
        "char",      "class",  "const",  "double", "enum",    "explicit", "friend",   "inline",
        "int",       "long",   "namespace", "operator", "private", "protected", "public", "short",
        "signals",   "signed", "slots",  "static", "struct",  "template", "typedef",  "typename",
        "union",     "unsigned", "virtual", "void", "volatile"};
    const QTextCharFormat keyword = foreground(Qt::darkBlue, QFont::Bold);
    for (const char* word : keywords)
        rules.append({QRegExp(QStringLiteral("\\b%1\\b").arg(QLatin1String(word))), keyword});
    rules.append({QRegExp(QStringLiteral("\\b[0-9.]+\\b")), foreground(Qt::darkGreen, QFont::Normal)});
    rules.append({QRegExp(QStringLiteral("-\\b[0-9.]+\\b")), foreground(Qt::darkRed, QFont::Normal)});
    rules.append({QRegExp(QStringLiteral("\\b[A-Za-z0-9_]+(?=\\()")), foreground(Qt::darkMagenta)});
    const QTextCharFormat scriptFunction = foreground(Qt::blue, QFont::Normal);
    rules.append({QRegExp(QStringLiteral("\\b(rigt|left|stop|sstp|move|movr|zero|home|gets|log|msleep|newaxis)\\b")),
                  scriptFunction});
    rules.append({QRegExp(QStringLiteral(
                      "\\b(get_|set_)((feedback|home|move|engine|entype|power|secure|edges|pid|sync_in|sync_out|"
                      "extio|brake|control|joystick|ctp|uart)(_settings)|(stage|dc|step|encoder|gear)"
                      "(_information|_settings))\\b")),
                  scriptFunction});
    rules.append({QRegExp(QStringLiteral("//[^\n]*")), foreground(Qt::gray)});
}

void Highlighter::highlightBlock(const QString& text)
{
    for (const HighlightRule& rule : qAsConst(rules)) {
        QRegExp pattern(rule.pattern);
        for (int index = pattern.indexIn(text); index >= 0;) {
            const int length = pattern.matchedLength();
            setFormat(index, length, rule.format);
            index = pattern.indexIn(text, index + qMax(1, length));
        }
    }

    setCurrentBlockState(Plain);
    QRegExp start(commentStart);
    QRegExp end(commentEnd);
    int from = previousBlockState() == InBlockComment ? 0 : start.indexIn(text);
    while (from >= 0) {
        // Searched from the opening itself, so "/*/" closes at once.
        const int close = end.indexIn(text, from);
        int length;
        if (close < 0) {
            setCurrentBlockState(InBlockComment);
            length = text.length() - from;
        } else {
            length = close - from + end.matchedLength();
        }
        setFormat(from, length, blockCommentFormat);
        from = start.indexIn(text, from + length);
    }
}
