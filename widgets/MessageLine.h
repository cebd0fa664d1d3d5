#ifndef MESSAGELINE_H
#define MESSAGELINE_H

#include <QHash>
#include <QLabel>
#include <QString>
#include <QStringList>

struct LogItem;

// One line at the bottom of a window without a log table: the latest warning or error of the
// program log with its time, an error in red, the whole line on hover. It stays until a newer
// warning or error takes its place, or a settling line says that what it was about works
// again, or what it was about is settled. The line takes the log's queued lines itself whenever the log says some wait, so it
// sees every line the log file gets.
class MessageLine : public QLabel
{
    Q_OBJECT

public:
    explicit MessageLine(QWidget* parent = nullptr);

    // Every line the program log holds for display; the newest warning or error is shown.
    void takeLogLines();
    // Shows the line when it is a warning or an error; other lines change nothing, but for a
    // settling line (settleWith).
    void offer(const LogItem& item);
    // The information line `message` says that what a warning or error was about works again:
    // when it comes while the line shows one that begins with any of `prefixes`, it takes its
    // place. Lines logged after it are newer and show as ever.
    void settleWith(const QString& message, const QStringList& prefixes);
    // One subject of the lines (an axis): the program's lines about it contain one of `names`,
    // the controller library's begin with `libraryPrefix`. A library line never takes the place
    // of a program line about the same subject.
    void nameSubject(const QString& key, const QStringList& names, const QString& libraryPrefix);
    // What went wrong with subject `key` works again: a warning or error about it that contains
    // one of `kinds` goes from the line, which is then empty. Lines still queued in the log are
    // taken first, as they came before, while the line follows the log.
    void settle(const QString& key, const QStringList& kinds);
    // The error shown now, about subject `key`, stays until release(key): no line about that
    // subject but a newer error takes its place, and nothing settles it (a failed stop, while the
    // axis may still move). Lines about other subjects show as ever.
    void hold(const QString& key);
    // What hold kept is over: the line, if it still shows it, is emptied.
    void release(const QString& key);

    // The whole line shown ("hh:mm:ss  message"), empty before the first warning and once settled.
    QString shownLine() const { return line; }
    // 1 error, 2 warning, 3 a settling line, 0 nothing shown (yet, or since a settle).
    int shownLevel() const { return level; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Subject
    {
        QStringList names;
        QString libraryPrefix;
    };

    void show(const LogItem& item);
    void showCut();
    bool isAbout(const Subject& subject) const { return mentions(subject, message); }
    static bool mentions(const Subject& subject, const QString& text);
    // A line about the held subject that must not take the held one's place.
    bool keptOut(const LogItem& item) const;
    void emptyLine();
    bool heldAgainst(const LogItem& item) const;

    QString line;
    QString message;
    QString source;
    int level = 0;
    QHash<QString, Subject> subjects;
    QMetaObject::Connection following;
    // Per settling message, the prefixes of the lines it settles; a few per axis at most.
    QHash<QString, QStringList> settling;
    QString heldKey;
};

#endif // MESSAGELINE_H
