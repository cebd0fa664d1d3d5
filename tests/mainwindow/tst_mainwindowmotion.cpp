#include "support/MotionWindowHarness.h"
#include "support/TestTime.h"

#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <thread>
#include <utility>

#include "common/MessagePrompter.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/CyclicSettings.h"
#include "scriptdlg/ScriptThread.h"
#include "settingsdlg/SettingsDlg.h"
#include "settings_model/SliderSettings.h"

using namespace motion_harness;

namespace {

class CountingPrompter : public MessagePrompter
{
public:
    int prompts = 0;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    // Answered in turn before `answer`.
    QList<QMessageBox::StandardButton> answers;
    QStringList texts;
    // Runs while the box is "open"; a box the program ends meanwhile answers NoButton.
    std::function<void()> whileOpen;
    bool dismissed = false;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        ++prompts;
        texts << text;
        open = true;
        if (whileOpen)
            std::exchange(whileOpen, {})();
        open = false;
        if (std::exchange(dismissed, false))
            return QMessageBox::NoButton;
        return answers.isEmpty() ? answer : answers.takeFirst();
    }
    void dismiss() override { dismissed = dismissed || open; }

private:
    bool open = false;
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
    // goes; also when a status read holds the gateway meanwhile, or a stopped script's call holds
    // it. Each close tries the exit first, even after an earlier Exit failed; an exit that fails
    // on this close asks at once: Retry exits again, Close goes (and is logged), Cancel keeps the
    // window. A soft stop that never gets through leaves the window open with that question.
    // how: "close" or "Exit"; hold: "read" (a status read held until the soft stop is told
    // waiting), "script" (a script's call held), "never" (a status read that never ends).
    void titleBarCloseStopsAndPowersOffFirst_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("failedBefore");
        QTest::addColumn<bool>("fault");
        QTest::addColumn<QString>("hold");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("line");
        const QStringList exited{"sstp", "power_off"};
        // A refused soft stop is tried three times more before the exit gives up on it.
        const QStringList refused{"sstp", "sstp", "sstp", "sstp"};
        QTest::newRow("close") << "close" << false << false << "" << "" << exited << true << "";
        QTest::newRow("close after a failed exit, the fault gone")
            << "close" << true << false << "" << "" << exited << true << "";
        QTest::newRow("close failing, Retry then Cancel")
            << "close" << false << true << "" << "Retry Cancel" << refused + refused << false << "";
        QTest::newRow("close failing, Cancel") << "close" << true << true << "" << "Cancel" << refused << false << "";
        QTest::newRow("close failing, Close") << "close" << false << true << "" << "Close" << refused << true
                                              << "The window was closed without stopping SN ";
        QTest::newRow("close, status read held") << "close" << false << false << "read" << "" << exited << true
                                                 << "SN 10001: Soft stop still waits";
        QTest::newRow("Exit, status read held") << "Exit" << false << false << "read" << "" << exited << true
                                                << "SN 10001: Soft stop still waits";
        QTest::newRow("Exit, a script's call held") << "Exit" << false << false << "script" << "" << exited << true
                                                    << "The soft stop waits: a running script holds the controller.";
        QTest::newRow("Exit, a script asleep") << "Exit" << false << false << "sleep" << "" << exited << true << "";
        QTest::newRow("Exit, a status read that never ends") << "Exit" << false << false << "never" << "Cancel"
                                                             << QStringList{} << false << "Exit: the soft stop has not reached SN ";
        // A controller lost while it moves: Exit asks at once, its soft stop waiting; Cancel
        // keeps the window. Back while asked: the soft stop goes, the question goes, Exit ends.
        QTest::newRow("Exit, the controller lost") << "Exit" << false << false << "lost" << "Cancel" << QStringList{}
                                                   << false << "Exit: SN 10001 is lost; its soft stop goes out when it is back.";
        QTest::newRow("close, the controller lost, back while asked")
            << "close" << false << false << "back" << "" << exited << true
            << "Exit: SN 10001 is lost; its soft stop goes out when it is back.";
    }
    void titleBarCloseStopsAndPowersOffFirst()
    {
        QFETCH(QString, how);
        QFETCH(bool, failedBefore);
        QFETCH(bool, fault);
        QFETCH(QString, hold);
        QFETCH(QString, answers);
        QFETCH(QString, line);
        CountingPrompter prompter;
        prompter.answer = QMessageBox::Cancel;
        for (const QString& answer : answers.split(' ', Qt::SkipEmptyParts))
            prompter.answers << (answer == "Retry" ? QMessageBox::Retry : answer == "Close" ? QMessageBox::Close : QMessageBox::Cancel);
        const int prompts = prompter.answers.size();
        MessagePrompter::install(&prompter);
        if (failedBefore || fault)
            trovsim_force_result(axis, "command_sstp", -1, -1);
        if (failedBefore) {
            pressExit();
            QVERIFY(runUntil([this] { return logged(QStringLiteral("Error sending soft stop command on exit.")); }, 5000));
            QCOMPARE(prompter.prompts, 0);
            if (!fault)
                trovsim_clear_faults();
        }
        const char* held = hold == "script" ? "command_movr" : "get_status";
        if (hold == "script")
            QVERIFY(window->scriptEngineThread()->requestRun(QStringLiteral("movr(100); movr(100);")));
        if (hold == "never")
            window->motionCommands()->exitAnswerMs = 300;
        if (hold == "lost" || hold == "back") {
            QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
            run(300);
            QCOMPARE(trovsim_unplug(axis), 0);
            QVERIFY(runUntil([this] { return !deviceConnected && window->deviceHandle.load() == -1; }, 10000));
            if (hold == "back")
                prompter.whileOpen = [this, &prompter] {
                    QCOMPARE(trovsim_plug(axis, 0), 0);
                    QVERIFY(runUntil([&prompter] { return prompter.dismissed; }, 20000));
                };
        } else if (hold == "sleep") {
            ScriptThread* script = window->scriptEngineThread();
            QVERIFY(script->requestRun(QStringLiteral("msleep(60000);")));
            QVERIFY(QTest::qWaitFor([script] { return script->runCount() > 0; }, scaledMs(5000)));
        } else if (!hold.isEmpty()) {
            QCOMPARE(trovsim_hold_call(axis, held), 0);
            QCOMPARE(trovsim_wait_held(axis, held, 5000), 0);
        }
        const int from = journalSize();
        if (how == "close")
            QVERIFY(!window->windowHandle()->close());
        else
            window->OnExitBtnPressed();
        if (hold == "read") {
            // Nothing goes while the read holds the gateway; the wait is told.
            QVERIFY(QTest::qWaitFor([&] { return tableShows(line); }, scaledMs(5000)));
            QCOMPARE(commandsSince(from), QStringList());
        }
        if (hold == "never")
            QVERIFY(QTest::qWaitFor([&] { return prompter.prompts > 0; }, scaledMs(5000)));
        if (hold == "read" || hold == "script")
            QCOMPARE(trovsim_release_call(axis, held), 0);
        if (hold == "lost" || hold == "back")
            QVERIFY(runUntil([&] { return prompter.prompts > 0; }, 5000));
        QTEST(runUntil([this] { return window.isNull(); }, 10000), "closed");
        QStringList sent = commandsSince(from);
        sent.removeAll("movr");
        QTEST(sent, "sent");
        QCOMPARE(prompter.prompts, prompts + (hold == "back" ? 1 : 0));
        for (const QString& text : prompter.texts)
            QVERIFY2(text.contains("SN 10001") && text.contains("STOP stops it"), qPrintable(text));
        if (!line.isEmpty() && hold != "read")
            QVERIFY2(logged(line) || (window && tableShows(line)), qPrintable(line));
        // A sleeping script holds nothing: the exit does not wait for it, nor says it does.
        if (hold == "sleep")
            QVERIFY(!logged(QStringLiteral("The soft stop waits")));
        if (hold == "never")
            QCOMPARE(trovsim_release_call(axis, held), 0);
    }

    // Stop and Soft stop while a status read holds the gateway: sent once the read ends. A read
    // that answers "no device" with the controller still plugged in: the stop waits for the
    // controller to be opened again, goes then, and both are told. Stop while a stopped script's
    // call holds it: the window goes on, the stop goes after that call and nothing of the script
    // after the stop.
    void stopsGoOutOnceTheGatewayIsFree_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("hold");
        QTest::newRow("Stop") << "stop" << "read";
        QTest::newRow("Soft stop") << "sstp" << "read";
        QTest::newRow("Stop, the read answers no device") << "stop" << "lost";
        QTest::newRow("Stop, a script's call held") << "stop" << "script";
        // Clicked while the window shows the controller away: it goes once polling has it again.
        QTest::newRow("Stop while the controller is away") << "stop" << "away";
        // The controller answers the stop, not the read: tried again until it goes, or told.
        QTest::newRow("Stop answered no device once") << "stop" << "-4 1";
        QTest::newRow("Stop refused once") << "stop" << "-1 1";
        QTest::newRow("Stop refused four times") << "stop" << "-1 4";
    }
    void stopsGoOutOnceTheGatewayIsFree()
    {
        QFETCH(QString, command);
        QFETCH(QString, hold);
        const bool lost = hold == "lost";
        const char* held = hold == "script" ? "command_movr" : "get_status";
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        run(300);
        if (hold.startsWith('-')) {
            const QStringList forced = hold.split(' ');
            QCOMPARE(trovsim_force_result(axis, "command_stop", forced[0].toInt(), forced[1].toInt()), 0);
            const int from = journalSize();
            QTest::mouseClick(window->form()->stopBtn, Qt::LeftButton);
            const bool refusedForGood = hold == "-1 4";
            const QString red = "SN 10001: STOP failed (result -1): the axis may still be moving. Press STOP again.";
            QVERIFY(QTest::qWaitFor([&] { return refusedForGood ? tableShows(red) : commandsSince(from).contains("stop"); }, scaledMs(5000)));
            QVERIFY(QTest::qWaitFor([this] { return window->courier()->idle(); }, scaledMs(5000)));
            QCOMPARE(trovsim_call_count(axis, "command_stop"), forced[1].toInt() + (refusedForGood ? 0 : 1));
            trovsim_call_t last{};
            QCOMPARE(trovsim_journal_entry(lastCall("command_stop"), &last), 0);
            QCOMPARE(last.result, refusedForGood ? int(result_error) : int(result_ok));
            QVERIFY(lastCall("command_stop") >= from);
            // Only a stop given up on is told, and never as the gateway's failure.
            QVERIFY(!tableShows("Function command_stop() failed"));
            QVERIFY(!tableShows("SN 10001: Stop waits"));
            if (refusedForGood)
                QVERIFY(window->form()->stopBtn->isEnabled());
            return;
        }
        if (hold == "away") {
            QCOMPARE(trovsim_unplug(axis), 0);
            QVERIFY(runUntil([this] { return !deviceConnected && !window->form()->moveBtn->isEnabled(); }, 10000));
            QAbstractButton* button = window->findChild<QAbstractButton*>(command + "Btn");
            QVERIFY(button->isEnabled());
            // Counted, not read from the journal, which the polls meanwhile may have run through.
            const int stops = trovsim_call_count(axis, "command_stop");
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([this] { return window->courier()->awaitsController(); }, scaledMs(5000)));
            QVERIFY(tableShows("SN 10001: Stop waits for the controller to come back."));
            QCOMPARE(trovsim_plug(axis, 0), 0);
            QVERIFY(runUntil([this] { return tableShows("SN 10001: Stop sent, "); }, 20000));
            QCOMPARE(trovsim_call_count(axis, "command_stop"), stops + 1);
            QVERIFY(lastCall("command_stop") > lastCall("open_device"));
            return;
        }
        QCOMPARE(trovsim_hold_call(axis, held), 0);
        if (hold == "script")
            QVERIFY(window->scriptEngineThread()->requestRun(QStringLiteral("movr(100); movr(100);")));
        QCOMPARE(trovsim_wait_held(axis, held, 5000), 0);
        if (lost)
            QCOMPARE(trovsim_force_result(axis, "get_status", result_nodevice, 1), 0);
        const int opens = trovsim_call_count(axis, "open_device");
        const int from = journalSize();
        QElapsedTimer click;
        click.start();
        QTest::mouseClick(window->findChild<QAbstractButton*>(command + "Btn"), Qt::LeftButton);
        QVERIFY2(click.elapsed() < scaledMs(1000), qPrintable(QString::number(click.elapsed())));
        QCOMPARE(commandsSince(from), QStringList());
        // A controller that answers "no device" has let its handle go: the stop, whether it
        // reaches the gateway before polling has closed the handle or after, finds it gone.
        if (lost)
            QCOMPARE(trovsim_unplug(axis), 0);
        // A stop held up by the script's call is told so, not as a controller that does not answer.
        if (hold == "script")
            QVERIFY(QTest::qWaitFor([this] { return tableShows("SN 10001: Stop still waits: a script's call holds "
                                                               "the controller."); }, 5000));
        QCOMPARE(trovsim_release_call(axis, held), 0);
        if (lost) {
            QCOMPARE(trovsim_plug(axis, 0), 0);
            QVERIFY(runUntil([this] { return tableShows("SN 10001: Stop sent, "); }, 10000));
            QVERIFY(tableShows("SN 10001: Stop waits for the controller to come back."));
            QVERIFY(trovsim_call_count(axis, "open_device") > opens);
            QVERIFY(lastCall("command_stop") > lastCall("open_device"));
            trovsim_call_t call{};
            QCOMPARE(trovsim_journal_entry(lastCall("command_stop"), &call), 0);
            QCOMPARE(call.result, int(result_ok));
            return;
        }
        QVERIFY(runUntil([from] { return commandsSince(from).contains(QStringLiteral("stop")) ||
                                         commandsSince(from).contains(QStringLiteral("sstp")); }, 5000));
        run(300);
        QStringList sent = commandsSince(from);
        // The held call itself, when the journal has it once it ended.
        if (hold == "script" && sent.value(0) == "movr")
            sent.removeFirst();
        QCOMPARE(sent, QStringList(command));
    }

    // Soft stop decides on a fresh status: a moving axis is soft-stopped, also when the move was
    // sent after the last sample; a standing one is powered off. Move to, then Soft stop at once:
    // the move goes no more, and the axis given it is soft-stopped, not powered off.
    void softStopDecidesOnAFreshStatus_data()
    {
        QTest::addColumn<int>("afterMs"); // -1: Move to and Soft stop clicked while a read holds the gateway
        QTest::newRow("move just sent") << 0;
        QTest::newRow("move under way") << 100;
        QTest::newRow("Move to, then Soft stop at once") << -1;
    }
    void softStopDecidesOnAFreshStatus()
    {
        QFETCH(int, afterMs);
        int from = journalSize();
        if (afterMs < 0) {
            window->moveToSpinBox()->setValue(5000);
            QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
            QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
            from = journalSize();
            QTest::mouseClick(window->form()->moveBtn, Qt::LeftButton);
            QTest::mouseClick(window->form()->sstpBtn, Qt::LeftButton);
            QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
            QVERIFY(QTest::qWaitFor([this] { return window->courier()->idle(); }, scaledMs(5000)));
            QCOMPARE(commandsSince(from), QStringList{"sstp"});
            QVERIFY(tableShows("SN 10001: Move to not sent: Soft stop came first."));
            return;
        }
        QCOMPARE(gateway->command_move(window->deviceHandle, 5000, 0), 0);
        trovsim_advance_ms(uint64_t(afterMs));
        from = journalSize();
        window->OnSstpBtnPressed();
        QVERIFY(runUntil([from] { return !commandsSince(from).isEmpty(); }, 2000));
        QCOMPARE(commandsSince(from), QStringList{"sstp"});
        QVERIFY(runUntil([] { return lastStatus.MvCmdSts == MVCMD_SSTP && !(lastStatus.MoveSts & 1); }, 5000));
        from = journalSize();
        window->OnSstpBtnPressed();
        QVERIFY(runUntil([from] { return !commandsSince(from).isEmpty(); }, 2000));
        QCOMPARE(commandsSince(from), QStringList{"power_off"});
    }

    // Buttons switch cyclic motion off first; home during border to border completes.
    void homeDuringBorderToBorderCompletes()
    {
        window->settingsDialog()->cyclicSettings->type = 0;
        window->OnCyclicBtnPressed();
        run(300);
        window->OnGoHomeBtnPressed();
        QVERIFY(!window->motionCommands()->cyclicOn);
        QVERIFY(runUntil([this] { return window->courier()->idle(); }, 2000));
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
    // A Zero pressed while a status read holds the gateway leaves the window going and is made
    // once the read ends; a STOP pressed while it waits drops it, and says so.
    void zeroShiftsTheBordersAndTheDialogFollows_data()
    {
        QTest::addColumn<QString>("hold");
        QTest::addColumn<int>("stopAfterMs"); // -1: no STOP
        QTest::newRow("free") << "" << -1;
        QTest::newRow("status read held") << "read" << -1;
        QTest::newRow("status read held, STOP at once") << "stop" << 0;
        QTest::newRow("status read held, STOP once the zero waits for the gateway") << "stop" << 50;
        // A zero that has started runs to its end, however long its border write takes.
        QTest::newRow("border write held over 1 s: the zero goes on") << "borders" << -1;
        // A STOP during the border write cuts the zero: the stop goes first, then the controller
        // gets its old borders back.
        QTest::newRow("border write held, STOP") << "borders" << 0;
    }
    void zeroShiftsTheBordersAndTheDialogFollows()
    {
        QFETCH(QString, hold);
        QFETCH(int, stopAfterMs);
        SettingsDlg* dialog = window->settingsDialog();
        dialog->sliderSettings->loadFromDevice = true;
        QCOMPARE(gateway->command_move(window->deviceHandle, 1000, 0), 0);
        QVERIFY(runUntil([] { return lastStatus.CurPosition == 1000 && !(lastStatus.MvCmdSts & MVCMD_RUNNING); }));
        run(100);
        dialog->AllPagesFromDeviceToClassToUi(true, true);
        dialog->show();
        const char* held = hold == "borders" ? "set_edges_settings" : "get_status";
        if (!hold.isEmpty())
            QCOMPARE(trovsim_hold_call(axis, held), 0);
        if (!hold.isEmpty() && hold != "borders")
            QCOMPARE(trovsim_wait_held(axis, held, 5000), 0);
        const int from = journalSize();
        bool ticked = false;
        QTimer::singleShot(0, window.data(), [&ticked] { ticked = true; });
        QElapsedTimer click;
        click.start();
        QTest::mouseClick(window->form()->zeroBtn, Qt::LeftButton);
        QVERIFY2(click.elapsed() < scaledMs(500), qPrintable(QString::number(click.elapsed())));
        if (hold == "borders") {
            QCOMPARE(trovsim_wait_held(axis, held, 5000), 0);
            if (stopAfterMs < 0)
                QTest::qWait(AxisCourier::startLimitMs + 200);
        }
        if (stopAfterMs >= 0) {
            QTest::qWait(stopAfterMs);
            QTest::mouseClick(window->form()->stopBtn, Qt::LeftButton);
        }
        if (!hold.isEmpty()) {
            QVERIFY(QTest::qWaitFor([&ticked] { return ticked; }, scaledMs(200)));
            QCOMPARE(commandsSince(from), QStringList());
            QCOMPARE(trovsim_release_call(axis, held), 0);
        }
        if (hold == "borders" && stopAfterMs >= 0) {
            run(800);
            QCOMPARE(commandsSince(from), QStringList{"stop"});
            QCOMPARE(lastStatus.CurPosition, 1000);
            QCOMPARE(dialog->motorSettings->edges.LeftBorder, -9500);
            edges_settings_t edges;
            QCOMPARE(gateway->get_edges_settings(window->deviceHandle, &edges), 0);
            QCOMPARE(edges.LeftBorder, -9500);
            QVERIFY(lastCall("set_edges_settings") > lastCall("command_stop"));
            return;
        }
        if (hold == "stop") {
            QVERIFY(runUntil([from] { return !commandsSince(from).isEmpty(); }, 5000));
            run(300);
            QCOMPARE(commandsSince(from), QStringList{"stop"});
            QVERIFY(tableShows("SN 10001: Zero not sent: Stop came first."));
            QVERIFY(!logged("Zero refused") && !tableShows("Zero refused"));
            QCOMPARE(lastStatus.CurPosition, 1000);
            QCOMPARE(dialog->motorSettings->edges.LeftBorder, -9500);
            return;
        }
        QVERIFY(runUntil([] { return lastStatus.CurPosition == 0; }, 5000));
        QVERIFY(runUntil([dialog] { return dialog->motorSettings->edges.LeftBorder == -10500; }, 2000));
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

    // Point to point with a move call that holds the gateway while the samples read before it
    // are still coming in: one leg per arrival. A STOP while the leg is under way switches the
    // motion off; the leg's answer afterwards starts nothing.
    void pointToPointSendsOneLegPerArrival_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("slow move") << false << QStringList{"move"};
        QTest::newRow("slow move, then STOP") << true << QStringList{"move", "stop"};
    }
    void pointToPointSendsOneLegPerArrival()
    {
        QFETCH(bool, stop);
        SettingsDlg* dialog = window->settingsDialog();
        dialog->cyclicSettings->type = 1;
        dialog->cyclicSettings->leftPoint = 0;
        dialog->cyclicSettings->rightPoint = 300;
        QTest::mouseClick(window->form()->cyclicBtn, Qt::LeftButton);
        QVERIFY(runUntil([] { return lastStatus.CurPosition > 150; }, 5000));
        QCOMPARE(trovsim_hold_call(axis, "command_move"), 0);
        // The axis arrives while the window sleeps: the samples read meanwhile all show it standing there.
        trovsim_advance_ms(10000);
        const int from = journalSize();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        QVERIFY(QTest::qWaitFor([] { return trovsim_wait_held(axis, "command_move", 1) == 0; }, scaledMs(5000)));
        QTest::qWait(200);
        if (stop)
            QTest::mouseClick(window->form()->stopBtn, Qt::LeftButton);
        QCOMPARE(trovsim_release_call(axis, "command_move"), 0);
        QVERIFY(QTest::qWaitFor([this] { return window->courier()->idle(); }, scaledMs(5000)));
        QTest::qWait(300);
        QTEST(commandsSince(from), "sent");
        if (stop) {
            run(2000);
            QTEST(commandsSince(from), "sent");
            QVERIFY(!window->motionCommands()->cyclicOn);
            return;
        }
        QVERIFY(runUntil([] { return lastStatus.CurPosition < 150; }, 5000));
        QCOMPARE(commandsSince(from), QStringList{"move"});
    }

};

QTEST_MAIN(TestMainWindowMotion)
#include "tst_mainwindowmotion.moc"
