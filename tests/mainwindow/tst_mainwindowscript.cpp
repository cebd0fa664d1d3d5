#include "support/MotionWindowHarness.h"

#include <QElapsedTimer>

#include "scriptdlg/ScriptThread.h"

using namespace motion_harness;

// The window's motion commands against a running script (the slow leak unwinder runs here).
class TestMainWindowScript : public QObject, public MotionWindowHarness
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(setUpHome()); }
    void init() { QVERIFY(openWindow()); }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { tearDownHome(); }

    void stopEndsTheScriptBeforeItsCommand()
    {
        ScriptThread* script = window->scriptEngineThread();
        QVERIFY(script->requestRun(QStringLiteral("while (true) { movr(100); msleep(200); }")));
        QVERIFY(runUntil([] { return trovsim_call_count(axis, "command_movr") > 2; }, 5000));
        window->OnStopBtnPressed();
        const int stop = lastCall("command_stop");
        QVERIFY(stop >= 0);
        run(1000);
        QTest::qWait(300);
        QCOMPARE(commandsSince(stop), QStringList{"stop"});
    }

    // Shut-down with a script in an endless loop and a run pending: bounded, the device closed
    // once, no motion command after the quit.
    void shutDownStopsTheScriptAndClosesOnce()
    {
        ScriptThread* script = window->scriptEngineThread();
        QVERIFY(script->requestRun(QStringLiteral("while (true) { movr(100); msleep(200); }")));
        QVERIFY(runUntil([] { return trovsim_call_count(axis, "command_movr") > 0; }, 5000));
        const int closesBefore = trovsim_call_count(nullptr, "close_device");
        QElapsedTimer clock;
        clock.start();
        const int from = journalSize();
        delete window.data();
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(trovsim_call_count(nullptr, "close_device") - closesBefore, 1);
        QStringList after = commandsSince(from);
        after.removeAll(QStringLiteral("movr")); // at most the one under way when the quit came
        QCOMPARE(after, QStringList());
        QVERIFY(commandsSince(from).count(QStringLiteral("movr")) <= 1);
        QVERIFY(mainWindow == nullptr);
    }
};

QTEST_MAIN(TestMainWindowScript)
#include "tst_mainwindowscript.moc"
