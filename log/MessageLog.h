#ifndef MESSAGELOG_H
#define MESSAGELOG_H

#include "log/LogItem.h"
#include "log/LogSettings.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QObject>
#include <QString>

#include <deque>
#include <mutex>

class QFile;
class QTimer;

// The program log: queues every line for the main window's log table and appends it to the
// daily CSV file (folder/tolmo_log_yyyy.MM.dd[_SN<serial>].csv) while autosave is on. Lines
// arrive from any thread; one mutex guards the queues and the file.
class MessageLog : public QObject
{
    Q_OBJECT
public:
    // Bounds of the two queues; beyond them the oldest lines go and one line tells how many.
    static constexpr int maxPendingLines = 10000;
    static constexpr int maxItems = 10000;
    // Written lines are collected up to this size before they go to the file in one write.
    static constexpr int writeChunkBytes = 64 * 1024;

    MessageLog();
    ~MessageLog() override;

    // The serial goes into the name of the next file opened; the open file keeps its name.
    void setSerial(unsigned int serial);
    // Moves the oldest queued line into *out: 1, or 0 when the queue is empty.
    int takeItem(LogItem* out);
    void clearItems();
    QString logFileName(const QDir& folder, const QDateTime& date);
    // The settings applied to the controller library's lines (which come without their own).
    // Every line that comes with settings sets them too.
    void setLogSettings(const LogSettings& settings);

    // A line of the controller library, from whatever thread the library calls back on; it goes
    // to the live program log, if there is one.
    static void insertLibraryLine(const QDateTime& datetime, int level, const QString& message);
    // A line of the program's own ("Tolmo"), stamped now, into the program log if there is one;
    // from any thread. False when there is no log (it was never made or has stopped): the line
    // was dropped, for the caller to write elsewhere if it must.
    static bool insertProgramLine(const QString& message, int level);
    static bool insertLineNow(const QString& message, const QString& source, int level);
    // Clears the pointer and deletes the log, both under the lock insertProgramLine takes: a
    // thread logging meanwhile writes into the live log or finds none.
    static void destroy(MessageLog*& log);

public slots:
    // Writes what is waiting for the file; the flush timer calls it every 5 s.
    void update();
    void InsertLine(const QDateTime& datetime, const QString& message, const QString& source,
                    int loglevel, const LogSettings& ls);
    // A line without settings: it never switches files.
    void InsertLine(const QDateTime& datetime, const QString& message, const QString& source,
                    int loglevel);

signals:
    // A line came into the empty queue of takeItem: one signal until the queue has been emptied
    // again, so that a reader woken by it never falls behind a queue of signals. Emitted by the
    // thread that logged, the log's lock released.
    void itemsWaiting();

private:
    enum class SettingsChoice { None, Given, Current };

    struct PendingLine
    {
        QDateTime time;
        QByteArray text;
    };

    void insert(const QDateTime& datetime, const QString& message, const QString& source,
                int loglevel, SettingsChoice choice, const LogSettings* given);
    void insertLocked(const QDateTime& datetime, const QString& message, const QString& source,
                      int loglevel, SettingsChoice choice, const LogSettings* given, QByteArray&& line);
    void queueItem(const QDateTime& datetime, const QString& message, const QString& source,
                   int loglevel);
    void queuePending(const QDateTime& datetime, QByteArray&& line);
    void followSettings(const QDateTime& datetime, const LogSettings& settings);
    void releasePending();
    bool writeOut();
    bool writeOnce();
    void reportWriteFailure(const QString& name, const QString& reason);
    QString fileNameFor(const QDir& folder, const QDate& date) const;
    bool openLogFile(const QDir& folder, const QDate& date);
    void closeLogFile();

    // A standard mutex, so that the thread sanitizer sees it (Qt's own is not instrumented).
    mutable std::mutex mutex;
    unsigned int serial = 0;
    QString serialText;
    QDir openFolder;
    std::deque<LogItem> items;
    quint64 droppedItems = 0;
    // An item went into the empty queue since itemsWaiting was last emitted.
    bool wakeDue = false;
    QDateTime lastDroppedItemTime;
    QTimer* flushTimer = nullptr;
    QFile* file = nullptr;
    QDate fileDate;
    std::deque<PendingLine> pending;
    quint64 droppedPending = 0;
    QDateTime lastDroppedPendingTime;
    // Lines given to the open file but not yet written into it.
    QByteArray outBuffer;
    QString lastWriteError;
    bool writeFailureSaid = false;
    bool hasSettings = false;
    LogSettings currentSettings;
    // The folder text of the latest settings and whether it named the open folder: spares
    // the file system checks on every line.
    QString lastFolderText;
    bool lastFolderIsOpen = false;
};

// The one program log, made by main.
extern MessageLog* messageLog;

#endif
