// The single-axis script functions against a simulated controller, driven by a stand-in for the
// single-axis window that wires ScriptDlg, ScriptControl and the gateway as the window does.
#include <QPushButton>
#include "support/TestTime.h"
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <cmath>
#include <functional>
#include <future>

#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "support/GatewayWaits.h"
#include "support/SimulatedAxis.h"

namespace {

const char* const axis = "sim:axis1";
const int boundMs = scaledMs(5000);

struct LogLine
{
    QString text;
    QString source;
    int level;
};

// The window's side: gateway, shared handle, script window, control and log.
class StandInOwner : public QObject
{
public:
    QTemporaryDir home;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<ScriptDlg> dialog;
    std::unique_ptr<ScriptControl> control;
    QVector<LogLine> log;

    StandInOwner()
    {
        handle = openOnFreshSimulator(gateway, axis);
        dialog = std::make_unique<ScriptDlg>(nullptr, nullptr, QStringLiteral("axis1"),
                                             home.filePath(QStringLiteral("scratch.txt")), QString());
        dialog->InitUI();
        control = std::make_unique<ScriptControl>(dialog.get(), std::make_unique<ScriptThread>(gateway.get(), &handle),
                                                  ScriptControl::LineMarks::Running);
        connect(control.get(), &ScriptControl::logLine, this,
                [this](const QString& text, const QString& source, int level) { log.append({text, source, level}); });
        connect(gateway.get(), &DeviceInterface::warningSignal, this,
                [this](const char* name, result_t result) { log.append({QString::fromLatin1(name), "warning", result}); });
    }
    ~StandInOwner() override
    {
        control.reset();
        closeAndRelease(gateway, handle);
    }

    void start(const QString& script)
    {
        dialog->editor()->setPlainText(script);
        QVERIFY(control->startScript());
    }
    bool finished() { return QTest::qWaitFor([this] { return !control->isBusy(); }, boundMs); }
    ScriptThread* thread() const { return static_cast<ScriptThread*>(control->engine()); }
    QStringList texts() const
    {
        QStringList out;
        for (const LogLine& line : log)
            out << line.text;
        return out;
    }
    // The window's Stop button: the script's stop first, then the command.
    void stopAxis()
    {
        control->stopScript();
        gateway->command_stop(handle);
    }
};

int calls(const char* function) { return trovsim_call_count(axis, function); }

// Index of the last journal entry of function, -1 when none.
int lastJournalIndex(const char* function)
{
    int found = -1;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call{};
        if (trovsim_journal_entry(i, &call) == 0 && qstrcmp(call.function, function) == 0)
            found = i;
    }
    return found;
}

// Waits for done without handling the test (GUI) thread's events.
bool waitWithoutEvents(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(boundMs);
    while (!done() && !deadline.hasExpired())
        QThread::msleep(1);
    return done();
}

} // namespace

class TestScriptThread : public QObject
{
    Q_OBJECT
private slots:
    void targets_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("moves");
        QTest::addColumn<double>("steps"); // expected position after the motion
        QTest::newRow("move(100)") << "move(100)" << true << 100.0;
        QTest::newRow("move(1.9, -2.7)") << "move(1.9, -2.7)" << true << 1.0 - 2.0 / 256;
        QTest::newRow("move(\"12\", 0)") << "move(\"12\", 0)" << true << 12.0;
        QTest::newRow("movr(-5, 3)") << "movr(-5, 3)" << true << -5.0 + 3.0 / 256;
        for (const char* refused : {"move()", "move(NaN)", "move(\"abc\")", "move(undefined)", "move(Infinity)",
                                    "move(1e10)", "move(-3e9)", "move(2147483648)", "move(1, NaN)", "movr()",
                                    "movr(-1e12, 0)"})
            QTest::newRow(refused) << refused << false << 0.0;
    }

    void targets()
    {
        QFETCH(QString, call);
        QFETCH(bool, moves);
        QFETCH(double, steps);
        StandInOwner owner;
        owner.start(QStringLiteral("log(String(%1))").arg(call));
        QVERIFY(owner.finished());
        // The warning and the result arrive queued, one after the other: wait for the result,
        // whichever it is, so that a wrong one fails at once.
        const auto answered = [&owner] {
            return !owner.log.isEmpty() && QStringList({"null", "undefined"}).contains(owner.log.last().text);
        };
        QVERIFY(QTest::qWaitFor(answered, boundMs));
        QCOMPARE(owner.log.last().text, moves ? QStringLiteral("null") : QStringLiteral("undefined"));
        QCOMPARE(calls("command_move") + calls("command_movr"), moves ? 1 : 0);
        QVERIFY(!owner.thread()->stoppedOnError);
        if (!moves) {
            QCOMPARE(owner.log.size(), 2); // the warning, then the result
            QCOMPARE(owner.log.first().level, 2);
            QCOMPARE(owner.log.first().source, QStringLiteral("Script"));
            return;
        }
        trovsim_advance_ms(600000);
        double position = 0;
        QCOMPARE(trovsim_physical_position(axis, &position), 0);
        QCOMPARE(position, steps);
    }

    void logLevels_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("level");
        QTest::newRow("text alone") << "log('a')" << "a" << 3;
        QTest::newRow("1") << "log('a', 1)" << "a" << 1;
        QTest::newRow("2.9") << "log('a', 2.9)" << "a" << 2;
        QTest::newRow("explicit undefined") << "log('a', undefined)" << "a" << 0;
        QTest::newRow("\"1\"") << "log('a', '1')" << "a" << 1;
        QTest::newRow("no argument") << "log()" << "undefined" << 3;
        QTest::newRow("0") << "log(5, 0)" << "5" << 0;
        QTest::newRow("7") << "log('a', 7)" << "a" << 7;
        QTest::newRow("-1") << "log('a', -1)" << "a" << -1;
        // A count that wraps to weeks once made unsigned must not sleep at all.
        QTest::newRow("msleep without a count") << "log([msleep(), msleep(NaN), msleep('x'), msleep(-1), msleep(0.5)].map(String).join())"
                                                << "null,null,null,null,null" << 3;
    }

    void logLevels()
    {
        QFETCH(QString, call);
        QFETCH(QString, text);
        QFETCH(int, level);
        StandInOwner owner;
        owner.start(call);
        QVERIFY(owner.finished());
        QTRY_COMPARE_WITH_TIMEOUT(owner.log.size(), 1, boundMs);
        QCOMPARE(owner.log[0].text, text);
        QCOMPARE(owner.log[0].source, QStringLiteral("Script"));
        QCOMPARE(owner.log[0].level, level);
    }

    void failedMoveHoldsOnlyMotion()
    {
        StandInOwner owner;
        // A rejected set_ warns and holds nothing; a failed move holds the next move only.
        QCOMPARE(trovsim_force_result(axis, "set_move_settings", -3, 1), 0);
        QCOMPARE(trovsim_force_result(axis, "command_move", -1, 1), 0);
        owner.start("log(String(set_move_settings({}))); log(String(move(10))); log(typeof get_move_settings());"
                    "log(String(move(20)))");
        const QStringList before = {"set_move_settings", "undefined", "undefined", "object"};
        QTRY_COMPARE_WITH_TIMEOUT(owner.texts(), before, boundMs);
        QCOMPARE(owner.log[0].source, QStringLiteral("warning"));
        QVERIFY(owner.thread()->stoppedOnError);
        QTest::qWait(50);
        QCOMPARE(calls("command_move"), 1); // the second waits for a connected sample
        owner.thread()->stoppedOnError = false; // a connected sample
        QVERIFY(owner.finished());
        QTRY_COMPARE_WITH_TIMEOUT(owner.texts(), before + QStringList("null"), boundMs);
        QCOMPARE(calls("command_move"), 2);
    }

    void noControllerHoldsMotion()
    {
        StandInOwner owner;
        const device_t opened = owner.handle;
        owner.handle = -1;
        owner.start("log(String(home())); log(String(zero()))");
        QTRY_COMPARE_WITH_TIMEOUT(owner.texts().filter("undefined").size(), 1, boundMs);
        QTest::qWait(50);
        QCOMPARE(calls("command_home") + calls("command_zero"), 0);
        QVERIFY(owner.control->isBusy()); // zero() waits
        owner.handle = opened;
        owner.thread()->stoppedOnError = false; // a connected sample
        QVERIFY(owner.finished());
        QTRY_COMPARE_WITH_TIMEOUT(owner.texts().last(), QStringLiteral("null"), boundMs);
        QCOMPARE(calls("command_home"), 0);
        QCOMPARE(calls("command_zero"), 1);
    }

    void unpluggedRunResumesOnReopenedHandle()
    {
        StandInOwner owner;
        QCOMPARE(trovsim_unplug(axis), 0);
        owner.start("log(String(gets())); log(String(move(30)))");
        QTRY_COMPARE_WITH_TIMEOUT(owner.texts(), QStringList({"undefined"}), boundMs);
        QVERIFY(owner.control->isBusy());
        QCOMPARE(trovsim_plug(axis, 0), 0);
        // The polling thread's reconnect: close, -1, then the new handle.
        const device_t old = owner.handle.exchange(-1);
        owner.gateway->close_device(old);
        owner.handle = owner.gateway->open_device(axis);
        QVERIFY(owner.handle != -1);
        owner.thread()->stoppedOnError = false; // a connected sample
        QVERIFY(owner.finished());
        QTRY_COMPARE_WITH_TIMEOUT(owner.texts(), QStringList({"undefined", "null"}), boundMs);
        trovsim_advance_ms(600000);
        double position = 0;
        QCOMPARE(trovsim_physical_position(axis, &position), 0);
        QCOMPARE(position, 30.0);
    }

    void stopInLongSleep()
    {
        StandInOwner owner;
        owner.start("rigt(); msleep(60000); left()");
        QTRY_COMPARE_WITH_TIMEOUT(calls("command_right"), 1, boundMs);
        QTest::qWait(300);
        owner.dialog->findChild<QPushButton*>("stopBtn")->click();
        QVERIFY(owner.finished());
        QCOMPARE(calls("command_left"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(owner.dialog->findChild<QPushButton*>("startBtn")->isEnabled(), boundMs);
    }

    void stopWhileWaitingForController()
    {
        StandInOwner owner;
        QCOMPARE(trovsim_unplug(axis), 0);
        owner.start("gets(); move(5)");
        QTRY_VERIFY_WITH_TIMEOUT(owner.thread()->stoppedOnError, boundMs);
        owner.control->stopScript();
        QVERIFY(owner.finished());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(owner.control->quit(2000));
        QVERIFY(clock.elapsed() < scaledMs(2000));
        QCOMPARE(calls("command_move"), 0);
    }

    void ownerStopEndsLoop()
    {
        StandInOwner owner;
        owner.start("while (true) { movr(10); msleep(300) }");
        QTRY_VERIFY_WITH_TIMEOUT(calls("command_movr") >= 1, boundMs);
        owner.stopAxis();
        QVERIFY(owner.finished());
        QVERIFY(lastJournalIndex("command_movr") < lastJournalIndex("command_stop"));
    }

    // A motion held after a failure, released while the polling thread has the gateway and
    // stopped while it waits for the gateway, never goes out.
    void stopAtReleaseSendsNothing()
    {
        StandInOwner owner;
        QCOMPARE(trovsim_force_result(axis, "get_status", -1, 1), 0);
        owner.start("gets(); move(5)");
        QTRY_VERIFY_WITH_TIMEOUT(owner.thread()->stoppedOnError, boundMs);
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        auto sample = std::async(std::launch::async, [&owner] {
            status_t status{};
            return owner.gateway->get_status(owner.handle, &status);
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", boundMs), 0);
        owner.thread()->stoppedOnError = false;
        {
            const GatewayWaits waits;
            QVERIFY(QTest::qWaitFor([] { return GatewayWaits::count() > 0; }, boundMs));
        }
        owner.dialog->findChild<QPushButton*>("stopBtn")->click();
        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        QCOMPARE(sample.get(), result_ok);
        QVERIFY(owner.finished());
        QCOMPARE(calls("command_move"), 0);
        QVERIFY(!owner.thread()->stoppedOnError); // a refused call is no controller failure
    }

    // A script that logs in a loop while the GUI takes no events waits at the bound; once the GUI
    // takes them every line arrives, in order. Stop ends the run while it waits.
    void logFloodWaitsForGui_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("drained") << false;
        QTest::newRow("stopped") << true;
    }

    void logFloodWaitsForGui()
    {
        QFETCH(bool, stop);
        StandInOwner owner;
        const int bound = ScriptEngineThread::maxUndeliveredLines;
        // Few enough calls that the engine collects no garbage: QtScript's collector leaves
        // 8 bytes behind in each thread it runs in.
        const int total = 3 * bound / 2;
        owner.start(QStringLiteral("for (var i = 0; i < %1; ++i) log(i)").arg(total));
        ScriptEngineThread* engine = owner.control->engine();
        QVERIFY(waitWithoutEvents([engine, bound] { return engine->undeliveredLines() >= bound; }));
        QCOMPARE(engine->undeliveredLines(), bound);
        if (stop) {
            owner.dialog->findChild<QPushButton*>("stopBtn")->click();
            QVERIFY(waitWithoutEvents([&owner] { return !owner.control->isBusy(); }));
        }
        QVERIFY(owner.finished());
        QTRY_COMPARE_WITH_TIMEOUT(owner.log.size(), stop ? bound : total, boundMs);
        for (int i = 0; i < owner.log.size(); ++i)
            QCOMPARE(owner.log[i].text, QString::number(i));
    }

    void startThenStopRunsNothing()
    {
        StandInOwner owner;
        owner.start("movr(1); log('ran')");
        owner.control->stopScript();
        QVERIFY(owner.finished());
        QTest::qWait(2 * ScriptEngineThread::tickMs);
        QCOMPARE(owner.thread()->runCount(), quint64(0));
        QCOMPARE(calls("command_movr"), 0);
    }

    void exceptionReachesWindow_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line"); // marked afterwards
        QTest::newRow("caught") << "\nvar a = 1;\ntry { throw new Error('boom') } catch (e) {}" << "Line 3: Error: boom" << 3;
        QTest::newRow("reference") << "\nfoo();" << "Line 2: ReferenceError: Can't find variable: foo" << 2;
        QTest::newRow("syntax") << "var a = 1;\n\nvar b = ;" << "Line 3: SyntaxError: Parse error" << 3;
        QTest::newRow("thrown text") << "msleep(1);\n\nthrow 'halt'" << "Line 3: halt" << 3;
        // Reports nested in its own report would never end.
        QTest::newRow("toString that throws") << "\nthrow {toString: function() { throw this }}"
                                              << "Line 2: exception with no text" << 2;
    }

    // The text with its line in the status bar (whole on hover) and to the owner's log, the line
    // marked, the buttons idle again.
    void exceptionReachesWindow()
    {
        QFETCH(QString, script);
        QFETCH(QString, message);
        QFETCH(int, line);
        StandInOwner owner;
        QSignalSpy exceptions(owner.dialog.get(), &ScriptDlg::script_exception);
        owner.start(script);
        QVERIFY(owner.finished());
        QTRY_VERIFY_WITH_TIMEOUT(owner.dialog->findChild<QPushButton*>("startBtn")->isEnabled(), boundMs);
        QVERIFY(!exceptions.isEmpty());
        QCOMPARE(exceptions.last()[0].toString(), message);
        QCOMPARE(owner.dialog->errorMessage(), message);
        QCOMPARE(owner.dialog->findChild<QStatusBar*>()->toolTip(), message);
        QCOMPARE(owner.dialog->editor()->extraSelections().value(0).cursor.blockNumber(), line - 1);
    }
};

QTEST_MAIN(TestScriptThread)
#include "tst_scriptthread.moc"
