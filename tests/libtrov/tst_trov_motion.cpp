// The motion model of the simulated controllers, sampled every 100 ms of simulated time: the move
// profile and its exact arrival, the status values that the program's exit, homing and cyclic
// logic wait for, relative moves, microsteps, counts and rpm, the backlash approach and loft,
// zero and set_position, the encoder. Uses only the library header and its test controls.
#include "axiskit.h"

#include <QtTest>

using namespace axistest;

namespace {

enum Setup { Defaults, AccelOff, MaxSpeed, RpmLimit, Antiplay50, AntiplayMinus50 };

void apply(device_t id, int setup)
{
    switch (setup) {
    case AccelOff:
        QCOMPARE(edit<engine_settings_t>(id, get_engine_settings, set_engine_settings,
                                         [](engine_settings_t& e) { e.EngineFlags &= ~ENGINE_ACCEL_ON; }),
                 0);
        break;
    case MaxSpeed:
        QCOMPARE(edit<engine_settings_t>(id, get_engine_settings, set_engine_settings,
                                         [](engine_settings_t& e) { e.EngineFlags |= ENGINE_MAX_SPEED; }),
                 0);
        break;
    case RpmLimit:
        QCOMPARE(edit<move_settings_t>(id, get_move_settings, set_move_settings,
                                       [](move_settings_t& m) { m.Speed = 3000; }),
                 0);
        break;
    case Antiplay50:
    case AntiplayMinus50:
        QCOMPARE(edit<engine_settings_t>(id, get_engine_settings, set_engine_settings,
                                         [&](engine_settings_t& e) {
                                             e.EngineFlags |= ENGINE_ANTIPLAY;
                                             e.Antiplay = setup == Antiplay50 ? 50 : -50;
                                         }),
                 0);
        break;
    default:
        break;
    }
}

} // namespace

class TestTrovMotion : public QObject {
    Q_OBJECT
private slots:
    void moveThenHomeWithTheDefaults();
    void moveProfile_data();
    void moveProfile();
    void stopAndSoftStop();
    void speedModeAndTakeover();
    void shiftRelativeToRunningTarget();
    void negativePositions();
    void microstepsAreNormalised_data();
    void microstepsAreNormalised();
    void backlashApproach_data();
    void backlashApproach();
    void loft();
    void zeroDuringAMove();
    void setPosition_data();
    void setPosition();
    void encoder();
};

// Out of the box: "move to 1000, then home" on the default stepper axis.
void TestTrovMotion::moveThenHomeWithTheDefaults()
{
    Rig rig;
    Axis axis("sim:axis1");
    QCOMPARE(axis.status().MvCmdSts, 0u);
    QCOMPARE(axis.status().PWRSts, uint32_t(PWR_STATE_OFF));

    QCOMPARE(command_move(axis.id, 1000, 0), 0);
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, 1000);
    QCOMPARE(s.uCurPosition, 0);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE));
    QCOMPARE(s.MoveSts, 0u);

    QCOMPARE(command_home(axis.id), 0);
    std::vector<status_t> samples = axis.runUntilStill();
    QVERIFY(samples.size() > 5);
    for (size_t i = 0; i + 1 < samples.size(); ++i)
        QCOMPARE(hex(samples[i].MvCmdSts), hex(MVCMD_HOME | MVCMD_RUNNING));
    s = axis.status();
    // the left switch releases at -9800; the standoff is 100 steps
    QCOMPARE(s.CurPosition, -9700);
    QCOMPARE(s.uCurPosition, 0);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_HOME));
    QCOMPARE(s.MoveSts, 0u);
    QVERIFY(s.GPIOFlags & STATE_LEFT_EDGE); // inside the left border at -9500
}

void TestTrovMotion::moveProfile_data()
{
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("utarget");
    QTest::addColumn<double>("speed"); // units/s
    QTest::addColumn<double>("accel");
    QTest::addColumn<double>("decel");
    QTest::addColumn<int>("reportedSpeed"); // CurSpeed at cruise; 0 = no cruise phase
    QTest::newRow("stepper defaults") << QByteArray("sim:axis1") << int(Defaults) << 1000 << 0 << 1000.0 << 2000.0
                                      << 4000.0 << 1000;
    QTest::newRow("short move to a microstep") << QByteArray("sim:axis1") << int(Defaults) << 100 << 128 << 1000.0
                                               << 2000.0 << 4000.0 << 0;
    QTest::newRow("backwards") << QByteArray("sim:axis1") << int(Defaults) << -3000 << -64 << 1000.0 << 2000.0
                               << 4000.0 << -1000;
    QTest::newRow("acceleration off") << QByteArray("sim:axis1") << int(AccelOff) << 1000 << 0 << 1000.0 << 0.0
                                      << 0.0 << 1000;
    QTest::newRow("nominal speed") << QByteArray("sim:axis1") << int(MaxSpeed) << 5000 << 0 << 2000.0 << 2000.0
                                   << 4000.0 << 2000;
    QTest::newRow("speed capped at the nominal speed") << QByteArray("sim:axis1") << int(RpmLimit) << 5000 << 0
                                                       << 2000.0 << 2000.0 << 4000.0 << 2000;
    // 3000 rpm at 2000 counts a turn; 5000 rpm/s
    QTest::newRow("dc counts and rpm") << QByteArray("sim:axis3") << int(Defaults) << 200000 << 0 << 100000.0
                                       << 166666.0 + 2.0 / 3 << 166666.0 + 2.0 / 3 << 3000;
}

void TestTrovMotion::moveProfile()
{
    QFETCH(QByteArray, device);
    QFETCH(int, setup);
    QFETCH(int, target);
    QFETCH(int, utarget);
    QFETCH(double, speed);
    QFETCH(double, accel);
    QFETCH(double, decel);
    QFETCH(int, reportedSpeed);
    Rig rig;
    Axis axis(device.constData());
    apply(axis.id, setup);
    bool dc = device == "sim:axis3";
    double dest = target + (dc ? 0.0 : utarget / 256.0);
    double ms = accel > 0 ? trapezoidMs(std::abs(dest), speed, accel, decel) : 1000.0 * std::abs(dest) / speed;

    QCOMPARE(command_move(axis.id, target, utarget), 0);
    status_t s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE | MVCMD_RUNNING));
    QCOMPARE(s.PWRSts, uint32_t(accel > 0 ? PWR_STATE_MAX : PWR_STATE_NORM));

    // travelling: MoveSts is exactly MOVING, never TARGET_SPEED, and the position only advances
    const int moving = int(std::ceil(ms)) - 1, done = int(std::floor(ms)) + 1;
    int now = 0;
    double last = 0;
    bool cruised = false;
    while (now + kSampleMs <= moving) {
        trovsim_advance_ms(kSampleMs);
        now += kSampleMs;
        s = axis.status();
        QCOMPARE(s.MoveSts, uint32_t(MOVE_STATE_MOVING));
        QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE | MVCMD_RUNNING));
        double p = s.CurPosition + s.uCurPosition / 256.0;
        QVERIFY2((p - last) * dest >= 0, qPrintable(QString::number(p)));
        last = p;
        QVERIFY(std::abs(s.CurSpeed) <= std::abs(reportedSpeed ? reportedSpeed : speed));
        if (reportedSpeed && s.CurSpeed == reportedSpeed) {
            cruised = true;
            QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_NORM));
        }
    }
    QVERIFY(cruised || reportedSpeed == 0);
    // it arrives within a millisecond of the trapezoid's time, exactly on the target
    trovsim_advance_ms(uint64_t(moving - now));
    QVERIFY(axis.status().MoveSts & MOVE_STATE_MOVING);
    trovsim_advance_ms(uint64_t(done - moving));
    s = axis.status();
    QCOMPARE(s.MoveSts, 0u);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE));
    QCOMPARE(s.CurPosition, target);
    QCOMPARE(s.uCurPosition, dc ? 0 : utarget);
    QCOMPARE(s.CurSpeed, 0);
    QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_NORM));
    if (dc)
        QCOMPARE(s.EncPosition, int64_t(target)); // the counter is the encoder
}

void TestTrovMotion::stopAndSoftStop()
{
    Rig rig;
    Axis axis;
    // a soft stop at rest answers the final state at once: the exit sequence waits for it
    QCOMPARE(command_sstp(axis.id), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_SSTP));

    QCOMPARE(command_right(axis.id), 0);
    trovsim_advance_ms(1000);
    QCOMPARE(command_sstp(axis.id), 0);
    status_t s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_SSTP | MVCMD_RUNNING));
    QCOMPARE(s.MoveSts, uint32_t(MOVE_STATE_MOVING));
    trovsim_advance_ms(kSampleMs);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_SSTP | MVCMD_RUNNING));
    QCOMPARE(s.CurSpeed, 600); // 1000 steps/s less 0.1 s at 4000 steps/s^2
    trovsim_advance_ms(2 * kSampleMs);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_SSTP));
    QCOMPARE(s.MoveSts, 0u);
    // 0.5 s ramp (250) + 0.5 s at speed (500) + 0.25 s down (125)
    QCOMPARE(s.CurPosition, 875);
    QCOMPARE(command_sstp(axis.id), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_SSTP));

    // stop is immediate
    QCOMPARE(command_move(axis.id, 5000, 0), 0);
    trovsim_advance_ms(700);
    double before = axis.position();
    QCOMPARE(command_stop(axis.id), 0);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_STOP));
    QCOMPARE(s.MoveSts, 0u);
    trovsim_advance_ms(kSampleMs);
    QCOMPARE(axis.position(), before);

    // a soft stop with the acceleration off stops at once
    QCOMPARE(edit<engine_settings_t>(axis.id, get_engine_settings, set_engine_settings,
                                     [](engine_settings_t& e) { e.EngineFlags &= ~ENGINE_ACCEL_ON; }),
             0);
    QCOMPARE(command_left(axis.id), 0);
    trovsim_advance_ms(kSampleMs);
    QCOMPARE(command_sstp(axis.id), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_SSTP));
    QCOMPARE(axis.status().MoveSts, 0u);
}

void TestTrovMotion::speedModeAndTakeover()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_left(axis.id), 0);
    trovsim_advance_ms(kSampleMs);
    status_t s = axis.status();
    QCOMPARE(s.MoveSts, uint32_t(MOVE_STATE_MOVING)); // still accelerating
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_LEFT | MVCMD_RUNNING));
    QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_MAX));
    trovsim_advance_ms(5 * kSampleMs);
    s = axis.status();
    QCOMPARE(s.MoveSts, uint32_t(MOVE_STATE_MOVING | MOVE_STATE_TARGET_SPEED));
    QCOMPARE(s.CurSpeed, -1000);
    QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_NORM));

    // a soft stop, then right again at once: the speed passes through zero without a jump
    QCOMPARE(command_sstp(axis.id), 0);
    trovsim_advance_ms(kSampleMs);
    QCOMPARE(command_right(axis.id), 0);
    int speed = axis.status().CurSpeed;
    QCOMPARE(speed, -600);
    bool reversed = false;
    for (int i = 0; i < 20; ++i) {
        trovsim_advance_ms(kSampleMs);
        s = axis.status();
        QVERIFY2(std::abs(s.CurSpeed - speed) <= 400, qPrintable(QString("%1 -> %2").arg(speed).arg(s.CurSpeed)));
        QVERIFY(s.CurSpeed >= speed);
        speed = s.CurSpeed;
        reversed = reversed || speed > 0;
    }
    QVERIFY(reversed);
    QCOMPARE(s.MoveSts, uint32_t(MOVE_STATE_MOVING | MOVE_STATE_TARGET_SPEED));
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_RIGHT | MVCMD_RUNNING));
}

void TestTrovMotion::shiftRelativeToRunningTarget()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 1000, 0), 0);
    trovsim_advance_ms(300);
    QCOMPARE(command_movr(axis.id, 500, 0), 0); // from the running target, not from here
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVR | MVCMD_RUNNING));
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, 1500);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVR));
    // at rest it counts from the position; two shifts in a row add up
    QCOMPARE(command_movr(axis.id, -200, -128), 0);
    QCOMPARE(command_movr(axis.id, -100, 0), 0);
    axis.runUntilStill();
    s = axis.status();
    QCOMPARE(s.CurPosition, 1199);
    QCOMPARE(s.uCurPosition, 128);
}

void TestTrovMotion::negativePositions()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, -5, -7), 0);
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, -5);
    QCOMPARE(s.uCurPosition, -7);
    get_position_t p;
    QCOMPARE(get_position(axis.id, &p), 0);
    QCOMPARE(p.Position, -5);
    QCOMPARE(p.uPosition, -7);
    // the same place written the other way round reports the same
    QCOMPARE(command_move(axis.id, 0, 0), 0);
    axis.runUntilStill();
    QCOMPARE(command_move(axis.id, -6, 249), 0);
    axis.runUntilStill();
    s = axis.status();
    QCOMPARE(s.CurPosition, -5);
    QCOMPARE(s.uCurPosition, -7);
    // moving left, the speed carries the sign in both parts
    QCOMPARE(command_move(axis.id, -1000, 0), 0);
    trovsim_advance_ms(150);
    s = axis.status();
    QVERIFY(s.CurSpeed < 0);
    QVERIFY(s.uCurSpeed <= 0);
}

void TestTrovMotion::microstepsAreNormalised_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("usteps");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("uposition");
    QTest::newRow("1.5 d") << 9 << 10 << 384 << 11 << 128;
    QTest::newRow("-1.5 d") << 9 << 10 << -384 << 8 << 128;
    QTest::newRow("exactly d") << 9 << 0 << 256 << 1 << 0;
    QTest::newRow("negative steps, positive usteps") << 9 << -3 << 512 << -1 << 0;
    QTest::newRow("eighth steps") << 4 << 7 << 12 << 8 << 4;
    QTest::newRow("full steps") << 1 << 7 << 3 << 10 << 0;
}

void TestTrovMotion::microstepsAreNormalised()
{
    QFETCH(int, mode);
    QFETCH(int, steps);
    QFETCH(int, usteps);
    QFETCH(int, position);
    QFETCH(int, uposition);
    Rig rig;
    Axis axis;
    QCOMPARE(edit<engine_settings_t>(axis.id, get_engine_settings, set_engine_settings,
                                     [&](engine_settings_t& e) { e.MicrostepMode = uint32_t(mode); }),
             0);
    QCOMPARE(command_move(axis.id, steps, usteps), 0); // accepted, never -3
    axis.runUntilStill();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, position);
    QCOMPARE(s.uCurPosition, uposition);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE));
}

void TestTrovMotion::backlashApproach_data()
{
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("extreme"); // where the move turns round; 0 = straight in
    QTest::newRow("downwards with a positive backlash overshoots") << int(Antiplay50) << -500 << -550;
    QTest::newRow("upwards with a positive backlash goes straight") << int(Antiplay50) << 500 << 0;
    QTest::newRow("upwards with a negative backlash overshoots") << int(AntiplayMinus50) << 500 << 550;
    QTest::newRow("flag off") << int(Defaults) << -500 << 0;
}

void TestTrovMotion::backlashApproach()
{
    QFETCH(int, setup);
    QFETCH(int, target);
    QFETCH(int, extreme);
    Rig rig;
    Axis axis;
    apply(axis.id, setup);
    QCOMPARE(command_move(axis.id, target, 0), 0);
    std::vector<status_t> samples;
    // fine samples here: the turn and the approach take a fraction of a second
    for (int i = 0; i < 400; ++i) {
        trovsim_advance_ms(10);
        samples.push_back(axis.status());
        if (!(samples.back().MoveSts & MOVE_STATE_MOVING))
            break;
    }
    QCOMPARE(samples.back().MoveSts, 0u);
    int most = 0;
    bool approach = false;
    for (const status_t& s : samples) {
        if (std::abs(s.CurPosition) > std::abs(most))
            most = s.CurPosition;
        if (s.MoveSts & MOVE_STATE_ANTIPLAY) {
            approach = true;
            // only on the way back from the overshoot, at the backlash speed (200 steps/s)
            QVERIFY(std::abs(s.CurPosition) <= std::abs(extreme) && std::abs(s.CurPosition) >= std::abs(target) - 1);
            QVERIFY(std::abs(s.CurSpeed) <= 200);
        }
    }
    QCOMPARE(approach, extreme != 0);
    // the turn itself falls between two samples
    QVERIFY2(std::abs(most - (extreme ? extreme : target)) <= 1, qPrintable(QString::number(most)));
    const status_t& s = samples.back();
    QCOMPARE(s.CurPosition, target);
    QCOMPARE(s.uCurPosition, 0);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE));
}

void TestTrovMotion::loft()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 1000, 0), 0);
    axis.runUntilStill();
    // the backlash (50) is used whatever the flag says
    QCOMPARE(command_loft(axis.id), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_LOFT | MVCMD_RUNNING));
    int lowest = 1000;
    bool back = false;
    for (int i = 0; i < 200; ++i) {
        trovsim_advance_ms(10);
        status_t s = axis.status();
        lowest = std::min(lowest, s.CurPosition);
        back = back || (s.MoveSts & MOVE_STATE_ANTIPLAY);
        if (!(s.MoveSts & MOVE_STATE_MOVING))
            break;
    }
    status_t s = axis.status();
    QCOMPARE(lowest, 950);
    QVERIFY(back);
    QCOMPARE(s.CurPosition, 1000);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_LOFT));

    // without a backlash there is nothing to do
    QCOMPARE(edit<engine_settings_t>(axis.id, get_engine_settings, set_engine_settings,
                                     [](engine_settings_t& e) { e.Antiplay = 0; }),
             0);
    QCOMPARE(command_loft(axis.id), 0);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_LOFT));
    QCOMPARE(s.MoveSts, 0u);
}

void TestTrovMotion::zeroDuringAMove()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 1000, 0), 0);
    trovsim_advance_ms(700);
    double at = axis.position();
    QVERIFY(at > 0 && at < 1000);
    QCOMPARE(command_zero(axis.id), 0);
    QCOMPARE(axis.status().CurPosition, 0);
    QCOMPARE(axis.status().EncPosition, int64_t(0));
    axis.runUntilStill();
    // the stage still ends where it was sent; the counter shows the distance since the zero
    QCOMPARE(axis.physical(), 1000.0);
    QCOMPARE(axis.position(), 1000.0 - at);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVE));
    // edges by position follow the counter, not the stage
    edges_settings_t edges;
    QCOMPARE(get_edges_settings(axis.id, &edges), 0);
    QCOMPARE(edges.LeftBorder, -9500);
}

void TestTrovMotion::setPosition_data()
{
    QTest::addColumn<uint32_t>("flags");
    QTest::addColumn<bool>("position");
    QTest::addColumn<bool>("encoder");
    QTest::newRow("both") << 0u << true << true;
    QTest::newRow("ignore position") << uint32_t(SETPOS_IGNORE_POSITION) << false << true;
    QTest::newRow("ignore encoder") << uint32_t(SETPOS_IGNORE_ENCODER) << true << false;
    QTest::newRow("ignore both") << uint32_t(SETPOS_IGNORE_POSITION | SETPOS_IGNORE_ENCODER) << false << false;
    QTest::newRow("unknown bits ignored") << 0xF0u << true << true;
}

void TestTrovMotion::setPosition()
{
    QFETCH(uint32_t, flags);
    QFETCH(bool, position);
    QFETCH(bool, encoder);
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 100, 0), 0);
    axis.runUntilStill();
    get_position_t before;
    QCOMPARE(get_position(axis.id, &before), 0);
    QCOMPARE(before.Position, 100);
    QCOMPARE(before.EncPosition, int64_t(2000)); // 4000 counts a turn of 200 steps

    set_position_t sp;
    std::memset(&sp, 0, sizeof sp);
    sp.Position = -123;
    sp.uPosition = -64;
    sp.EncPosition = 777777;
    sp.PosFlags = flags;
    QCOMPARE(set_position(axis.id, &sp), 0);
    get_position_t p;
    QCOMPARE(get_position(axis.id, &p), 0);
    QCOMPARE(p.Position, position ? -123 : 100);
    QCOMPARE(p.uPosition, position ? -64 : 0);
    QCOMPARE(p.EncPosition, encoder ? int64_t(777777) : int64_t(2000));
    // a move after it counts from the new values
    QCOMPARE(command_movr(axis.id, 10, 0), 0);
    axis.runUntilStill();
    QCOMPARE(get_position(axis.id, &p), 0);
    QCOMPARE(p.Position, position ? -113 : 110);
    QCOMPARE(p.EncPosition, (encoder ? int64_t(777777) : int64_t(2000)) + 200);
    QCOMPARE(axis.physical(), 110.0);
}

void TestTrovMotion::encoder()
{
    Rig rig;
    {
        Axis axis("sim:axis1");
        QCOMPARE(axis.status().EncSts, uint32_t(ENC_STATE_OK));
        QCOMPARE(command_move(axis.id, 50, 0), 0);
        axis.runUntilStill();
        QCOMPARE(axis.status().EncPosition, int64_t(1000));
        // the feedback reversed: the encoder counts the other way and says so
        QCOMPARE(edit<feedback_settings_t>(axis.id, get_feedback_settings, set_feedback_settings,
                                           [](feedback_settings_t& f) { f.FeedbackFlags = FEEDBACK_ENC_REVERSE; }),
                 0);
        QCOMPARE(axis.status().EncSts, uint32_t(ENC_STATE_REVERS));
        QCOMPARE(command_movr(axis.id, 10, 0), 0);
        axis.runUntilStill();
        QCOMPARE(axis.status().EncPosition, int64_t(800));
        // the motor reversed as well: they agree again, and the stage runs the other way
        QCOMPARE(edit<engine_settings_t>(axis.id, get_engine_settings, set_engine_settings,
                                         [](engine_settings_t& e) { e.EngineFlags |= ENGINE_REVERSE; }),
                 0);
        QCOMPARE(axis.status().EncSts, uint32_t(ENC_STATE_OK));
        double stage = axis.physical();
        QCOMPARE(command_movr(axis.id, 10, 0), 0);
        axis.runUntilStill();
        QCOMPARE(axis.physical(), stage - 10);
        QCOMPARE(axis.status().EncPosition, int64_t(1000));
        QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_ENCODER_STATE, ENC_STATE_MALFUNC), 0);
        QCOMPARE(axis.status().EncSts, uint32_t(ENC_STATE_MALFUNC));
    }
    Axis noEncoder("sim:axis2");
    QCOMPARE(noEncoder.status().EncSts, uint32_t(ENC_STATE_ABSENT));
}

QTEST_GUILESS_MAIN(TestTrovMotion)
#include "tst_trov_motion.moc"
