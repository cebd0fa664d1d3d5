// Power states and their timing, winding currents, the readings and their units, temperature,
// the alarms of the protection settings with their sticky flags, the GPIO flags, and the chart,
// analog and debug records against the status.
#include "axiskit.h"

#include <QFile>
#include <QtTest>

#include <QSet>

#include <cstdlib>
#include <limits>

using namespace axistest;

namespace {

double amplitude(device_t id)
{
    chart_data_t c;
    if (get_chart_data(id, &c) != 0)
        return -1;
    return std::hypot(double(c.WindingCurrentA), double(c.WindingCurrentB));
}

// The simulator without measurement noise, for as long as it lives.
class Quiet {
public:
    Quiet() { qputenv("TROVSIM_NOISE", "0"); }
    ~Quiet() { qunsetenv("TROVSIM_NOISE"); }
};

void setPower(device_t id, uint32_t flags, uint32_t reductMs, uint32_t offS)
{
    QCOMPARE(edit<power_settings_t>(id, get_power_settings, set_power_settings,
                                    [&](power_settings_t& p) {
                                        p.PowerFlags = flags;
                                        p.CurrReductDelay = reductMs;
                                        p.PowerOffDelay = offS;
                                    }),
             0);
}

} // namespace

class TestTrovPower : public QObject {
    Q_OBJECT
private slots:
    void powerTiming_data();
    void powerTiming();
    void windingCurrents();
    void powerOff();
    void readings();
    void temperatureFollowsTheLoad();
    void injectedOverheat();
    void stickyFlags();
    void protections_data();
    void protections();
    void noNoiseMeansIdenticalSamples();
    void chartAndAnalogAgreeWithTheStatus();
    void windings();
    void gpioLevel_data();
    void gpioLevel();
    void otherSignals();
    void debugRead();
    void debugUptimeWrapsAt32Bits();
    void version();
};

void TestTrovPower::powerTiming_data()
{
    QTest::addColumn<uint32_t>("flags");
    QTest::addColumn<uint32_t>("reductMs");
    QTest::addColumn<uint32_t>("offS");
    QTest::addColumn<QList<int>>("times"); // ms after the motion ended
    QTest::addColumn<QList<int>>("states");
    const int N = PWR_STATE_NORM, R = PWR_STATE_REDUCT, O = PWR_STATE_OFF;
    QTest::newRow("reduce, then off") << 7u << 1500u << 60u << QList<int>{0, 1499, 1500, 59999, 60000}
                                      << QList<int>{N, N, R, R, O};
    QTest::newRow("reduce only") << 5u << 1500u << 60u << QList<int>{1499, 1500, 600000} << QList<int>{N, R, R};
    QTest::newRow("off only") << 6u << 1500u << 60u << QList<int>{1500, 59999, 60000} << QList<int>{N, N, O};
    QTest::newRow("off comes first") << 7u << 5000u << 2u << QList<int>{1999, 2000, 5000} << QList<int>{N, O, O};
    QTest::newRow("neither") << 4u << 1500u << 60u << QList<int>{600000} << QList<int>{N};
}

void TestTrovPower::powerTiming()
{
    QFETCH(uint32_t, flags);
    QFETCH(uint32_t, reductMs);
    QFETCH(uint32_t, offS);
    QFETCH(QList<int>, times);
    QFETCH(QList<int>, states);
    Rig rig;
    Axis axis;
    setPower(axis.id, flags, reductMs, offS);
    QCOMPARE(axis.status().PWRSts, uint32_t(PWR_STATE_OFF));
    QCOMPARE(command_right(axis.id), 0);
    trovsim_advance_ms(700);
    QCOMPARE(command_stop(axis.id), 0); // the motion ends here, exactly
    int elapsed = 0;
    for (int i = 0; i < times.size(); ++i) {
        trovsim_advance_ms(uint64_t(times[i] - elapsed));
        elapsed = times[i];
        QVERIFY2(axis.status().PWRSts == uint32_t(states[i]), qPrintable(QString("at %1 ms: %2").arg(elapsed).arg(axis.status().PWRSts)));
    }
    // a motion command wakes the windings at once
    QCOMPARE(command_left(axis.id), 0);
    QCOMPARE(axis.status().PWRSts, uint32_t(PWR_STATE_MAX));
}

void TestTrovPower::windingCurrents()
{
    Rig rig;
    Axis axis;
    QCOMPARE(amplitude(axis.id), 0.0);
    // smooth current (the default): 300 ms from nothing to the nominal 600 mA
    QCOMPARE(command_right(axis.id), 0);
    trovsim_advance_ms(150);
    QVERIFY(std::abs(amplitude(axis.id) - 300) <= 1);
    trovsim_advance_ms(150);
    QVERIFY(std::abs(amplitude(axis.id) - 600) <= 1);
    // reduced to the holding current (60 %) 1.5 s after the motion, again over 300 ms
    QCOMPARE(command_stop(axis.id), 0);
    trovsim_advance_ms(1500 + 150);
    QCOMPARE(axis.status().PWRSts, uint32_t(PWR_STATE_REDUCT));
    QVERIFY(std::abs(amplitude(axis.id) - 480) <= 1);
    trovsim_advance_ms(150);
    QVERIFY(std::abs(amplitude(axis.id) - 360) <= 1);

    // without the smooth flag the current jumps; the holding current scales it
    QCOMPARE(edit<power_settings_t>(axis.id, get_power_settings, set_power_settings,
                                    [](power_settings_t& p) {
                                        p.PowerFlags = POWER_REDUCT_ENABLED;
                                        p.HoldCurrent = 25;
                                    }),
             0);
    QCOMPARE(command_left(axis.id), 0);
    QVERIFY(std::abs(amplitude(axis.id) - 600) <= 1);
    trovsim_advance_ms(100);
    QCOMPARE(command_stop(axis.id), 0);
    trovsim_advance_ms(1500);
    QVERIFY(std::abs(amplitude(axis.id) - 150) <= 1);
}

void TestTrovPower::powerOff()
{
    Rig rig;
    Axis axis;
    // during a move: the move ends in error
    QCOMPARE(command_move(axis.id, 2000, 0), 0);
    trovsim_advance_ms(500);
    QCOMPARE(command_power_off(axis.id), 0);
    status_t s = axis.status();
    QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_OFF));
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE | MVCMD_ERROR));
    QCOMPARE(s.MoveSts, 0u);
    // the exit sequence: soft stop, then power off, and 0x08 stays
    QCOMPARE(command_right(axis.id), 0);
    trovsim_advance_ms(300);
    QCOMPARE(command_sstp(axis.id), 0);
    axis.runUntilStill();
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_SSTP));
    QCOMPARE(command_power_off(axis.id), 0);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_SSTP));
    QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_OFF));
}

void TestTrovPower::readings()
{
    Rig rig;
    Axis axis;
    for (int i = 0; i < 20; ++i) {
        status_t s = axis.status();
        QVERIFY2(s.Upwr >= 1190 && s.Upwr <= 1202, qPrintable(QString::number(s.Upwr))); // 12 V, hundredths
        QVERIFY(s.Uusb >= 498 && s.Uusb <= 502);
        QVERIFY(s.Iusb >= 59 && s.Iusb <= 61);
        QVERIFY(s.Ipwr >= 38 && s.Ipwr <= 42); // the controller alone
        QCOMPARE(s.curT, 250);                  // tenths of a degree
        QCOMPARE(s.Flags & (STATE_EXT_POWER | STATE_EEPROM_CONNECTED),
                 uint32_t(STATE_EXT_POWER | STATE_EEPROM_CONNECTED));
        QCOMPARE(s.Flags & STATE_SECUR, 0u);
    }
    // at half the nominal speed: 40 + 0.6 * 600 * (0.5 + 0.25)
    QCOMPARE(command_right(axis.id), 0);
    trovsim_advance_ms(1000);
    status_t s = axis.status();
    QVERIFY2(s.Ipwr >= 308 && s.Ipwr <= 312, qPrintable(QString::number(s.Ipwr)));
    QVERIFY(s.Upwr >= 1193 && s.Upwr <= 1198);
    // without an external supply there is no power and no winding current
    QCOMPARE(trovsim_set_input("sim:axis2", TROVSIM_SUPPLY, 0), 0);
    Axis usbOnly("sim:axis2");
    s = usbOnly.status();
    QCOMPARE(s.Upwr, 0);
    QVERIFY(!(s.Flags & STATE_EXT_POWER));
}

void TestTrovPower::temperatureFollowsTheLoad()
{
    Rig rig;
    Axis axis;
    setPower(axis.id, 0, 1500, 60); // the windings stay on at rest
    QCOMPARE(command_movr(axis.id, 1, 0), 0);
    axis.runUntilStill();
    trovsim_advance_ms(600000); // five time constants at 220 mA
    int hot = axis.status().curT;
    QVERIFY2(hot >= 265 && hot <= 275, qPrintable(QString::number(hot)));
    QCOMPARE(command_power_off(axis.id), 0);
    trovsim_advance_ms(600000);
    QVERIFY(axis.status().curT <= 252);
}

// The program's alarm path: an injected temperature raises the alarm, commands are refused with
// ERRC, and stop clears it once the cause is gone.
void TestTrovPower::injectedOverheat()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 3000, 0), 0);
    trovsim_advance_ms(500);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_TEMPERATURE, 900), 0);
    status_t s = axis.status();
    QCOMPARE(s.curT, 900);
    QCOMPARE(s.Flags & (STATE_ALARM | STATE_CONTROLLER_OVERHEAT), uint32_t(STATE_ALARM | STATE_CONTROLLER_OVERHEAT));
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE | MVCMD_ERROR)); // stopped at once
    QCOMPARE(s.MoveSts, 0u);
    QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_OFF));
    int stoppedAt = s.CurPosition;

    QCOMPARE(command_right(axis.id), 0);
    s = axis.status();
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_RIGHT | MVCMD_ERROR));
    QVERIFY(s.Flags & STATE_ERRC);
    trovsim_advance_ms(500);
    QCOMPARE(axis.status().CurPosition, stoppedAt);
    // a soft stop is still answered normally, so an exit sequence does not hang
    QCOMPARE(command_sstp(axis.id), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_SSTP));

    // stop while the cause remains: the alarm stays
    QCOMPARE(command_stop(axis.id), 0);
    QVERIFY(axis.status().Flags & STATE_ALARM);
    // the cause goes (5 degrees below the limit): the flag follows, the alarm waits for stop
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_TEMPERATURE, 760), 0);
    QVERIFY(axis.status().Flags & STATE_CONTROLLER_OVERHEAT);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_TEMPERATURE, INT64_MIN), 0);
    s = axis.status();
    QCOMPARE(s.curT, 250);
    QCOMPARE(s.Flags & (STATE_ALARM | STATE_CONTROLLER_OVERHEAT), uint32_t(STATE_ALARM));
    QCOMPARE(command_stop(axis.id), 0);
    s = axis.status();
    QVERIFY(!(s.Flags & (STATE_ALARM | STATE_ERRC)));
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_STOP));
    QCOMPARE(command_move(axis.id, 0, 0), 0);
    axis.runUntilStill();
    QCOMPARE(axis.status().CurPosition, 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVE));
}

void TestTrovPower::stickyFlags()
{
    Rig rig;
    Axis axis;
    QCOMPARE(edit<secure_settings_t>(axis.id, get_secure_settings, set_secure_settings,
                                     [](secure_settings_t& s) { s.Flags |= ALARM_FLAGS_STICKING; }),
             0);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_USB_VOLTAGE, 400), 0); // low: a flag, no alarm
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_USB_VOLTAGE, INT64_MIN), 0);
    status_t s = axis.status();
    QVERIFY(s.Flags & STATE_LOW_USB_VOLTAGE);
    QVERIFY(!(s.Flags & STATE_ALARM));
    QCOMPARE(command_stop(axis.id), 0);
    QVERIFY(!(axis.status().Flags & STATE_LOW_USB_VOLTAGE));

    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_TEMPERATURE, 850), 0);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_TEMPERATURE, 300), 0);
    s = axis.status();
    QCOMPARE(s.Flags & (STATE_ALARM | STATE_CONTROLLER_OVERHEAT), uint32_t(STATE_ALARM | STATE_CONTROLLER_OVERHEAT));
    QCOMPARE(command_stop(axis.id), 0);
    QCOMPARE(axis.status().Flags & STATE_SECUR, 0u);
}

void TestTrovPower::protections_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<uint32_t>("clearSecure"); // protection flags switched off for the row
    QTest::addColumn<uint32_t>("flags");
    QTest::addColumn<bool>("alarm");
    QTest::newRow("supply over the limit") << int(TROVSIM_SUPPLY) << qint64(5500) << 0u
                                           << uint32_t(STATE_OVERLOAD_POWER_VOLTAGE) << true;
    QTest::newRow("low supply") << int(TROVSIM_SUPPLY) << qint64(700) << 0u << uint32_t(STATE_LOW_POWER_VOLTAGE)
                                << true;
    QTest::newRow("low supply, unprotected") << int(TROVSIM_SUPPLY) << qint64(700) << uint32_t(LOW_UPWR_PROTECTION)
                                             << uint32_t(STATE_LOW_POWER_VOLTAGE) << false;
    QTest::newRow("USB over the limit") << int(TROVSIM_USB_VOLTAGE) << qint64(560) << 0u
                                        << uint32_t(STATE_OVERLOAD_USB_VOLTAGE) << true;
    QTest::newRow("low USB") << int(TROVSIM_USB_VOLTAGE) << qint64(400) << 0u << uint32_t(STATE_LOW_USB_VOLTAGE)
                             << false;
    QTest::newRow("driver overheat") << int(TROVSIM_DRIVER_TEMPERATURE) << qint64(1300) << 0u
                                     << uint32_t(STATE_POWER_OVERHEAT) << true;
    QTest::newRow("driver overheat, no alarm") << int(TROVSIM_DRIVER_TEMPERATURE) << qint64(1300)
                                               << uint32_t(ALARM_ON_DRIVER_OVERHEATING)
                                               << uint32_t(STATE_POWER_OVERHEAT) << false;
    QTest::newRow("H-bridge fault") << int(TROVSIM_H_BRIDGE_FAULT) << qint64(1) << 0u << 0u << true;
    QTest::newRow("H-bridge fault, no alert") << int(TROVSIM_H_BRIDGE_FAULT) << qint64(1) << uint32_t(H_BRIDGE_ALERT)
                                              << 0u << false;
}

void TestTrovPower::protections()
{
    QFETCH(int, input);
    QFETCH(qint64, value);
    QFETCH(uint32_t, clearSecure);
    QFETCH(uint32_t, flags);
    QFETCH(bool, alarm);
    Rig rig;
    Axis axis;
    QCOMPARE(edit<secure_settings_t>(axis.id, get_secure_settings, set_secure_settings,
                                     [&](secure_settings_t& s) { s.Flags &= ~clearSecure; }),
             0);
    QCOMPARE(command_right(axis.id), 0);
    trovsim_advance_ms(300);
    QCOMPARE(trovsim_set_input("sim:axis1", input, value), 0);
    status_t s = axis.status();
    QCOMPARE(hex(s.Flags & STATE_SECUR), hex(flags | (alarm ? uint32_t(STATE_ALARM) : 0u)));
    QCOMPARE(bool(s.MoveSts & MOVE_STATE_MOVING), !alarm);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_RIGHT | (alarm ? MVCMD_ERROR : MVCMD_RUNNING)));
    QCOMPARE(trovsim_set_input("sim:axis1", input,
                               input == TROVSIM_H_BRIDGE_FAULT ? 0 : std::numeric_limits<int64_t>::min()),
             0);
    QCOMPARE(command_stop(axis.id), 0);
    QCOMPARE(axis.status().Flags & STATE_SECUR, 0u);
}

void TestTrovPower::noNoiseMeansIdenticalSamples()
{
    Quiet quiet;
    Rig rig;
    Axis axis;
    status_t a = axis.status(), b = axis.status();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&a), sizeof a),
             QByteArray(reinterpret_cast<const char*>(&b), sizeof b));
    chart_data_t c;
    QCOMPARE(get_chart_data(axis.id, &c), 0);
    QCOMPARE(c.Joy, 5000u);
    QCOMPARE(a.Upwr, 1200); // 12 V less 40 mA through 0.1 ohm, in hundredths
}

void TestTrovPower::chartAndAnalogAgreeWithTheStatus()
{
    Quiet quiet;
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 1000, 0), 0);
    trovsim_advance_ms(700);
    status_t s = axis.status();
    chart_data_t c;
    analog_data_t a;
    QCOMPARE(get_chart_data(axis.id, &c), 0);
    QCOMPARE(get_analog_data(axis.id, &a), 0);
    QCOMPARE(a.SupVoltage, s.Upwr);
    QCOMPARE(a.FullCurrent, s.Ipwr);
    QCOMPARE(a.Temp, s.curT);
    QCOMPARE(a.ACurrent, std::abs(c.WindingCurrentA));
    QCOMPARE(a.BCurrent, std::abs(c.WindingCurrentB));
    QCOMPARE(a.A1Voltage - a.A2Voltage, c.WindingVoltageA);
    QCOMPARE(a.B1Voltage - a.B2Voltage, c.WindingVoltageB);
    QVERIFY(std::abs(c.WindingVoltageA - c.WindingCurrentA * 25 / 100) <= 1); // 2.5 ohm, hundredths of a volt
    QCOMPARE(a.Joy, 5000);
    QCOMPARE(a.R, 2500);
    QCOMPARE(a.L, 3000);
    QVERIFY(a.DutyCycle > 0 && a.DutyCycle <= 10000);
    QVERIFY(a.L5 == 500 && a.H5 == 500);
    QCOMPARE(a.SupVoltage_ADC, uint32_t(std::lround(a.SupVoltage / 6000.0 * 4095)));
    axis.runUntilStill();
    QCOMPARE(get_chart_data(axis.id, &c), 0);
    QCOMPARE(c.Pot, 5500u); // 1000 steps into a travel of -10000..10000
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_JOYSTICK, 8000), 0);
    QCOMPARE(get_chart_data(axis.id, &c), 0);
    QCOMPARE(c.Joy, 8000u);
}

void TestTrovPower::windings()
{
    Rig rig;
    Axis stepper("sim:axis1");
    Axis dc("sim:axis3");
    QCOMPARE(hex(stepper.status().WindSts), hex(WIND_A_STATE_OK | WIND_B_STATE_OK));
    QCOMPARE(hex(dc.status().WindSts), hex(WIND_A_STATE_OK | WIND_B_STATE_ABSENT));
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_WINDING_B, WIND_B_STATE_MALFUNC), 0);
    QCOMPARE(hex(stepper.status().WindSts), hex(WIND_A_STATE_OK | WIND_B_STATE_MALFUNC));
    // a DC motor drives one phase, with the duty cycle of its speed
    QCOMPARE(command_right(dc.id), 0);
    trovsim_advance_ms(1000);
    chart_data_t c;
    QCOMPARE(get_chart_data(dc.id, &c), 0);
    QVERIFY(c.WindingVoltageA > 0 && c.WindingCurrentA > 0);
    QCOMPARE(c.WindingVoltageB, 0);
    analog_data_t a;
    QCOMPARE(get_analog_data(dc.id, &a), 0);
    QCOMPARE(a.DutyCycle, 5000); // 3000 of 6000 rpm
}

void TestTrovPower::gpioLevel_data()
{
    QTest::addColumn<uint32_t>("setup");
    QTest::addColumn<uint32_t>("mode");
    QTest::addColumn<bool>("moving");
    QTest::addColumn<bool>("input");
    QTest::addColumn<uint32_t>("flags");
    const uint32_t out = EXTIO_SETUP_OUTPUT, pinout = STATE_GPIO_PINOUT, level = STATE_GPIO_LEVEL;
    QTest::newRow("output on") << out << uint32_t(EXTIO_SETUP_MODE_OUT_ON) << false << false << (pinout | level);
    QTest::newRow("output off") << out << uint32_t(EXTIO_SETUP_MODE_OUT_OFF) << false << false << pinout;
    QTest::newRow("output on, inverted") << (out | EXTIO_SETUP_INVERT) << uint32_t(EXTIO_SETUP_MODE_OUT_ON) << false
                                         << false << pinout;
    QTest::newRow("moving, at rest") << out << uint32_t(EXTIO_SETUP_MODE_OUT_MOVING) << false << false << pinout;
    QTest::newRow("moving") << out << uint32_t(EXTIO_SETUP_MODE_OUT_MOVING) << true << false << (pinout | level);
    QTest::newRow("motor on") << out << uint32_t(EXTIO_SETUP_MODE_OUT_MOTOR_ON) << true << false << (pinout | level);
    QTest::newRow("motor off") << out << uint32_t(EXTIO_SETUP_MODE_OUT_MOTOR_ON) << false << false << pinout;
    QTest::newRow("alarm, none") << out << uint32_t(EXTIO_SETUP_MODE_OUT_ALARM) << false << false << pinout;
    QTest::newRow("input low") << 0u << uint32_t(EXTIO_SETUP_MODE_IN_STOP) << false << false << 0u;
    QTest::newRow("input high") << 0u << uint32_t(EXTIO_SETUP_MODE_IN_STOP) << false << true << level;
}

void TestTrovPower::gpioLevel()
{
    QFETCH(uint32_t, setup);
    QFETCH(uint32_t, mode);
    QFETCH(bool, moving);
    QFETCH(bool, input);
    QFETCH(uint32_t, flags);
    Rig rig;
    Axis axis;
    QCOMPARE(edit<extio_settings_t>(axis.id, get_extio_settings, set_extio_settings,
                                    [&](extio_settings_t& e) {
                                        e.EXTIOSetupFlags = setup;
                                        e.EXTIOModeFlags = mode;
                                    }),
             0);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_EXTIO_IN, input), 0);
    if (moving) {
        QCOMPARE(command_right(axis.id), 0);
        trovsim_advance_ms(100);
    }
    QCOMPARE(hex(axis.status().GPIOFlags & (STATE_GPIO_PINOUT | STATE_GPIO_LEVEL)), hex(flags));
}

void TestTrovPower::otherSignals()
{
    Rig rig;
    QFile ini(rig.path("controllers.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[axis1]\nserial = 10001\nencoder_cpr = 4000\nbrake = yes\n[spin]\nserial = 10009\nmotor = bldc\n");
    ini.close();
    rig.reset();
    Axis axis("sim:axis1");
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_BUTTON_LEFT, 1), 0);
    status_t s = axis.status();
    QCOMPARE(s.GPIOFlags & (STATE_BUTTON_LEFT | STATE_BUTTON_RIGHT | STATE_BRAKE), uint32_t(STATE_BUTTON_LEFT));
    // the brake holds while the windings are off
    QCOMPARE(edit<brake_settings_t>(axis.id, get_brake_settings, set_brake_settings,
                                    [](brake_settings_t& b) { b.BrakeFlags = BRAKE_ENABLED; }),
             0);
    QVERIFY(axis.status().GPIOFlags & STATE_BRAKE);
    // sync output: a pulse when a motion starts, seen once
    QCOMPARE(edit<sync_out_settings_t>(axis.id, get_sync_out_settings, set_sync_out_settings,
                                       [](sync_out_settings_t& o) { o.SyncOutFlags = SYNCOUT_ENABLED | SYNCOUT_ONSTART; }),
             0);
    QVERIFY(!(axis.status().GPIOFlags & STATE_SYNC_OUTPUT));
    QCOMPARE(command_movr(axis.id, 1, 0), 0);
    s = axis.status();
    QVERIFY(s.GPIOFlags & STATE_SYNC_OUTPUT);
    QVERIFY(!(s.GPIOFlags & STATE_BRAKE));
    QVERIFY(!(axis.status().GPIOFlags & STATE_SYNC_OUTPUT));
    // without pulses the output shows its fixed state, inverted on request
    QCOMPARE(edit<sync_out_settings_t>(axis.id, get_sync_out_settings, set_sync_out_settings,
                                       [](sync_out_settings_t& o) { o.SyncOutFlags = SYNCOUT_STATE; }),
             0);
    QVERIFY(axis.status().GPIOFlags & STATE_SYNC_OUTPUT);
    QCOMPARE(edit<sync_out_settings_t>(axis.id, get_sync_out_settings, set_sync_out_settings,
                                       [](sync_out_settings_t& o) { o.SyncOutFlags = SYNCOUT_STATE | SYNCOUT_INVERT; }),
             0);
    QVERIFY(!(axis.status().GPIOFlags & STATE_SYNC_OUTPUT));
    // the encoder's quadrature follows its count
    set_position_t sp{};
    sp.PosFlags = SETPOS_IGNORE_POSITION;
    for (int count = 0; count < 4; ++count) {
        sp.EncPosition = count;
        QCOMPARE(set_position(axis.id, &sp), 0);
        uint32_t q = axis.status().GPIOFlags & (STATE_ENC_A | STATE_ENC_B);
        const uint32_t expected[4] = {0u, uint32_t(STATE_ENC_A), uint32_t(STATE_ENC_A | STATE_ENC_B),
                                      uint32_t(STATE_ENC_B)};
        QCOMPARE(hex(q), hex(expected[count]));
    }

    // a brushless motor shows its Hall sensors, one or two at a time, changing as it turns
    Axis spin("sim:spin");
    const uint32_t halls = STATE_HALL_A | STATE_HALL_B | STATE_HALL_C;
    QCOMPARE(command_right(spin.id), 0);
    QSet<uint32_t> seen;
    for (int i = 0; i < 100; ++i) {
        trovsim_advance_ms(1);
        uint32_t h = spin.status().GPIOFlags & halls;
        QVERIFY(h != 0 && h != halls);
        seen.insert(h);
    }
    QCOMPARE(seen.size(), 6);
    QCOMPARE(hex(spin.status().WindSts), hex(WIND_A_STATE_OK | WIND_B_STATE_OK));
}

void TestTrovPower::debugRead()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 1000, 128), 0);
    trovsim_advance_ms(300);
    QCOMPARE(command_movr(axis.id, 0, 0), 0); // keeps the target
    axis.runUntilStill();
    debug_read_t d;
    QCOMPARE(get_debug_read(axis.id, &d), 0);
    uint8_t block[128];
    for (int i = 0; i < 128; ++i) {
        QVERIFY(d.DebugData[i] <= 0xFF); // one byte in each word
        block[i] = uint8_t(d.DebugData[i]);
    }
    int64_t phys, enc, target, counter;
    uint32_t power;
    int32_t velocity, temperature, upwr;
    std::memcpy(&phys, block, 8);
    std::memcpy(&enc, block + 8, 8);
    std::memcpy(&velocity, block + 24, 4);
    std::memcpy(&target, block + 32, 8);
    std::memcpy(&counter, block + 40, 8);
    std::memcpy(&power, block + 48, 4);
    std::memcpy(&temperature, block + 56, 4);
    std::memcpy(&upwr, block + 60, 4);
    QCOMPARE(phys, int64_t(1000 * 256 + 128)); // the stage, x256
    QCOMPARE(enc, axis.status().EncPosition);
    QCOMPARE(velocity, 0);
    QCOMPARE(target, int64_t(1000 * 256 + 128));
    QCOMPARE(counter, int64_t(1000 * 256 + 128));
    QCOMPARE(power, uint32_t(PWR_STATE_NORM));
    QCOMPARE(temperature, axis.status().curT);
    QVERIFY(std::abs(upwr - 1198) <= 2);
    for (int i = 64; i < 128; ++i)
        QCOMPARE(block[i], uint8_t(0));
}

void TestTrovPower::debugUptimeWrapsAt32Bits()
{
    Rig rig;
    Axis axis;
    auto uptime = [&] {
        debug_read_t d;
        uint32_t ms = 0;
        if (get_debug_read(axis.id, &d) == 0)
            ms = d.DebugData[16] | d.DebugData[17] << 8 | d.DebugData[18] << 16 | uint32_t(d.DebugData[19]) << 24;
        return ms;
    };
    const uint32_t before = uptime();
    trovsim_advance_ms((uint64_t(1) << 32) + 7); // 49.7 days and 7 ms
    const uint32_t passed = uptime() - before;    // wraps as the controller's counter does
    QVERIFY2(passed >= 6 && passed <= 8, qPrintable(QString::number(passed)));
}

void TestTrovPower::version()
{
    char text[64];
    std::memset(text, 'x', sizeof text);
    QCOMPARE(trov_version(text), 0);
    QVERIFY(std::strlen(text) <= 32);
    QVERIFY(std::strlen(text) > 0);
}

QTEST_GUILESS_MAIN(TestTrovPower)
#include "tst_trov_power.moc"
