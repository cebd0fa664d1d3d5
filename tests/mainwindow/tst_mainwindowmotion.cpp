#include "support/MotionWindowHarness.h"

#include <thread>

#include "common/MessagePrompter.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "settings_model/SliderSettings.h"

using namespace motion_harness;

namespace {

class CountingPrompter : public MessagePrompter
{
public:
    int prompts = 0;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString&,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        ++prompts;
        return answer;
    }
};

} // namespace

class TestMainWindowMotion : public QObject, public MotionWindowHarness
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(setUpHome()); }
    void init() { QVERIFY(openWindow()); }
    void cleanup()
    {
        MessagePrompter::install(nullptr);
        closeWindow();
    }
    void cleanupTestCase() { tearDownHome(); }

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
        QVERIFY(!window->motionCommands()->exitRequested);
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
        QVERIFY(!window->motionCommands()->exitRequested);
    }

    // The title bar's close leaves as Exit does: soft stop, the wait, power off, then the window
    // goes. After an Exit that could not stop the axis it asks: Retry exits again, Close goes
    // as it is, Cancel keeps the window.
    void titleBarCloseStopsAndPowersOffFirst_data()
    {
        QTest::addColumn<bool>("exitFailed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<bool>("closed");
        QTest::newRow("exit") << false << int(QMessageBox::Ok) << QStringList{"sstp", "power_off"} << true;
        QTest::newRow("after a failed exit, Retry") << true << int(QMessageBox::Retry) << QStringList{"sstp"} << false;
        QTest::newRow("after a failed exit, Cancel") << true << int(QMessageBox::Cancel) << QStringList{} << false;
        QTest::newRow("after a failed exit, Close") << true << int(QMessageBox::Close) << QStringList{} << true;
    }
    void titleBarCloseStopsAndPowersOffFirst()
    {
        QFETCH(bool, exitFailed);
        QFETCH(int, answer);
        CountingPrompter prompter;
        prompter.answer = QMessageBox::StandardButton(answer);
        MessagePrompter::install(&prompter);
        if (exitFailed) {
            trovsim_force_result(axis, "command_sstp", -1, -1);
            pressExit();
            QVERIFY(runUntil([this] { return logged(QStringLiteral("Error sending soft stop command on exit.")); }, 5000));
        }
        const int from = journalSize();
        QCOMPARE(window->windowHandle()->close(), answer == int(QMessageBox::Close));
        QTEST(runUntil([this] { return window.isNull(); }, exitFailed ? 1000 : 10000), "closed");
        QTEST(commandsSince(from), "sent");
        QCOMPARE(prompter.prompts, exitFailed ? 1 : 0);
    }

    // Stop and Soft stop while a status read holds the gateway: sent once the read ends.
    void stopsGoOutOnceTheGatewayIsFree_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Stop") << "stop";
        QTest::newRow("Soft stop") << "sstp";
    }
    void stopsGoOutOnceTheGatewayIsFree()
    {
        QFETCH(QString, command);
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        run(300);
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
        const int from = journalSize();
        QTest::mouseClick(window->findChild<QAbstractButton*>(command + "Btn"), Qt::LeftButton);
        QCOMPARE(commandsSince(from), QStringList());
        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        QVERIFY(runUntil([from] { return !commandsSince(from).isEmpty(); }, 5000));
        run(300);
        QCOMPARE(commandsSince(from), QStringList(command));
    }

    // Soft stop decides on a fresh status: a moving axis is soft-stopped, also when the move was
    // sent after the last sample; a standing one is powered off.
    void softStopDecidesOnAFreshStatus_data()
    {
        QTest::addColumn<int>("afterMs");
        QTest::newRow("move just sent") << 0;
        QTest::newRow("move under way") << 100;
    }
    void softStopDecidesOnAFreshStatus()
    {
        QFETCH(int, afterMs);
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        trovsim_advance_ms(uint64_t(afterMs));
        int from = journalSize();
        window->OnSstpBtnPressed();
        QTRY_COMPARE_WITH_TIMEOUT(commandsSince(from), QStringList{"sstp"}, 5000);
        QVERIFY(runUntil([] { return lastStatus.MvCmdSts == MVCMD_SSTP && !(lastStatus.MoveSts & 1); }, 5000));
        from = journalSize();
        window->OnSstpBtnPressed();
        QTRY_COMPARE_WITH_TIMEOUT(commandsSince(from), QStringList{"power_off"}, 5000);
    }

    // Buttons switch cyclic motion off first; home during border to border completes.
    void homeDuringBorderToBorderCompletes()
    {
        window->settingsDialog()->cyclicSettings->type = 0;
        window->OnCyclicBtnPressed();
        run(300);
        window->OnGoHomeBtnPressed();
        QVERIFY(!window->motionCommands()->cyclicOn);
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
        QVERIFY(!window->motionCommands()->cyclicOn);
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

    // Beyond the slider's points the range follows the position; the border button still goes
    // to the configured point.
    void borderButtonsGoToTheConfiguredPoints()
    {
        SliderSettings* slider = window->settingsDialog()->sliderSettings;
        *slider = SliderSettings(-300, 300, false, true, false);
        QCOMPARE(gateway->command_move(window->deviceHandle, 500, 0), 0);
        QVERIFY(runUntil(
            [this] { return lastStatus.CurPosition == 500 && window->statusView()->sliderMin == -100; }, 5000));
        window->OnLeftBdrBtnPressed();
        QVERIFY(runUntil([] { return lastStatus.CurPosition == -300 && !(lastStatus.MvCmdSts & MVCMD_RUNNING); }));
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

};

QTEST_MAIN(TestMainWindowMotion)
#include "tst_mainwindowmotion.moc"
