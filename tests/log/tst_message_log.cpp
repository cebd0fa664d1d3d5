#include "common/Paths.h"
#include "log/LibraryLog.h"
#include "log/MessageLog.h"
#include "support/FullDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

const QDate day1(2030, 1, 31);
const QDate day2(2030, 2, 1);

QDateTime at(const QDate& date, int h, int m, int s, int ms = 0)
{
    return QDateTime(date, QTime(h, m, s, ms));
}

LogSettings autosaveTo(const QString& folder, bool on = true)
{
    return LogSettings(3, 3, 3, on, QDir(folder));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The message fields of a log file, in file order.
QStringList messages(const QString& path)
{
    QStringList result;
    const QList<QByteArray> lines = readAll(path).split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const int start = line.indexOf("\",\"", line.indexOf("\",\"", line.indexOf("\",\"") + 3) + 3) + 3;
        result << QString::fromUtf8(line.mid(start, line.size() - start - 2));  // drop "\r
    }
    return result;
}

} // namespace

// Sends lines the way the main window does: a queued signal carrying the settings.
class LineSender : public QObject
{
    Q_OBJECT
signals:
    void InsertLineSgn(QDateTime, QString, QString, int, LogSettings);
};

class TestMessageLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fileLineFormat();
    void serialNamesTheNextFile();
    void midnightSwitchesFilesWithoutLoss();
    void firstRunWritesPendingLinesOnceTheFolderExists();
    void missingAutosaveFolder();
    void emptyAutosaveFolderMeansTheConfigurationFolder();
    void autosaveOffKeepsMemoryBounded();
    void failedWriteKeepsTheLines();
    void fullDiskKeepsMemoryBounded();
    void writeFailureIsSaidOnce();
    void itemsForTheWindow();
    void settingsTravelByValueToTheLogThread();
    void destructorWritesWhatIsWaiting();

private:
    QScopedPointer<QTemporaryDir> home;
    QByteArray savedHome;
};

void TestMessageLog::init()
{
    savedHome = qgetenv("HOME");
    home.reset(new QTemporaryDir);
    QVERIFY(home->isValid());
    qputenv("HOME", QFile::encodeName(home->path()));
}

void TestMessageLog::cleanup()
{
    qputenv("HOME", savedHome);
    home.reset();
}

void TestMessageLog::fileLineFormat()
{
    QVERIFY(createConfigDir());
    MessageLog log;
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    const QDateTime when = at(QDate(2013, 8, 23), 7, 5, 9, 45);
    log.InsertLine(when, QStringLiteral("say \"hi\"\nnext µ"), QStringLiteral("Tol\"mo"), 1, autosaveTo(folder));
    log.InsertLine(when.addMSecs(1), QStringLiteral("plain"), QStringLiteral("Script"), 3, autosaveTo(folder));
    log.update();
    const QString path = folder + QStringLiteral("/tolmo_log_2013.08.23.csv");
    QCOMPARE(log.logFileName(QDir(folder), when), path);
    QCOMPARE(readAll(path),
             QByteArray("\"2013.08.23\",\"07:05:09.045\",\"Tol\"\"mo\",\"say \"\"hi\"\"\nnext \xc2\xb5\"\r\n"
                        "\"2013.08.23\",\"07:05:09.046\",\"Script\",\"plain\"\r\n"));
}

void TestMessageLog::serialNamesTheNextFile()
{
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    MessageLog log;
    log.InsertLine(at(day1, 10, 0, 0), QStringLiteral("one"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.setSerial(4321);
    QCOMPARE(log.logFileName(QDir(QStringLiteral("/home/user/logs")), at(QDate(2013, 8, 23), 1, 0, 0)),
             QStringLiteral("/home/user/logs/tolmo_log_2013.08.23_SN4321.csv"));
    log.InsertLine(at(day1, 10, 0, 1), QStringLiteral("two"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.InsertLine(at(day2, 0, 0, 0), QStringLiteral("three"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.update();
    QCOMPARE(messages(folder + QStringLiteral("/tolmo_log_2030.01.31.csv")),
             (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    QCOMPARE(messages(folder + QStringLiteral("/tolmo_log_2030.02.01_SN4321.csv")), QStringList{QStringLiteral("three")});
}

void TestMessageLog::midnightSwitchesFilesWithoutLoss()
{
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    MessageLog log;
    const LogSettings on = autosaveTo(folder);
    log.InsertLine(at(day1, 23, 59, 59), QStringLiteral("a"), QStringLiteral("Tolmo"), 3, on);
    log.InsertLine(at(day2, 0, 0, 0), QStringLiteral("b"), QStringLiteral("Tolmo"), 3, on);
    // A line stamped just before midnight that arrives after the first line of the new day.
    log.InsertLine(at(day1, 23, 59, 59, 999), QStringLiteral("c"), QStringLiteral("libtrov"), 3, on);
    log.InsertLine(at(day2, 0, 0, 1), QStringLiteral("d"), QStringLiteral("Tolmo"), 3, on);
    log.InsertLine(at(day2, 0, 0, 2), QStringLiteral("e"), QStringLiteral("main"), 0);  // no settings
    log.update();
    QCOMPARE(messages(folder + QStringLiteral("/tolmo_log_2030.01.31.csv")),
             (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    QCOMPARE(messages(folder + QStringLiteral("/tolmo_log_2030.02.01.csv")),
             (QStringList{QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("e")}));
}

void TestMessageLog::firstRunWritesPendingLinesOnceTheFolderExists()
{
    QVERIFY(!QDir(configDirPath()).exists());
    MessageLog log;
    const QDateTime now = QDateTime::currentDateTime();
    const LogSettings toConfig = autosaveTo(configDirPath());
    log.InsertLine(now, QStringLiteral("Starting"), QStringLiteral("main"), 0);
    log.InsertLine(now.addMSecs(1), QStringLiteral("before the folder"), QStringLiteral("Tolmo"), 3, toConfig);
    log.InsertLine(now.addMSecs(2), QStringLiteral("default folder"), QStringLiteral("Tolmo"), 3, LogSettings(3, 3, 3, true, QDir()));
    QVERIFY(!QDir(configDirPath()).exists());

    QVERIFY(createConfigDir());
    log.InsertLine(now.addMSecs(3), QStringLiteral("after"), QStringLiteral("Tolmo"), 3, toConfig);
    log.update();
    QCOMPARE(messages(log.logFileName(QDir(configDirPath()), now.addMSecs(3))),
             (QStringList{QStringLiteral("Starting"), QStringLiteral("before the folder"),
                          QStringLiteral("default folder"), QStringLiteral("after")}));
}

void TestMessageLog::missingAutosaveFolder()
{
    const QString first = home->filePath(QStringLiteral("first"));
    const QString missing = home->filePath(QStringLiteral("missing"));
    QVERIFY(QDir().mkpath(first));
    MessageLog log;
    log.InsertLine(at(day1, 9, 0, 0), QStringLiteral("1"), QStringLiteral("Tolmo"), 3, autosaveTo(first));
    // Same day, folder missing: the open file keeps receiving lines.
    log.InsertLine(at(day1, 9, 0, 1), QStringLiteral("2"), QStringLiteral("Tolmo"), 3, autosaveTo(missing));
    // Next day: the switch into the missing folder fails and the lines wait.
    log.InsertLine(at(day2, 9, 0, 0), QStringLiteral("3"), QStringLiteral("Tolmo"), 3, autosaveTo(missing));
    log.InsertLine(at(day2, 9, 0, 1), QStringLiteral("4"), QStringLiteral("Tolmo"), 3, autosaveTo(missing));
    log.update();
    QCOMPARE(messages(first + QStringLiteral("/tolmo_log_2030.01.31.csv")), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QVERIFY(QDir().mkpath(missing));
    log.InsertLine(at(day2, 9, 0, 2), QStringLiteral("5"), QStringLiteral("Tolmo"), 3, autosaveTo(missing));
    log.update();
    QCOMPARE(messages(missing + QStringLiteral("/tolmo_log_2030.02.01.csv")),
             (QStringList{QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}));
}

void TestMessageLog::emptyAutosaveFolderMeansTheConfigurationFolder()
{
    QVERIFY(createConfigDir());
    QTemporaryDir work;
    const QString savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    {
        MessageLog log;
        const LogSettings emptyFolder(3, 3, 3, true, QDir(QString()));
        log.InsertLine(at(day1, 12, 0, 0), QStringLiteral("x"), QStringLiteral("Tolmo"), 3, emptyFolder);
        log.InsertLine(at(day2, 12, 0, 0), QStringLiteral("y"), QStringLiteral("Tolmo"), 3, emptyFolder);
    }
    QVERIFY(QDir::setCurrent(savedCwd));
    QCOMPARE(messages(configDirPath() + QStringLiteral("/tolmo_log_2030.01.31.csv")), QStringList{QStringLiteral("x")});
    QCOMPARE(messages(configDirPath() + QStringLiteral("/tolmo_log_2030.02.01.csv")), QStringList{QStringLiteral("y")});
    QVERIFY(QDir(work.path()).entryList(QDir::Files).isEmpty());
}

void TestMessageLog::autosaveOffKeepsMemoryBounded()
{
    QVERIFY(createConfigDir());
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    MessageLog log;
    const LogSettings off = autosaveTo(folder, false);
    const int total = 200000;
    const QDateTime when = at(day1, 8, 0, 0);
    for (int i = 0; i < total; ++i)
        log.InsertLine(when, QString::number(i), QStringLiteral("Tolmo"), 3, off);
    log.update();
    QVERIFY(!QFile::exists(folder + QStringLiteral("/tolmo_log_2030.01.31.csv")));

    log.InsertLine(at(day1, 9, 0, 0), QStringLiteral("on"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.update();
    const QStringList written = messages(folder + QStringLiteral("/tolmo_log_2030.01.31.csv"));
    const int kept = MessageLog::maxPendingLines;
    QCOMPARE(written.size(), kept + 1);
    QCOMPARE(written.first(), QStringLiteral("%1 log lines were dropped").arg(total + 1 - kept));
    QCOMPARE(written.at(1), QString::number(total + 1 - kept));  // the oldest line kept
    QCOMPARE(written.at(kept - 1), QString::number(total - 1));
    QCOMPARE(written.last(), QStringLiteral("on"));

    LogItem item;
    QCOMPARE(log.takeItem(&item), 1);
    QCOMPARE(item.message, QStringLiteral("%1 log lines were dropped").arg(total + 1 - MessageLog::maxItems));
    int count = 0;
    while (log.takeItem(&item))
        ++count;
    QCOMPARE(count, MessageLog::maxItems);
    QCOMPARE(item.message, QStringLiteral("on"));
}

void TestMessageLog::failedWriteKeepsTheLines()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/tolmo_log_2030.01.31.csv");
    // Every write into this "file" fails with ENOSPC.
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
    MessageLog log;
    // Opening a device for appending makes Qt warn that it cannot seek: once for the first open
    // and once for the reopen after the failed write.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot call seek on a sequential device")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot call seek on a sequential device")));
    for (int i = 0; i < 3; ++i)
        log.InsertLine(at(day1, 8, 0, i), QString::number(i), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.update();
    QVERIFY(QFile::remove(path));  // the disk has room again
    log.InsertLine(at(day1, 8, 0, 3), QStringLiteral("3"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.update();
    QCOMPARE(messages(path), (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                          QStringLiteral("3")}));
}

void TestMessageLog::fullDiskKeepsMemoryBounded()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/tolmo_log_2030.01.31.csv");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
    MessageLog log;
    // Every open of the device warns that it cannot seek; thousands of those say nothing here.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const QString filler(1000, QLatin1Char('x'));
    const int total = MessageLog::maxPendingLines + 1000;
    for (int i = 0; i < total; ++i)
        log.InsertLine(at(day1, 8, 0, 0).addMSecs(i), QString::number(i) + QLatin1Char(' ') + filler,
                       QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.update();
    qInstallMessageHandler(previous);

    QVERIFY(QFile::remove(path));  // the disk has room again
    log.InsertLine(at(day1, 9, 0, 0), QStringLiteral("last"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    log.update();
    const QStringList written = messages(path);
    // What waited for the full disk was bounded: the oldest lines went, and one line says so.
    QVERIFY2(written.size() < MessageLog::maxPendingLines + 200, qPrintable(QString::number(written.size())));
    QVERIFY(written.filter(QStringLiteral("log lines were dropped")).size() == 1);
    QCOMPARE(written.last(), QStringLiteral("last"));
    int previousNumber = -1;
    for (const QString& message : written) {
        bool isNumber = false;
        const int number = message.section(QLatin1Char(' '), 0, 0).toInt(&isNumber);
        if (!isNumber)
            continue;
        QVERIFY(number > previousNumber);
        previousNumber = number;
    }
    QCOMPARE(previousNumber, total - 1);
}

// The file is tried again with every line; the window's log says once that it cannot be written.
void TestMessageLog::writeFailureIsSaidOnce()
{
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    MessageLog log;
    {
        FullDisk disk(0);
        for (int i = 0; i < 3; ++i) {
            log.InsertLine(at(day1, 8, 0, i), QString::number(i), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
            log.update();
        }
    }
    QStringList said;
    for (LogItem item; log.takeItem(&item) == 1;)
        said << QString::number(item.loglevel) + ' ' + item.message;
    // A failure found by the flush wakes a reader of the emptied queue as a line does.
    MessageLog fresh;
    QSignalSpy waiting(&fresh, &MessageLog::itemsWaiting);
    {
        FullDisk disk(0);
        fresh.InsertLine(at(day1, 8, 0, 9), QStringLiteral("9"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
        fresh.clearItems();
        fresh.update();
    }
    QCOMPARE(waiting.count(), 2);
    QCOMPARE(said.filter(QRegularExpression("^1 ")),
             QStringList{"1 The log file " + folder + "/tolmo_log_2030.01.31.csv cannot be written (File too large); "
                         "its lines are kept and written when it can be."});
}

void TestMessageLog::itemsForTheWindow()
{
    MessageLog log;
    LogItem item;
    item.message = QStringLiteral("untouched");
    item.loglevel = 42;
    QCOMPARE(log.takeItem(&item), 0);
    QCOMPARE(item.message, QStringLiteral("untouched"));
    QCOMPARE(item.loglevel, 42);
    QCOMPARE(log.takeItem(nullptr), 0);

    const QDateTime when = at(day1, 1, 2, 3);
    log.InsertLine(when, QStringLiteral("first"), QStringLiteral("Tolmo"), 1);
    log.InsertLine(when, QStringLiteral("second"), QStringLiteral("Script"), 4);
    QCOMPARE(log.takeItem(&item), 1);
    QCOMPARE(item.message, QStringLiteral("first"));
    QCOMPARE(item.source, QStringLiteral("Tolmo"));
    QCOMPARE(item.loglevel, 1);
    QCOMPARE(item.datetime, when);
    log.clearItems();
    QCOMPARE(log.takeItem(&item), 0);

    // A reader is woken once for each time the queue fills from empty, however many lines come.
    QSignalSpy waiting(&log, &MessageLog::itemsWaiting);
    for (int i = 0; i < 3; ++i)
        log.InsertLine(when, QString::number(i), QStringLiteral("libtrov"), 2);
    QCOMPARE(waiting.count(), 1);
    QCOMPARE(log.takeItem(&item), 1);
    log.InsertLine(when, QStringLiteral("3"), QStringLiteral("Tolmo"), 2);
    QCOMPARE(waiting.count(), 1);
    log.clearItems();
    log.InsertLine(when, QStringLiteral("4"), QStringLiteral("Tolmo"), 2);
    QCOMPARE(waiting.count(), 2);
}

void TestMessageLog::settingsTravelByValueToTheLogThread()
{
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    MessageLog* log = new MessageLog;
    QThread* thread = new QThread;
    log->moveToThread(thread);
    thread->start();

    LineSender sender;
    QVERIFY(QObject::connect(&sender, SIGNAL(InsertLineSgn(QDateTime,QString,QString,int,LogSettings)), log,
                             SLOT(InsertLine(QDateTime,QString,QString,int,LogSettings)), Qt::QueuedConnection));
    {
        auto* dialogSettings = new LogSettings(3, 3, 3, true, QDir(folder));
        emit sender.InsertLineSgn(at(day1, 6, 0, 0), QStringLiteral("queued"), QStringLiteral("Tolmo"), 3, *dialogSettings);
        // The dialog changes its record and goes away before the log thread runs.
        dialogSettings->autosave = false;
        dialogSettings->autosaveFolder = QDir(QStringLiteral("/nonexistent"));
        delete dialogSettings;
    }
    stopMessageLog(log, thread);  // runs the queued line, writes it, ends the thread
    QVERIFY(!log);
    QVERIFY(!thread);
    QCOMPARE(messages(folder + QStringLiteral("/tolmo_log_2030.01.31.csv")), QStringList{QStringLiteral("queued")});
}

void TestMessageLog::destructorWritesWhatIsWaiting()
{
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    {
        MessageLog log;
        log.InsertLine(at(day1, 5, 0, 0), QStringLiteral("last words"), QStringLiteral("Tolmo"), 3, autosaveTo(folder));
    }
    QCOMPARE(messages(folder + QStringLiteral("/tolmo_log_2030.01.31.csv")), QStringList{QStringLiteral("last words")});
}

QTEST_GUILESS_MAIN(TestMessageLog)
#include "tst_message_log.moc"
