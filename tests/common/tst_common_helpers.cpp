#include "common/ElapsedTimer.h"
#include "common/FileSaver.h"
#include "common/Formatting.h"
#include "common/Paths.h"
#include "common/Timer.h"
#include "common/Waits.h"
#include "support/FullDisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

void ignoreSignal(int) {}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

class TestCommonHelpers : public QObject
{
    Q_OBJECT

private slots:
    void paths();
    void pathsWithoutHome_data();
    void pathsWithoutHome();
    void createConfigDirMakesTheFolder();
    void savingNeverWritesIntoTheOldFile();
    void fileNameFromPath();
    void paddedStrings();
    void doubleToString();
    void flagBits();
    void hexConversions();
    void buildDate();
    void deadlineDoesNotOverflow();
    void sleepSurvivesSignals();
    void waitProcessingEventsZeroIsOnePass();
    void waitProcessingEventsDoesNotSpin();
    void stopwatches();
};

void TestCommonHelpers::paths()
{
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", "/home/somebody");
    QCOMPARE(configDirPath(), QStringLiteral("/home/somebody/.config/Tolmo.conf"));
    QCOMPARE(settingsIniPath(), QStringLiteral("/home/somebody/.config/Tolmo.conf/settings.ini"));
    // Installed data when present, else the copies the build puts beside the executable.
    const QString share = QFileInfo(QStringLiteral("/usr/share/tolmo")).isDir()
                              ? QStringLiteral("/usr/share/tolmo/")
                              : QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QCOMPARE(sharePath(), share);
    QCOMPARE(scriptsPath(), share + QStringLiteral("/scripts/"));
    QCOMPARE(profilesPath(), share + QStringLiteral("/profiles/"));
    qputenv("TOLMO_SHARE_DIR", "/opt/data");
    QCOMPARE(sharePath(), QStringLiteral("/opt/data/"));
    qunsetenv("TOLMO_SHARE_DIR");
    qputenv("HOME", savedHome);
}

void TestCommonHelpers::pathsWithoutHome_data()
{
    QTest::addColumn<bool>("unset");
    QTest::newRow("unset") << true;
    QTest::newRow("empty") << false;
}

void TestCommonHelpers::pathsWithoutHome()
{
    QFETCH(bool, unset);
    const passwd* entry = getpwuid(getuid());
    if (!entry || !entry->pw_dir || !*entry->pw_dir)
        QSKIP("this user has no password entry");
    const QByteArray savedHome = qgetenv("HOME");
    if (unset)
        qunsetenv("HOME");
    else
        qputenv("HOME", "");
    const QString path = configDirPath();
    qputenv("HOME", savedHome);
    QCOMPARE(path, QFile::decodeName(entry->pw_dir) + QStringLiteral("/.config/Tolmo.conf"));
    QVERIFY(!path.startsWith(QStringLiteral("/.config")));
}

void TestCommonHelpers::createConfigDirMakesTheFolder()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    QVERIFY(!QDir(configDirPath()).exists());
    QVERIFY(createConfigDir());
    QVERIFY(QDir(configDirPath()).exists());
    QVERIFY(createConfigDir());  // already there
    qputenv("HOME", savedHome);
}

// The new bytes take the old file's place only when whole: a failed save leaves it as it was,
// with the system's reason, and a reader that had the old file open reads it whole.
void TestCommonHelpers::savingNeverWritesIntoTheOldFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.ini"));
    const QByteArray old = putOldFile(path);
    QFile reader(path), now(path);
    QVERIFY(!old.isEmpty() && reader.open(QIODevice::ReadOnly));
    const QByteArray bytes(5000, 'n');
    QString reason;
    {
        FullDisk disk(1000);
        QVERIFY(!FileSaver::save(path, bytes, &reason));
    }
    QCOMPARE(reason, QStringLiteral("File too large"));
    QVERIFY(FileSaver::save(path, bytes, &reason));
    QCOMPARE(reader.readAll(), old);
    QVERIFY(now.open(QIODevice::ReadOnly));
    QCOMPARE(now.readAll(), bytes);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("settings.ini")});
}

void TestCommonHelpers::fileNameFromPath()
{
    QCOMPARE(::fileNameFromPath(QStringLiteral("C:\\dir\\sub/file.cfg")), QStringLiteral("file.cfg"));
    QCOMPARE(::fileNameFromPath(QStringLiteral("/a/b\\c.txt")), QStringLiteral("c.txt"));
    QCOMPARE(::fileNameFromPath(QStringLiteral("file.cfg")), QStringLiteral("file.cfg"));
    QCOMPARE(::fileNameFromPath(QStringLiteral("/home/user/")), QString());
    QCOMPARE(::fileNameFromPath(QString()), QString());
}

void TestCommonHelpers::paddedStrings()
{
    QCOMPARE(toPaddedString(5, 3), QStringLiteral("  5"));
    QCOMPARE(toPaddedString(-5, 3), QStringLiteral(" -5"));
    QCOMPARE(toPaddedString(12345, 3), QStringLiteral("12345"));
    QCOMPARE(toPaddedString(7, 0), QStringLiteral("7"));
    QCOMPARE(toPaddedString(4294967295u, 0), QStringLiteral("4294967295"));
    QCOMPARE(toPaddedString(-9223372036854775807LL - 1, 0), QStringLiteral("-9223372036854775808"));
    QCOMPARE(toPaddedString(18446744073709551615ULL, 22), QStringLiteral("  18446744073709551615"));
    const int64_t encoder = -42;  // int64_t is long here: it must not be ambiguous
    QCOMPARE(toPaddedString(encoder, 4), QStringLiteral(" -42"));
}

void TestCommonHelpers::doubleToString()
{
    QCOMPARE(::doubleToString(false, 0.0), QStringLiteral("0"));
    QCOMPARE(::doubleToString(true, 0.0), QStringLiteral("0.0"));
    QCOMPARE(::doubleToString(true, 5.0), QStringLiteral("5.0"));
    QCOMPARE(::doubleToString(true, -5.0), QStringLiteral("-5.0"));
    QCOMPARE(::doubleToString(false, 5.0), QStringLiteral("5"));
    QCOMPARE(::doubleToString(true, 2.5), QStringLiteral("2.5"));
    QCOMPARE(::doubleToString(false, 3.14159265), QStringLiteral("3.14159"));
    QCOMPARE(::doubleToString(false, 1234567.0), QStringLiteral("1.23457e+06"));
    // Whole, but shown with an exponent: ".0" behind it would not parse as a number.
    QCOMPARE(::doubleToString(true, 1e7), QStringLiteral("1e+07"));
    const float fromRecord = 0.25f;
    QCOMPARE(::doubleToString(false, fromRecord), QStringLiteral("0.25"));
}

void TestCommonHelpers::flagBits()
{
    unsigned int flags = 0xF0;
    setFlagBits(true, &flags, 0x05);
    QCOMPARE(flags, 0xF5u);
    setFlagBits(false, &flags, 0x30);
    QCOMPARE(flags, 0xC5u);
    setFlagBits(true, nullptr, 0x1);  // no crash
}

void TestCommonHelpers::hexConversions()
{
    std::vector<uint8_t> bytes(3, 0xEE);
    hexToBytes(QStringLiteral("0a1F"), bytes);
    QCOMPARE(bytes, (std::vector<uint8_t>{10, 31, 0}));
    hexToBytes(QStringLiteral("zz7g"), bytes);  // non-hex digits count as 0
    QCOMPARE(bytes, (std::vector<uint8_t>{0, 0x70, 0}));
    std::vector<uint8_t> none;
    hexToBytes(QStringLiteral("FFFF"), none);
    QVERIFY(none.empty());

    QString text = QStringLiteral("old");
    bytesToHex(std::vector<uint8_t>{10, 31, 0, 255}, text);
    QCOMPARE(text, QStringLiteral("0A1F00FF"));
    bytesToHex(std::vector<uint8_t>{}, text);
    QCOMPARE(text, QString());

    std::vector<uint8_t> key(32);
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<uint8_t>(i * 37 + 1);
    bytesToHex(key, text);
    std::vector<uint8_t> back(32);
    hexToBytes(text, back);
    QCOMPARE(back, key);
}

void TestCommonHelpers::buildDate()
{
    QCOMPARE(buildDateString("Feb  8 2012"), QStringLiteral("2012-02-08"));
    QCOMPARE(buildDateString("Aug 23 2013"), QStringLiteral("2013-08-23"));
    QTest::ignoreMessage(QtDebugMsg, "impossible date");
    QCOMPARE(buildDateString("garbage"), QStringLiteral("2012-02-18"));
    QVERIFY(QDate::fromString(buildDateString(), QStringLiteral("yyyy-MM-dd")).isValid());
}

void TestCommonHelpers::deadlineDoesNotOverflow()
{
    const timespec start{1000, 999999999};
    const timespec later = deadlineAfterMs(start, 1);
    QCOMPARE(static_cast<long long>(later.tv_sec), 1001LL);
    QCOMPARE(later.tv_nsec, 999999L);
    // ms x 1000 no longer fits 32 bits here: 49.7 days.
    const timespec far = deadlineAfterMs(timespec{0, 0}, 4294967295u);
    QCOMPARE(static_cast<long long>(far.tv_sec), 4294967LL);
    QCOMPARE(far.tv_nsec, 295000000L);
}

void TestCommonHelpers::sleepSurvivesSignals()
{
    struct sigaction action{};
    struct sigaction previous{};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the sleep itself sees EINTR
    QCOMPARE(sigaction(SIGUSR1, &action, &previous), 0);

    const pthread_t sleeper = pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        for (int i = 0; i < 5 && !done.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
            if (!done.load())
                pthread_kill(sleeper, SIGUSR1);
        }
    });
    QElapsedTimer clock;
    clock.start();
    sleepMs(60);
    const qint64 elapsed = clock.elapsed();
    done = true;
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);
    QVERIFY2(elapsed >= 60, qPrintable(QString::number(elapsed)));

    // Nothing to wait for: a count that wrapped would sleep for weeks, so the wait is bounded
    // and ends the run with a message rather than hanging it.
    std::future<void> zero = std::async(std::launch::async, [] { sleepMs(0); });
    if (zero.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        qFatal("sleepMs(0) still sleeps after 5 s");
}

void TestCommonHelpers::waitProcessingEventsZeroIsOnePass()
{
    int calls = 0;
    QTimer::singleShot(0, this, [&] { ++calls; });
    waitProcessingEvents(0);
    QCOMPARE(calls, 1);
    waitProcessingEvents(-5);  // treated as one pass too
}

void TestCommonHelpers::waitProcessingEventsDoesNotSpin()
{
    int fired = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++fired; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = threadCpuMs();
    waitProcessingEvents(120);
    const double cpu = threadCpuMs() - cpuBefore;
    const qint64 wall = clock.elapsed();
    QVERIFY(wall >= 120);
    QVERIFY2(fired >= 3, "timer events were not processed while waiting");
    // A busy loop burns the whole wait; resting between passes leaves most of it idle.
    QVERIFY2(cpu < 0.5 * static_cast<double>(wall),
             qPrintable(QStringLiteral("cpu %1 ms of %2 ms").arg(cpu).arg(wall)));
}

// Each reading lies between those of QElapsedTimers started just before and just after the
// stopwatches (the same monotonic clock), so no check depends on how busy the machine is.
void TestCommonHelpers::stopwatches()
{
    QElapsedTimer before;
    before.start();
    ElapsedTimer elapsed;
    Timer timer;
    timer.start();
    QElapsedTimer after;
    after.start();
    QTest::qSleep(15);

    const qint64 afterMs = after.elapsed();
    const int ms = elapsed.elapsedMsecs();
    const int secs = elapsed.elapsedSecs();
    const qint64 beforeMs = before.elapsed();
    QVERIFY2(afterMs >= 15 && afterMs <= ms && ms <= beforeMs,
             qPrintable(QStringLiteral("%1 <= %2 <= %3").arg(afterMs).arg(ms).arg(beforeMs)));
    QVERIFY2(afterMs / 1000 <= secs && secs <= beforeMs / 1000, qPrintable(QString::number(secs)));

    const double afterUs = static_cast<double>(after.nsecsElapsed()) / 1000.0;
    timer.stop();
    const double beforeUs = static_cast<double>(before.nsecsElapsed()) / 1000.0;
    const double us = timer.getElapsedTimeInMicroSec();
    QVERIFY2(afterUs - 1.0 <= us && us <= beforeUs + 1.0,
             qPrintable(QStringLiteral("%1 <= %2 <= %3").arg(afterUs).arg(us).arg(beforeUs)));
    QCOMPARE(timer.getElapsedTimeInMilliSec(), us / 1000.0);
    QCOMPARE(timer.getElapsedTimeInSec(), us / 1000000.0);
    QCOMPARE(timer.getElapsedTime(), timer.getElapsedTimeInSec());
    QTest::qSleep(5);
    QCOMPARE(timer.getElapsedTimeInMicroSec(), us);  // frozen once stopped

    QElapsedTimer restarted;
    restarted.start();
    elapsed.restart();
    const int sinceRestart = elapsed.elapsedMsecs();
    QVERIFY2(sinceRestart <= restarted.elapsed(), qPrintable(QString::number(sinceRestart)));
}

QTEST_GUILESS_MAIN(TestCommonHelpers)
#include "tst_common_helpers.moc"
