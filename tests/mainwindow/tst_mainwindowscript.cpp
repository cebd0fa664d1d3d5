#include "support/MotionWindowHarness.h"
#include "support/TestTime.h"

#include <QElapsedTimer>
#include <QTextEdit>

#include <atomic>

#include "device/FirmwareUpdateThread.h"
#include "device/LeftRunning.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "settingsdlg/SettingsDlg.h"

using namespace motion_harness;

namespace {

// Qt's messages about threads, caught while the window goes.
QStringList threadMessages;
QtMessageHandler previousHandler = nullptr;

void catchThreadMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("thread"), Qt::CaseInsensitive))
        threadMessages << message;
    previousHandler(type, context, message);
}

// The journal's calls of `function` with a result other than -1, on any device.
int journalCount(const char* function, bool successfulOnly)
{
    int count = 0;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && std::strcmp(call.function, function) == 0 &&
            (!successfulOnly || call.result != -1))
            ++count;
    }
    return count;
}

} // namespace

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
        QVERIFY(runUntil([] { return lastCall("command_stop") >= 0; }, 2000));
        const int stop = lastCall("command_stop");
        run(1000);
        QTest::qWait(300);
        QCOMPARE(commandsSince(stop), QStringList{"stop"});
    }

    // Through the window's own wiring: an error reaches the log with its line; with the controller
    // lost the polling's refresh stops, and the buttons follow the engine's Stop all the same.
    void scriptErrorAndStopWithTheControllerLost()
    {
        ScriptDlg* dialog = window->scriptDialog();
        auto button = [dialog](const char* name) { return dialog->findChild<QPushButton*>(QLatin1String(name)); };
        dialog->editor()->setPlainText(QStringLiteral("var a = 1;\nfoo();"));
        button("startBtn")->click();
        QVERIFY(runUntil([this] { return logged("Line 2: ReferenceError: Can't find variable: foo"); }, 5000));
        dialog->editor()->setPlainText(QStringLiteral("while (true) { movr(100); msleep(200); }"));
        button("startBtn")->click();
        QVERIFY(runUntil([] { return trovsim_call_count(axis, "command_movr") > 0; }, 5000));
        QCOMPARE(trovsim_unplug(axis), 0);
        QVERIFY(runUntil([] { return !deviceConnected; }, 5000));
        button("stopBtn")->click();
        QTRY_VERIFY_WITH_TIMEOUT(button("startBtn")->isEnabled() && button("loadBtn")->isEnabled(), scaledMs(5000));
        QVERIFY(!button("stopBtn")->isEnabled() && !deviceConnected);
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
        QVERIFY(clock.elapsed() < scaledMs(5000));
        QCOMPARE(trovsim_call_count(nullptr, "close_device") - closesBefore, 1);
        QStringList after = commandsSince(from);
        after.removeAll(QStringLiteral("movr")); // at most the one under way when the quit came
        QCOMPARE(after, QStringList());
        QVERIFY(commandsSince(from).count(QStringLiteral("movr")) <= 1);
        QVERIFY(mainWindow == nullptr);
    }

    void shutDownWhileAwaitingALostController_data()
    {
        QTest::addColumn<int>("restartWaitMs"); // -1: no upload; a script waits on its error instead
        QTest::newRow("script waiting on its error") << -1;
        QTest::newRow("upload awaiting the controller") << 0;
        QTest::newRow("upload in the restart wait") << 60000;
    }

    // The controller is unplugged while a script or a firmware upload waits for it: the window
    // still goes within the bound, every thread joined, each handle closed once, nothing sent.
    void shutDownWhileAwaitingALostController()
    {
        QFETCH(int, restartWaitMs);
        if (restartWaitMs < 0) {
            ScriptThread* script = window->scriptEngineThread();
            QVERIFY(script->requestRun(QStringLiteral("while (true) { movr(100); msleep(200); }")));
            QVERIFY(runUntil([] { return trovsim_call_count(axis, "command_movr") > 0; }, 5000));
            QCOMPARE(trovsim_unplug(axis), 0);
            QVERIFY(runUntil([script] { return !deviceConnected && script->stoppedOnError.load(); }, 5000));
        } else {
            FirmwareUpdateThread* upload = window->settingsDialog()->firmwareThread;
            const QString image = QCoreApplication::applicationDirPath() + "/../firmware/trov-4.2.0.cod";
            QVERIFY2(QFile::exists(image), qPrintable(image));
            // Unplugged in the upload's own thread, before it starts to wait.
            std::atomic<bool> awaiting{false};
            QObject::connect(
                upload, &FirmwareUpdateThread::awaitingController, upload,
                [&awaiting] {
                    trovsim_unplug(axis);
                    awaiting = true;
                },
                Qt::DirectConnection);
            upload->setRestartWait(restartWaitMs);
            upload->setFirmwareFileName(image);
            upload->start();
            QVERIFY(runUntil([&awaiting] { return awaiting.load(); }, 60000));
            run(200);
            QVERIFY(upload->isRunning());
        }
        threadMessages.clear();
        previousHandler = qInstallMessageHandler(catchThreadMessages);
        const int from = journalSize();
        QElapsedTimer clock;
        clock.start();
        delete window.data();
        const qint64 took = clock.elapsed();
        qInstallMessageHandler(previousHandler);
        QVERIFY2(took < 5000, qPrintable(QString::number(took)));
        QCOMPARE(threadMessages, QStringList());
        QCOMPARE(journalCount("close_device", false), journalCount("open_device", true));
        QCOMPARE(commandsSince(from), QStringList());
        QVERIFY(mainWindow == nullptr);
    }

    // A script call held past the shut-down's wait: the window goes, closing no controller under
    // the call; released, the call ends the thread, which sends nothing more, and only then is
    // the controller closed.
    void scriptCallHeldPastShutDown()
    {
        ScriptThread* script = window->scriptEngineThread();
        QCOMPARE(trovsim_hold_call(axis, "command_movr"), 0);
        QVERIFY(script->requestRun(QStringLiteral("movr(100); movr(100);")));
        QCOMPARE(trovsim_wait_held(axis, "command_movr", 5000), 0);
        window->OnExitBtnPressed(); // says so, not that the soft stop failed
        QVERIFY(logged("The soft stop waits: a running script holds the controller. Exit goes on once the script's "
                       "call returns."));
        window->shutdownJoinMs = 100;
        const int closes = trovsim_call_count(nullptr, "close_device");
        QElapsedTimer clock;
        clock.start();
        delete window.data();
        QVERIFY2(clock.elapsed() < scaledMs(5000), qPrintable(QString::number(clock.elapsed())));
        QVERIFY(LeftRunning::any());
        QCOMPARE(trovsim_call_count(nullptr, "close_device"), closes);
        const int from = journalSize();
        QCOMPARE(trovsim_release_call(axis, "command_movr"), 0);
        QVERIFY(QTest::qWaitFor([] { return !LeftRunning::any(); }, scaledMs(5000)));
        const QStringList after = commandsSince(from);
        QVERIFY2(after.isEmpty() || after == QStringList{"movr"}, qPrintable(after.join(' ')));
        QCOMPARE(trovsim_call_count(nullptr, "close_device"), closes + 1);
    }
};

QTEST_MAIN(TestMainWindowScript)
#include "tst_mainwindowscript.moc"
