#ifndef HIGHLIGHTER_H
#define HIGHLIGHTER_H

#include <QRegExp>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QVector>

// Colours the script editor: keywords, numbers, function calls, the script functions and
// comments. Formatting only; the text is never changed.
class Highlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    // The document owns the highlighter.
    explicit Highlighter(QTextDocument* parent);

protected:
    void highlightBlock(const QString& text) override;

private:
    struct HighlightRule
    {
        QRegExp pattern;
        QTextCharFormat format;
    };
    // Later rules win where matches overlap.
    QVector<HighlightRule> rules;
    QRegExp commentStart;
    QRegExp commentEnd;
    QTextCharFormat blockCommentFormat;
};

#endif // HIGHLIGHTER_H
