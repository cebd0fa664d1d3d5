// Borders by position and by limit switches, switch polarity and swap, the misset detection, the
// hard stops, and homing with its stop conditions, half turn, standoff and failures. The default
// stepper axis has its hard stops at +-10000 steps, switches at +-9800 and borders at +-9500.
#include "axiskit.h"

#include <QtTest>

using namespace axistest;

namespace {

void setEdges(device_t id, uint32_t borderFlags, uint32_t enderFlags)
{
    QCOMPARE(edit<edges_settings_t>(id, get_edges_settings, set_edges_settings,
                                    [&](edges_settings_t& e) {
                                        e.BorderFlags = borderFlags;
                                        e.EnderFlags = enderFlags;
                                    }),
             0);
}

void setHomeFlags(device_t id, uint32_t flags)
{
    QCOMPARE(edit<home_settings_t>(id, get_home_settings, set_home_settings,
                                   [&](home_settings_t& h) { h.HomeFlags = flags; }),
             0);
}

void goTo(Axis& axis, int position)
{
    QCOMPARE(command_move(axis.id, position, 0), 0);
    axis.runUntilStill();
    QCOMPARE(axis.status().CurPosition, position);
}

} // namespace

class TestTrovBorders : public QObject {
    Q_OBJECT
private slots:
    void edgeStops_data();
    void edgeStops();
    void moveBeyondTheBorderStopsOnIt();
    void borderToBorderCycle();
    void hardStopLosesSteps();
    void polarityAndSwap_data();
    void polarityAndSwap();
    void missetDetection_data();
    void missetDetection();
    void homeFromBeyondTheSwitch();
    void homeOnTheRevolutionSensor();
    void homeOnASyncPulse();
    void homeWithHalfTurn();
    void homeFailures_data();
    void homeFailures();
};

void TestTrovBorders::edgeStops_data()
{
    QTest::addColumn<uint32_t>("borderFlags");
    QTest::addColumn<int>("dir");
    QTest::addColumn<int>("edge");
    QTest::newRow("left border by position") << 7u << -1 << -9500;
    QTest::newRow("right border by position") << 7u << 1 << 9500;
    QTest::newRow("left limit switch") << 6u << -1 << -9800;
    QTest::newRow("right limit switch") << 6u << 1 << 9800;
}

void TestTrovBorders::edgeStops()
{
    QFETCH(uint32_t, borderFlags);
    QFETCH(int, dir);
    QFETCH(int, edge);
    Rig rig;
    Axis axis;
    setEdges(axis.id, borderFlags, 6);
    auto run = [&](int d) { return d < 0 ? command_left(axis.id) : command_right(axis.id); };
    const uint32_t code = dir < 0 ? MVCMD_LEFT : MVCMD_RIGHT;
    const uint32_t bit = dir < 0 ? STATE_LEFT_EDGE : STATE_RIGHT_EDGE;

    QCOMPARE(run(dir), 0);
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, edge); // exactly on the border, or where the switch engaged
    QCOMPARE(s.uCurPosition, 0);
    QCOMPARE(hex(s.MvCmdSts), hex(code | MVCMD_ERROR));
    QVERIFY(s.GPIOFlags & bit);
    QVERIFY(!(s.Flags & STATE_ERRC));

    // further into the edge: answered, refused, no motion
    QCOMPARE(run(dir), 0);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(code | MVCMD_ERROR));
    QVERIFY(s.Flags & STATE_ERRC);
    QCOMPARE(command_movr(axis.id, dir * 10, 0), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVR | MVCMD_ERROR));
    trovsim_advance_ms(500);
    QCOMPARE(axis.status().CurPosition, edge);
    QCOMPARE(axis.status().MoveSts, 0u);

    // away from it is always allowed, and the refusal is forgotten
    QCOMPARE(command_movr(axis.id, -dir * 1000, 0), 0);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVR | MVCMD_RUNNING));
    QVERIFY(!(s.Flags & STATE_ERRC));
    axis.runUntilStill();
    s = axis.status();
    QCOMPARE(s.CurPosition, edge - dir * 1000);
    QVERIFY(!(s.GPIOFlags & (STATE_LEFT_EDGE | STATE_RIGHT_EDGE)));
}

void TestTrovBorders::moveBeyondTheBorderStopsOnIt()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 9700, 0), 0);
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, 9500);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE | MVCMD_ERROR));
    // a move that ends on the border itself is an ordinary arrival
    goTo(axis, 0);
    goTo(axis, -9500);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVE));
    QVERIFY(axis.status().GPIOFlags & STATE_LEFT_EDGE);
}

// What the main window's border-to-border cycle does: run, stop on the edge, stop, run back.
void TestTrovBorders::borderToBorderCycle()
{
    Rig rig;
    Axis axis;
    int dir = -1;
    for (int leg = 0; leg < 4; ++leg, dir = -dir) {
        QCOMPARE(dir < 0 ? command_left(axis.id) : command_right(axis.id), 0);
        QVERIFY(axis.status().MvCmdSts & MVCMD_RUNNING);
        axis.runUntilStill();
        status_t s = axis.status();
        QCOMPARE(s.CurPosition, dir * 9500);
        QVERIFY(s.GPIOFlags & (dir < 0 ? STATE_LEFT_EDGE : STATE_RIGHT_EDGE));
        QCOMPARE(command_stop(axis.id), 0);
        QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_STOP));
    }
}

void TestTrovBorders::hardStopLosesSteps()
{
    Rig rig;
    Axis axis;
    setEdges(axis.id, BORDER_IS_ENCODER, 6); // edges by position, but no stops
    QCOMPARE(command_move(axis.id, -10500, 0), 0);
    bool litPastTheBorder = false;
    for (const status_t& s : axis.runUntilStill())
        litPastTheBorder = litPastTheBorder || (s.CurPosition < -9500 && (s.GPIOFlags & STATE_LEFT_EDGE));
    QVERIFY(litPastTheBorder);
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, -10500); // the counter went on
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE));
    QCOMPARE(axis.physical(), -10000.0); // the stage did not
    QCOMPARE(s.EncPosition, int64_t(-200000));
    goTo(axis, 0);
    QCOMPARE(axis.physical(), 500.0);
    QCOMPARE(axis.status().EncPosition, int64_t(10000));
}

void TestTrovBorders::polarityAndSwap_data()
{
    QTest::addColumn<uint32_t>("enderFlags");
    QTest::addColumn<int>("position");
    QTest::addColumn<uint32_t>("edges");
    QTest::newRow("polarity matches, free") << 6u << 0 << 0u;
    QTest::newRow("polarity matches, on the low switch") << 6u << -9900 << uint32_t(STATE_LEFT_EDGE);
    QTest::newRow("polarity matches, on the high switch") << 6u << 9900 << uint32_t(STATE_RIGHT_EDGE);
    QTest::newRow("low switch reversed reads pushed while free") << 4u << 0 << uint32_t(STATE_LEFT_EDGE);
    QTest::newRow("low switch reversed reads free while pushed") << 4u << -9900 << 0u;
    QTest::newRow("high switch reversed") << 2u << 0 << uint32_t(STATE_RIGHT_EDGE);
    QTest::newRow("swapped, on the low switch") << 7u << -9900 << uint32_t(STATE_RIGHT_EDGE);
    QTest::newRow("swapped, low switch reversed") << 5u << 0 << uint32_t(STATE_RIGHT_EDGE);
}

void TestTrovBorders::polarityAndSwap()
{
    QFETCH(uint32_t, enderFlags);
    QFETCH(int, position);
    QFETCH(uint32_t, edges);
    Rig rig;
    Axis axis;
    setEdges(axis.id, 0, 6); // edges by switches, no stops
    if (position)
        goTo(axis, position);
    setEdges(axis.id, 0, enderFlags);
    QCOMPARE(hex(axis.status().GPIOFlags & (STATE_LEFT_EDGE | STATE_RIGHT_EDGE)), hex(edges));
}

void TestTrovBorders::missetDetection_data()
{
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<uint32_t>("enderFlags");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("alarm");
    QTest::newRow("motor reversed") << true << 6u << 9900 << false;
    QTest::newRow("motor reversed, alarm") << true << 6u << 9900 << true;
    QTest::newRow("switches swapped by mistake") << false << 7u << -9900 << false;
    QTest::newRow("switches swapped by mistake, alarm") << false << 7u << -9900 << true;
}

void TestTrovBorders::missetDetection()
{
    QFETCH(bool, reverse);
    QFETCH(uint32_t, enderFlags);
    QFETCH(int, target);
    QFETCH(bool, alarm);
    Rig rig;
    Axis axis;
    setEdges(axis.id, BORDERS_SWAP_MISSET_DETECTION, enderFlags);
    QCOMPARE(edit<engine_settings_t>(axis.id, get_engine_settings, set_engine_settings,
                                     [&](engine_settings_t& e) {
                                         if (reverse)
                                             e.EngineFlags |= ENGINE_REVERSE;
                                     }),
             0);
    QCOMPARE(edit<secure_settings_t>(axis.id, get_secure_settings, set_secure_settings,
                                     [&](secure_settings_t& s) {
                                         s.Flags = alarm ? (s.Flags | ALARM_ON_BORDERS_SWAP_MISSET)
                                                         : (s.Flags & ~uint32_t(ALARM_ON_BORDERS_SWAP_MISSET));
                                     }),
             0);
    QCOMPARE(command_move(axis.id, target, 0), 0);
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, target > 0 ? 9800 : -9800); // where the wrong switch was met
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE | MVCMD_ERROR));
    QVERIFY(s.Flags & STATE_BORDERS_SWAP_MISSET);
    QCOMPARE(bool(s.Flags & STATE_ALARM), alarm);
    if (alarm) {
        QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_OFF));
        QCOMPARE(command_movr(axis.id, -100, 0), 0); // refused while in alarm
        QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVR | MVCMD_ERROR));
        QVERIFY(axis.status().Flags & STATE_ERRC);
    }
    QCOMPARE(command_stop(axis.id), 0);
    s = axis.status();
    QVERIFY(!(s.Flags & (STATE_BORDERS_SWAP_MISSET | STATE_ALARM | STATE_ERRC)));
    QCOMPARE(command_movr(axis.id, target > 0 ? -100 : 100, 0), 0);
    axis.runUntilStill();
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVR));
}

void TestTrovBorders::homeFromBeyondTheSwitch()
{
    Rig rig;
    Axis axis;
    setEdges(axis.id, BORDER_IS_ENCODER, 6);
    goTo(axis, -9900); // on the switch already
    QCOMPARE(command_home(axis.id), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_HOME | MVCMD_RUNNING));
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, -9700);
    QCOMPARE(s.uCurPosition, 0);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_HOME));
}

void TestTrovBorders::homeOnTheRevolutionSensor()
{
    Rig rig;
    Axis axis;
    goTo(axis, 50);
    setHomeFlags(axis.id, HOME_DIR_FIRST | HOME_STOP_FIRST_REV); // right to the next mark, then standoff
    QCOMPARE(command_home(axis.id), 0);
    bool sawSensor = false;
    for (const status_t& s : axis.runUntilStill())
        sawSensor = sawSensor || (s.GPIOFlags & STATE_REV_SENSOR);
    QVERIFY(sawSensor);
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, 300); // the mark at 200 steps (one turn) + 100
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_HOME));
    QVERIFY(!(s.GPIOFlags & STATE_REV_SENSOR)); // latched once, then clear
}

void TestTrovBorders::homeOnASyncPulse()
{
    Rig rig;
    Axis axis;
    setHomeFlags(axis.id, HOME_DIR_FIRST | HOME_STOP_FIRST_SYN);
    QCOMPARE(command_home(axis.id), 0);
    trovsim_advance_ms(300);
    status_t s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_HOME | MVCMD_RUNNING));
    double at = s.CurPosition + s.uCurPosition / 256.0;
    QVERIFY(at > 0);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_SYNC_PULSE, 1), 0);
    QVERIFY(axis.status().GPIOFlags & STATE_SYNC_INPUT);
    axis.runUntilStill();
    s = axis.status();
    QVERIFY(std::abs(s.CurPosition + s.uCurPosition / 256.0 - (at + 100)) < 1.5 / 256);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_HOME));
}

void TestTrovBorders::homeWithHalfTurn()
{
    Rig rig;
    Axis axis;
    setHomeFlags(axis.id, 0xF6 | HOME_HALF_MV);
    QCOMPARE(command_home(axis.id), 0);
    axis.runUntilStill();
    // switch at -9800, half a turn (100) clears it, standoff 100
    QCOMPARE(axis.status().CurPosition, -9600);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_HOME));
}

void TestTrovBorders::homeFailures_data()
{
    QTest::addColumn<uint32_t>("enderFlags");
    QTest::addColumn<uint32_t>("fastHome");
    QTest::addColumn<int>("stopsAt");
    QTest::newRow("runs into the other switch") << 7u << 1500u << -9800;
    QTest::newRow("no speed to home at") << 6u << 0u << 0;
}

void TestTrovBorders::homeFailures()
{
    QFETCH(uint32_t, enderFlags);
    QFETCH(uint32_t, fastHome);
    QFETCH(int, stopsAt);
    Rig rig;
    Axis axis;
    setEdges(axis.id, 7, enderFlags);
    QCOMPARE(edit<home_settings_t>(axis.id, get_home_settings, set_home_settings,
                                   [&](home_settings_t& h) {
                                       h.FastHome = fastHome;
                                       h.uFastHome = 0;
                                   }),
             0);
    QCOMPARE(command_home(axis.id), 0);
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_HOME | MVCMD_ERROR));
    QCOMPARE(s.CurPosition, stopsAt);
    QCOMPARE(s.MoveSts, 0u);
}

QTEST_GUILESS_MAIN(TestTrovBorders)
#include "tst_trov_borders.moc"
