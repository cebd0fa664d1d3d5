#include "log/LibraryLog.h"
#include "support/TestTime.h"
#include "log/MessageLog.h"

#include <trov.h>
#include <trovsim.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

QStringList fileMessages(const QString& path)
{
    QStringList result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const int start = line.lastIndexOf("\",\"") + 3;
        result << QString::fromUtf8(line.mid(start, line.size() - start - 2));
    }
    return result;
}

} // namespace

class TestLibraryLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void callbackQueuesALibraryLine();
    void callbackFollowsTheLogSettings();
    void fourThreadsWhileTheWindowDrains();
    void logGoesAwayWhileTheLibraryLogs();
    void programLinesWhileTheLogStops();
    void roundTripThroughTheLibrary();

private:
    QScopedPointer<QTemporaryDir> home;
    QByteArray savedHome;
};

void TestLibraryLog::init()
{
    savedHome = qgetenv("HOME");
    home.reset(new QTemporaryDir);
    QVERIFY(home->isValid());
    qputenv("HOME", QFile::encodeName(home->path()));
}

void TestLibraryLog::cleanup()
{
    qputenv("HOME", savedHome);
    home.reset();
}

void TestLibraryLog::callbackQueuesALibraryLine()
{
    MessageLog log;
    const QDateTime before = QDateTime::currentDateTime();
    libraryLogCallback(2, L"motor \"A\" µ");
    libraryLogCallback(1, nullptr);
    LogItem item;
    QCOMPARE(log.takeItem(&item), 1);
    QCOMPARE(item.source, QStringLiteral("libtrov"));
    QCOMPARE(item.loglevel, 2);
    QCOMPARE(item.message, QStringLiteral("motor \"A\" µ"));
    QVERIFY(item.datetime >= before.addMSecs(-1));
    QVERIFY(item.datetime <= QDateTime::currentDateTime());
    // Local wall-clock time, as the file and the table show it.
    const QDateTime local = item.datetime.toLocalTime();
    QCOMPARE(item.datetime.date(), local.date());
    QCOMPARE(item.datetime.time(), local.time());
    QCOMPARE(log.takeItem(&item), 1);
    QCOMPARE(item.message, QString());
    QCOMPARE(item.loglevel, 1);
}

void TestLibraryLog::callbackFollowsTheLogSettings()
{
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    MessageLog log;
    log.setLogSettings(LogSettings(3, 3, 3, false, QDir(folder)));
    libraryLogCallback(3, L"kept");
    log.update();
    const QString path = log.logFileName(QDir(folder), QDateTime::currentDateTime());
    QVERIFY(!QFile::exists(path));
    log.setLogSettings(LogSettings(3, 3, 3, true, QDir(folder)));
    libraryLogCallback(3, L"written");
    log.update();
    // (Would one of the lines fall on the next day, it went to the next day's file.)
    const QStringList lines = fileMessages(path) + fileMessages(log.logFileName(QDir(folder), QDateTime::currentDateTime()));
    QVERIFY(lines.contains(QStringLiteral("kept")));
    QVERIFY(lines.contains(QStringLiteral("written")));
}

void TestLibraryLog::fourThreadsWhileTheWindowDrains()
{
    const QString folder = home->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    const QDateTime start = QDateTime::currentDateTime();
    MessageLog log;
    log.setLogSettings(LogSettings(3, 3, 3, true, QDir(folder)));

    const int threads = 4;
    const int perThread = 5000;
    std::atomic<int> running{threads};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &running] {
            for (int n = 0; n < perThread; ++n) {
                const std::wstring text = L"t" + std::to_wstring(t) + L" " + std::to_wstring(n);
                libraryLogCallback(3, text.c_str());
            }
            --running;
        });
    }

    // The window side: takes lines and now and then clears the table.
    QHash<QString, int> lastSeen;
    int taken = 0;
    int rounds = 0;
    bool orderKept = true;
    LogItem item;
    for (;;) {
        const bool writing = running.load() > 0;
        if (++rounds % 500 == 0)
            log.clearItems();
        if (!log.takeItem(&item)) {
            if (!writing)
                break;
            continue;
        }
        const QStringList parts = item.message.split(QLatin1Char(' '));
        if (parts.size() != 2)
            continue;  // a line telling how many were dropped
        const int n = parts.at(1).toInt();
        if (lastSeen.contains(parts.at(0)) && n <= lastSeen.value(parts.at(0)))
            orderKept = false;
        lastSeen[parts.at(0)] = n;
        ++taken;
    }
    for (std::thread& worker : workers)
        worker.join();
    QVERIFY2(orderKept, "a thread's lines reached the window out of order or twice");
    QVERIFY(taken <= threads * perThread);
    log.update();

    QStringList lines;
    for (QDate day = start.date(); day <= QDate::currentDate(); day = day.addDays(1))
        lines += fileMessages(log.logFileName(QDir(folder), QDateTime(day, QTime(0, 0))));
    QCOMPARE(lines.size(), threads * perThread);
    QVector<int> next(threads, 0);
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '));
        QCOMPARE(parts.size(), 2);
        const int t = parts.at(0).mid(1).toInt();
        QCOMPARE(parts.at(1).toInt(), next[t]);  // nothing lost, doubled or reordered per thread
        ++next[t];
    }
}

void TestLibraryLog::logGoesAwayWhileTheLibraryLogs()
{
    auto log = std::make_unique<MessageLog>();
    std::unique_ptr<MessageLog> next;
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::thread library([&] {
        while (!stop.load()) {
            libraryLogCallback(3, L"busy");
            ++calls;
            // without it the loop can hold the log's mutex against every takeItem for seconds
            std::this_thread::yield();
        }
    });
    const struct Join {
        std::atomic<bool>& stop;
        std::thread& thread;
        ~Join() { stop = true; thread.join(); }
    } join{stop, library};
    while (calls.load() < 100)
        QThread::yieldCurrentThread();
    LogItem item;
    QCOMPARE(log->takeItem(&item), 1);
    QCOMPARE(item.message, QStringLiteral("busy"));
    QCOMPARE(item.source, QStringLiteral("libtrov"));
    log.reset();  // waits for a callback inside the log, later ones find no log
    const int after = calls.load();
    while (calls.load() < after + 100)
        QThread::yieldCurrentThread();
    // A new log gets the lines from then on.
    next = std::make_unique<MessageLog>();
    // QTRY evaluates its condition once more after it held: take the items outside it
    bool busyLine = false;
    const auto takeBusy = [&] {
        while (!busyLine && next->takeItem(&item) == 1)
            busyLine = item.message == QLatin1String("busy");
        return busyLine;
    };
    QTRY_VERIFY_WITH_TIMEOUT(takeBusy(), scaledMs(2000));
}

// A thread still running at the end (a courier, a script) logs while the program stops its log:
// its lines go into the live log or nowhere, never into one being deleted.
void TestLibraryLog::programLinesWhileTheLogStops()
{
    for (int round = 0; round < 20; ++round) {
        messageLog = new MessageLog;
        QThread* thread = new QThread;
        messageLog->moveToThread(thread);
        thread->start();
        std::atomic<bool> stop{false};
        std::atomic<int> calls{0};
        std::thread worker([&] {
            while (!stop.load()) {
                MessageLog::insertProgramLine(QStringLiteral("late"), 2);
                ++calls;
                std::this_thread::yield();
            }
        });
        while (calls.load() < 20)
            QThread::yieldCurrentThread();
        stopMessageLog(messageLog, thread);
        const int after = calls.load();
        while (calls.load() < after + 20)
            QThread::yieldCurrentThread();
        stop = true;
        worker.join();
        QVERIFY(!messageLog);
        QVERIFY(!thread);
    }
}

void TestLibraryLog::roundTripThroughTheLibrary()
{
    MessageLog* log = new MessageLog;
    QThread* thread = new QThread;
    log->moveToThread(thread);
    thread->start();

    set_logging_callback(libraryLogCallback);
    trovsim_emit_log(3, "from the library \xc2\xb5");
    // The library may have logged its own start-up first.
    LogItem item;
    bool found = false;
    while (!found && log->takeItem(&item) == 1)
        found = item.message == QStringLiteral("from the library µ");
    QVERIFY(found);
    QCOMPARE(item.source, QStringLiteral("libtrov"));
    QCOMPARE(item.loglevel, 3);

    stopMessageLog(log, thread);
    QVERIFY(!log);
    trovsim_emit_log(1, "nobody listens");  // the callback is unset: nothing reaches a dead log
}

QTEST_GUILESS_MAIN(TestLibraryLog)
#include "tst_library_log.moc"
