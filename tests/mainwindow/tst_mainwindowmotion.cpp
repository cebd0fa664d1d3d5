#include <QtTest>

#include <QPointer>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <thread>

#include "common/MessagePrompter.h"
#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "mainwindow/LatestSample.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "scriptdlg/ScriptThread.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/CyclicSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SliderSettings.h"
#include "support/SimulatedAxis.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

int journalSize() { return trovsim_journal_size(); }

// The motion commands of the axis from journal index `from` on ("command_" left out).
QStringList commandsSince(int from)
{
    QStringList sent;
    for (int i = from; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && std::strcmp(call.device, axis) == 0 &&
            std::strncmp(call.function, "command_", 8) == 0)
            sent << QString::fromLatin1(call.function + 8);
    }
    return sent;
}

int lastCall(const char* function)
{
    int at = -1;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && std::strcmp(call.function, function) == 0)
            at = i;
    }
    return at;
}

double physicalPosition()
{
    double steps = 0;
    trovsim_physical_position(axis, &steps);
    return steps;
}

class CountingPrompter : public MessagePrompter
{
public:
    int prompts = 0;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString&,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        ++prompts;
        return QMessageBox::Ok;
    }
};

} // namespace

class TestMainWindowMotion : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<DeviceInterface> gateway;
    std::unique_ptr<MessageLog> log;
    QPointer<MainWindow> window;
    QStringList lines;

    // A set-up window on a fresh simulated stepper, polled every 10 ms, its controls enabled.
    bool openWindow()
    {
        const device_t handle = openOnFreshSimulator(gateway, axis);
        if (handle == -1)
            return false;
        window = new MainWindow(nullptr, handle, QString::fromLatin1(axis), gateway.get());
        UpdateThread::Timing timing;
        timing.firmwarePeriodMs = 10;
        window->pollingThread()->setTiming(timing);
        connect(window, &MainWindow::InsertLineSgn, this,
                [this](const QDateTime&, const QString& message, const QString&, int, const LogSettings&) {
                    lines << message;
                });
        if (window->init() != MainWindow::InitStatus::Ready)
            return false;
        window->show();
        return QTest::qWaitFor([this] { return window->form()->moveBtn->isEnabled(); }, 5000);
    }

    // Simulated time in 20 ms steps, each with a short real wait for the samples to arrive.
    void run(int simMs)
    {
        for (int t = 0; t < simMs && window; t += 20) {
            trovsim_advance_ms(20);
            QTest::qWait(3);
        }
    }

    // Runs the simulation until done() or the bound; whether done() held.
    template <typename Done>
    bool runUntil(Done done, int simMs = 20000)
    {
        for (int t = 0; t < simMs; t += 20) {
            if (done())
                return true;
            trovsim_advance_ms(20);
            QTest::qWait(3);
        }
        return done();
    }

    bool logged(const QString& start) const
    {
        for (const QString& line : lines) {
            if (line.startsWith(start))
                return true;
        }
        return false;
    }

    void pressExit() { QTimer::singleShot(0, window.data(), &MainWindow::OnExitBtnPressed); }

private slots:
    void initTestCase()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        qputenv("HOME", QFile::encodeName(home->path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home->filePath(QStringLiteral("share"))));
        QVERIFY(QDir().mkpath(home->filePath(QStringLiteral("share"))));
        QFile defaults(home->filePath(QStringLiteral("share/tolmodefault.cfg")));
        QVERIFY(defaults.open(QIODevice::WriteOnly));
        defaults.close();
        log = std::make_unique<MessageLog>();
        messageLog = log.get();
    }

    void init()
    {
        lines.clear();
        QVERIFY(openWindow());
    }

    void cleanup()
    {
        MessagePrompter::install(nullptr);
        trovsim_clear_faults();
        delete window.data();
        gateway.reset();
    }

    void cleanupTestCase()
    {
        messageLog = nullptr;
        log.reset();
    }

    // Exit while border to border runs off the left border: soft stop, power off, nothing else.
    void exitDuringBorderToBorderSendsNothingAfterTheSoftStop()
    {
        window->settingsDialog()->cyclicSettings->type = 0;
        window->OnCyclicBtnPressed();
        QVERIFY(runUntil([] { return lastStatus.GPIOFlags & STATE_LEFT_EDGE; }, 30000));
        QVERIFY(runUntil([] { return lastStatus.CurPosition > -9300; }, 5000));
        pressExit();
        QVERIFY(runUntil([this] { return window.isNull(); }, 10000));
        const int softStop = lastCall("command_sstp");
        QVERIFY(softStop >= 0);
        QCOMPARE(commandsSince(softStop), (QStringList{"sstp", "power_off"}));
        const double stoppedAt = physicalPosition();
        trovsim_advance_ms(5000);
        QCOMPARE(physicalPosition(), stoppedAt);
    }

    // The status read in flight when Exit is pressed holds the gateway while the soft stop
    // waits: its sample shows the move, yet must not abort the exit.
    void aStatusReadOlderThanTheSoftStopDecidesNothing()
    {
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        run(500);
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
        std::thread releaser([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            trovsim_release_call(axis, "get_status");
        });
        pressExit();
        const bool closed = runUntil([this] { return window.isNull(); }, 10000);
        releaser.join();
        QVERIFY(closed);
        QVERIFY(!logged(QStringLiteral("Exit aborted")));
    }

    void anExternalCommandAbortsTheExit()
    {
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        run(300);
        pressExit();
        QVERIFY(runUntil([] { return lastStatus.MvCmdSts == (MVCMD_SSTP | MVCMD_RUNNING); }, 2000));
        QCOMPARE(trovsim_external_command(axis, MVCMD_MOVE, 3000, 0), 0);
        QVERIFY(runUntil([this] { return logged(QStringLiteral("Exit aborted")); }, 2000));
        QVERIFY(window);
        QVERIFY(!window->stoppingWaitBox()->isVisible());
        QVERIFY(!window->exitRequested);
    }

    void anUnplugKeepsTheWaitUntilTheControllerIsBack()
    {
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        run(300);
        pressExit();
        QVERIFY(runUntil([] { return lastStatus.MvCmdSts == (MVCMD_SSTP | MVCMD_RUNNING); }, 2000));
        QCOMPARE(trovsim_unplug(axis), 0);
        QVERIFY(runUntil([] { return !deviceConnected; }, 5000));
        run(3000);
        QVERIFY(window);
        QVERIFY(window->stoppingWaitBox()->isVisible());
        QCOMPARE(trovsim_plug(axis, 0), 0);
        QVERIFY(runUntil([this] { return window.isNull(); }, 20000));
        QVERIFY(!logged(QStringLiteral("Exit aborted")));
    }

    void aFailingPowerOffIsTriedThreeTimes()
    {
        CountingPrompter prompter;
        MessagePrompter::install(&prompter);
        trovsim_force_result(axis, "command_power_off", -1, -1);
        pressExit();
        QVERIFY(runUntil([&] { return prompter.prompts > 0; }, 5000));
        run(500);
        QCOMPARE(trovsim_call_count(axis, "command_power_off"), 3);
        QCOMPARE(prompter.prompts, 1);
        QVERIFY(window);
        QVERIFY(!window->exitRequested);
    }

    // Soft stop decides on a fresh status: a moving axis is soft-stopped, a standing one powered off.
    void softStopDecidesOnAFreshStatus()
    {
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        trovsim_advance_ms(100);
        int from = journalSize();
        window->OnSstpBtnPressed();
        QCOMPARE(commandsSince(from), QStringList{"sstp"});
        QVERIFY(runUntil([] { return lastStatus.MvCmdSts == MVCMD_SSTP && !(lastStatus.MoveSts & 1); }, 5000));
        from = journalSize();
        window->OnSstpBtnPressed();
        QCOMPARE(commandsSince(from), QStringList{"power_off"});
    }

    // Buttons switch cyclic motion off first; home during border to border completes.
    void homeDuringBorderToBorderCompletes()
    {
        window->settingsDialog()->cyclicSettings->type = 0;
        window->OnCyclicBtnPressed();
        run(300);
        window->OnGoHomeBtnPressed();
        QVERIFY(!window->cyclicOn);
        const int from = journalSize();
        QVERIFY(runUntil([this] { return window->homingWaitBox()->isVisible(); }, 2000));
        QVERIFY(runUntil([this] { return !window->homingWaitBox()->isVisible(); }, 60000));
        QCOMPARE(lastStatus.MvCmdSts & MVCMD_NAME_BITS, uint32_t(MVCMD_HOME));
        QCOMPARE(commandsSince(from), QStringList());
    }

    void aLossStopsCyclicMotionForGood()
    {
        SettingsDlg* dialog = window->settingsDialog();
        dialog->cyclicSettings->type = 1;
        dialog->cyclicSettings->leftPoint = 0;
        dialog->cyclicSettings->rightPoint = 300;
        window->OnCyclicBtnPressed();
        QVERIFY(runUntil([] { return lastStatus.CurPosition > 100; }, 5000));
        QCOMPARE(trovsim_unplug(axis), 0);
        QVERIFY(runUntil([this] { return logged(QStringLiteral("Cyclic motion stopped: device lost.")); }, 5000));
        QVERIFY(!window->cyclicOn);
        QCOMPARE(trovsim_plug(axis, 1), 0);
        const int from = journalSize();
        QVERIFY(runUntil([this] { return window->form()->moveBtn->isEnabled(); }, 20000));
        run(2000);
        QCOMPARE(commandsSince(from), QStringList());
    }

    void anotherControllerUnderTheNameKeepsTheControlsOff()
    {
        QCOMPARE(trovsim_reset("axis1:20002:stepper:stage", ""), 0);
        trovsim_clock_manual(1);
        QVERIFY(runUntil([this] { return logged(QStringLiteral("Another controller")); }, 20000));
        run(500);
        QVERIFY(deviceConnected);
        QVERIFY(!window->form()->moveBtn->isEnabled());
        QVERIFY(!window->form()->cyclicBtn->isEnabled());
    }

    // The borders shift with the zero; an open dialog's Apply afterwards writes nothing old back.
    void zeroShiftsTheBordersAndTheDialogFollows()
    {
        SettingsDlg* dialog = window->settingsDialog();
        dialog->sliderSettings->loadFromDevice = true;
        QCOMPARE(gateway->command_move(window->deviceHandle, 1000, 0), 0);
        QVERIFY(runUntil([] { return lastStatus.CurPosition == 1000 && !(lastStatus.MvCmdSts & MVCMD_RUNNING); }));
        run(100);
        dialog->AllPagesFromDeviceToClassToUi(true, true);
        dialog->show();
        const int from = journalSize();
        window->OnZeroBtnPressed();
        QCOMPARE(dialog->motorSettings->edges.LeftBorder, -10500);
        QCOMPARE(dialog->motorSettings->edges.RightBorder, 8500);
        QCOMPARE(commandsSince(from), QStringList{"zero"});
        QVERIFY(lastCall("set_edges_settings") >= from);
        QVERIFY(lastCall("set_edges_settings") < lastCall("command_zero"));
        const int afterZero = journalSize();
        dialog->AllPagesFromUiToClassToDevice();
        edges_settings_t edges;
        QCOMPARE(gateway->get_edges_settings(window->deviceHandle, &edges), 0);
        QCOMPARE(edges.LeftBorder, -10500);
        QCOMPARE(lastCall("set_edges_settings") < afterZero, true);
    }

    // Shut-down with a script in an endless loop and a run pending: bounded, the device closed
    // once, no motion command after the quit.
    void shutDownStopsTheScriptAndClosesOnce()
    {
        ScriptThread* script = window->scriptEngineThread();
        QVERIFY(script->requestRun(QStringLiteral("while (true) { movr(100); msleep(200); }")));
        QVERIFY(runUntil([] { return trovsim_call_count(axis, "command_movr") > 0; }, 5000));
        const int closesBefore = trovsim_call_count(axis, "close_device");
        QElapsedTimer clock;
        clock.start();
        const int from = journalSize();
        delete window.data();
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(trovsim_call_count(axis, "close_device") - closesBefore, 1);
        QStringList after = commandsSince(from);
        after.removeAll(QStringLiteral("movr")); // at most the one under way when the quit came
        QCOMPARE(after, QStringList());
        QVERIFY(commandsSince(from).count(QStringLiteral("movr")) <= 1);
        QVERIFY(mainWindow == nullptr);
    }
};

QTEST_MAIN(TestMainWindowMotion)
#include "tst_mainwindowmotion.moc"
