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
// again. The line takes the log's queued lines itself whenever the log says some wait, so it
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

    // The whole line shown ("hh:mm:ss  message"), empty before the first warning.
    QString shownLine() const { return line; }
    // 1 error, 2 warning, 3 a settling line, 0 nothing shown yet.
    int shownLevel() const { return level; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void show(const LogItem& item);
    void showCut();

    QString line;
    QString message;
    int level = 0;
    // Per settling message, the prefixes of the lines it settles; a few per axis at most.
    QHash<QString, QStringList> settling;
};

#endif // MESSAGELINE_H
