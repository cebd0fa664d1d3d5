#include <QtTest>
#include "support/TestTime.h"

#include <QGroupBox>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QIcon>
#include <QListWidget>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTextEdit>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include <memory>
#include <vector>

#include "support/HeldCall.h"
#include "support/LoopHeartbeat.h"
#include "support/MultiaxisWindowRig.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "device/SharedFlags.h"
#include "widgets/InfoBox.h"
#include "widgets/MessageLine.h"
#include "widgets/StepSpinBox.h"
#include "multiaxis/AxisSlotStatus.h"
#include "multiaxis/Multiaxis.h"
#include "multiaxis/MultiaxisConfig.h"
#include "multiaxis/PositionPlot.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "scriptdlg/ScriptDlg.h"
#include "support/CutTexts.h"
#include "support/DialogCalls.h"
#include "support/FullDisk.h"
#include "support/LogAndBoxes.h"
#include "support/PageEdits.h"
#include "support/RecordingPrompter.h"
#include "support/TypeInto.h"
#include "support/Screenshot.h"
#include "tests/settings_model/SettingsTestSupport.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "device/FirmwareUpdateThread.h"
#include "multiaxis/DimensionalUnitsDlg.h"
#include "pages/StagePageWgt.h"
#include "trovsim.h"

namespace {

// Three steppers at 1/256: the Z slot then counts microsteps too.
const char* const threeSteppers = "axis1:10001:stepper:stage;axis2:10002:stepper:stage;axis3:10003:stepper";

status_t status(int position, int uPosition, uint32_t flags = 0, uint32_t command = 0, uint32_t power = 3)
{
    status_t st{};
    st.CurPosition = position;
    st.uCurPosition = uPosition;
    st.Flags = flags;
    st.MvCmdSts = command;
    st.PWRSts = power;
    st.Upwr = 1234;
    st.Ipwr = 56;
    return st;
}

void feed(Multiaxis& w, int axis, const status_t& st, bool connected = true)
{
    w.UpdateVars(axis, QDateTime(), st, chart_data_t{}, analog_data_t{}, connected, 2);
}

int calls(int axis, const char* function)
{
    return trovsim_call_count(axisNames[axis], function);
}

// Counts the enabled-state changes of a widget.
class EnabledChanges : public QObject
{
public:
    explicit EnabledChanges(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange)
            ++count;
        return false;
    }
};

QStringList capturedMessages;
void captureMessage(QtMsgType, const QMessageLogContext&, const QString& text)
{
    capturedMessages.append(text);
}

struct Rig : MultiaxisWindowRig
{
    using MultiaxisWindowRig::MultiaxisWindowRig;
    // The display then changes only through samples the test hands in.
    void detachPolling()
    {
        window->refreshTimer->stop();
        for (UpdateThread* thread : window->updateThreads)
            QObject::disconnect(thread, nullptr, window.get(), nullptr);
    }
};

} // namespace

class tst_multiaxis : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void formHasEveryNameAndIcon();
    void rendersWithTwoAndThreeAxes_data();
    void rendersWithTwoAndThreeAxes();
    void lostAxisIsShownOnceAndReReadOnce_data();
    void lostAxisIsShownOnceAndReReadOnce();
    void displayRows();
    void everySlotShowsItsOwnAxis();
    void stageMemoryIsAnnouncedAndRetriedOnceASecond();
    void refreshFollowsInputsBesideTheSample_data();
    void refreshFollowsInputsBesideTheSample();
    void slotValuesShowWhole();
    void unitsInTheWindow();
    void unitsOnAndOffKeepWhatNobodyChanged_data();
    void unitsOnAndOffKeepWhatNobodyChanged();
    void unitDialog();
    void reorderingMovesTargetsAndIsSaved();
    void shutDownEndsEveryThread_data();
    void shutDownEndsEveryThread();
    void closeOnAFullDiskKeepsSettingsIni();
    void settingsPagesShowTextsWhole();
    void everyFailureReachesTheMessageLine_data();
    void everyFailureReachesTheMessageLine();
    void slowControllerNeverHoldsTheWindow_data();
    void slowControllerNeverHoldsTheWindow();
};

void tst_multiaxis::init()
{
    QFile::remove(settingsIniPath());
}

void tst_multiaxis::formHasEveryNameAndIcon()
{
    Multiaxis w(nullptr, Qt::WindowFlags(), {}, {}, {});
    const char* const shared[] = {"label_curPos", "pushButton_moveTo", "pushButton_shiftOn", "pushButton_softStop",
                                  "pushButton_home", "pushButton_zero", "pushButton_STOP", "pushButton_calibration",
                                  "pushButton_scripting", "pushButton_exit", "groupBox_Joystick"};
    for (const char* name : shared)
        QVERIFY2(w.findChild<QWidget*>(QLatin1String(name)), name);
    for (int k = 0; k < Multiaxis::maxAxes; ++k) {
        QVERIFY(w.curPos[k] && w.groupBox[k] && w.pushButton_joyDec[k] && w.pushButton_joyInc[k]);
        QVERIFY(w.spinBox_moveTo[k] && w.spinBox_shiftOn[k]);
        QVERIFY(w.voltageValue[k] && w.currentValue[k] && w.speedValue[k] && w.commandValue[k] && w.powerValue[k]);
        QVERIFY(w.findChild<QPushButton*>(QStringLiteral("pushButton_settings_%1").arg(k + 1)));
    }
    auto* stop = w.findChild<QPushButton*>(QStringLiteral("pushButton_STOP"));
    QCOMPARE(stop->toolTip(), QStringLiteral("STOP"));
    QVERIFY(stop->text().isEmpty());
    for (const char* icon : {"Stop_sign_light_red", "left", "right", "up", "down"}) {
        const QString path = QStringLiteral(":/multiaxis/images/multiaxis/%1.svg").arg(QLatin1String(icon));
        QVERIFY2(!QIcon(path).pixmap(32, 32).isNull(), qPrintable(path));
    }
    QVERIFY(!stop->icon().isNull());
    QVERIFY(!w.pushButton_joyInc[2]->icon().isNull());
}

void tst_multiaxis::rendersWithTwoAndThreeAxes_data()
{
    QTest::addColumn<int>("axes");
    QTest::newRow("two") << 2;
    QTest::newRow("three") << 3;
}

void tst_multiaxis::rendersWithTwoAndThreeAxes()
{
    QFETCH(int, axes);
    Rig rig(axes);
    Multiaxis& w = *rig.window;
    QCOMPARE(w.axisCount(), axes);
    const bool three = axes == 3;
    QCOMPARE(w.curPos[2]->isHidden(), !three);
    for (QWidget* z : std::initializer_list<QWidget*>{w.spinBox_moveTo[2], w.spinBox_shiftOn[2], w.pushButton_joyDec[2],
                                                      w.pushButton_joyInc[2], w.groupBox[2]})
        QCOMPARE(z->isEnabled(), three);
    QCOMPARE(w.plot->positionLine[2] != nullptr, three);
    QCOMPARE(w.plot->pickerZ != nullptr, three);
    QCOMPARE(w.plot->leftLimit[2]->isVisible(), three);
    QCOMPARE(w.scriptDlg->windowTitle(), QStringLiteral("Scripting"));

    // Every stage page starts disabled; one axis' signal reaches only its own dialog.
    auto stageFieldsEnabled = [&w](int axis) {
        int enabled = 0;
        for (SettingsPage page : {SettingsPage::PositionerName, SettingsPage::Stage, SettingsPage::StageDcMotor,
                                  SettingsPage::StageStepperMotor, SettingsPage::StageEncoder, SettingsPage::StageGear}) {
            auto* stagePage = qobject_cast<StagePageWgt*>(w.settingsDlgs[axis]->page(page));
            if (!stagePage || stagePage->metaObject()->indexOfSlot("SetDisabled(bool)") < 0)
                return -1;
            for (QWidget* field : stagePage->fieldBinder().widgets())
                enabled += field->isEnabled() ? 1 : 0;
        }
        return enabled;
    };
    for (int a = 0; a < axes; ++a)
        QCOMPARE(stageFieldsEnabled(a), 0);
    emit w.SgnDisableStagePages(false, 1);
    QCOMPARE(stageFieldsEnabled(0), 0);

    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.samples[0].connected && w.samples[axes - 1].connected, scaledMs(5000));
    QTRY_VERIFY_WITH_TIMEOUT(w.windowTitle().startsWith(QStringLiteral("Tolmo multiaxis ")), scaledMs(5000));
    QTest::qWait(100);
    QVERIFY(keepScreenshot(w, QStringLiteral("multiaxis_%1.png").arg(axes)));
}

void tst_multiaxis::lostAxisIsShownOnceAndReReadOnce_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("read at once") << false;
    // The read goes on the axis' own thread: the window goes on meanwhile.
    QTest::newRow("read held") << true;
}

void tst_multiaxis::lostAxisIsShownOnceAndReReadOnce()
{
    QFETCH(bool, held);
    Rig rig(2);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    EnabledChanges changes(w.spinBox_moveTo[0]);
    const int reads = calls(0, "get_engine_settings");
    feed(w, 0, status(1, 0));
    feed(w, 1, status(2, 0));
    w.UpdateState();
    QVERIFY(rig.settle());
    QCOMPARE(calls(0, "get_engine_settings"), reads + 1);
    QVERIFY(w.groupBox[0]->isEnabled());
    QCOMPARE(w.plot->positionLine[0]->linePen().style(), Qt::SolidLine);

    feed(w, 0, status(1, 0), false);
    const int before = changes.count;
    for (int i = 0; i < 3; ++i)
        w.UpdateState();
    QCOMPARE(changes.count, before + 1);
    QVERIFY(!w.spinBox_moveTo[0]->isEnabled() && !w.groupBox[0]->isEnabled() && !w.pushButton_joyInc[0]->isEnabled());
    QCOMPARE(w.plot->positionLine[0]->linePen().style(), Qt::DashLine);
    QVERIFY(!w.windowTitle().contains(QStringLiteral("10001")));

    // Back with another divisor: the boxes take it, so typed targets go out in the new unit.
    w.spinBox_moveTo[0]->setValue(5, 128);
    engine_settings_t engine{};
    QCOMPARE(rig.gateways[0]->get_engine_settings(w.deviceHandle[0], &engine), 0);
    engine.MicrostepMode = 8;  // 1/128
    QCOMPARE(rig.gateways[0]->set_engine_settings(w.deviceHandle[0], &engine), 0);
    if (held) {
        HeldCall read(axisNames[0], "get_engine_settings");
        const qint64 stall = HeldCall::heartbeatDelayMs([&] {
            feed(w, 0, status(1, 0));
            w.UpdateState();
        });
        QVERIFY2(stall < 100, qPrintable(QString::number(stall)));
        QVERIFY(w.spinBox_moveTo[0]->isEnabled());
        read.release();
    } else {
        feed(w, 0, status(1, 0));
        w.UpdateState();
    }
    QVERIFY(rig.settle());
    w.UpdateState();
    QCOMPARE(calls(0, "get_engine_settings"), reads + 3);  // our get above, and one re-read
    QVERIFY(w.spinBox_moveTo[0]->isEnabled() && w.groupBox[0]->isEnabled());
    QCOMPARE(w.plot->positionLine[0]->linePen().style(), Qt::SolidLine);
    QCOMPARE(w.spinBox_moveTo[0]->getStepFactor(), 128);
    QCOMPARE(w.spinBox_moveTo[0]->getUStep(), 64);
}

void tst_multiaxis::displayRows()
{
    Rig rig(3, threeSteppers);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    for (int a = 0; a < 3; ++a) {
        QCOMPARE(w.divisor(a), 256);
        feed(w, a, status(0, 0));
    }
    w.UpdateState();  // the first connected sample re-reads the borders
    edges_settings_t& edgesX = w.settingsDlgs[0]->motorSettings->edges;
    edgesX.LeftBorder = -5;
    edgesX.uLeftBorder = -128;
    edgesX.RightBorder = 100;
    edgesX.uRightBorder = 0;
    edges_settings_t& edgesY = w.settingsDlgs[1]->motorSettings->edges;
    edgesY = edges_settings_t{};  // a zeroed record: the scale follows the data
    for (int a = 0; a < 3; ++a)
        feed(w, a, status(10, 128, 0, 0x88, 2));
    w.UpdateState();

    QCOMPARE(w.plot->curveXY->sample(0), QPointF(10.5, 10.5));
    QCOMPARE(w.plot->curveZ->sample(0).y(), 10.0);
    QCOMPARE(w.plot->positionLine[2]->yValue(), 10.0);
    QCOMPARE(w.plot->leftLimit[0]->xValue(), -5.0);
    QCOMPARE(w.plot->plotXY->axisScaleDiv(QwtPlot::xBottom).lowerBound(), -5.0);
    QCOMPARE(w.plot->plotXY->axisScaleDiv(QwtPlot::xBottom).upperBound(), 100.0);
    QVERIFY(w.plot->plotXY->axisAutoScale(QwtPlot::yLeft));
    QVERIFY(!w.plot->plotXY->axisAutoScale(QwtPlot::xBottom));
    QCOMPARE(w.curPos[0]->text(), QStringLiteral("10 128/256"));
    QCOMPARE(w.voltageValue[0]->text(), QStringLiteral("12.34 V"));
    QCOMPARE(w.currentValue[0]->text(), QStringLiteral("56 mA"));
    QCOMPARE(w.groupBox[1]->title(), QStringLiteral("Motor Y, SN 10002"));

    const struct { uint32_t command, power; const char* commandText; bool bold; const char* powerText; } rows[] = {
        {0x88, 2, "Soft stop", true, "Unknown"},
        {0x05, 0, "Stop", false, "Uknwn"},
        {0x00, 3, "Unknown", false, "Norm"},
        {0x89, 5, "Unknown", true, "Max"},
    };
    for (const auto& row : rows) {
        feed(w, 0, status(10, 128, 0, row.command, row.power));
        w.UpdateState();
        QCOMPARE(w.commandValue[0]->text(), QLatin1String(row.commandText));
        QCOMPARE(w.commandValue[0]->font().bold(), row.bold);
        QCOMPARE(w.powerValue[0]->text(), QLatin1String(row.powerText));
    }

    // The alarm background is set on a change only.
    feed(w, 1, status(0, 0, STATE_ALARM));
    w.UpdateState();
    QVERIFY(w.groupBox[1]->styleSheet().contains(w.slotStatus->alarmColor.name()));
    w.groupBox[1]->setStyleSheet(QStringLiteral("QGroupBox { }"));
    w.UpdateState();
    QCOMPARE(w.groupBox[1]->styleSheet(), QStringLiteral("QGroupBox { }"));
    feed(w, 1, status(0, 0));
    w.UpdateState();
    QVERIFY(w.groupBox[1]->styleSheet().contains(w.slotStatus->normalColor.name()));

    // Limit lines follow the switches.
    status_t atLeft = status(0, 0);
    atLeft.GPIOFlags = STATE_LEFT_EDGE;
    feed(w, 0, atLeft);
    w.UpdateState();
    QVERIFY(w.plot->leftLimit[0]->isVisible());
    QVERIFY(!w.plot->rightLimit[0]->isVisible());
}

// Three axes whose every field differs, through the window's own refresh: each slot shows its
// own axis in every label, mark and line.
void tst_multiaxis::everySlotShowsItsOwnAxis()
{
    Rig rig(3, threeSteppers);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    const uint32_t commands[] = {MVCMD_MOVE | MVCMD_RUNNING, MVCMD_MOVR, MVCMD_STOP};
    for (int a = 0; a < 3; ++a) {
        status_t st = status(11 * (a + 1), 128 >> a, a == 1 ? STATE_ALARM : 0, commands[a], 3 + a);
        st.Upwr = 1200 + 100 * a, st.Ipwr = 51 + a, st.CurSpeed = 7 + a, st.uCurSpeed = 1 + a;
        st.GPIOFlags = a == 0 ? STATE_LEFT_EDGE : a == 2 ? STATE_RIGHT_EDGE : 0;
        feed(w, a, st);
    }
    w.UpdateState();
    QStringList shown;
    for (int s = 0; s < 3; ++s) {
        shown << QStringList{w.groupBox[s]->title(), w.curPos[s]->text(), w.voltageValue[s]->text(),
                             w.currentValue[s]->text(), w.speedValue[s]->text(), w.commandValue[s]->text(),
                             w.powerValue[s]->text()}.join(", ")
                     + (w.commandValue[s]->font().bold() ? " bold" : "")
                     + (w.groupBox[s]->styleSheet().contains(w.slotStatus->alarmColor.name()) ? " alarm" : "")
                     + (w.plot->leftLimit[s]->isVisible() ? " L" : "") + (w.plot->rightLimit[s]->isVisible() ? " R" : "");
    }
    QCOMPARE(shown, (QStringList{
        "Motor X, SN 10001, 11 128/256, 12 V, 51 mA, 7 1/256 steps/s, Move to, Norm bold L",
        "Motor Y, SN 10002, 22 064/256, 13 V, 52 mA, 8 2/256 steps/s, Shift on, Reduc alarm",
        "Motor Z, SN 10003, 33 032/256, 14 V, 53 mA, 9 3/256 steps/s, Stop, Max R"}));
    QCOMPARE(w.plot->curveXY->sample(0), QPointF(11.5, 22.25));
    QCOMPARE(w.plot->curveZ->sample(0).y(), 33.0);
}

void tst_multiaxis::stageMemoryIsAnnouncedAndRetriedOnceASecond()
{
    Rig rig(2);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    qint64 now = 5000;
    w.slotStatus->clockMs = [&now] { return now; };
    StageSettings* stage = w.settingsDlgs[0]->stageSettings;
    // The name is read on the axis' courier; its reply is taken on a later refresh's turn.
    const auto refresh = [&w] {
        w.UpdateState();
        QTRY_VERIFY_WITH_TIMEOUT(w.couriers[0]->idle(), scaledMs(5000));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        w.UpdateState();
    };

    // Dialog hidden: only the mark.
    const int informationReads = calls(0, "get_stage_information");
    feed(w, 0, status(0, 0, STATE_EEPROM_CONNECTED));
    feed(w, 1, status(0, 0));
    refresh();
    QVERIFY(stage->stageReloadPending);
    QVERIFY(w.windowTitle().contains(QStringLiteral("[LS-100]")));
    QCOMPARE(calls(0, "get_stage_information"), informationReads);

    // Unplugged and plugged again while the dialog is shown: the pages are reloaded once.
    feed(w, 0, status(0, 0));
    refresh();
    QVERIFY(!stage->stageReloadPending);
    w.settingsDlgs[0]->show();
    feed(w, 0, status(0, 0, STATE_EEPROM_CONNECTED));
    refresh();
    refresh();
    QCOMPARE(calls(0, "get_stage_information"), informationReads + 1);
    w.settingsDlgs[0]->hide();

    // A failing read is retried at most once a second.
    feed(w, 0, status(0, 0));
    refresh();
    QCOMPARE(trovsim_force_result(axisNames[0], "get_stage_name", -1, -1), 0);
    feed(w, 0, status(0, 0, STATE_EEPROM_CONNECTED));
    const int nameReads = calls(0, "get_stage_name");
    for (int i = 0; i < 30; ++i)
        refresh();
    QCOMPARE(calls(0, "get_stage_name"), nameReads + 1);
    QVERIFY(!stage->stageReloadPending);
    now += 999;
    refresh();
    QCOMPARE(calls(0, "get_stage_name"), nameReads + 1);
    now += 1;
    trovsim_clear_faults();
    refresh();
    QCOMPARE(calls(0, "get_stage_name"), nameReads + 2);
    QVERIFY(stage->stageReloadPending);

    // A held read holds up no refresh, and a memory gone meanwhile is not taken.
    feed(w, 0, status(0, 0));
    refresh();
    HeldCall read(axisNames[0], "get_stage_name");
    now += 2000;
    feed(w, 0, status(0, 0, STATE_EEPROM_CONNECTED));
    const qint64 stall = HeldCall::heartbeatDelayMs([&w] { w.UpdateState(); });
    QVERIFY2(stall < 100, qPrintable(QString::number(stall)));
    feed(w, 0, status(0, 0));
    w.UpdateState();
    read.release();
    refresh();
    QCOMPARE(stage->stageName.PositionerName[0], '\0');
    QVERIFY(!stage->stageReloadPending);

    // The dialog on show: its records are read on the courier too, and shown once all are in.
    w.settingsDlgs[0]->show();
    HeldCall records(axisNames[0], "get_gear_settings");
    now += 2000;
    feed(w, 0, status(0, 0, STATE_EEPROM_CONNECTED));
    const qint64 recordsStall = HeldCall::heartbeatDelayMs([&w] { w.UpdateState(); });
    QVERIFY2(recordsStall < 100, qPrintable(QString::number(recordsStall)));
    QCOMPARE(stage->stageName.PositionerName[0], '\0');
    records.release();
    refresh();
    QCOMPARE(QByteArray(stage->stageName.PositionerName), QByteArray("LS-100"));
    QVERIFY(w.settingsDlgs[0]->stagePagesCurrent());
    w.settingsDlgs[0]->hide();
}

void tst_multiaxis::refreshFollowsInputsBesideTheSample_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("curPos");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("title");
    QTest::newRow("nothing") << 0 << "10 128/256" << "3 64/256 steps/s" << "Motor X, SN 10001";
    QTest::newRow("units") << 1 << "10.50 mm" << "3 64/256 steps/s" << "Motor X, SN 10001";
    QTest::newRow("divisor") << 2 << "10 128/128" << "3 64/128 steps/s" << "Motor X, SN 10001";
    QTest::newRow("order") << 3 << "-4 -000/256" << "0 0/256 steps/s" << "Motor X, SN 10002";
    QTest::newRow("alarm") << 4 << "10 128/256" << "3 64/256 steps/s" << "Motor X, SN 10001";
}

// The slot texts are set again only when what they show changed: a refresh between samples
// must still follow the units, the divisor, the slot order and the alarm bit.
void tst_multiaxis::refreshFollowsInputsBesideTheSample()
{
    QFETCH(int, change);
    Rig rig(3, threeSteppers);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    status_t first = status(10, 128);
    first.CurSpeed = 3;
    first.uCurSpeed = 64;
    feed(w, 0, first);
    feed(w, 1, status(-4, 0));
    feed(w, 2, status(0, 0));
    w.UpdateState();
    w.UpdateState();
    switch (change) {
    case 1:
        // The coefficients stay as they were: only the switch and the unit text change.
        w.receiveUnits(true, QStringLiteral("mm"), w.units.coeff1, w.units.coeff2, w.units.precision);
        break;
    case 2:
        w.settingsDlgs[0]->motorSettings->engine.MicrostepMode = MICROSTEP_MODE_FRAC_128;
        break;
    case 3:
        w.receiveSerials({QStringLiteral("10002"), QStringLiteral("10001"), QStringLiteral("10003")});
        break;
    case 4:
        first.Flags = STATE_ALARM;
        feed(w, 0, first);
        break;
    }
    w.UpdateState();
    QTEST(w.curPos[0]->text(), "curPos");
    QTEST(w.speedValue[0]->text(), "speed");
    QTEST(w.groupBox[0]->title(), "title");
    QCOMPARE(w.groupBox[0]->styleSheet().contains(w.slotStatus->alarmColor.name()), change == 4);
}

// A slot's values show whole and the next ones still show; the label paints the box's own
// background, the alarm's too.
void tst_multiaxis::slotValuesShowWhole()
{
    Rig rig(3, threeSteppers);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    w.show();
    w.resize(w.sizeHint());  // as on a screen that has room for it
    status_t wide = status(-2147483647, -255, 0, 0x81);
    wide.Upwr = wide.Ipwr = wide.CurSpeed = -2147483647;
    QLabel* voltage = w.voltageValue[0];
    for (const status_t& st : {wide, status(12, 3, STATE_ALARM, 0x81), status(12, 3, 0, 0x81)}) {
        feed(w, 0, st);
        w.UpdateState();
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        for (QLabel* label : {w.curPos[0], voltage, w.currentValue[0], w.speedValue[0], w.commandValue[0]})
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        const QImage shot = w.grab().toImage();
        const QPoint inside = voltage->mapTo(&w, QPoint(voltage->width() - 2, 2));
        QCOMPARE(shot.pixel(inside), shot.pixel(inside + QPoint(12, 0)));
    }
    QCOMPARE(w.curPos[0]->text(), QStringLiteral("12 003/256"));
    QCOMPARE(voltage->text(), QStringLiteral("12.34 V"));
}

// Y's boxes at 3 steps per mm, 2 decimals: user units switched on and off again give back the
// target nobody changed to the microstep, a text typed and not entered too; one changed in
// units is converted.
void tst_multiaxis::unitsOnAndOffKeepWhatNobodyChanged_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("set");      // "step uStep" set, or typed and not entered
    QTest::addColumn<QString>("inUnits");  // shown in mm; after it "| typed" is typed and entered
    QTest::addColumn<QString>("back");
    QTest::newRow("Move to") << "moveTo" << "20000 0" << "6666.67 mm" << "20000 0/256 steps";
    QTest::newRow("Shift on") << "shiftOn" << "-3000 -128" << "-1000.17 mm" << "-3000 128/256 steps";
    QTest::newRow("a microstep") << "moveTo" << "0 1" << "0.00 mm" << "0 1/256 steps";
    QTest::newRow("typed, not entered") << "moveTo" << "typed 100 5" << "33.34 mm" << "100 5 steps";
    QTest::newRow("typed in mm over it") << "shiftOn" << "20000 0" << "6666.67 mm|1000" << "3000 0/256 steps";
}

void tst_multiaxis::unitsOnAndOffKeepWhatNobodyChanged()
{
    QFETCH(QString, box);
    QFETCH(QString, set);
    QFETCH(QString, inUnits);
    QFETCH(QString, back);
    Rig rig(2);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    StepSpinBox* target = box == "moveTo" ? w.spinBox_moveTo[1] : w.spinBox_shiftOn[1];
    if (set.startsWith("typed "))
        typeInto(target, set.mid(6));
    else
        target->setValue(set.section(' ', 0, 0).toInt(), set.section(' ', 1, 1).toInt());
    w.receiveUnits(true, QStringLiteral("mm"), 3, 1, 2);
    QCOMPARE(target->text(), inUnits.section('|', 0, 0));
    if (inUnits.contains('|')) {
        typeInto(target, inUnits.section('|', 1));
        QVERIFY(target->commitText());
    }
    w.receiveUnits(false, QStringLiteral("mm"), 3, 1, 2);
    QCOMPARE(target->text(), back);
}

void tst_multiaxis::unitsInTheWindow()
{
    {
        Rig rig(2);
        rig.detachPolling();
        Multiaxis& w = *rig.window;
        QVERIFY(!w.units.recalcEnabled);
        QCOMPARE(w.units.coeff1, 1u);
        QCOMPARE(w.units.precision, 2u);
        StepSpinBox* box = w.spinBox_moveTo[0];
        box->setValue(100, 128);
        w.receiveUnits(true, QStringLiteral("mm"), 200, 1, 2);
        QCOMPARE(box->unitMode, 2);
        QCOMPARE(box->value(), 0.5);
        QVERIFY(box->text().endsWith(QStringLiteral(" mm")));
        // Other coefficients while the units stay on: the number stays.
        w.receiveUnits(true, QStringLiteral("mm"), 3, 7, 2);
        QCOMPARE(box->value(), 0.5);
        // Off at 0.5 units a step: 1.5 units are 3 steps.
        box->setValue(1.5);
        w.receiveUnits(false, QStringLiteral("mm"), 2, 1, 2);
        QCOMPARE(box->getStep(), 3);
        QCOMPARE(box->getUStep(), 0);
        // A value far beyond the int range ends at its top, never at INT_MIN.
        w.receiveUnits(true, QStringLiteral("mm"), 1, 1000000, 2);
        box->setValue(box->maximum());
        w.receiveUnits(false, QStringLiteral("mm"), 1000000, 1, 2);
        QCOMPARE(box->getStep(), INT_MAX);

        feed(w, 0, status(1, 0));
        feed(w, 1, status(-1, 0));
        w.receiveUnits(true, QStringLiteral("mm"), 3, 1, 2);
        w.UpdateState();
        QCOMPARE(w.curPos[0]->text(), QStringLiteral("0.33 mm"));
        QCOMPARE(w.curPos[1]->text(), QStringLiteral("-0.33 mm"));
        w.close();
    }
    IniSettings file(settingsIniPath());
    file.beginGroup(QStringLiteral("Multiaxis"));
    QCOMPARE(file.value(QStringLiteral("Recalc_enabled")).toBool(), true);
    QCOMPARE(file.value(QStringLiteral("Units")).toString(), QStringLiteral("mm"));
    QCOMPARE(file.value(QStringLiteral("Coeff_1")).toUInt(), 3u);
    QCOMPARE(file.value(QStringLiteral("Coeff_2")).toUInt(), 1u);
    QCOMPARE(file.value(QStringLiteral("Precision")).toUInt(), 2u);

    // Opened again in those units, the window keeps its width as they go off and on, also at
    // the widest value.
    Rig rig(3);
    rig.detachPolling();
    Multiaxis& w = *rig.window;
    QVERIFY(w.units.recalcEnabled);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto widthWith = [&](bool on, int steps, int uSteps) {
        for (int a = 0; a < 3; ++a)
            feed(w, a, status(steps, uSteps));
        w.receiveUnits(on, QStringLiteral("mm"), 100, 1, 2);
        w.UpdateState();
        QCoreApplication::processEvents();
        return w.width();
    };
    const int width = widthWith(true, 250, 0);
    QCOMPARE(widthWith(false, 250, 0), width);
    QCOMPARE(widthWith(true, INT_MIN, -255), width);
    QCOMPARE(w.curPos[0]->text(), QStringLiteral("-21474836.49 mm"));
    QCOMPARE(widthWith(false, INT_MIN, -255), width);
}

void tst_multiaxis::unitDialog()
{
    DimensionalUnitsDlg dialog(nullptr, QStringLiteral("Units"), false, QStringLiteral("mm"), 0, 5, 12,
                               {QStringLiteral("10001"), QStringLiteral("10002"), QStringLiteral("10003")});
    QWidget* const dependent[] = {dialog.findChild<QWidget*>(QStringLiteral("label")), dialog.findChild<QWidget*>(QStringLiteral("stepSpin")),
                                  dialog.findChild<QWidget*>(QStringLiteral("stepname")), dialog.findChild<QWidget*>(QStringLiteral("label_0")),
                                  dialog.findChild<QWidget*>(QStringLiteral("unitSpin")), dialog.findChild<QWidget*>(QStringLiteral("unitname")),
                                  dialog.findChild<QWidget*>(QStringLiteral("precSpin")), dialog.findChild<QWidget*>(QStringLiteral("label_2"))};
    auto* check = dialog.findChild<QCheckBox*>(QStringLiteral("checkBox"));
    for (QWidget* widget : dependent)
        QVERIFY(widget && !widget->isEnabled());
    check->setChecked(true);
    for (QWidget* widget : dependent)
        QVERIFY(widget->isEnabled());
    QCOMPARE(dialog.findChild<QSpinBox*>(QStringLiteral("stepSpin"))->value(), 1);
    QCOMPARE(dialog.findChild<QSpinBox*>(QStringLiteral("precSpin"))->value(), 9);
    dialog.layout()->setSizeConstraint(QLayout::SetFixedSize);
    dialog.show();
    QVERIFY(keepScreenshot(dialog, QStringLiteral("dimensional_units.png")));

    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("listWidget"));
    auto rows = [list] {
        QStringList texts;
        for (int r = 0; r < list->count(); ++r)
            texts.append(list->item(r)->text());
        return texts.join(QLatin1Char(','));
    };
    list->setCurrentRow(0);
    dialog.onBtnUpPressed();
    QCOMPARE(rows(), QStringLiteral("10001,10002,10003"));
    list->setCurrentRow(2);
    dialog.onBtnDownPressed();
    QCOMPARE(rows(), QStringLiteral("10001,10002,10003"));
    dialog.onBtnUpPressed();
    QCOMPARE(rows(), QStringLiteral("10001,10003,10002"));
    QCOMPARE(list->currentRow(), 1);

    QStringList order;
    connect(&dialog, &DimensionalUnitsDlg::sendUnits, this, [&order](bool on, QString unit, uint c1, uint c2, uint p) {
        order.append(QStringLiteral("units %1 %2 %3 %4 %5").arg(on).arg(unit).arg(c1).arg(c2).arg(p));
    });
    connect(&dialog, &DimensionalUnitsDlg::sendSerials, this,
            [&order](QStringList serials) { order.append(serials.join(QLatin1Char(','))); });
    dialog.onCancelPressed();
    QVERIFY(order.isEmpty());
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(order, QStringList({QStringLiteral("units 1 mm 1 5 9"), QStringLiteral("10001,10003,10002")}));
}

void tst_multiaxis::reorderingMovesTargetsAndIsSaved()
{
    {
        Rig rig(2);
        rig.detachPolling();
        Multiaxis& w = *rig.window;
        QCOMPARE(w.config->serialList(), QStringList({QStringLiteral("10001"), QStringLiteral("10002")}));
        w.spinBox_moveTo[0]->setValue(100, 5);
        w.spinBox_shiftOn[0]->setValue(-2, -7);
        // Slot Y counts in 1/128: its pair must come back whole in slot X.
        w.spinBox_moveTo[1]->setStepFactor(128);
        w.spinBox_moveTo[1]->setValue(-7, -100);
        for (const QStringList& bad : {QStringList{"10001", "10001"}, QStringList{"10001", "999"}, QStringList{"10002"},
                                       QStringList{"10002", "10001", "10003"}}) {
            w.receiveSerials(bad);
            QCOMPARE(w.axisOrder[0], 0);
            QCOMPARE(w.axisOrder[1], 1);
        }
        w.receiveSerials({QStringLiteral("10002"), QStringLiteral("10001")});
        QCOMPARE(w.axisOrder[0], 1);
        QCOMPARE(w.axisOrder[1], 0);
        QCOMPARE(w.spinBox_moveTo[0]->getStep(), -7);
        QCOMPARE(w.spinBox_moveTo[0]->getUStep(), -100);
        QCOMPARE(w.spinBox_moveTo[0]->getStepFactor(), 128);
        QCOMPARE(w.spinBox_moveTo[1]->getStep(), 100);
        QCOMPARE(w.spinBox_moveTo[1]->getUStep(), 5);
        QCOMPARE(w.spinBox_shiftOn[1]->getUStep(), -7);
        feed(w, 0, status(0, 0));
        feed(w, 1, status(0, 0));
        w.UpdateState();
        QCOMPARE(w.groupBox[0]->title(), QStringLiteral("Motor X, SN 10002"));
        w.close();
    }
    IniSettings file(settingsIniPath());
    QCOMPARE(file.value(QStringLiteral("Multiaxis/last_group")).toString(), QStringLiteral("SN_10001-10002"));
    QCOMPARE(file.value(QStringLiteral("SN_10001-10002/0")).toString(), QStringLiteral("10002"));
    QCOMPARE(file.value(QStringLiteral("SN_10001-10002/1")).toString(), QStringLiteral("10001"));
    QVERIFY(!file.contains(QStringLiteral("SN_10001-10002/2")));
}

void tst_multiaxis::shutDownEndsEveryThread_data()
{
    QTest::addColumn<bool>("uploadWaiting");
    QTest::newRow("idle") << false;
    QTest::newRow("upload awaiting an unplugged controller") << true;
}

void tst_multiaxis::shutDownEndsEveryThread()
{
    QFETCH(bool, uploadWaiting);
    QTemporaryDir files;
    capturedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    {
        Rig rig(3);
        Multiaxis& w = *rig.window;
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(w.samples[0].connected && w.samples[2].connected, scaledMs(5000));
        if (uploadWaiting) {
            const QByteArray payload(1000, 'p');
            QByteArray image(4096, '\0');
            image.resize(int(trovsim_make_firmware_image(4, 3, 1, reinterpret_cast<const uint8_t*>(payload.constData()),
                                                         uint32_t(payload.size()),
                                                         reinterpret_cast<uint8_t*>(image.data()), size_t(image.size()))));
            QFile file(files.filePath(QStringLiteral("image.cod")));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
            file.close();
            QCOMPARE(trovsim_unplug(axisNames[0]), 0);
            QTRY_VERIFY_WITH_TIMEOUT(!w.samples[0].connected, scaledMs(5000));
            FirmwareUpdateThread* upload = w.settingsDlgs[0]->firmwareThread;
            upload->setFirmwareFileName(file.fileName());
            upload->start();
            QVERIFY(!upload->wait(100));
        }
        trovsim_journal_clear();
        QElapsedTimer clock;
        clock.start();
        w.close();
        QVERIFY(clock.elapsed() < scaledMs(3000));
        QVERIFY(w.isShutDown());
        QVERIFY(w.updateThreads.isEmpty() && w.settingsDlgs.isEmpty());
        for (int a = uploadWaiting ? 1 : 0; a < 3; ++a)
            QCOMPARE(calls(a, "close_device"), 1);
        QCOMPARE(w.deviceHandle[1].load(), -1);
        // The title-bar close stops nothing and powers nothing off.
        for (int i = 0; i < trovsim_journal_size(); ++i) {
            trovsim_call_t call;
            QCOMPARE(trovsim_journal_entry(i, &call), 0);
            QVERIFY2(qstrncmp(call.function, "command_", 8) != 0 || qstrcmp(call.function, "command_update_firmware") == 0,
                     call.function);
        }
        QTest::qWait(150);
    }
    qInstallMessageHandler(previous);
    for (const QString& message : capturedMessages)
        QVERIFY2(!message.contains(QStringLiteral("Destroyed while thread")) && !message.contains(QStringLiteral("did not end")),
                 qPrintable(message));
}

// The close writes the units and the controller set into settings.ini: on a full disk the file
// stays as it was, and the user hears of it once; the script the scratch file cannot take is
// told in a box and a log line while the window is still there.
void tst_multiaxis::closeOnAFullDiskKeepsSettingsIni()
{
    QVERIFY(createConfigDir());
    const QByteArray old = putOldFile(settingsIniPath());
    LogAndBoxes logged;
    QStringList shownWhenTold;
    {
        Rig rig(2);
        rig.window->scriptDlg->editor()->setPlainText(QString(5000, QLatin1Char('s')));
        rig.window->show();
        logged.prompter.whileOpen = [&] { shownWhenTold << QString::number(rig.window->isVisible()); };
        FullDisk disk(old.size() + 16);
        rig.window->close();
        logged.prompter.whileOpen = nullptr;
    }
    QFile file(settingsIniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
    const QString script = "The script could not be written to " + ScriptDlg::defaultScratchPath() + ".\nFile too large";
    QCOMPARE(logged.prompter.texts, (QStringList{"The configuration could not be written to " + settingsIniPath()
                                                     + ".\nFile too large", script}));
    QCOMPARE(shownWhenTold, (QStringList{"1", "1"}));
    QCOMPARE(takeLogMessages(logged.log).filter("script"), QStringList{script.simplified()});
}

// Every page of each axis' settings dialog, at the size it opens with, shows its texts whole
// ("Right borde" was cut on the Borders page).
void tst_multiaxis::settingsPagesShowTextsWhole()
{
    Rig rig(3, "axis1:10001:stepper:stage;axis2:10002:dc;axis3:10003:bldc");
    Multiaxis& w = *rig.window;
    w.show();
    QStringList cut;
    for (int slot = 0; slot < 3; ++slot) {
        w.findChild<QPushButton*>(QStringLiteral("pushButton_settings_%1").arg(slot + 1))->click();
        SettingsDlg& dialog = *w.settingsDlgs[w.axisOrder[slot]];
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        cut << cutTextsOfEveryPage(dialog);
        dialog.hide();
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
}

// Each failure the operator must not miss, made through the window's buttons, dialogs and
// polling, reaches the message line with its time, errors in red, whole on hover; a long one is
// cut to the window, which keeps its width.
void tst_multiaxis::everyFailureReachesTheMessageLine_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("level");
    QTest::newRow("refused Apply") << "SN 10002: Home position: the controller refused the settings (result -1); "
                                      "not applied" << 1;
    QTest::newRow("corrected Apply") << "SN 10002: Home position: the controller corrected values it does not accept "
                                        "(result -3); the page shows what it holds" << 2;
    QTest::newRow("bad target") << "SN 10002, Move to: \"-\" is not a target; nothing was sent." << 2;
    // The log names the axis whose box it was, whatever slot shows it.
    QTest::newRow("bad target, slots swapped") << "SN 10002, Shift on: \"-\" is not a target; nothing was sent." << 2;
    QTest::newRow("refused command") << "SN 10002: Function command_home() failed, result = -1" << 1;
    // An error goes once the axis works again: a good read after failed reads, a command taken.
    QTest::newRow("failed reads, then a good one") << "" << 0;
    QTest::newRow("refused command, then STOP") << "" << 0;
    // The library's reopening lines keep coming; the loss line stays.
    QTest::newRow("lost") << "SN 10002 is lost; its motion controls are off until it is back." << 2;
    QTest::newRow("held by another program") << "SN 10002 is lost; its motion controls are off until it is back."
                                             << 2;
    QTest::newRow("bootloader") << "SN 10002 is in its bootloader; its motion controls are off until it runs "
                                   "its firmware." << 2;
    // Back, the axis' warning is over; another axis' stays.
    QTest::newRow("back") << "SN 10002 is back." << 3;
    QTest::newRow("back, another axis' warning") << "SN 10001, Move to: \"-\" is not a target; nothing was sent." << 2;
    // A refused STOP stays in red while the axis may move, whatever comes about it; seen
    // standing, it goes.
    QTest::newRow("STOP refused, the axis moving")
        << "SN 10002: STOP failed (result -1): the axis may still be moving. Press STOP again." << 1;
    QTest::newRow("STOP refused, then the axis standing") << "" << 0;
    // A STOP that waits for a lost axis is told with its loss, and its going with its return.
    QTest::newRow("lost, a STOP waiting") << "SN 10002 is lost; its Stop waits for it to come back." << 2;
    QTest::newRow("back, the STOP that waited") << "SN 10002 is back; its Stop went N s after it was pressed." << 3;
    QTest::newRow("same millisecond") << "the newer of two" << 2;
    QTest::newRow("long warning") << "a warning that goes on " + QString(300, QLatin1Char('x')) << 2;
}

void tst_multiaxis::everyFailureReachesTheMessageLine()
{
    QFETCH(QString, shown);
    QFETCH(int, level);
    const QString failure = QString::fromLatin1(QTest::currentDataTag());
    const char* const y = axisNames[1];
    // Once the line has not followed the log, the other rows fail at once instead of waiting.
    static bool lineFollowsTheLog = true;
    QVERIFY2(lineFollowsTheLog, "the message line does not follow the log (an earlier row)");
    LogAndBoxes logged(true);
    Rig rig(2, "axis1:10001:stepper;axis2:10002:stepper");
    Multiaxis& w = *rig.window;
    auto* line = w.findChild<MessageLine*>(QStringLiteral("messageLine"));
    w.show();
    w.resize(w.sizeHint());  // as on a screen that has room for it
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY_WITH_TIMEOUT(w.samples[0].connected && w.samples[1].connected, scaledMs(5000));
    // Nothing else of the row can pass when the line does not follow the log: said at once.
    logged.log.InsertLine(QDateTime::currentDateTime(), QStringLiteral("probe"), QStringLiteral("Tolmo"), 2);
    lineFollowsTheLog = QTest::qWaitFor([&] { return line->shownLine().endsWith("probe"); }, scaledMs(1000));
    QVERIFY2(lineFollowsTheLog, "the message line does not follow the log");
    const int width = w.width();
    w.updateThreads[w.axisOrder[1]]->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
    const QString lostY = "SN 10002 is lost; its motion controls are off until it is back.";
    auto* settingsY = w.findChild<QPushButton*>(QStringLiteral("pushButton_settings_2"));
    SettingsDlg* dialog = w.settingsDlgs[w.axisOrder[1]];
    if (failure.endsWith("Apply")) {
        settingsY->click();
        QVERIFY(settled(*dialog));
        QCOMPARE(editPage(*dialog, SettingsPage::HomePosition), int(MotorSettings::HomeRecord));
        QCOMPARE(trovsim_force_result(y, "set_home_settings", level == 1 ? result_error : result_value_error, 1), 0);
        click(*dialog, QDialogButtonBox::Apply);
        QCOMPARE(logged.prompter.texts.size(), level == 1 ? 1 : 0);
    } else if (failure == "bad target, slots swapped") {
        w.receiveSerials({QStringLiteral("10002"), QStringLiteral("10001")});
        QCOMPARE(w.axisOrder[0], 1);
        typeInto(w.spinBox_shiftOn[0], QStringLiteral("-"));
        w.findChild<QPushButton*>(QStringLiteral("pushButton_shiftOn"))->click();
    } else if (failure == "bad target") {
        typeInto(w.spinBox_moveTo[1], QStringLiteral("-"));
        w.findChild<QPushButton*>(QStringLiteral("pushButton_moveTo"))->click();
    } else if (failure.startsWith("refused command")) {
        QCOMPARE(trovsim_force_result(y, "command_home", result_error, 1), 0);
        w.findChild<QPushButton*>(QStringLiteral("pushButton_home"))->click();
        if (failure.endsWith("STOP")) {
            QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith("SN 10002: Function command_home() failed, result = -1"), scaledMs(5000));
            // The other axes' homes are through too, whatever read their couriers had before.
            for (AxisCourier* courier : w.couriers)
                QTRY_VERIFY_WITH_TIMEOUT(courier->idle(), scaledMs(5000));
            w.findChild<QPushButton*>(QStringLiteral("pushButton_STOP"))->click();
        }
    } else if (failure.startsWith("STOP refused")) {
        QCOMPARE(w.devices[1]->command_move(w.deviceHandle[1].load(), 2000000, 0), 0);
        QCOMPARE(trovsim_force_result(y, "command_stop", result_error, 4), 0);
        w.findChild<QPushButton*>(QStringLiteral("pushButton_STOP"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith("SN 10002: STOP failed (result -1): the axis may still be moving. "
                                                            "Press STOP again."), scaledMs(5000));
        logged.log.InsertLine(QDateTime::currentDateTime(), QStringLiteral("SN 10002: Move to was not sent: the "
                                                                         "controller was busy for 1 s."),
                              QStringLiteral("Tolmo"), 2);
        if (failure.endsWith("standing")) {
            // A later STOP is tried itself, and the axis is seen standing.
            w.findChild<QPushButton*>(QStringLiteral("pushButton_STOP"))->click();
        }
    } else if (failure.endsWith("a STOP waiting") || failure.endsWith("the STOP that waited")) {
        w.updateThreads[w.axisOrder[1]]->setReconnectInterval(300);
        QCOMPARE(trovsim_unplug(y), 0);
        QTRY_COMPARE_WITH_TIMEOUT(w.deviceHandle[1].load(), -1, scaledMs(5000));
        w.findChild<QPushButton*>(QStringLiteral("pushButton_STOP"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.couriers[1]->awaitsController(), scaledMs(5000));
        QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith("SN 10002 is lost; its Stop waits for it to come back."), scaledMs(10000));
        if (failure.startsWith("back")) {
            QCOMPARE(trovsim_plug(y, 0), 0);
            const QRegularExpression went("SN 10002 is back; its Stop went \\d+(\\.\\d)? s after it was pressed\\.$");
            QTRY_VERIFY2_WITH_TIMEOUT(went.match(line->shownLine()).hasMatch(), qPrintable(line->shownLine()), scaledMs(10000));
            shown = line->shownLine().mid(line->shownLine().indexOf("SN 10002"));
        }
    } else if (failure == "failed reads, then a good one") {
        QCOMPARE(trovsim_force_result(axisNames[0], "get_status", result_error, 2), 0);
        QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith("SN 10001: Function get_status() failed, result = -1"), scaledMs(5000));
    } else if (failure == "bootloader") {
        QVERIFY(createConfigDir());
        const auto lossLines = [&] {
            logged.log.update();
            QFile file(logged.log.logFileName(QDir(configDirPath()), QDateTime::currentDateTime()));
            return file.open(QIODevice::ReadOnly) ? int(file.readAll().count("SN 10002 is lost")) : -1;
        };
        const int lossesBefore = lossLines();
        QCOMPARE(trovsim_enter_bootloader(y, 1), 0);
        QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith(shown), scaledMs(5000));
        QCOMPARE(lossLines(), lossesBefore);
    } else if (failure == "long warning") {
        logged.log.InsertLine(QDateTime::currentDateTime(), shown, QStringLiteral("Script"), 2);
        logged.log.InsertLine(QDateTime::currentDateTime(), QStringLiteral("information"), QStringLiteral("Tolmo"), 3);
    } else if (failure == "same millisecond") {
        const QDateTime now = QDateTime::currentDateTime();
        logged.log.InsertLine(now, QStringLiteral("the older of two"), QStringLiteral("Tolmo"), 1);
        logged.log.InsertLine(now, shown, QStringLiteral("Tolmo"), 2);
    } else {
        QCOMPARE(trovsim_set_busy(y, failure == "held by another program"), 0);
        QCOMPARE(trovsim_unplug(y), 0);
        if (failure.startsWith("back") || failure == "lost")
            QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith(lostY), scaledMs(5000));
        if (failure == "lost") {
            const int opens = calls(1, "open_device");
            QTRY_VERIFY_WITH_TIMEOUT(calls(1, "open_device") >= opens + 3, scaledMs(5000));
        }
        if (failure == "back, another axis' warning") {
            // The next reopening waits, so that no line of axis Y comes after X's warning.
            QCOMPARE(trovsim_hold_call(y, "open_device"), 0);
            QCOMPARE(trovsim_wait_held(y, "open_device", 5000), 0);
            typeInto(w.spinBox_moveTo[0], QStringLiteral("-"));
            w.findChild<QPushButton*>(QStringLiteral("pushButton_moveTo"))->click();
            QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith(shown), scaledMs(5000));
        }
        if (failure != "lost")
            QCOMPARE(trovsim_plug(y, 0), 0);
        if (failure == "back, another axis' warning")
            QCOMPARE(trovsim_release_call(y, "open_device"), 0);
        if (failure.startsWith("back"))
            QTRY_VERIFY_WITH_TIMEOUT(w.groupBox[1]->isEnabled(), scaledMs(5000));
    }
    if (shown.isEmpty()) {
        QTRY_VERIFY2_WITH_TIMEOUT(line->shownLine().isEmpty(), qPrintable(line->shownLine()), scaledMs(5000));
        QCOMPARE(line->shownLevel(), 0);
        QVERIFY(line->toolTip().isEmpty());
        return;
    }
    QTRY_VERIFY2_WITH_TIMEOUT(line->shownLine().endsWith("  " + shown), qPrintable(line->shownLine()), scaledMs(5000));
    QVERIFY(QTime::fromString(line->shownLine().left(8), QStringLiteral("hh:mm:ss")).isValid());
    QCOMPARE(line->shownLevel(), level);
    QVERIFY(line->toolTip().endsWith(shown));
    QCOMPARE(line->palette().color(QPalette::WindowText) == QColor(Qt::red), level == 1);
    QCOMPARE(line->text().endsWith(QChar(0x2026)), failure == "long warning");
    QCoreApplication::processEvents();
    QCOMPARE(w.width(), width);
    QVERIFY(line->geometry().bottom() >= w.height() - 2);
    if (failure == "long warning")
        QVERIFY(keepScreenshot(w, QStringLiteral("multiaxis_message_line.png")));
    if (failure == "refused Apply") {
        // The Settings button brings the dialog forward with the edit still on it, marked.
        const int reads = trovsim_call_count(y, "get_home_settings");
        settingsY->click();
        QVERIFY(dialog->isVisible());
        QCOMPARE(trovsim_call_count(y, "get_home_settings"), reads);
        QCOMPARE(editedRecord(*dialog, SettingsPage::HomePosition), int(MotorSettings::HomeRecord));
        QVERIFY(marked(*dialog, SettingsPage::HomePosition));
    }
}

// A slow controller holds neither the window nor the other axes: the window opens while its
// identity is read, naming what it waits for; its settings open at once and a STOP meanwhile
// reaches the other axes at once.
void tst_multiaxis::slowControllerNeverHoldsTheWindow_data()
{
    QTest::addColumn<QString>("act");
    QTest::newRow("opening, Y's identity read held") << "open";
    QTest::newRow("Y's settings opened, its read held, STOP") << "settings";
}

void tst_multiaxis::slowControllerNeverHoldsTheWindow()
{
    QFETCH(QString, act);
    if (act == "open") {
        // As start-up opens them, Y's identity read then held for 400 ms.
        trovsim_reset(nullptr, "");
        trovsim_clear_faults();
        std::vector<std::unique_ptr<DeviceInterface>> gateways;
        QList<int> handles;
        QStringList names;
        QList<DeviceInterface*> list;
        for (int i = 0; i < 3; ++i) {
            gateways.push_back(std::make_unique<DeviceInterface>());
            handles.append(gateways.back()->open_device(axisNames[i]));
            names.append(QString::fromLatin1(axisNames[i]));
            list.append(gateways.back().get());
        }
        HeldCall read(axisNames[1], "get_serial_number", 400);
        // A 10 ms beat while the wait box is up: the loop goes on while the read is held.
        QString waitedFor;
        qint64 gap = 0;
        int beats = 0;
        QElapsedTimer sinceBeat;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            bool boxUp = false;
            for (QWidget* shown : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<InfoBox*>(shown); box && box->isVisible()) {
                    waitedFor = box->findChild<QLabel*>(QStringLiteral("textLabel"))->text();
                    boxUp = true;
                }
            }
            if (boxUp && sinceBeat.isValid()) {
                gap = std::max(gap, sinceBeat.elapsed());
                ++beats;
            }
            if (boxUp)
                sinceBeat.restart();
            else
                sinceBeat.invalidate();
        });
        beat.start(10);
        auto w = std::make_unique<Multiaxis>(nullptr, Qt::WindowFlags(), handles, names, list);
        beat.stop();
        QVERIFY2(beats >= 10 && gap < 100, qPrintable(QStringLiteral("%1 beats, %2 ms").arg(beats).arg(gap)));
        QCOMPARE(waitedFor, QStringLiteral("Reading the identity and settings of sim:axis2"));
        QVERIFY(deviceInitOk);
        QCOMPARE(w->settingsDlgs[1]->controllerSettings->serialNumber, 10002u);
        QCOMPARE(w->couriers[1]->idle(), true);
        w.reset();
        return;
    }
    Rig rig(3);
    Multiaxis& w = *rig.window;
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.samples[0].connected && w.samples[2].connected, 5000);
    QVERIFY(rig.settle());
    int stops[3];
    for (int a = 0; a < 3; ++a)
        stops[a] = calls(a, "command_stop");
    HeldCall read(axisNames[1], "get_move_settings", 1000);
    w.findChild<QPushButton*>(QStringLiteral("pushButton_settings_2"))->click();
    SettingsDlg& dialog = *w.settingsDlgs[1];
    QVERIFY(dialog.isVisible());
    QCOMPARE(trovsim_wait_held(axisNames[1], "get_move_settings", 5000), 0);
    const LoopHeartbeat heartbeat;
    QTest::qWait(50);
    w.findChild<QPushButton*>(QStringLiteral("pushButton_STOP"))->click();
    // X and Z stop while Y's call is still under way.
    QTRY_VERIFY_WITH_TIMEOUT(calls(0, "command_stop") > stops[0] && calls(2, "command_stop") > stops[2], 500);
    QCOMPARE(calls(1, "command_stop"), stops[1]);
    read.release();
    QTRY_VERIFY_WITH_TIMEOUT(calls(1, "command_stop") > stops[1], 5000);
    QVERIFY(settled(dialog));
    const qint64 gap = heartbeat.largestGapMs();
    QVERIFY2(gap < 100, qPrintable(QString::number(gap)));
    QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("transferLbl"))->text().contains("was cut short"));
}

QTEST_MAIN(tst_multiaxis)
#include "tst_multiaxis.moc"
