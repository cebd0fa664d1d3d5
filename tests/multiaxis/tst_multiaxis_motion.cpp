// The multi-axis window's commands against simulated controllers: jogging by keys and buttons,
// soft stop, targets, scripts and the exit sequence. Polling runs but is detached from the
// window, so the display sees only the samples a test hands in; the journal tells what was sent.
#include <limits>
#include "support/TestTime.h"
#include <QtTest>

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "support/MultiaxisWindowRig.h"
#include "support/RecordingPrompter.h"
#include "support/TypeInto.h"
#include "common/MessagePrompter.h"
#include "device/DeviceInterface.h"
#include "device/LeftRunning.h"
#include "device/AxisCourier.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "multiaxis/DimensionalUnitsDlg.h"
#include "widgets/InfoBox.h"
#include "widgets/StepSpinBox.h"
#include "multiaxis/Multiaxis.h"
#include "multiaxis/MultiaxisMotion.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThreadMulti.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "trovsim.h"
#include "tests/settings_model/SettingsTestSupport.h"

namespace {

const int boundMs = scaledMs(5000);

struct Rig : MultiaxisWindowRig
{
    RecordingPrompter prompter;

    explicit Rig(int axes, const char* controllers = nullptr)
        : MultiaxisWindowRig(axes, controllers)
    {
        window->refreshTimer->stop();
        for (UpdateThread* thread : window->updateThreads)
            QObject::disconnect(thread, nullptr, window.get(), nullptr);
        MessagePrompter::install(&prompter);
        for (int a = 0; a < axes; ++a)
            sample(a, 0);
        trovsim_journal_clear();
    }
    ~Rig()
    {
        MessagePrompter::install(nullptr);
        trovsim_clear_faults();
    }
    // A sample of axis a as polling sends it; a stale one carries a status read begun before
    // the last soft stop.
    void sample(int a, int mvcmd, bool connected = true, bool stale = false)
    {
        status_t state{};
        state.MvCmdSts = unsigned(mvcmd);
        window->UpdateVars(a, QDateTime::currentDateTimeUtc(), state, chart_data_t{}, analog_data_t{}, connected,
                           connected ? 2 : 0, stale ? 0 : std::numeric_limits<quint64>::max());
    }
};

// The motion commands sent so far, "function@axisN", in order.
QStringList commandsNow()
{
    QStringList out;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call{};
        if (trovsim_journal_entry(i, &call) == 0 && QByteArray(call.function).startsWith("command_"))
            out << QStringLiteral("%1@%2").arg(QString::fromLatin1(call.function).mid(8),
                                               QString::fromLatin1(call.device).mid(4));
    }
    return out;
}

// Each axis' commands in their order, axis after axis: each axis has its own thread.
QStringList byAxis(QStringList sent)
{
    std::stable_sort(sent.begin(), sent.end(),
                     [](const QString& a, const QString& b) { return a.section('@', 1) < b.section('@', 1); });
    return sent;
}

// The same once the couriers have handed over what the window gave them.
QStringList commands()
{
    if (MultiaxisWindowRig::current())
        MultiaxisWindowRig::current()->settle();
    return byAxis(commandsNow());
}

#define QTEST_COMMANDS(column) \
    QCOMPARE(commands(), byAxis(*static_cast<QStringList*>(QTest::qData(column, ::qMetaTypeId<QStringList>()))))

void key(QWidget* target, QEvent::Type type, int code, bool repeat = false)
{
    QKeyEvent event(type, code, Qt::NoModifier, QString(), repeat);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestMultiaxisMotion : public QObject
{
    Q_OBJECT
private slots:
    // Focus: "button" (Move), "box" (X's Move-to box), "none" (the window itself).
    // Keys: L R U D ^ v; "+" press, "*" auto-repeated release and press, "-" release; "off"
    // deactivates the window, "close" closes it.
    void keys_data()
    {
        QTest::addColumn<int>("axes");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("sent");
        const QStringList held{"L+", "L*", "L*", "L-"};
        const QStringList heldSent{"left@axis1", "sstp@axis1"};
        QTest::newRow("held Left") << 2 << "none" << held << heldSent;
        QTest::newRow("held Left, focus on a button") << 2 << "button" << held << heldSent;
        QTest::newRow("arrows in a box") << 2 << "box" << QStringList{"L+", "L-", "U+", "U-", "D+", "D-"} << QStringList{};
        QTest::newRow("deactivated while held")
            << 3 << "button" << QStringList{"L+", "off", "L-"} << QStringList{"left@axis1", "sstp@axis1"};
        QTest::newRow("closed while held") << 2 << "button" << QStringList{"L+", "close"} << QStringList{"left@axis1", "sstp@axis1"};
        QTest::newRow("page keys with two axes") << 2 << "none" << QStringList{"^+", "^-", "v+", "v-"} << QStringList{};
        QTest::newRow("page keys with three") << 3 << "none" << QStringList{"^+", "^-"} << QStringList{"right@axis3", "sstp@axis3"};
        QTest::newRow("Up and Down on Y") << 2 << "button" << QStringList{"U+", "U-", "D+", "D-"}
                                          << QStringList{"right@axis2", "sstp@axis2", "left@axis2", "sstp@axis2"};
    }
    void keys()
    {
        QFETCH(int, axes);
        QFETCH(QString, focus);
        QFETCH(QStringList, events);
        Rig rig(axes);
        Multiaxis& w = *rig.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget* target = &w;
        if (focus == "button")
            target = w.findChild<QPushButton*>(QStringLiteral("pushButton_moveTo"));
        else if (focus == "box")
            target = w.spinBox_moveTo[0];
        target->setFocus();
        const QHash<QChar, int> codes{{'L', Qt::Key_Left}, {'R', Qt::Key_Right}, {'U', Qt::Key_Up},
                                      {'D', Qt::Key_Down}, {'^', Qt::Key_PageUp}, {'v', Qt::Key_PageDown}};
        const double before = w.spinBox_moveTo[0]->value();
        for (const QString& event : events) {
            if (event == "close") {
                w.close();
                continue;
            }
            if (event == "off") {
                QEvent deactivate(QEvent::WindowDeactivate);
                QApplication::sendEvent(&w, &deactivate);
                continue;
            }
            QWidget* receiver = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
            const int code = codes.value(event.at(0));
            if (event.at(1) == '+')
                key(receiver, QEvent::KeyPress, code);
            else if (event.at(1) == '-')
                key(receiver, QEvent::KeyRelease, code);
            else {
                key(receiver, QEvent::KeyRelease, code, true);
                key(receiver, QEvent::KeyPress, code, true);
            }
            // Each key goes out before the next, as at a person's pace.
            rig.settle();
        }
        QTEST_COMMANDS("sent");
        if (focus == "box")
            QVERIFY(w.spinBox_moveTo[0]->value() == before); // up then down
    }

    void returnStopsEveryAxisAtOnce()
    {
        Rig rig(3);
        Multiaxis& w = *rig.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.findChild<QPushButton*>(QStringLiteral("pushButton_home"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(commands(), byAxis((QStringList{"stop@axis1", "stop@axis2", "stop@axis3"})));
    }

    void mouseJogging()
    {
        Rig rig(2);
        Multiaxis& w = *rig.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QPushButton* button : {w.pushButton_joyDec[0], w.pushButton_joyInc[1]})
            button->setEnabled(true);
        QTest::mousePress(w.pushButton_joyInc[1], Qt::LeftButton);
        QTest::mouseRelease(w.pushButton_joyInc[1], Qt::LeftButton);
        // A modal opens while the button is held: its release never comes to the button.
        QTest::mousePress(w.pushButton_joyDec[0], Qt::LeftButton);
        QDialog modal;
        modal.setModal(true);
        modal.show();
        QVERIFY(QTest::qWaitFor([&] { return commands().size() == 4; }, boundMs));
        modal.hide();
        // A disabled button sends nothing.
        w.pushButton_joyInc[0]->setEnabled(false);
        QTest::mousePress(w.pushButton_joyInc[0], Qt::LeftButton);
        QCOMPARE(commands(), byAxis((QStringList{"right@axis2", "sstp@axis2", "left@axis1", "sstp@axis1"})));
    }

    // Soft stop decides on each controller's state now, not on the last sample (which says
    // every axis stands): a move sent a moment ago is soft-stopped, not powered off.
    void softStopFollowsTheMoveState()
    {
        Rig rig(3);
        trovsim_clock_manual(1);
        Multiaxis& w = *rig.window;
        const device_t y = w.deviceHandle[1].load(), z = w.deviceHandle[2].load();
        QCOMPARE(w.devices[1]->command_move(y, 5000, 0), 0);
        trovsim_advance_ms(200);
        QCOMPARE(w.devices[1]->command_sstp(y), 0);
        QCOMPARE(w.devices[2]->command_move(z, 5000, 0), 0);
        trovsim_journal_clear();
        w.OnSstpBtnPressed();
        QCOMPARE(commands(), byAxis((QStringList{"power_off@axis1", "stop@axis2", "sstp@axis3"})));
    }

    // A target typed in user units lands on the nearest microstep (count, on the DC axis Z),
    // however the ratio divides, and the position label then reads what was typed. Shifts
    // pressed in turn carry what a microstep leaves out, until a stop or a shift in steps
    // (units switched "steps" and back on, "units", between the presses).
    void typedUnitTargetsLandExactly_data()
    {
        QTest::addColumn<uint>("coeff1");
        QTest::addColumn<uint>("coeff2");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");  // X Y Z
        QTest::addColumn<QString>("landed"); // full steps (counts for Z)
        QTest::addColumn<QString>("labels"); // in mm
        QTest::newRow("100 steps per mm") << 100u << 1u << "moveTo" << "2.5 1.23 0.5" << "250 123 50" << "2.50 1.23 0.50";
        QTest::newRow("3 steps per unit") << 3u << 1u << "moveTo" << "0.5 1.23 -2" << "1.5 3.69140625 -6"
                                          << "0.50 1.23 -2.00";
        QTest::newRow("Shift on") << 100u << 1u << "shiftOn" << "1.23 -0.01 2.5" << "123 -1 250" << "1.23 -0.01 2.50";
        QTest::newRow("2 units per step, the nearest count") << 1u << 2u << "moveTo" << "5 0.5 3.4" << "2.5 0.25 2"
                                                             << "5.00 0.50 4.00";
        QTest::newRow("shifts carry") << 3u << 1u << "shiftOn shiftOn shiftOn" << "0.1 -0.1 0.5" << "0.8984375 -0.8984375 5"
                                      << "0.30 -0.30 1.67";
        QTest::newRow("a stop ends the carry") << 3u << 1u << "shiftOn STOP shiftOn" << "0.1 -0.1 0.5" << "0.30078125 -0.30078125 2"
                                               << "0.10 -0.10 0.67";
        QTest::newRow("a shift in steps ends the carry")
            << 29u << 3u << "shiftOn steps shiftOn units shiftOn" << "0.25 -0.5 1.5" << "7.25390625 -14.49609375 45"
            << "0.75 -1.50 4.66";
    }
    void typedUnitTargetsLandExactly()
    {
        QFETCH(uint, coeff1);
        QFETCH(uint, coeff2);
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(QString, landed);
        QFETCH(QString, labels);
        Rig rig(3, "axis1:10001:stepper;axis2:10002:stepper;axis3:10003:dc");
        trovsim_clock_manual(1);
        Multiaxis& w = *rig.window;
        w.settingsDlgs[2]->motorSettings->engine.MicrostepMode = MICROSTEP_MODE_FRAC_256; // a DC axis counts all the same
        w.receiveUnits(true, QStringLiteral("mm"), coeff1, coeff2, 2);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int s = 0; s < 3; ++s)
            typeInto(button == "moveTo" ? w.spinBox_moveTo[s] : w.spinBox_shiftOn[s], typed.split(' ')[s]);
        for (const QString& press : button.split(' ')) {
            if (press == "steps" || press == "units")
                w.receiveUnits(press == "units", QStringLiteral("mm"), coeff1, coeff2, 2);
            else
                QTest::mouseClick(w.findChild<QPushButton*>("pushButton_" + press), Qt::LeftButton);
        }
        QVERIFY(rig.settle());
        trovsim_advance_ms(60000);
        for (int a = 0; a < 3; ++a) {
            double steps = 0;
            trovsim_physical_position(axisNames[a], &steps);
            QCOMPARE(steps, landed.split(' ')[a].toDouble());
            status_t state{};
            QCOMPARE(w.devices[a]->get_status(w.deviceHandle[a].load(), &state), 0);
            w.UpdateVars(a, QDateTime::currentDateTimeUtc(), state, chart_data_t{}, analog_data_t{}, true, 2);
        }
        w.UpdateState();
        for (int s = 0; s < 3; ++s)
            QCOMPARE(w.curPos[s]->text(), labels.split(' ')[s] + " mm");
    }

    void targets_data()
    {
        QTest::addColumn<bool>("units");
        QTest::addColumn<bool>("click");
        QTest::addColumn<int>("slot");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("uStep");
        QTest::newRow("click x 10") << false << true << 0 << 10.0 << true << 10 << 128;
        QTest::newRow("click y -3") << false << true << 1 << -3.0 << true << -3 << 128;
        QTest::newRow("box 5.0 at F = 2") << true << false << 0 << 5.0 << true << 2 << 128;
        QTest::newRow("click 1e12") << false << true << 0 << 1e12 << true << INT_MAX << 0;
        QTest::newRow("click -1e12") << false << true << 1 << -1e12 << true << INT_MIN << 0;
        QTest::newRow("click past half a step: the carry in the steps") << false << true << 0 << 5304.75 << true << 5305 << 64;
        QTest::newRow("click at -3.75: microsteps within the divisor") << false << true << 1 << -3.75 << true << -4 << 192;
        QTest::newRow("NaN sends nothing") << true << false << 0 << std::nan("") << false << 0 << 0;
        QTest::newRow("infinity sends nothing") << false << true << 1 << HUGE_VAL << false << 0 << 0;
    }
    void targets()
    {
        QFETCH(bool, units);
        QFETCH(bool, click);
        QFETCH(int, slot);
        QFETCH(double, value);
        Rig rig(2);
        Multiaxis& w = *rig.window;
        w.units.recalcEnabled = units;
        w.units.coeff1 = 1;
        w.units.coeff2 = 2;
        UserUnits::StepPair target{7, 7};
        QTEST(w.motion->slotTarget(slot, value, click, &target), "sent");
        QFETCH(bool, sent);
        if (sent) {
            QTEST(target.step, "step");
            QTEST(target.uStep, "uStep");
        }
        // The plot click sends exactly that, and nothing at all for a value that is not finite.
        if (click) {
            w.OnPickerXYPointSelected(slot == 0 ? QPointF(value, 1) : QPointF(1, value));
            QCOMPARE(commands().count(QStringLiteral("move@axis%1").arg(slot + 1)), sent ? 1 : 0);
        }
    }

    void swappedAxesTakeTheirOwnDivisor()
    {
        Rig rig(2);
        Multiaxis& w = *rig.window;
        w.settingsDlgs[1]->motorSettings->engine.MicrostepMode = MICROSTEP_MODE_FRAC_16;
        w.axisOrder[0] = 1;
        w.axisOrder[1] = 0;
        UserUnits::StepPair target;
        QVERIFY(w.motion->slotTarget(0, 10.0, true, &target));
        QCOMPARE(target.uStep, 8); // half a step at 1/16
        w.OnPickerXYPointSelected(QPointF(10, -3));
        QCOMPARE(commands(), byAxis((QStringList{"move@axis2", "move@axis1"})));
    }

    void appliedDivisorReachesTheBoxes()
    {
        Rig rig(2);
        Multiaxis& w = *rig.window;
        w.spinBox_moveTo[0]->setValue(10, 128);
        w.settingsDlgs[0]->motorSettings->engine.MicrostepMode = MICROSTEP_MODE_FRAC_16;
        w.updateSettings();
        QCOMPARE(w.spinBox_moveTo[0]->getStep(), 10);
        QCOMPARE(w.spinBox_moveTo[0]->getUStep(), 8); // still 10.5 steps
    }

    void stopEndsTheScriptFirst()
    {
        Rig rig(2);
        Multiaxis& w = *rig.window;
        auto* startBtn = w.scriptDlg->findChild<QPushButton*>("startBtn");
        auto* stopBtn = w.scriptDlg->findChild<QPushButton*>("stopBtn");
        w.scriptDlg->editor()->setPlainText("x = newaxis(10001); y = newaxis(10002); while (true) { x.movr(10); y.movr(-10); msleep(20); }");
        startBtn->click();
        QVERIFY(QTest::qWaitFor([] { return trovsim_call_count("sim:axis2", "command_movr") >= 2; }, boundMs));
        QVERIFY(!startBtn->isEnabled() && stopBtn->isEnabled());
        w.OnStopBtnPressed();
        QVERIFY(QTest::qWaitFor([&] { return !w.scriptEngine()->isBusy(); }, boundMs));
        QTest::qWait(50);
        // On each axis the stop is the last command: none of the script's follows it.
        const QStringList sent = commands();
        QVERIFY(sent.contains(QStringLiteral("movr@axis2")));
        QCOMPARE(sent.filter("@axis1").last(), QStringLiteral("stop@axis1"));
        QCOMPARE(sent.filter("@axis2").last(), QStringLiteral("stop@axis2"));
        QCOMPARE(sent.count(QStringLiteral("stop@axis2")), 1);
        QVERIFY(startBtn->isEnabled() && !stopBtn->isEnabled());
    }

    // With no scratch file the window opens with a default script of its own, filled with its
    // axes, and runs it; then an error reaches the program log with its line.
    void defaultScriptAndScriptError()
    {
        MessageLog log;
        messageLog = &log;
        QFile::remove(ScriptDlg::defaultScratchPath());
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(QCoreApplication::applicationDirPath() + "/.."));
        Rig rig(2);
        qunsetenv("TOLMO_SHARE_DIR");
        ScriptDlg* dialog = rig.window->scriptDlg;
        auto* startBtn = dialog->findChild<QPushButton*>("startBtn");
        QVERIFY(dialog->editor()->toPlainText().contains("var serials = [10001, 10002];"));
        startBtn->click();
        QVERIFY(QTest::qWaitFor([] { return trovsim_call_count("sim:axis2", "command_move") == 1; }, boundMs));
        QCOMPARE(trovsim_call_count("sim:axis1", "command_move"), 1);
        dialog->findChild<QPushButton*>("stopBtn")->click();
        QVERIFY(QTest::qWaitFor([&] { return startBtn->isEnabled(); }, boundMs));
        dialog->editor()->setPlainText("var a = newaxis(10001);\na.move('abc', {x: 1});");
        startBtn->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialog->errorMessage().isEmpty(); }, boundMs));
        messageLog = nullptr;
        QStringList lines;
        for (LogItem item; log.takeItem(&item);)
            lines << QStringLiteral("%1 %2 %3").arg(item.source).arg(item.loglevel).arg(item.message);
        QCOMPARE(lines.filter(QRegularExpression("^Script ")),
                 QStringList("Script 1 Line 2: TypeError: move(): the target must be finite and within the 32-bit range"));
    }

    // STOP and Soft stop reach every axis at once; X, its gateway held by a status read, once the
    // read ends, or an error names it lost. X back, not sampled yet, may have run on: stopped too.
    void stopsReachEveryAxis_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("xGets");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("STOP, X held") << "STOP" << "held" << "stop" << "stop" << QStringList();
        QTest::newRow("STOP, X lost")
            << "STOP" << "lost" << "stop" << "stop"
            << QStringList{"SN 10001: Stop waits for the controller to come back.", "SN 10001: Stop sent, N s after it was pressed."};
        QTest::newRow("Soft stop, X lost: a soft stop once it is back")
            << "softStop" << "lost" << "power_off" << "sstp"
            << QStringList{"SN 10001: Soft stop waits for the controller to come back.",
                           "SN 10001: Soft stop sent, N s after it was pressed."};
        QTest::newRow("STOP, X back, not sampled yet") << "STOP" << "back" << "stop" << "stop" << QStringList();
        QTest::newRow("STOP, X's and Y's stops take 800 ms: Z's goes at once")
            << "STOP" << "slow" << "stop" << "stop" << QStringList();
        QTest::newRow("jog released, X held: its soft stop goes when the read ends")
            << "jog" << "held" << "" << "right sstp" << QStringList();
        // The last sample showed X in its bootloader; polling has opened it again since, and it
        // may run its firmware and move: STOP goes to it.
        QTest::newRow("STOP, X opened again after its bootloader, not sampled yet")
            << "STOP" << "from bootloader" << "stop" << "stop" << QStringList();
        // Released while X is lost (its jog buttons greyed): the release waits for X's return.
        QTest::newRow("jog released while X is lost: its soft stop goes once X is back")
            << "jog" << "lost while jogging" << "" << "right sstp"
            << QStringList{"SN 10001: Jog release waits for the controller to come back.",
                           "SN 10001: Jog release sent, N s after the jog was let go."};
        // X answers in 800 ms; a key held on it repeats for 2.5 s before STOP: one jog, and the
        // STOP in the place of its release.
        QTest::newRow("a key held on a slow X, then STOP") << "key" << "slow" << "stop" << "right stop" << QStringList();
        // X's courier reads X's settings on its return while Y's status read is held: X's STOP
        // does not wait for Y's poll.
        QTest::newRow("STOP during X's read, Y's status read held") << "STOP" << "reading" << "" << "stop" << QStringList();
    }
    void stopsReachEveryAxis()
    {
        QFETCH(QString, button);
        QFETCH(QString, x);
        QFETCH(QString, command);
        MessageLog log;
        messageLog = &log;
        const auto unset = qScopeGuard([] { messageLog = nullptr; }); // a failed row too
        Rig rig(3);
        Multiaxis& w = *rig.window;
        QObject::disconnect(&log, &MessageLog::itemsWaiting, nullptr, nullptr); // the lines stay for the test
        if (x == "back") {
            rig.sample(0, 0, false);
        } else if (x == "from bootloader") {
            w.UpdateVars(0, QDateTime::currentDateTimeUtc(), status_t{}, chart_data_t{}, analog_data_t{}, true, 1);
            QVERIFY(w.updateThreads[0]->reconnect());
        } else if (x == "slow" && button == "key") {
            // The jog's own call is held in the library as long as the key is; the rest take 800 ms.
            QCOMPARE(trovsim_hold_call(axisNames[0], "command_right"), 0);
            for (const char* call : {"command_sstp", "command_stop"})
                QCOMPARE(trovsim_delay_call(axisNames[0], call, 800, -1), 0);
        } else if (x == "slow") {
            for (int a = 0; a < 2; ++a)
                QCOMPARE(trovsim_delay_call(axisNames[a], "command_stop", 800, 1), 0);
        } else if (x == "lost while jogging") {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTest::mousePress(w.pushButton_joyInc[0], Qt::LeftButton);
            QVERIFY(rig.settle());
            QCOMPARE(trovsim_unplug(axisNames[0]), 0);
            QTRY_COMPARE_WITH_TIMEOUT(w.deviceHandle[0].load(), -1, boundMs);
            rig.sample(0, 0, false);
            w.UpdateState();
            QVERIFY(!w.pushButton_joyInc[0]->isEnabled());
        } else if (x == "reading") {
            // X comes back: its slot has its settings read on its courier, which waits for Y's poll.
            QCOMPARE(trovsim_hold_call(axisNames[1], "get_status"), 0);
            QCOMPARE(trovsim_wait_held(axisNames[1], "get_status", boundMs), 0);
            rig.sample(0, 0, false);
            w.UpdateState();
            rig.sample(0, 0);
            w.UpdateState();
            QTRY_VERIFY_WITH_TIMEOUT(!w.couriers[0]->idle(), boundMs);
        } else {
            QCOMPARE(trovsim_hold_call(axisNames[0], "get_status"), 0);
            QCOMPARE(trovsim_wait_held(axisNames[0], "get_status", boundMs), 0);
        }
        if (x != "lost while jogging")
            trovsim_journal_clear();
        if (button == "jog" && x == "lost while jogging") {
            // The button is greyed now: the window's release of the press it saw.
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w.pushButton_joyInc[0], &release);
            QTRY_VERIFY_WITH_TIMEOUT(w.couriers[0]->awaitsController(), boundMs);
            QCOMPARE(trovsim_plug(axisNames[0], 0), 0);
            QTRY_VERIFY_WITH_TIMEOUT(w.couriers[0]->idle(), 3 * boundMs);
            QCOMPARE(commands(), byAxis({"right@axis1", "sstp@axis1"}));
            QStringList lines = takeLogMessages(log).filter(QRegularExpression("^SN 10001: Jog release "));
            lines.replaceInStrings(QRegularExpression("\\d+(\\.\\d)? s after"), "N s after");
            QTEST(lines, "errors");
            return;
        }
        if (button == "key") {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.findChild<QPushButton*>(QStringLiteral("pushButton_moveTo"))->setFocus();
            const auto key = [&w](QEvent::Type type, bool repeat) {
                QKeyEvent event(type, Qt::Key_Right, Qt::NoModifier, QString(), repeat);
                QApplication::sendEvent(&w, &event);
            };
            key(QEvent::KeyPress, false);
            QCOMPARE(trovsim_wait_held(axisNames[0], "command_right", boundMs), 0);
            // 2.5 s of a held key, as the keyboard repeats it every 40 ms.
            for (int i = 0; i < 62; ++i) {
                key(QEvent::KeyRelease, true);
                key(QEvent::KeyPress, true);
            }
            key(QEvent::KeyRelease, false);
            w.findChild<QPushButton*>("pushButton_STOP")->click();
            QTRY_COMPARE_WITH_TIMEOUT(byAxis(commandsNow()), byAxis({"stop@axis2", "stop@axis3"}), boundMs);
            QCOMPARE(trovsim_release_call(axisNames[0], "command_right"), 0);
            QTRY_VERIFY_WITH_TIMEOUT(commandsNow().contains("stop@axis1"), 3 * boundMs);
            QCOMPARE(trovsim_call_count(axisNames[0], "command_sstp"), 0);
            QCOMPARE(commands(), byAxis({"right@axis1", "stop@axis1", "stop@axis2", "stop@axis3"}));
            return;
        }
        if (button == "jog") {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTest::mousePress(w.pushButton_joyInc[0], Qt::LeftButton);
            QTest::mouseRelease(w.pushButton_joyInc[0], Qt::LeftButton);
        } else {
            w.findChild<QPushButton*>("pushButton_" + button)->click();
        }
        QFETCH(QString, xGets);
        QStringList onX, onYZ;
        for (const QString& name : xGets.split(' '))
            onX << name + "@axis1";
        if (!command.isEmpty())
            onYZ << command + "@axis2" << command + "@axis3";
        if (x == "slow") {
            // The click is over, and Z stopped, while X's and Y's stops are still on their way.
            QTRY_VERIFY_WITH_TIMEOUT(commandsNow().contains("stop@axis3"), boundMs);
            QCOMPARE(commandsNow(), QStringList{"stop@axis3"});
            QCOMPARE(commands(), byAxis(onX + onYZ));
        } else if (x == "back" || x == "from bootloader") {
            QCOMPARE(commands(), byAxis(onX + onYZ));
        } else if (x == "reading") {
            // X's stop goes while Y's read is still held; Y's waits for it.
            QTRY_VERIFY_WITH_TIMEOUT(commandsNow().contains("stop@axis1"), boundMs);
            QVERIFY(commandsNow().contains("stop@axis3"));
            QVERIFY(!commandsNow().contains("stop@axis2"));
            QCOMPARE(trovsim_release_call(axisNames[1], "get_status"), 0);
            QVERIFY(rig.settle());
            QCOMPARE(commands(), byAxis({"stop@axis1", "stop@axis2", "stop@axis3"}));
            return;
        } else {
            // Y and Z have theirs while X's gateway is held.
            QTRY_COMPARE_WITH_TIMEOUT(byAxis(commandsNow()), onYZ, boundMs);
        }
        if (x == "lost")
            QCOMPARE(trovsim_unplug(axisNames[0]), 0);
        if (x == "held" || x == "lost")
            QCOMPARE(trovsim_release_call(axisNames[0], "get_status"), 0);
        if (x == "lost") {
            // X's stop waits for polling to open the controller again, then goes.
            QTRY_VERIFY_WITH_TIMEOUT(w.couriers[0]->awaitsController(), boundMs);
            QCOMPARE(trovsim_plug(axisNames[0], 0), 0);
            QTRY_VERIFY_WITH_TIMEOUT(w.couriers[0]->idle(), 3 * boundMs);
            QStringList lastOnX;
            for (int i = 0; i < trovsim_journal_size(); ++i) {
                trovsim_call_t call{};
                if (trovsim_journal_entry(i, &call) == 0 && QByteArray(call.device) == axisNames[0]
                    && QByteArray(call.function).startsWith("command_"))
                    lastOnX = QStringList{QStringLiteral("%1 %2").arg(call.function).arg(call.result)};
            }
            QCOMPARE(lastOnX, QStringList{"command_" + xGets + " 0"});
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(w.couriers[0]->idle(), boundMs);
            QCOMPARE(commands(), byAxis(onYZ + onX));
        }
        QStringList lines = takeLogMessages(log).filter(QRegularExpression("^SN 10001: (Stop|Soft stop) "));
        lines.replaceInStrings(QRegularExpression("\\d+(\\.\\d)? s after"), "N s after");
        QTEST(lines, "errors");
    }

    // Rows run with the wait box out of the way; samples come after the soft stops unless "stale".
    // Each step: "a:mvcmd" samples, "lost:a" an unplugged sample, "refresh" one refresh, "asked"
    // until the question about a soft stop that waits has come and gone.
    // Faults: "title bar" closes by the title bar, "boot" puts lostBefore in its bootloader.
    void exitSequence_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("lostBefore");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("message");
        const QStringList stops{"sstp@axis1", "sstp@axis2", "sstp@axis3"};
        const QStringList offs{"power_off@axis1", "power_off@axis2", "power_off@axis3"};
        QTest::newRow("running stops wait, then power off")
            << "" << -1 << QStringList{"0:88", "1:08", "2:08", "refresh", "0:08", "refresh"} << stops + offs << true << "";
        QTest::newRow("running on its own waits") << "" << -1 << QStringList{"0:88", "1:88", "2:88", "refresh"} << stops << false << "";
        QTest::newRow("0x09 warns") << "" << -1 << QStringList{"0:09", "1:08", "2:08", "refresh"} << stops << false << "external";
        QTest::newRow("external command warns")
            << "" << -1 << QStringList{"0:08", "1:83", "2:08", "refresh"} << stops << false << "external";
        QTest::newRow("finished move read before the stop")
            << "" << -1 << QStringList{"stale 0:01", "1:08", "2:08", "refresh", "0:08", "refresh"} << stops + offs << true << "";
        // Refused four times, as the courier tries a refused stop.
        QTest::newRow("soft stop fails on axis 1")
            << "sstp" << -1 << QStringList{"refresh"}
            << QStringList{"sstp@axis1", "sstp@axis1", "sstp@axis1", "sstp@axis1", "sstp@axis2", "sstp@axis3"} << false
            << "The soft stop failed on the axis with serial number 10001. The window stays open.\n"
               "SN 10001 may still be moving: STOP stops it.";
        // Lost once its soft stop went: it gets another, which waits for its return.
        QTest::newRow("unplugged during the wait")
            << "" << -1 << QStringList{"0:88", "lost:1", "refresh"} << stops + QStringList{"sstp@axis2"} << false << "";
        const QStringList xz{"sstp@axis1", "sstp@axis3"}, xzOff{"power_off@axis1", "power_off@axis3"};
        // The others are stopped and powered off, then the exit asks about the lost one; Cancel
        // keeps the window, its soft stop still waiting.
        QTest::newRow("axis 2 unplugged before")
            << "unplug" << 1 << QStringList{"0:08", "lost:1", "2:08", "refresh"} << xz + xzOff << false
            << "Exit: SN 10002 is lost; its soft stop goes out when it is back.";
        // It comes back while the question is on show: its soft stop goes, the question goes, and
        // the exit ends by itself.
        QTest::newRow("axis 2 unplugged before, back while asked")
            << "return" << 1 << QStringList{"0:08", "2:08", "refresh", "asked", "1:08", "refresh"}
            << xz + xzOff + QStringList{"sstp@axis2", "power_off@axis2"} << true
            << "Exit: SN 10002 is lost; its soft stop goes out when it is back.";
        QTest::newRow("axis 2 reopened, not sampled yet: stopped and powered off")
            << "back" << 1 << QStringList{"0:08", "1:08", "2:08", "refresh"} << stops + offs << true << "";
        QTest::newRow("axis 2 in its bootloader") << "boot" << 1 << QStringList{"0:08", "2:08", "refresh"} << xz + xzOff << true << "";
        QTest::newRow("title bar") << "title bar" << -1 << QStringList{"0:08", "1:08", "2:08", "refresh"} << stops + offs << true << "";
    }
    void exitSequence()
    {
        QFETCH(QString, fault);
        QFETCH(int, lostBefore);
        QFETCH(QStringList, steps);
        QFETCH(QString, message);
        Rig rig(3);
        Multiaxis& w = *rig.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (fault == "unplug" || fault == "return") { // polling lets the handle go
            QCOMPARE(trovsim_unplug(axisNames[lostBefore]), 0);
            QTRY_COMPARE_WITH_TIMEOUT(w.deviceHandle[lostBefore].load(), -1, boundMs);
        }
        if (fault == "return") {
            rig.prompter.whileOpen = [&rig, lostBefore] {
                QCOMPARE(trovsim_plug(axisNames[lostBefore], 0), 0);
                QTRY_VERIFY_WITH_TIMEOUT(rig.prompter.dismissed, 3 * boundMs);
            };
        }
        if (lostBefore >= 0) {
            w.UpdateVars(lostBefore, QDateTime::currentDateTimeUtc(), status_t{}, chart_data_t{}, analog_data_t{},
                         fault == "boot", fault == "boot" ? 1 : 0);
        }
        if (fault == "boot")
            QTest::ignoreMessage(QtWarningMsg, "Exit: SN 10002 is in its bootloader; it is neither soft-stopped nor powered off.");
        else if (lostBefore >= 0 && fault != "back")
            QTest::ignoreMessage(QtWarningMsg, "Exit: SN 10002 is lost; its soft stop goes out when it is back.");
        if (fault == "sstp")
            trovsim_force_result("sim:axis1", "command_sstp", -1, -1);
        w.exitWaitBox = nullptr; // the exec would hold the test
        if (fault == "title bar") {
            QVERIFY(!w.windowHandle()->close());
            QTRY_VERIFY_WITH_TIMEOUT(w.exitPending, boundMs);
        } else {
            w.OnExitBtnPressed();
        }
        QVERIFY(rig.settle()); // the soft stops have answered
        for (const QString& step : steps) {
            if (step == "refresh")
                w.UpdateState();
            else if (step == "asked") // the question has come and gone
                QTRY_VERIFY_WITH_TIMEOUT(rig.prompter.dismissed && rig.settle(), 3 * boundMs);
            else if (step.startsWith("lost:"))
                rig.sample(step.mid(5).toInt(), 0, false);
            else if (step.startsWith("stale "))
                rig.sample(step.mid(6, 1).toInt(), step.mid(8).toInt(nullptr, 16), true, true);
            else
                rig.sample(step.left(1).toInt(), step.mid(2).toInt(nullptr, 16));
        }
        QTEST_COMMANDS("sent");
        QTEST(w.isShutDown(), "closed");
        // A question comes on the next turn of the event loop.
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.texts.size(), message.isEmpty() ? 0 : 1, boundMs);
        if (!message.isEmpty())
            QVERIFY2(rig.prompter.texts[0].contains(message == "external" ? "external command" : message),
                     qPrintable(rig.prompter.texts[0]));
        if (!w.isShutDown() && message.isEmpty())
            QVERIFY(w.exitPending);
        else if (!w.isShutDown())
            QVERIFY(!w.exitPending);
        if (fault == "sstp") {
            // A close after it tries the exit again, which fails again and asks at once; the
            // prompter's Ok keeps the window.
            QFETCH(QStringList, sent);
            QVERIFY(!w.windowHandle()->close());
            QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.texts.size(), 2, boundMs);
            QVERIFY2(rig.prompter.texts[1].contains("Exit could not stop SN 10001"), qPrintable(rig.prompter.texts[1]));
            QVERIFY(rig.settle());
            QCOMPARE(commands(), byAxis(sent + sent));
            QVERIFY(!w.isShutDown());
            // The next close tries once more before it asks: the fault may be gone.
            trovsim_force_result("sim:axis1", "command_sstp", 0, 0);
            QVERIFY(!w.windowHandle()->close());
            QTRY_VERIFY_WITH_TIMEOUT(w.exitPending || w.isShutDown(), boundMs);
            QCOMPARE(rig.prompter.texts.size(), 2);
        }
    }

    void powerOffTriedThreeTimesThenAsks()
    {
        Rig rig(2);
        Multiaxis& w = *rig.window;
        trovsim_force_result("sim:axis2", "command_power_off", -1, -1);
        w.exitWaitBox = nullptr;
        w.OnExitBtnPressed();
        QVERIFY(rig.settle());
        rig.sample(0, 0x08);
        rig.sample(1, 0x08);
        bool asked = false;
        // The question comes with the last round's answers.
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            if (!QApplication::activeModalWidget())
                return;
            for (QPushButton* button : QApplication::activeModalWidget()->findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("Keep window open")) {
                    asked = true;
                    button->click();
                }
            }
        });
        answerer.start(10);
        for (int refresh = 0; refresh < 4; ++refresh) {
            w.UpdateState();
            QVERIFY(rig.settle());
        }
        QVERIFY(asked);
        QCOMPARE(trovsim_call_count("sim:axis2", "command_power_off"), 3);
        QCOMPARE(trovsim_call_count("sim:axis1", "command_power_off"), 1);
        QVERIFY(!w.isShutDown() && !w.exitPending);
    }

    // A group button, clicked, reaches every axis once, in axis order; targets typed over the
    // boxes go to their own axis; a box that holds no target stops the group, nothing is sent,
    // and it keeps what was typed, whatever happens next ("then"), until the button is clicked
    // again and refuses it again.
    void groupButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<uint>("units");         // steps per mm; 0: targets in steps
        QTest::addColumn<QString>("command");    // for each button clicked; empty: nothing sent
        QTest::addColumn<QList<double>>("at");    // empty: not looked at
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("then");        // Global settings "OK", "units" switched, axis "order"; "arrows"
        QTest::addColumn<QString>("refusedThen"); // the refusal after "then", in the unit shown; empty: as before
        QTest::newRow("Move to") << "moveTo" << QStringList{"1000", "-2000 128/256", "300 64"} << 0u << "move"
                                 << QList<double>{1000, -2000.5, 300.25} << "" << "" << "";
        QTest::newRow("Shift on, user units") << "shiftOn" << QStringList{"-40", "70.5", "5"} << 1u << "movr"
                                              << QList<double>{-40, 70.5, 5} << "" << "" << "";
        QTest::newRow("Y holds a sign only") << "moveTo" << QStringList{"1000", "-", "300"} << 0u << ""
                                             << QList<double>{0, 0, 0} << "SN 10002, Move to: \"-\" is not a target" << "" << "";
        QTest::newRow("X a hundredth beyond the box in mm")
            << "moveTo" << QStringList{"-2147483.65", "2", "3"} << 1000u << "" << QList<double>{0, 0, 0}
            << "SN 10001, Move to: \"-2147483.65\" is beyond what the box can hold, -2147483.64 to 2147483.64 mm" << "" << "";
        QTest::newRow("Home, Zero, Stop") << "home STOP zero" << QStringList{} << 0u << "home stop zero"
                                          << QList<double>{} << "" << "" << "";
        const QString beyond = "\" is beyond what the box can hold, -2147483648 to 2147483647 steps";
        QTest::newRow("X beyond, then Global settings OK")
            << "moveTo" << QStringList{"99999999999", "2", "3"} << 0u << "" << QList<double>{0, 0, 0}
            << "SN 10001, Move to: \"99999999999" + beyond << "OK" << "";
        QTest::newRow("Y's shift beyond, then units on")
            << "shiftOn" << QStringList{"1", "-30000000000", "3"} << 0u << "" << QList<double>{0, 0, 0}
            << "SN 10002, Shift on: \"-30000000000" + beyond << "units"
            << "SN 10002, Shift on: \"-30000000000.00\" is beyond what the box can hold, -2147483648.00 to 2147483647.00 mm";
        QTest::newRow("X beyond in mm, then units off")
            << "moveTo" << QStringList{"-2147483.65", "2", "3"} << 1000u << "" << QList<double>{0, 0, 0}
            << "SN 10001, Move to: \"-2147483.65\" is beyond what the box can hold, -2147483.64 to 2147483.64 mm" << "units"
            << "SN 10001, Move to: \"-2147483650 0/256" + beyond;
        QTest::newRow("X beyond, then X and Y swapped")
            << "moveTo" << QStringList{"99999999999", "2", "3"} << 0u << "" << QList<double>{0, 0, 0}
            << "SN 10001, Move to: \"99999999999" + beyond << "order" << "";
        QTest::newRow("Z beyond, then the arrows")
            << "moveTo" << QStringList{"1", "2", "99999999999"} << 0u << "" << QList<double>{0, 0, 0}
            << "SN 10003, Move to: \"99999999999" + beyond << "arrows" << "";
    }
    void groupButtons()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, typed);
        QFETCH(QString, command);
        QFETCH(QList<double>, at);
        Rig rig(3, "axis1:10001:stepper;axis2:10002:stepper;axis3:10003:stepper");
        trovsim_clock_manual(1);
        Multiaxis& w = *rig.window;
        QFETCH(uint, units);
        QFETCH(QString, refusal);
        w.receiveUnits(units > 0, QStringLiteral("mm"), units > 0 ? units : 1, 1, 2);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int s = 0; s < typed.size(); ++s)
            typeInto(button == "moveTo" ? w.spinBox_moveTo[s] : w.spinBox_shiftOn[s], typed[s]);
        if (!refusal.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(refusal + "; nothing was sent."));
        QStringList sent;
        for (const QString& name : button.split(' ')) {
            QTest::mouseClick(w.findChild<QPushButton*>("pushButton_" + name), Qt::LeftButton);
            QVERIFY(rig.settle()); // a stop drops what still waits
        }
        QFETCH(QString, then);
        if (!then.isEmpty()) {
            const int refused = refusal.at(7).digitValue() - 1;
            StepSpinBox* box = button == "moveTo" ? w.spinBox_moveTo[refused] : w.spinBox_shiftOn[refused];
            const QString shown = box->text();
            if (then == "arrows") {
                w.activateWindow(); // the keys edit the box, they jog nothing
                QVERIFY(QTest::qWaitForWindowActive(&w));
                QTest::keyClick(box, Qt::Key_Up);
                QTest::keyClick(box, Qt::Key_PageDown);
            } else {
                QTimer::singleShot(0, [&] {
                    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<DimensionalUnitsDlg*>(QApplication::activeModalWidget()), boundMs);
                    QWidget* dialog = QApplication::activeModalWidget();
                    if (then == "units")
                        dialog->findChild<QCheckBox*>("checkBox")->toggle();
                    if (then == "order") {
                        dialog->findChild<QListWidget*>("listWidget")->setCurrentRow(1);
                        static_cast<DimensionalUnitsDlg*>(dialog)->onBtnUpPressed();
                    }
                    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                });
                QTest::mouseClick(w.findChild<QPushButton*>("pushButton_calibration"), Qt::LeftButton);
                QCOMPARE(w.units.recalcEnabled, (units > 0) != (then == "units"));
            }
            // The refused text goes with its axis.
            const int slot = int(std::find(w.axisOrder, w.axisOrder + 3, refused) - w.axisOrder);
            QCOMPARE(slot, then == "order" ? 1 - refused : refused);
            box = button == "moveTo" ? w.spinBox_moveTo[slot] : w.spinBox_shiftOn[slot];
            // Units switched, it reads in the unit shown.
            QFETCH(QString, refusedThen);
            const QString again = refusedThen.isEmpty() ? refusal : refusedThen;
            const int quote = again.indexOf('"') + 1;
            const QString shownThen = refusedThen.isEmpty() ? shown : again.mid(quote, again.indexOf('"', quote) - quote) + box->suffix();
            QCOMPARE(box->text(), shownThen);
            QTest::ignoreMessage(QtWarningMsg, qPrintable(again + "; nothing was sent."));
            QTest::mouseClick(w.findChild<QPushButton*>("pushButton_" + button), Qt::LeftButton);
            QVERIFY(rig.settle());
            QCOMPARE(box->text(), shownThen);
        }
        for (const QString& name : command.split(' ', Qt::SkipEmptyParts)) {
            for (int a = 1; a <= 3; ++a)
                sent << QStringLiteral("%1@axis%2").arg(name).arg(a);
        }
        QCOMPARE(commands(), byAxis(sent));
        trovsim_advance_ms(60000);
        for (int a = 0; a < at.size(); ++a) {
            double steps = 0;
            trovsim_physical_position(axisNames[a], &steps);
            QCOMPARE(steps, at[a]);
        }
    }

    // An axis lost or in its bootloader: its slot says so and its controls are off, no group
    // command, jog, plot click or script call reaches it, and each spell's first skip is logged once.
    // One whose handle polling has let go is shown lost at once, before a sample says so; until
    // polling has opened it again a sample of its firmware does not bring it back.
    void outOfUseAxisIsLeftAlone_data()
    {
        QTest::addColumn<QString>("away");
        QTest::newRow("opened in its bootloader") << "";
        QTest::newRow("switched to its bootloader") << "boot";
        QTest::newRow("unplugged") << "unplug";
    }
    void outOfUseAxisIsLeftAlone()
    {
        QFETCH(QString, away);
        const bool connected = away != "unplug";
        MessageLog log;
        messageLog = &log;
        Rig rig(3, away.isEmpty() ? "axis1:10001:stepper;axis2:10002:stepper:boot;axis3:10003:dc"
                                  : "axis1:10001:stepper;axis2:10002:stepper;axis3:10003:dc");
        trovsim_clock_manual(1);
        Multiaxis& w = *rig.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QObject::disconnect(&log, &MessageLog::itemsWaiting, nullptr, nullptr); // the lines stay for the test
        const auto runScript = [script = w.scriptEngine()](const QString& text) {
            const quint64 before = script->runCount();
            const bool ran = script->requestRun(text)
                             && QTest::qWaitFor([&] { return script->runCount() > before && !script->isBusy(); }, boundMs);
            return ran ? script->engine()->globalObject().property(QStringLiteral("result")).toString() : QString("not run");
        };
        QCOMPARE(runScript("x = newaxis(10001); y = newaxis(10002); result = y !== null"), QStringLiteral("true"));
        if (away == "boot")
            QCOMPARE(trovsim_enter_bootloader("sim:axis2", 1), 0);
        const auto showY = [&](bool working, const QString& title) {
            w.UpdateVars(1, QDateTime::currentDateTimeUtc(), status_t{}, chart_data_t{}, analog_data_t{},
                         working || connected, working ? 2 : connected ? 1 : 0);
            w.UpdateState();
            QCOMPARE(w.groupBox[1]->title(), "Motor Y, SN 10002" + title);
            // Named in the window's title while it is there, in its bootloader too.
            QCOMPARE(w.windowTitle().contains(QLatin1String("10002")), working || connected);
            for (QWidget* control : std::initializer_list<QWidget*>{w.spinBox_moveTo[1], w.spinBox_shiftOn[1],
                                                                    w.pushButton_joyDec[1], w.pushButton_joyInc[1]})
                QCOMPARE(control->isEnabled(), working);
            // Its firmware is updated from its settings.
            QCOMPARE(w.findChild<QPushButton*>("pushButton_settings_2")->isEnabled(), working || connected);
        };
        for (int spell = 0; spell < 2; ++spell) {
            if (away == "unplug") {
                QCOMPARE(trovsim_unplug("sim:axis2"), 0);
                // Polling finds the loss and lets the handle go: until then STOP still goes to it.
                QTRY_COMPARE_WITH_TIMEOUT(w.deviceHandle[1].load(), -1, boundMs);
                w.UpdateState();
                QCOMPARE(w.groupBox[1]->title(), QStringLiteral("Motor Y, SN 10002 (disconnected)"));
                QVERIFY(!w.spinBox_moveTo[1]->isEnabled() && !w.pushButton_joyInc[1]->isEnabled());
            }
            showY(false, connected ? " (bootloader v1.2.0)" : " (disconnected)");
            trovsim_journal_clear();
            for (const char* name : {"moveTo", "shiftOn", "home", "zero", "STOP", "softStop"}) {
                QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("pushButton_") + name), Qt::LeftButton);
                QVERIFY(rig.settle()); // a stop drops what still waits
            }
            w.setFocus();
            key(&w, QEvent::KeyPress, Qt::Key_Up);
            key(&w, QEvent::KeyRelease, Qt::Key_Up);
            w.OnPickerXYPointSelected(QPointF(1, 1));
            QCOMPARE(runScript("result = [y.move(5), y.movr(6, 1), y.rigt(), y.gets(), x.movr(1)].map(String).join()"),
                     QStringLiteral("undefined,undefined,undefined,undefined,undefined"));
            const QStringList sent = commands();
            QVERIFY2(sent.size() == 14, qPrintable(sent.join(' '))); // a call with handle -1 names no device
            QCOMPARE(sent.filter("@axis1").size(), 8); // six buttons, the click and the script
            QCOMPARE(sent.filter("@axis3").size(), 6);
            const QStringList lines = takeLogMessages(log);
            const QString why = connected ? "skipped: the controller is in its bootloader" : "skipped: the controller is lost";
            QCOMPARE(lines.filter(QRegularExpression("^SN 10002 " + QRegularExpression::escape(why))).size(), 1);
            QCOMPARE(lines.filter("Script call to SN 10002 " + why).size(), 1);
            if (away == "unplug")
                QCOMPARE(trovsim_plug("sim:axis2", 0), 0);
            // Dropped off to switch, or unplugged: polling opens it again after its interval.
            QTRY_VERIFY_WITH_TIMEOUT(w.deviceHandle[1].load() != -1, boundMs);
            QTRY_VERIFY_WITH_TIMEOUT(w.couriers[1]->idle(), boundMs); // the stop that waited for it is out
            showY(true, QString());
        }
        messageLog = nullptr;
    }

    void cancelThenJogWarnsNothing()
    {
        Rig rig(2);
        Multiaxis& w = *rig.window;
        w.show();
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY_WITH_TIMEOUT(w.exitWaitBox->isVisible(), boundMs);
            for (QPushButton* button : w.exitWaitBox->findChildren<QPushButton*>())
                button->click();
        });
        w.OnExitBtnPressed(); // returns once the box is cancelled
        QVERIFY(!w.exitPending);
        rig.sample(0, MVCMD_LEFT | MVCMD_RUNNING);
        w.UpdateState();
        QVERIFY(rig.prompter.texts.isEmpty());
        QVERIFY(!w.isShutDown());
    }

    // A script call held past the shut-down's wait: the window goes, closing no controller under
    // the call; released, the call ends the thread, which sends nothing more, and only then are
    // the controllers closed.
    void scriptCallHeldPastShutDown()
    {
        Rig rig(2);
        QCOMPARE(trovsim_hold_call("sim:axis2", "command_movr"), 0);
        QVERIFY(rig.window->scriptEngine()->requestRun(QStringLiteral("x = newaxis(10001); y = newaxis(10002); y.movr(5); x.movr(5)")));
        QCOMPARE(trovsim_wait_held("sim:axis2", "command_movr", boundMs), 0);
        rig.window->exitWaitBox = nullptr; // Exit meanwhile soft-stops the other and waits for the held one
        rig.window->OnExitBtnPressed();
        QTRY_COMPARE_WITH_TIMEOUT(commandsNow(), QStringList{"sstp@axis1"}, boundMs);
        QVERIFY(rig.window->exitPending && rig.prompter.texts.isEmpty());
        rig.window->scriptQuitMs = 50;
        rig.window->threadJoinMs = 50;
        const int closes = trovsim_call_count(nullptr, "close_device");
        const QPointer<SettingsDlg> dialog = rig.window->settingsDlgs[1];
        dialog->show(); // handed over hidden and disabled, not live on screen
        QElapsedTimer clock;
        clock.start();
        rig.window.reset();
        QVERIFY(clock.elapsed() < boundMs);
        QVERIFY(LeftRunning::any());
        QVERIFY(dialog && dialog->isHidden() && !dialog->isEnabled());
        QCOMPARE(trovsim_call_count(nullptr, "close_device"), closes);
        trovsim_journal_clear();
        QCOMPARE(trovsim_release_call("sim:axis2", "command_movr"), 0);
        QVERIFY(QTest::qWaitFor([] { return !LeftRunning::any(); }, boundMs));
        QVERIFY(commands().isEmpty() || commands() == QStringList{"movr@axis2"});
        QCOMPARE(trovsim_call_count(nullptr, "close_device"), 2);
    }
};

QTEST_MAIN(TestMultiaxisMotion)
#include "tst_multiaxis_motion.moc"
