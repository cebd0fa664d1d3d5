#include <QtTest>
#include "support/TestTime.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <unistd.h>

#include "support/RecordingPrompter.h"
#include "chartdlg/ChartDlg.h"
#include "common/FileChooser.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "common/SettingsWriteReport.h"
#include "device/AxisCourier.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "device/LatestSample.h"
#include "mainwindow/ConfigurationFiles.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "scriptdlg/ScriptDlg.h"
#include "settingsdlg/SettingsDlg.h"
#include "settings_model/SliderSettings.h"
#include "settingsdlg/SettingsPageIndex.h"
#include "support/CutTexts.h"
#include "support/DialogCalls.h"
#include "support/FullDisk.h"
#include "support/HeldCall.h"
#include "support/LoopHeartbeat.h"
#include "support/Screenshot.h"
#include "tests/settings_model/SettingsTestSupport.h"
#include "support/SimulatedAxis.h"

namespace {

const char* const axis = "sim:axis1";

class FixedChooser : public FileChooser
{
public:
    QString answer;
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return answer; }
    QString saveFileNameWithSuffix(QWidget*, const QString&, const QString&, const QString&, const QString&) override
    {
        return answer;
    }
};

status_t sample(int position, unsigned int flags = STATE_EEPROM_CONNECTED, unsigned int mvCmdSts = MVCMD_STOP)
{
    status_t state{};
    state.CurPosition = position;
    state.Flags = flags;
    state.MvCmdSts = mvCmdSts;
    state.PWRSts = PWR_STATE_NORM;
    return state;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<DeviceInterface> gateway;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<MainWindow> window;
    QStringList lines;
    bool windowClosed = false;  // by a test: the next one gets a new window, passed or not
    FixedChooser chooser;
    RecordingPrompter prompter;

    // A window on a fresh simulated stepper, set up; with quiet set its polling thread is stopped
    // so that the test alone hands it samples.
    bool open(bool quiet)
    {
        window.reset();
        const device_t handle = openOnFreshSimulator(gateway, axis);
        if (handle == -1)
            return false;
        window = std::make_unique<MainWindow>(nullptr, handle, QString::fromLatin1(axis), gateway.get());
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        connect(window.get(), &MainWindow::InsertLineSgn, log.get(),
                qOverload<const QDateTime&, const QString&, const QString&, int, const LogSettings&>(
                    &MessageLog::InsertLine),
                Qt::DirectConnection);
        connect(window.get(), &MainWindow::InsertLineSgn, this,
                [this](const QDateTime&, const QString& text) { lines << text; });
        if (window->init() != MainWindow::InitStatus::Ready)
            return false;
        if (quiet) {
            window->pollingThread()->stopRequest = true;
            window->pollingThread()->wait();
            QCoreApplication::processEvents();
        }
        lines.clear();
        return true;
    }

    // A sample as polling sends it; a read it makes the window hand to the axis' courier is in
    // once this returns.
    void feed(const status_t& state, bool connect = true, int mode = 2)
    {
        window->UpdateVars(0, QDateTime::currentDateTimeUtc(), state, chart_data_t{}, analog_data_t{}, connect, mode);
        if (!QTest::qWaitFor([this] { return window->courier()->idle(); }, scaledMs(5000)))
            qWarning("the courier has not handed over the read");
        QCoreApplication::processEvents();
    }

    int count(const QString& text) const { return lines.count(text); }
    QTableWidget* table() const { return window->form()->logEdit; }

private slots:
    void initTestCase()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        // The pictures of the window stay in the home folder to be looked at.
        home->setAutoRemove(!qEnvironmentVariableIsSet("TOLMO_KEEP_SCREENSHOTS"));
        qputenv("HOME", QFile::encodeName(home->path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home->filePath(QStringLiteral("share"))));
        QVERIFY(QDir().mkpath(home->filePath(QStringLiteral("share"))));
        QFile defaults(home->filePath(QStringLiteral("share/tolmodefault.cfg")));
        QVERIFY(defaults.open(QIODevice::WriteOnly));
        defaults.close();
        log = std::make_unique<MessageLog>();
        messageLog = log.get();
        FileChooser::install(&chooser);
        MessagePrompter::install(&prompter);
        // One window serves the tests that hand it samples themselves: building one takes seconds.
        QVERIFY(open(true));
    }

    // Back to a plain firmware sample with every notice armed.
    void init()
    {
        prompter.whileOpen = nullptr;
        if (windowClosed) {
            windowClosed = false;
            QVERIFY(open(true));
        }
        if (!window)
            return;
        trovsim_clear_faults();
        feed(sample(0));
        window->statusView()->alarmLogged = false;
        window->deviceLostLogged = false;
        window->OnClearLogBtnPressed();
        lines.clear();
        prompter.texts.clear();
    }

    void cleanupTestCase()
    {
        window.reset();
        std::atomic<device_t> none{-1};
        closeAndRelease(gateway, none);
        FileChooser::install(nullptr);
        MessagePrompter::install(nullptr);
        messageLog = nullptr;
        log.reset();
    }

    void samplesNeverRefreshInsideARefresh()
    {
        QObject scope;
        // Whatever lets events in during a refresh (a wait box painting itself, a page): the
        // samples queued meanwhile must wait for the refresh under way.
        auto letEventsIn = [] { QCoreApplication::processEvents(); };
        connect(window->settingsDialog(), &SettingsDlg::SgnChangeSettings, &scope, letEventsIn);
        struct Filter : QObject
        {
            bool eventFilter(QObject*, QEvent* event) override
            {
                if (event->type() == QEvent::Show)
                    QCoreApplication::processEvents();
                return false;
            }
        } filter;
        window->homingWaitBox()->installEventFilter(&filter);
        QList<int> shown, depths;
        connect(window.get(), &MainWindow::SgnSampleShown, &scope, [&](int depth) {
            shown << lastStatus.CurPosition;
            depths << depth;
        });
        feed(sample(0), false);
        const unsigned int flags[] = {STATE_EEPROM_CONNECTED, STATE_ALARM, 0, 0, 0};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(QMetaObject::invokeMethod(window.get(), "UpdateVars", Qt::QueuedConnection, Q_ARG(int, 0),
                                              Q_ARG(QDateTime, QDateTime::currentDateTimeUtc()),
                                              Q_ARG(status_t, sample(i + 1, flags[i], i == 0 ? 0x86 : MVCMD_STOP)),
                                              Q_ARG(chart_data_t, chart_data_t{}),
                                              Q_ARG(analog_data_t, analog_data_t{}), Q_ARG(bool, true),
                                              Q_ARG(int, 2)));
        }
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 6, scaledMs(5000));
        QCOMPARE(shown, QList<int>({0, 1, 2, 3, 4, 5}));
        QCOMPARE(depths, QList<int>({1, 1, 1, 1, 1, 1}));
        QCOMPARE(window->deepestRefresh(), 1);
        QCOMPARE(count(QStringLiteral("ALARM signal from device.")), 1);
        // Told once the controller's read is in, on its courier.
        QTRY_COMPARE_WITH_TIMEOUT(count(QStringLiteral("Device found [sim:axis1].")), 1, scaledMs(5000));
        QVERIFY(!window->homingWaitBox()->isVisible());
        window->homingWaitBox()->removeEventFilter(&filter);
    }

    void notices_data()
    {
        // f firmware, a alarm, l lost, p paused poll, b bootloader, h firmware with the reads it makes held
        QTest::addColumn<QString>("samples");
        QTest::addColumn<int>("alarms");
        QTest::addColumn<int>("losses");
        QTest::addColumn<int>("found");
        QTest::newRow("alarm, alarm, none, alarm") << "aafa" << 2 << 0 << 0;
        QTest::newRow("lost twice, back, lost") << "fllfl" << 0 << 2 << 1;
        QTest::newRow("paused poll") << "fpff" << 0 << 0 << 0;
        QTest::newRow("bootloader between") << "fbbf" << 0 << 0 << 0;
        QTest::newRow("alarm while lost") << "ala" << 1 << 1 << 1;
        // The window goes on while the controller back is read; the controls come with what was read.
        QTest::newRow("back, its identity read held") << "flh" << 0 << 1 << 1;
        QTest::newRow("back, its settings read held") << "flH" << 0 << 1 << 1;
        QTest::newRow("back, lost while read") << "flHl" << 0 << 1 << 0;
    }

    void notices()
    {
        QFETCH(QString, samples);
        QFETCH(int, alarms);
        QFETCH(int, losses);
        QFETCH(int, found);
        for (const QChar kind : samples) {
            if (kind == QLatin1Char('p')) {
                PollingSilencer silencer;
                feed(sample(0));
            } else if (kind.toLower() == QLatin1Char('h')) {
                MotorSettings* motor = window->settingsDialog()->motorSettings;
                engine_settings_t engine{};
                QCOMPARE(gateway->get_engine_settings(window->deviceHandle, &engine), 0);
                motor->engine.MicrostepMode = engine.MicrostepMode - 1; // what is read replaces it
                HeldCall read(axis, kind == QLatin1Char('h') ? "get_serial_number" : "get_engine_settings");
                const qint64 stall = HeldCall::heartbeatDelayMs([this] {
                    window->UpdateVars(0, QDateTime::currentDateTimeUtc(), sample(0), chart_data_t{},
                                       analog_data_t{}, true, 2);
                });
                QVERIFY2(stall < 100, qPrintable(QString::number(stall)));
                QVERIFY(!window->form()->moveBtn->isEnabled());
                // It may be stopped meanwhile.
                QVERIFY(window->form()->stopBtn->isEnabled() && window->form()->sstpBtn->isEnabled());
                if (samples.endsWith(QLatin1String("Hl"))) // lost again before the read is in
                    window->UpdateVars(0, QDateTime::currentDateTimeUtc(), sample(0), chart_data_t{}, analog_data_t{},
                                       false, 2);
                read.release();
                QVERIFY(QTest::qWaitFor([this] { return window->courier()->idle(); }, scaledMs(5000)));
                QCoreApplication::processEvents();
                QCOMPARE(motor->engine.MicrostepMode == engine.MicrostepMode, !samples.endsWith(QLatin1Char('l')));
                motor->engine.MicrostepMode = engine.MicrostepMode;
                break;
            } else {
                feed(sample(0, kind == QLatin1Char('a') ? STATE_ALARM : 0), kind != QLatin1Char('l'),
                     kind == QLatin1Char('b') ? 1 : 2);
            }
        }
        QCOMPARE(count(QStringLiteral("ALARM signal from device.")), alarms);
        QCOMPARE(count(QStringLiteral("Device lost.")), losses);
        QCOMPARE(count(QStringLiteral("Device found [sim:axis1].")), found);
        QVERIFY(!window->form()->moveBtn->isEnabled() == samples.endsWith(QLatin1Char('l')));
    }

    // A controller back is taken only from a whole read: a STOP that cuts the read leaves the
    // controls off, said once, and the next sample reads it again.
    void reconnectReadIsTakenOnlyWhole_data()
    {
        QTest::addColumn<QByteArray>("held");
        QTest::newRow("identity call held, STOP") << QByteArray("get_serial_number");
        QTest::newRow("settings record held, STOP") << QByteArray("get_engine_settings");
    }

    void reconnectReadIsTakenOnlyWhole()
    {
        QFETCH(QByteArray, held);
        const QString cut = QStringLiteral("The controller is back, but reading it was cut short: it is read again, "
                                           "and the controls stay off until then.");
        feed(sample(0), false);
        lines.clear();
        {
            HeldCall read(axis, held.constData(), 2000);
            window->UpdateVars(0, QDateTime::currentDateTimeUtc(), sample(0), chart_data_t{}, analog_data_t{}, true, 2);
            QCOMPARE(trovsim_wait_held(axis, held.constData(), 5000), 0);
            QVERIFY(!window->form()->moveBtn->isEnabled() && window->form()->stopBtn->isEnabled());
            window->form()->stopBtn->click();
            read.release();
        }
        QVERIFY(QTest::qWaitFor([this] { return window->courier()->idle(); }, 5000));
        QCoreApplication::processEvents();
        QVERIFY(!window->form()->moveBtn->isEnabled());
        QCOMPARE(count(cut), 1);
        QCOMPARE(lines.filter(QStringLiteral("Reading the controller identity failed")), QStringList());
        QCOMPARE(count(QStringLiteral("Device found [sim:axis1].")), 0);
        feed(sample(0));
        QVERIFY(window->form()->moveBtn->isEnabled());
        QCOMPARE(count(QStringLiteral("Device found [sim:axis1].")), 1);
        QCOMPARE(count(cut), 1);
    }

    // The settings dialog never holds the window: it opens at once, a STOP during its read goes
    // as soon as the call under way is in and cuts the read short, and Save to flash goes while
    // polling's reads take 0.8 s.
    void settingsDialogNeverHoldsTheWindow_data()
    {
        QTest::addColumn<QString>("act");
        QTest::newRow("opened, STOP during its read") << "open";
        QTest::newRow("Save to flash while polling reads slowly") << "flash";
    }

    void settingsDialogNeverHoldsTheWindow()
    {
        QFETCH(QString, act);
        window->settingsDialog()->hide();
        if (act == "flash") {
            QVERIFY(open(false));
            windowClosed = true;
        }
        SettingsDlg* dialog = window->settingsDialog();
        Ui::MainWindowClass* form = window->form();
        trovsim_journal_clear();
        qint64 gap = 0;
        if (act == "open") {
            const int stops = trovsim_call_count(axis, "command_stop");
            HeldCall read(axis, "get_move_settings", 1000);
            form->settingsBtn->click();
            // Shown, and its read on the courier: the window goes on while a call of it is held.
            QVERIFY(dialog->isVisible());
            QCOMPARE(trovsim_wait_held(axis, "get_move_settings", 5000), 0);
            const LoopHeartbeat heartbeat;
            QTest::qWait(50);
            form->stopBtn->click();
            read.release();
            QTRY_COMPARE_WITH_TIMEOUT(trovsim_call_count(axis, "command_stop"), stops + 1, 5000);
            QVERIFY(settled(*dialog));
            gap = heartbeat.largestGapMs();
            auto* line = dialog->findChild<QLabel*>(QStringLiteral("transferLbl"));
            QVERIFY2(line->isVisible() && line->text().startsWith("Reading the settings of SN 10001 was cut short"),
                     qPrintable(line->text()));
        } else {
            form->settingsBtn->click();
            QVERIFY(settled(*dialog));
            takeLogMessages(*log);
            QCOMPARE(trovsim_delay_call(axis, "get_status", 800, 1000000), 0);
            const int saves = trovsim_call_count(axis, "command_save_settings");
            const LoopHeartbeat heartbeat;
            dialog->findChild<QPushButton*>(QStringLiteral("saveFlashBtn"))->click();
            QTRY_COMPARE_WITH_TIMEOUT(trovsim_call_count(axis, "command_save_settings"), saves + 1, 30000);
            QVERIFY(settled(*dialog, 30000));
            gap = heartbeat.largestGapMs();
            trovsim_clear_faults();
            QCOMPARE(prompter.texts, QStringList());
            QVERIFY(takeLogMessages(*log).contains(QStringLiteral("Settings saved to flash.")));
        }
        QVERIFY2(gap < 100, qPrintable(QString::number(gap)));
        dialog->hide();
    }

    void stagePagesComeBack_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("held");
        QTest::newRow("paused poll") << 2 << QByteArray();
        QTest::newRow("bootloader") << 1 << QByteArray();
        // The window goes on while the positioner's records are read for the dialog on show.
        QTest::newRow("paused poll, the name read held") << 2 << QByteArray("get_stage_name");
        QTest::newRow("paused poll, the last record's read held") << 2 << QByteArray("get_gear_settings");
    }

    void stagePagesComeBack()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, held);
        QObject scope;
        QList<bool> locks;
        connect(window.get(), &MainWindow::SgnDisableStagePages, &scope, [&](bool lock) { locks << lock; });
        window->OnSettingsBtnPressed();
        QVERIFY(window->settingsDialog()->isVisible());
        feed(sample(0));
        for (int i = 0; i < 3; ++i) {
            if (mode != 1) {
                PollingSilencer silencer;
                feed(sample(0));
            } else {
                feed(sample(0), true, 1);
            }
        }
        QVERIFY(!locks.isEmpty());
        QCOMPARE(locks.last(), true);
        StageSettings* stage = window->settingsDialog()->stageSettings;
        std::memset(stage->stageName.PositionerName, 0, sizeof stage->stageName.PositionerName);
        trovsim_journal_clear();
        if (!held.isEmpty()) {
            HeldCall read(axis, held.constData());
            const qint64 stall = HeldCall::heartbeatDelayMs([this] {
                window->UpdateVars(0, QDateTime::currentDateTimeUtc(), sample(0), chart_data_t{}, analog_data_t{},
                                   true, 2);
            });
            QVERIFY2(stall < 100, qPrintable(QString::number(stall)));
            QCOMPARE(QByteArray(stage->stageName.PositionerName), QByteArray());
            QCOMPARE(locks.last(), true);
        }
        feed(sample(0));
        feed(sample(0));
        QCOMPARE(locks.last(), false);
        QCOMPARE(QByteArray(stage->stageName.PositionerName), QByteArray("LS-100"));
        QVERIFY(window->settingsDialog()->stagePagesCurrent());
        auto* buttons = window->settingsDialog()->findChild<QDialogButtonBox*>();
        buttons->button(QDialogButtonBox::Ok)->click();
        for (const char* call : {"set_stage_name", "set_stage_information", "set_stage_settings"})
            QCOMPARE(trovsim_call_count(axis, call), 0);
    }

    // A status whose every field differs, through the window's own slot: each label its own.
    void statusFieldsEachShowTheirOwn()
    {
        status_t state{};
        state.CurPosition = 1111, state.uCurPosition = 22, state.CurSpeed = 333, state.uCurSpeed = 44;
        state.EncPosition = 5555, state.Upwr = 6666, state.Ipwr = 777, state.Uusb = 888, state.Iusb = 999;
        state.curT = 321, state.MvCmdSts = MVCMD_MOVR, state.PWRSts = PWR_STATE_REDUCT;
        feed(state);
        QStringList shown;
        Ui::MainWindowClass* f = window->form();
        for (QLabel* label : {f->positionValue, f->speedValue, f->encoderValue, f->pwrVoltageValue, f->pwrCurrentValue,
                              f->usbVoltageValue, f->usbCurrentValue, f->temperatureValue, f->deviceValue, f->pwrValue})
            shown << label->text().section(QLatin1Char(' '), 0, 1);
        QCOMPARE(shown, (QStringList{"1111 022/256", "333 44/256", "5555", "66.66 V", "777 mA", "8.88 V", "999 mA",
                                     "32.1 <span", "Shift on", "Reduc"}));
    }

    // One flag or state at a time lights exactly its own lamp or icon.
    void statusFlagsEachLightTheirOwn_data()
    {
        QTest::addColumn<int>("field");    // Flags, GPIOFlags, MoveSts, EncSts, WindSts
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("lit");
        const struct { int field; uint value; const char* lit; } rows[] = {
            {0, STATE_ERRC, "ErrC"}, {0, STATE_ERRD, "ErrD"}, {0, STATE_ERRV, "ErrV"}, {0, STATE_CTP_ERROR, "SLIP"},
            {0, STATE_POWER_OVERHEAT, "PWHT"}, {0, STATE_EEPROM_CONNECTED, "EEPR"}, {1, STATE_BUTTON_LEFT, "L btn"},
            {1, STATE_BUTTON_RIGHT, "R btn"}, {1, STATE_LEFT_EDGE, "lBdrInd"}, {1, STATE_RIGHT_EDGE, "rBdrInd"},
            {2, MOVE_STATE_MOVING, "movingStateLbl"}, {2, MOVE_STATE_TARGET_SPEED, "targetSpeedLbl"},
            {2, MOVE_STATE_ANTIPLAY, "antiplayLbl"}, {3, ENC_STATE_MALFUNC, "ENCD #ff0000"},
            {3, ENC_STATE_REVERS, "ENCD #ffd400"}, {3, ENC_STATE_OK, "ENCD #00d000"},
            {4, WIND_A_STATE_MALFUNC, "WndA #ff0000"}, {4, WIND_A_STATE_OK, "WndA #00d000"},
            {4, WIND_B_STATE_MALFUNC, "WndB #ff0000"}, {4, WIND_B_STATE_OK, "WndB #00d000"}, {0, 0, ""}};
        for (const auto& row : rows)
            QTest::addRow("%d: 0x%x", row.field, row.value) << row.field << row.value << row.lit;
    }

    void statusFlagsEachLightTheirOwn()
    {
        QFETCH(int, field);
        QFETCH(uint, value);
        status_t state{};
        uint32_t* fields[] = {&state.Flags, &state.GPIOFlags, &state.MoveSts, &state.EncSts, &state.WindSts};
        *fields[field] = value;
        feed(state);
        QStringList lit;
        for (const char* lamp : {"ErrC", "ErrD", "ErrV", "SLIP", "PWHT", "EEPR", "L btn", "R btn"})
            lit << (window->indicator(lamp)->isEnabled() ? lamp : "");
        Ui::MainWindowClass* f = window->form();
        for (QLabel* icon : {f->movingStateLbl, f->targetSpeedLbl, f->antiplayLbl})
            lit << (icon->isEnabled() ? icon->objectName() : "");
        const QImage on = QPixmap(":/mainwindow/images/mainwindow/ind_on.svg").toImage();
        for (QLabel* edge : {f->lBdrInd, f->rBdrInd})
            lit << (edge->pixmap(Qt::ReturnByValue).toImage() == on ? edge->objectName() : "");
        for (const char* lamp : {"ENCD", "WndA", "WndB"}) {
            const QColor colour = window->indicator(lamp)->palette().color(QPalette::Active, QPalette::WindowText);
            lit << (colour.alpha() == 255 ? QStringLiteral("%1 %2").arg(lamp, colour.name()) : "");
        }
        lit.removeAll(QString());
        QTEST(lit.join(", "), "lit");
    }

    // A number typed over the selected target, then the button clicked: the axis goes there.
    // A text that is no target sends nothing and stays for the operator to mend, whatever
    // happens next ("then"), until the button is clicked again and refuses it again.
    void typedTargets_data()
    {
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("at");    // NaN: nothing sent
        QTest::addColumn<QString>("then"); // "settings", "arrows"
        QTest::newRow("plain steps") << false << "2000" << 2000.0 << "";
        QTest::newRow("no divisor typed") << false << "300 64" << 300.25 << "";
        QTest::newRow("shift, pair") << true << "-150 128/256" << -150.5 << "";
        QTest::newRow("a sign only") << false << "-" << qQNaN() << "";
        QTest::newRow("shift, emptied") << true << "" << qQNaN() << "";
        QTest::newRow("beyond the box, not clamped") << false << "99999999999" << qQNaN() << "";
        QTest::newRow("shift beyond the box") << true << "-2147483648 1/256" << qQNaN() << "";
        QTest::newRow("beyond, then Settings closed with Cancel") << false << "99999999999" << qQNaN() << "settings";
        QTest::newRow("shift beyond, then Settings closed") << true << "-30000000000" << qQNaN() << "settings";
        QTest::newRow("beyond, then the arrows") << false << "99999999999" << qQNaN() << "arrows";
        QTest::newRow("shift beyond, then the arrows") << true << "-30000000000" << qQNaN() << "arrows";
        QTest::newRow("a sign only, then Settings closed") << false << "-" << qQNaN() << "settings";
    }

    void typedTargets()
    {
        QFETCH(bool, shift);
        QFETCH(QString, typed);
        QFETCH(double, at);
        QCOMPARE(gateway->command_zero(window->deviceHandle), 0);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        StepSpinBox* box = shift ? window->shiftOnSpinBox() : window->moveToSpinBox();
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, typed);
        const char* call = shift ? "command_movr" : "command_move";
        const int sent = trovsim_call_count(axis, call);
        QTest::mouseClick(shift ? window->form()->shiftBtn : window->form()->moveBtn, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return window->courier()->idle(); }, scaledMs(2000)));
        trovsim_advance_ms(30000);
        status_t state{};
        QCOMPARE(gateway->get_status(window->deviceHandle, &state), 0);
        QCOMPARE(state.CurPosition + state.uCurPosition / 256.0, qIsNaN(at) ? 0.0 : at);
        QCOMPARE(trovsim_call_count(axis, call), sent + (qIsNaN(at) ? 0 : 1));
        if (qIsNaN(at)) {
            QCOMPARE(box->text(), typed + " steps");
            const QString why = typed.contains(QRegularExpression("[0-9]"))
                                    ? "is beyond what the box can hold, -2147483648 to 2147483647 steps"
                                    : "is not a target";
            const QString refusal =
                QStringLiteral("%1: \"%2\" %3; nothing was sent.").arg(shift ? "Shift on" : "Move to", typed, why);
            QCOMPARE(count(refusal), 1);
            QFETCH(QString, then);
            if (then == "settings") { // the dialog shows the controller's settings again, the window too
                window->OnSettingsBtnPressed();
                click(*window->settingsDialog(), QDialogButtonBox::Cancel);
            } else if (then == "arrows") {
                QTest::keyClick(box, Qt::Key_Up);
                QTest::keyClick(box, Qt::Key_PageDown);
            }
            if (!then.isEmpty()) {
                QCOMPARE(box->text(), typed + " steps");
                QTest::mouseClick(shift ? window->form()->shiftBtn : window->form()->moveBtn, Qt::LeftButton);
                trovsim_advance_ms(30000);
                QCOMPARE(trovsim_call_count(axis, call), sent);
                QCOMPARE(count(refusal), 2);
                QCOMPARE(box->text(), typed + " steps");
            }
            // Typed over, the box takes what is typed now.
            box->selectAll();
            QTest::keyClick(box, Qt::Key_Delete);
            QTest::keyClicks(box, "5");
            QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(box->text(), QStringLiteral("5 0/256 steps"));
        }
    }

    void appliedDivisorRescalesTheTargets()
    {
        StepSpinBox* target = window->moveToSpinBox();
        target->setValue(100, 128);
        QVERIFY(target->text().contains(QLatin1String("/256")));
        window->settingsDialog()->motorSettings->engine.MicrostepMode = 5;
        emit window->settingsDialog()->SgnChangeSettings();
        QCOMPARE(target->getStep(), 100);
        QCOMPARE(target->getUStep(), 8);
        QVERIFY2(target->text().contains(QLatin1String("/16")), qPrintable(target->text()));
        // A type or mode only shown on the pages, not applied, changes nothing.
        auto* dc = window->settingsDialog()->page(SettingsPage::MotorType)->findChild<QRadioButton*>(
            QStringLiteral("dcMotorBtn"));
        QVERIFY(dc);
        dc->setChecked(true);
        QVERIFY(target->text().contains(QLatin1String("/16")));
        feed(sample(7));
        QVERIFY(window->form()->speedValue->text().endsWith(QLatin1String(" steps/s")));
    }

    void logTableFiltersAndColours_data()
    {
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("colour"); // empty: not shown
        QTest::newRow("program warning") << 2 << "Tolmo" << 2 << "#b0a000";
        QTest::newRow("program info above") << 2 << "Tolmo" << 3 << "";
        QTest::newRow("threshold 0") << 0 << "Tolmo" << 1 << "";
        QTest::newRow("script info") << 3 << "Script" << 3 << "#008000";
        QTest::newRow("library error") << 3 << "libtrov" << 1 << "#ff0000";
        QTest::newRow("detail at 4") << 4 << "Tolmo" << 4 << "#0000ff";
        QTest::newRow("detail at 3") << 3 << "Tolmo" << 4 << "";
        QTest::newRow("level 0") << 0 << "Script" << 0 << "#000000";
        QTest::newRow("other source") << 4 << "main" << 0 << "";
    }

    void logTableFiltersAndColours()
    {
        QFETCH(int, threshold);
        QFETCH(QString, source);
        QFETCH(int, level);
        QFETCH(QString, colour);
        LogSettings* settings = window->settingsDialog()->logSettings;
        settings->programLevel = settings->scriptLevel = settings->libraryLevel = threshold;
        log->InsertLine(QDateTime::currentDateTime(), QStringLiteral("line"), source, level);
        window->UpdateState();
        QCOMPARE(table()->rowCount(), colour.isEmpty() ? 0 : 1);
        if (!colour.isEmpty())
            QCOMPARE(table()->item(0, 3)->foreground().color().name(), colour);
    }

    void logDrainIsBoundedAndKeepsOrder()
    {
        LogSettings* settings = window->settingsDialog()->logSettings;
        settings->programLevel = settings->scriptLevel = settings->libraryLevel = 3;
        for (int i = 0; i < 200; ++i)
            log->InsertLine(QDateTime::currentDateTime(), QString::number(i), QStringLiteral("Tolmo"), 3);
        // Every line takes 1 ms.
        window->logTable()->setLogClock([ms = 0]() mutable { return double(ms++); });
        for (int refresh = 1; refresh <= 4; ++refresh) {
            window->UpdateState();
            QCOMPARE(table()->rowCount(), 50 * refresh);
        }
        for (int row = 0; row < 200; ++row)
            QCOMPARE(table()->item(row, 3)->text(), QString::number(row));
        window->logTable()->setLogClock(nullptr);

        // Past the limit the oldest rows go, a block at a time.
        window->logTable()->logRowLimit = 205;
        window->logTable()->logRowDropBlock = 10;
        for (int i = 200; i < 206; ++i)
            log->InsertLine(QDateTime::currentDateTime(), QString::number(i), QStringLiteral("Tolmo"), 3);
        window->UpdateState();
        QCOMPARE(table()->rowCount(), 196);
        QCOMPARE(table()->item(0, 3)->text(), QStringLiteral("10"));
        QCOMPARE(table()->item(195, 3)->text(), QStringLiteral("205"));
        window->logTable()->logRowLimit = 100000;
    }

    void logExport()
    {
        const QDateTime when(QDate(2026, 1, 31), QTime(14, 5, 9, 7));
        log->InsertLine(when, QStringLiteral("25 °C, \"hot\""), QStringLiteral("Tolmo"), 1);
        log->InsertLine(when, QStringLiteral("second"), QStringLiteral("Script"), 3);
        window->UpdateState();
        chooser.answer = home->filePath(QStringLiteral("export.csv"));
        window->OnSaveLogBtnPressed();
        QCOMPARE(readAll(chooser.answer),
                 QByteArray("\"2026.01.31\",\"14:05:09.007\",\"Tolmo\",\"25 \xc2\xb0" "C, \"\"hot\"\"\"\r\n"
                            "\"2026.01.31\",\"14:05:09.007\",\"Script\",\"second\"\r\n"));
        window->OnClearLogBtnPressed();
        window->OnSaveLogBtnPressed();
        QCOMPARE(readAll(chooser.answer), QByteArray());
        QVERIFY(prompter.texts.isEmpty());

        // A folder that is missing, or one that cannot be written: a warning, nothing changed.
        chooser.answer = home->filePath(QStringLiteral("missing/export.csv"));
        window->OnSaveLogBtnPressed();
        QCOMPARE(prompter.texts.size(), 1);
        QVERIFY(prompter.texts.last().contains(chooser.answer));
        QVERIFY(!QFileInfo::exists(chooser.answer));
        if (geteuid() != 0) {
            const QString folder = home->filePath(QStringLiteral("locked"));
            QVERIFY(QDir().mkpath(folder));
            chooser.answer = folder + QStringLiteral("/export.csv");
            QFile existing(chooser.answer);
            QVERIFY(existing.open(QIODevice::WriteOnly));
            existing.write("kept");
            existing.close();
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            log->InsertLine(when, QStringLiteral("new"), QStringLiteral("Tolmo"), 1);
            window->UpdateState();
            window->OnSaveLogBtnPressed();
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QCOMPARE(prompter.texts.size(), 2);
            QCOMPARE(readAll(chooser.answer), QByteArray("kept"));
        }
    }

    // Every save over an existing file, on a disk that refuses the new bytes: the old file stays
    // as it was and the user is told why.
    void failedSaveKeepsTheFile_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("file");    // under the home folder; "config/" stands for the configuration folder
        QTest::addColumn<QString>("told");    // the start of what the user sees
        QTest::addColumn<int>("prompts");     // message boxes after two attempts
        QTest::newRow("script Save") << "script Save" << "old.js" << "The script could not be written to " << 2;
        QTest::newRow("scratch autosave") << "scratch" << "config/scratch.txt" << "Saving failed: " << 0;
        QTest::newRow("chart Save") << "chart Save" << "old.grf" << "Could not save " << 2;
        QTest::newRow("log Save") << "log Save" << "old.csv" << "The log could not be saved to " << 2;
        QTest::newRow("profile Save to file") << "profile" << "old.cfg" << "The settings could not be written to " << 2;
        // The settings files are written over and over: said once a session.
        QTest::newRow("search options") << "search options" << "config/settings.ini"
                                        << "The configuration could not be written to " << 1;
        QTest::newRow("settings window state") << "settings window" << "config/SM10001.cfg"
                                               << "The configuration could not be written to " << 1;
        // Even the copy of the old file is cut short there: the system's reason all the same.
        QTest::newRow("settings window state, cut short") << "settings window" << "config/SM10001.cfg"
                                                          << "The configuration could not be written to " << 1;
        QTest::newRow("profile Save to file, cut short") << "profile" << "old.cfg"
                                                         << "The settings could not be written to " << 2;
    }

    void failedSaveKeepsTheFile()
    {
        QFETCH(QString, action);
        QFETCH(QString, file);
        QFETCH(QString, told);
        QFETCH(int, prompts);
        // Something to save in every window, more than the old file holds.
        window->OnSettingsBtnPressed();
        QVERIFY(settled(*window->settingsDialog()));
        ScriptDlg* script = window->scriptDialog();
        script->editor()->setPlainText(QString(3000, QLatin1Char('x')));
        ChartDlg* chart = window->chartDialog();
        chart->OnStartBtnClicked();
        status_t moving{};
        moving.MoveSts = MOVE_STATE_MOVING;
        for (int i = 0; i < 20; ++i)
            chart->InsertMeasure(0, QDateTime::currentDateTime().addMSecs(100 * i), moving, {}, {}, true);
        for (int i = 0; i < 100; ++i)
            log->InsertLine(QDateTime::currentDateTime(), QStringLiteral("a line of the log"), QStringLiteral("Tolmo"), 1);
        window->UpdateState();
        SettingsDlg* settings = window->settingsDialog();
        auto* probe = settings->page(SettingsPage::ProgramConfiguration)->findChild<QCheckBox*>("probeChk");
        auto press = [](QWidget* in, const char* name) { in->findChild<QPushButton*>(name)->click(); };
        const QMap<QString, std::function<void()>> acts{
            {"script Save", [&] { press(script, "saveBtn"); }},
            {"scratch", [&] { script->saveScratch(); }},
            {"chart Save", [&] { press(chart, "saveBtn"); }},
            {"log Save", [&] { press(window.get(), "saveLogBtn"); }},
            {"profile", [&] { press(settings, "saveFileBtn"); }},
            {"search options", [&] { probe->toggle(), click(*settings, QDialogButtonBox::Apply); }},
            {"settings window", [&] { window->OnSettingsBtnPressed(), click(*settings, QDialogButtonBox::Cancel); }}};
        const QString path = file.startsWith("config/") ? configDirPath() + file.mid(6) : home->filePath(file);
        QVERIFY(createConfigDir());
        const QByteArray old = putOldFile(path);
        QVERIFY(!old.isEmpty());
        chooser.answer = path;
        const QStringList before = QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden);
        prompter.texts.clear();
        SettingsWriteReport::forget();
        { // two attempts
            FullDisk disk(QByteArray(QTest::currentDataTag()).endsWith("cut short") ? 1000 : old.size() + 16);
            acts[action]();
            acts[action]();
        }
        QCOMPARE(readAll(path), old);
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(prompter.texts.size(), prompts);
        const QString seen = prompts ? prompter.texts.value(0) : script->statusMessage();
        QVERIFY2(seen.startsWith(told) && seen.contains("File too large"), qPrintable(seen));
        acts[action]();  // with room the same save goes through
        QVERIFY(readAll(path) != old);
    }

    // Closing the window on a full disk: the script the scratch file cannot take is named in one
    // box and one log line while the window is still there; the close goes on.
    void closeOnAFullDiskTellsOfTheScript()
    {
        QVERIFY(createConfigDir());
        window->scriptDialog()->editor()->setPlainText(QString(5000, QLatin1Char('s')));
        QStringList shownWhenTold;
        prompter.whileOpen = [&] { shownWhenTold << QString::number(window->isVisible()); };
        window->show();
        windowClosed = true;
        {
            FullDisk disk(1000);
            QVERIFY(window->close());
        }
        prompter.whileOpen = nullptr;
        const QString told = "The script could not be written to " + configDirPath() + "/scratch.txt.\nFile too large";
        QCOMPARE(prompter.texts, QStringList{told});
        QCOMPARE(shownWhenTold, QStringList{"1"});
        QCOMPARE(takeLogMessages(*log).filter("script"), QStringList{told.simplified()});
    }

    // Every page of the settings dialog, at the size it opens with, shows its texts whole.
    void settingsPagesShowTextsWhole()
    {
        window->show();
        window->OnSettingsBtnPressed();
        SettingsDlg& dialog = *window->settingsDialog();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QStringList cut = cutTextsOfEveryPage(dialog);
        dialog.hide();
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    }

    // Readings up to the widest show whole and the next ones still show; the window keeps its
    // width, so the buttons stay under the mouse.
    void readingsShowWholeInAWindowOfFixedWidth()
    {
        const auto settle = [] {  // the layouts and the painting catch up
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents();
        };
        window->show();
        settle();
        const int width = window->width();
        Ui::MainWindowClass* f = window->form();
        status_t wide = sample(INT_MIN, STATE_OVERLOAD_POWER_VOLTAGE | STATE_OVERLOAD_POWER_CURRENT);
        wide.uCurPosition = -255, wide.Upwr = wide.Uusb = 99999, wide.Ipwr = wide.Iusb = -7654321;
        wide.curT = -12345, wide.CurSpeed = INT_MIN;
        status_t widest = sample(INT_MAX);
        widest.uCurPosition = 255;
        status_t normal = sample(1234567);
        normal.Upwr = 2345;
        for (const status_t& state : {sample(1234567), wide, widest, normal}) {
            feed(state);
            settle();
            QCOMPARE(f->positionValue->text(), window->stepsText(state.CurPosition, state.uCurPosition, true));
            for (QLabel* label : {f->positionValue, f->pwrVoltageValue, f->pwrCurrentValue, f->usbVoltageValue,
                                  f->usbCurrentValue, f->temperatureValue, f->speedValue})
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
            QCOMPARE(window->width(), width);
        }
        QCOMPARE(f->pwrVoltageValue->text(), QStringLiteral("23.45 V"));
        window->hide();
    }

    void geometryFromTheFiles_data()
    {
        QTest::addColumn<QString>("file");     // mainWindow_params of the controller's file
        QTest::addColumn<QString>("defaults"); // and of the defaults file
        QTest::addColumn<QRect>("geometry");
        const QString small = QStringLiteral("fullScreen=false\nposition=@Point(10 20)\nsize=@Size(700 500)");
        QTest::newRow("no position") << "fullScreen=false\nsize=@Size(700 380)" << "" << QRect(100, 200, 700, 380);
        QTest::newRow("cut to the screen") << "fullScreen=false\nposition=@Point(50 60)\nsize=@Size(5000 5000)" << ""
                                           << QRect(0, 0, 800, 600);
        QTest::newRow("moved onto the screen") << "fullScreen=false\nposition=@Point(300 200)\nsize=@Size(700 500)" << ""
                                               << QRect(100, 100, 700, 500);
        QTest::newRow("no fullScreen: all from defaults") << "position=@Point(0 0)\nsize=@Size(750 400)" << small
                                                          << QRect(10, 20, 700, 500);
        QTest::newRow("broken values") << "fullScreen=false\nposition=abc\nsize=x" << "" << QRect(100, 200, 633, 355);
        QTest::newRow("off every screen") << "fullScreen=false\nposition=@Point(9000 9000)\nsize=@Size(700 380)" << ""
                                          << QRect(100, 200, 700, 380);
    }

    void geometryFromTheFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, defaults);
        QFETCH(QRect, geometry);
        QTemporaryDir folder;
        const auto write = [&](const QString& name, const QString& group) {
            QFile out(folder.filePath(name));
            out.open(QIODevice::WriteOnly);
            out.write("[mainWindow_params]\n" + group.toUtf8() + "\n");
            return folder.filePath(name);
        };
        QSettings fileSettings(write(QStringLiteral("a.cfg"), file), QSettings::IniFormat);
        QSettings defaultSettings(write(QStringLiteral("b.cfg"), defaults), QSettings::IniFormat);
        QRect placed;
        bool maximised = true;
        QVERIFY(ConfigurationFiles::storedGeometry(&fileSettings, &defaultSettings, {QRect(0, 0, 800, 600)}, &placed,
                                                   &maximised));
        QVERIFY(!maximised);
        QCOMPARE(placed, geometry);
    }

    void transientIdentityFailuresKeepTheSetUp()
    {
        window->settingsDialog()->hide();
        trovsim_force_result(axis, "get_serial_number", -1, -1);
        feed(sample(0), false);
        feed(sample(0)); // back: the identity is read again
        feed(sample(0), true, 1);
        window->OnSettingsBtnPressed();
        QVERIFY(settled(*window->settingsDialog()));
        QVERIFY(deviceInitOk);
        QCOMPARE(count(QStringLiteral("Reading the controller identity failed: function get_serial_number failed.")),
                 1);
        QCOMPARE(count(QStringLiteral("Failed to open Settings dialog because function get_serial_number failed.")),
                 1);
        trovsim_clear_faults();
        const QString file = window->configFileName();
        QVERIFY(file.endsWith(QLatin1String("10001.cfg")));
        QFile::remove(file);
        window.reset();
        QVERIFY(QFileInfo::exists(file));
    }

    void missingConfigurationStopsTheSetUp()
    {
        QFile::remove(home->filePath(QStringLiteral("share/tolmodefault.cfg")));
        QDir config(home->filePath(QStringLiteral(".config/Tolmo.conf")));
        for (const QString& name : config.entryList({QStringLiteral("*.cfg")}))
            QVERIFY(config.remove(name));
        QVERIFY(!open(false));
        QCOMPARE(prompter.texts, QStringList({"Couldn't find either saved or default configuration file."}));
        QVERIFY(window->pollingThread()->isRunning());
        const QString settingsIni = home->filePath(QStringLiteral(".config/Tolmo.conf/settings.ini"));
        QFile::remove(settingsIni);
        window.reset(); // stops both threads and saves nothing
        QVERIFY(!QFileInfo::exists(settingsIni));
        QFile defaults(home->filePath(QStringLiteral("share/tolmodefault.cfg")));
        QVERIFY(defaults.open(QIODevice::WriteOnly));
    }

    void looksOnTheSimulator()
    {
        // Library lines that come before the window is set up are shown after it.
        for (int i = 0; i < 10; ++i)
            MessageLog::insertLibraryLine(QDateTime::currentDateTime(), 3, QStringLiteral("early %1").arg(i));
        QVERIFY(open(false));
        Ui::MainWindowClass* form = window->form();
        window->settingsDialog()->sliderSettings->leftPoint = -2000000;
        window->settingsDialog()->sliderSettings->rightPoint = 2000000;
        window->settingsDialog()->sliderSettings->loadFromDevice = false;  // the points above, not the borders
        window->show();
        QCOMPARE(window->objectName(), QStringLiteral("MainWindowClass"));
        QTRY_VERIFY_WITH_TIMEOUT(form->moveBtn->isEnabled(), scaledMs(5000));
        QVERIFY(form->positionValue->text().contains(QLatin1String("/256")));
        QVERIFY(form->pwrValue->text() != QLatin1String("-"));
        QStringList early;
        for (int row = 0; row < table()->rowCount(); ++row) {
            if (table()->item(row, 3)->text().startsWith(QLatin1String("early")))
                early << table()->item(row, 3)->text();
        }
        QCOMPARE(early.size(), 10);
        QCOMPARE(early.last(), QStringLiteral("early 9"));
        QVERIFY(!form->speedValue->text().contains(QLatin1String("15000")));
        QCOMPARE(table()->horizontalHeaderItem(3)->text(), QStringLiteral("Message"));
        QVERIFY(form->divisorLbl->isVisible());
        QVERIFY(form->divisorLbl->text().contains(QLatin1String(">4</sup>&nbsp; steps")));
        QVERIFY(keepScreenshot(*window, QStringLiteral("mainwindow-firmware.png")));

        const QColor normal = form->centralWidget->palette().color(QPalette::Window);
        trovsim_set_input(axis, TROVSIM_TEMPERATURE, 900);
        QTRY_VERIFY_WITH_TIMEOUT(form->centralWidget->palette().color(QPalette::Window) != normal, scaledMs(5000));
        QVERIFY(form->temperatureValue->font().bold());
        QVERIFY(keepScreenshot(*window, QStringLiteral("mainwindow-alarm.png")));
        trovsim_set_input(axis, TROVSIM_TEMPERATURE, INT64_MIN);
        gateway->command_stop(window->deviceHandle); // the alarm stays until a stop
        QTRY_COMPARE_WITH_TIMEOUT(form->centralWidget->palette().color(QPalette::Window), normal, scaledMs(5000));
        QCOMPARE(count(QStringLiteral("ALARM signal from device.")), 1);

        trovsim_unplug(axis);
        QTRY_VERIFY_WITH_TIMEOUT(window->windowTitle().endsWith(QLatin1String(" (disconnected)")), scaledMs(5000));
        QCOMPARE(form->positionValue->text(), QStringLiteral("No device"));
        QCOMPARE(form->deviceValue->text(), QStringLiteral("-"));
        QVERIFY(!form->divisorLbl->isVisible() || form->divisorLbl->text().isEmpty()
                || !form->divisorLbl->text().contains(QLatin1String("123")));
        QVERIFY(keepScreenshot(*window, QStringLiteral("mainwindow-nostatus.png")));
        trovsim_plug(axis, 0);
        QTRY_VERIFY_WITH_TIMEOUT(form->moveBtn->isEnabled(), scaledMs(10000));
        QCOMPARE(count(QStringLiteral("Device lost.")), 1);
        // At the start and when it is back.
        QCOMPARE(count(QStringLiteral("Device found [sim:axis1].")), 2);

        trovsim_enter_bootloader(axis, 1);
        QTRY_VERIFY_WITH_TIMEOUT(form->positionValue->text().startsWith(QLatin1String("Bootloader v")), scaledMs(10000));
        QVERIFY(window->windowTitle().contains(QLatin1String(" (bootloader v")));
        QVERIFY(!form->moveBtn->isEnabled());
        // Dropped off to switch: the log's last word is that it is back, in its bootloader.
        QTRY_COMPARE_WITH_TIMEOUT(count(QStringLiteral("Device found [sim:axis1].")), count(QStringLiteral("Device lost.")) + 1,
                                  scaledMs(5000));
        QVERIFY(keepScreenshot(*window, QStringLiteral("mainwindow-bootloader.png")));
        QVERIFY(deviceInitOk);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
