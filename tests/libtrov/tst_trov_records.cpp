// Records of the simulated controllers: byte-exact round trips, defaults that pass their own
// validation, and the validation table (-3 with the corrected value read back).
#include "simtestkit.h"

#include <cmath>
#include <limits>

using namespace simtest;

namespace {

const char* const kKinds[] = {"stepper", "dc", "bldc"};

QByteArray getBytes(const Record& r, device_t d, result_t* result = nullptr)
{
    QByteArray buf(static_cast<int>(r.size), char(0xAA));
    result_t res = r.get(d, buf.data());
    if (result)
        *result = res;
    return buf;
}

struct Change {
    const char* field;
    int index;
    double value;
};

} // namespace

Q_DECLARE_METATYPE(QVector<Change>)

class TestTrovRecords : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void validation_data();
    void validation();
    void otherFieldsStillApplied();
    void textIsTerminatedAndReservedBytesKept();
    void errvFollowsTheLastSet();
    void microstepChangeRescalesStoredParts();
    void badHandlesAndNullRecords();
};

void TestTrovRecords::roundTrip_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("index");
    for (const char* kind : kKinds)
        for (size_t i = 0; i < records().size(); ++i)
            QTest::newRow(qPrintable(QString("%1/%2").arg(kind, records()[i].name))) << QString(kind) << int(i);
}

// get gives zeroed padding; set(get()) answers 0 (the defaults pass validation) and changes nothing.
void TestTrovRecords::roundTrip()
{
    QFETCH(QString, kind);
    QFETCH(int, index);
    const Record& r = records()[static_cast<size_t>(index)];
    QByteArray set = QString("ax:500:%1:stage").arg(kind).toLatin1();
    Sim sim(set.constData());
    device_t d = openOrFail("sim:ax");
    QVERIFY(d >= 0);

    result_t got;
    QByteArray first = getBytes(r, d, &got);
    QCOMPARE(got, 0);
    for (size_t pad : r.padding())
        QCOMPARE(int(static_cast<unsigned char>(first[int(pad)])), 0);
    QCOMPARE(r.set(d, first.constData()), 0);
    QCOMPARE(getBytes(r, d), first);
    QCOMPARE(LogRecorder::instance().count(2, ""), 0);

    // garbage in the padding of the input is ignored
    QByteArray dirty = first;
    for (size_t pad : r.padding())
        dirty[int(pad)] = char(0x5A);
    QCOMPARE(r.set(d, dirty.constData()), 0);
    QCOMPARE(getBytes(r, d), first);

    status_t st;
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(st.Flags & STATE_ERRV, 0u);
    QCOMPARE(close_device(&d), 0);
}

void TestTrovRecords::validation_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("recordName");
    QTest::addColumn<QVector<Change>>("changes");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QVector<Change>>("readBack");
    using C = QVector<Change>;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto row = [](const char* tag, const char* kind, const char* rec, C in, int expected, C out) {
        QTest::newRow(tag) << QString(kind) << QString(rec) << in << expected << out;
    };
    // clamps
    row("accel 0", "stepper", "move_settings", {{"Accel", 0, 0}}, -3, {{"Accel", 0, 1}});
    row("speed too high", "stepper", "move_settings", {{"Speed", 0, 2000000}}, -3, {{"Speed", 0, 1000000}});
    row("speed and uspeed 0", "stepper", "move_settings", {{"Speed", 0, 0}, {"uSpeed", 0, 0}}, -3, {{"Speed", 0, 1}});
    row("uspeed at divisor", "stepper", "move_settings", {{"uSpeed", 0, 256}}, -3, {{"uSpeed", 0, 255}});
    row("nomcurrent", "stepper", "engine_settings", {{"NomCurrent", 0, 6000}}, -3, {{"NomCurrent", 0, 5000}});
    row("antiplay low", "stepper", "engine_settings", {{"Antiplay", 0, -40000}}, -3, {{"Antiplay", 0, -32768}});
    row("negative fast home", "stepper", "home_settings", {{"FastHome", 0, 4294967295.0}}, -3, {{"FastHome", 0, 1000000}});
    row("signed ustep", "stepper", "home_settings", {{"uHomeDelta", 0, -300}}, -3, {{"uHomeDelta", 0, -255}});
    row("hold current", "stepper", "power_settings", {{"HoldCurrent", 0, 101}}, -3, {{"HoldCurrent", 0, 100}});
    row("critical t", "stepper", "secure_settings", {{"CriticalT", 0, 2000}}, -3, {{"CriticalT", 0, 1500}});
    row("ips 0", "dc", "feedback_settings", {{"IPS", 0, 0}}, -3, {{"IPS", 0, 1}});
    row("timeout element", "stepper", "control_settings", {{"Timeout", 8, 70000}}, -3, {{"Timeout", 8, 65535}, {"Timeout", 7, 1000}});
    row("umaxspeed element", "stepper", "control_settings", {{"uMaxSpeed", 3, 300}}, -3, {{"uMaxSpeed", 3, 255}});
    row("dead zone", "stepper", "joystick_settings", {{"DeadZone", 0, 256}}, -3, {{"DeadZone", 0, 255}});
    row("ctp min error", "stepper", "ctp_settings", {{"CTPMinError", 0, 300}}, -3, {{"CTPMinError", 0, 255}});
    // masks
    row("engine flag 0x2", "stepper", "engine_settings", {{"EngineFlags", 0, 0x92}}, -3, {{"EngineFlags", 0, 0x90}});
    row("home flags high bits", "stepper", "home_settings", {{"HomeFlags", 0, 0x1F6}}, -3, {{"HomeFlags", 0, 0xF6}});
    // enumerations keep what the controller held
    row("microstep mode 12", "stepper", "engine_settings", {{"MicrostepMode", 0, 12}}, -3, {{"MicrostepMode", 0, 9}});
    row("engine type 4", "stepper", "entype_settings", {{"EngineType", 0, 4}}, -3, {{"EngineType", 0, 3}});
    row("driver type 0", "dc", "entype_settings", {{"DriverType", 0, 0}}, -3, {{"DriverType", 0, 1}});
    row("feedback type 6", "stepper", "feedback_settings", {{"FeedbackType", 0, 6}}, -3, {{"FeedbackType", 0, 5}});
    row("baud 12345", "stepper", "uart_settings", {{"Speed", 0, 12345}}, -3, {{"Speed", 0, 115200}});
    row("extio input nibble", "stepper", "extio_settings", {{"EXTIOModeFlags", 0, 0x105}}, -3, {{"EXTIOModeFlags", 0, 0}});
    row("extio output", "stepper", "extio_settings", {{"EXTIOModeFlags", 0, 0x64}}, -3, {{"EXTIOModeFlags", 0, 0x04}});
    row("control mode 3", "stepper", "control_settings", {{"Flags", 0, 0xB}}, -3, {{"Flags", 0, 0x8}});
    // non-finite numbers
    row("calibration nan", "stepper", "calibration_coefficients", {{"A", 0, nan}, {"B", 0, 2.5}}, -3, {{"A", 0, 0}, {"B", 0, 2.5}});
    row("stage pitch inf", "stepper", "stage_settings", {{"LeadScrewPitch", 0, inf}}, -3, {{"LeadScrewPitch", 0, 0}});
    // what the settings pages can send must pass
    row("ui min speed", "stepper", "move_settings", {{"Speed", 0, 0}, {"uSpeed", 0, 1}}, 0, {{"Speed", 0, 0}, {"uSpeed", 0, 1}});
    row("ui max speed", "stepper", "move_settings", {{"Speed", 0, 1000000}}, 0, {{"Speed", 0, 1000000}});
    row("ui hold current", "stepper", "power_settings", {{"HoldCurrent", 0, 10}, {"PowerOffDelay", 0, 1000}}, 0, {{"HoldCurrent", 0, 10}});
    row("ui voltages", "stepper", "secure_settings", {{"CriticalUpwr", 0, 5500}, {"CriticalUusb", 0, 600}, {"MinimumUusb", 0, 200}}, 0, {{"CriticalUpwr", 0, 5500}});
    row("ui engine", "stepper", "engine_settings", {{"NomCurrent", 0, 3500}, {"NomVoltage", 0, 4000}, {"StepsPerRev", 0, 800}}, 0, {{"StepsPerRev", 0, 800}});
    row("ui steps per rev low", "stepper", "engine_settings", {{"StepsPerRev", 0, 6}}, 0, {{"StepsPerRev", 0, 6}});
    row("ui ips", "stepper", "feedback_settings", {{"IPS", 0, 65535}}, 0, {{"IPS", 0, 65535}});
    row("ui timeout", "stepper", "control_settings", {{"Timeout", 0, 65535}}, 0, {{"Timeout", 0, 65535}});
    row("ui baud", "stepper", "uart_settings", {{"Speed", 0, 921600}}, 0, {{"Speed", 0, 921600}});
    row("ui dead zone", "stepper", "joystick_settings", {{"DeadZone", 0, 255}}, 0, {{"DeadZone", 0, 255}});
    row("left beyond right", "stepper", "edges_settings", {{"LeftBorder", 0, 500}, {"RightBorder", 0, -500}}, 0, {{"LeftBorder", 0, 500}});
    row("dc ignores usteps", "dc", "move_settings", {{"uSpeed", 0, 5000}}, 0, {{"uSpeed", 0, 5000}});
    row("extio valid pair", "stepper", "extio_settings", {{"EXTIOModeFlags", 0, 0x24}}, 0, {{"EXTIOModeFlags", 0, 0x24}});
}

void TestTrovRecords::validation()
{
    QFETCH(QString, kind);
    QFETCH(QString, recordName);
    QFETCH(QVector<Change>, changes);
    QFETCH(int, expected);
    QFETCH(QVector<Change>, readBack);
    QByteArray set = QString("ax:500:%1:stage").arg(kind).toLatin1();
    Sim sim(set.constData());
    device_t d = openOrFail("sim:ax");
    QVERIFY(d >= 0);
    const Record& r = record(recordName.toLatin1().constData());
    QByteArray buf = getBytes(r, d);
    auto* bytes = reinterpret_cast<unsigned char*>(buf.data());
    for (const Change& c : changes) {
        const Field* f = r.field(c.field);
        QVERIFY2(f, c.field);
        setFieldValue(*f, bytes, c.value, c.index);
    }
    QCOMPARE(r.set(d, buf.constData()), expected);
    QByteArray back = getBytes(r, d);
    for (const Change& c : readBack)
        QCOMPARE(fieldValue(*r.field(c.field), reinterpret_cast<const unsigned char*>(back.constData()), c.index), c.value);
    if (expected == -3) {
        // one warning that names the first corrected field
        QCOMPARE(LogRecorder::instance().count(2, QString("set_%1: %2").arg(recordName, changes.front().field)), 1);
        // the corrected record is accepted as it is
        QCOMPARE(r.set(d, back.constData()), 0);
    }
    close_device(&d);
}

void TestTrovRecords::otherFieldsStillApplied()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    move_settings_t m;
    QCOMPARE(get_move_settings(d, &m), 0);
    m.Accel = 0;
    m.Decel = 777;
    m.Speed = 1234;
    QCOMPARE(set_move_settings(d, &m), -3);
    move_settings_t back;
    QCOMPARE(get_move_settings(d, &back), 0);
    QCOMPARE(back.Accel, 1u);
    QCOMPARE(back.Decel, 777u);
    QCOMPARE(back.Speed, 1234u);
    QCOMPARE(LogRecorder::instance().count(2, "set_move_settings: Accel 0 out of range 1..1000000, set to 1"), 1);

    // a script's all-zero record is legal input and comes back corrected
    engine_settings_t zero;
    std::memset(&zero, 0, sizeof zero);
    QCOMPARE(set_engine_settings(d, &zero), -3);
    engine_settings_t e;
    QCOMPARE(get_engine_settings(d, &e), 0);
    QCOMPARE(e.MicrostepMode, 9u);
    QCOMPARE(e.StepsPerRev, 1u);
    close_device(&d);
}

void TestTrovRecords::textIsTerminatedAndReservedBytesKept()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    controller_name_t n;
    std::memset(&n, 'x', sizeof n.ControllerName);
    for (int i = 0; i < 7; ++i)
        n.Reserved[i] = static_cast<uint8_t>(0xF0 + i);
    QCOMPARE(set_controller_name(d, &n), -3);
    controller_name_t back;
    QCOMPARE(get_controller_name(d, &back), 0);
    QCOMPARE(QByteArray(back.ControllerName), QByteArray(16, 'x'));
    QCOMPARE(QByteArray(reinterpret_cast<char*>(back.Reserved), 7), QByteArray(reinterpret_cast<char*>(n.Reserved), 7));

    stage_information_t info;
    QCOMPARE(get_stage_information(d, &info), 0);
    QCOMPARE(QByteArray(info.Manufacturer), QByteArray("TROV"));
    std::memset(info.Description, 'd', sizeof info.Description);
    QCOMPARE(set_stage_information(d, &info), -3);
    QCOMPARE(get_stage_information(d, &info), 0);
    QCOMPARE(strlen(info.Description), sizeof info.Description - 1);
    close_device(&d);
}

void TestTrovRecords::errvFollowsTheLastSet()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    status_t st;
    power_settings_t p;
    QCOMPARE(get_power_settings(d, &p), 0);
    p.HoldCurrent = 500;
    QCOMPARE(set_power_settings(d, &p), -3);
    QCOMPARE(get_status(d, &st), 0);
    QVERIFY(st.Flags & STATE_ERRV);
    QCOMPARE(get_power_settings(d, &p), 0);
    QCOMPARE(set_power_settings(d, &p), 0);
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(st.Flags & STATE_ERRV, 0u);
    close_device(&d);
}

void TestTrovRecords::microstepChangeRescalesStoredParts()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    move_settings_t m;
    QCOMPARE(get_move_settings(d, &m), 0);
    m.uSpeed = 200;
    QCOMPARE(set_move_settings(d, &m), 0);
    edges_settings_t e;
    QCOMPARE(get_edges_settings(d, &e), 0);
    e.uLeftBorder = -200;
    QCOMPARE(set_edges_settings(d, &e), 0);

    engine_settings_t eng;
    QCOMPARE(get_engine_settings(d, &eng), 0);
    eng.MicrostepMode = MICROSTEP_MODE_FRAC_16;
    eng.uNomSpeed = 15;
    QCOMPARE(set_engine_settings(d, &eng), 0);
    QCOMPARE(get_move_settings(d, &m), 0);
    QCOMPARE(m.uSpeed, 12u); // 200 * 16 / 256, truncated
    QCOMPARE(get_edges_settings(d, &e), 0);
    QCOMPARE(e.uLeftBorder, -12);
    QCOMPARE(get_engine_settings(d, &eng), 0);
    QCOMPARE(eng.uNomSpeed, 15u);

    // the new divisor is the one that checks the record carrying it
    eng.MicrostepMode = MICROSTEP_MODE_FRAC_2;
    eng.uNomSpeed = 15;
    QCOMPARE(set_engine_settings(d, &eng), -3);
    QCOMPARE(get_engine_settings(d, &eng), 0);
    QCOMPARE(eng.uNomSpeed, 1u);
    close_device(&d);
}

void TestTrovRecords::badHandlesAndNullRecords()
{
    Sim sim;
    move_settings_t m;
    std::memset(&m, 0xAA, sizeof m);
    QCOMPARE(get_move_settings(-1, &m), -1);
    QCOMPARE(get_move_settings(12345, &m), -1);
    QCOMPARE(m.Speed, 0xAAAAAAAAu);
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(get_move_settings(d, nullptr), -1);
    QCOMPARE(set_move_settings(d, nullptr), -1);
    // axis3 has no positioner: its EEPROM records do not answer
    device_t d3 = openOrFail("sim:axis3");
    stage_name_t sn;
    QCOMPARE(get_stage_name(d3, &sn), -1);
    QCOMPARE(set_stage_name(d3, &sn), -1);
    close_device(&d);
    close_device(&d3);
}

QTEST_GUILESS_MAIN(TestTrovRecords)
#include "tst_trov_records.moc"
