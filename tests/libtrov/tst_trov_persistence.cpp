// Memories of the simulated controllers across power cycles: flash (save, read back, damage),
// the positioner's EEPROM, and the in-memory mode.
#include "simtestkit.h"

#include <QDir>
#include <QFile>

#include "../support/FullDisk.h"

using namespace simtest;

namespace {

uint32_t speedOf(device_t d)
{
    move_settings_t m;
    return get_move_settings(d, &m) == 0 ? m.Speed : 0;
}

result_t setSpeed(device_t d, uint32_t speed)
{
    move_settings_t m;
    get_move_settings(d, &m);
    m.Speed = speed;
    return set_move_settings(d, &m);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

class TestTrovPersistence : public QObject {
    Q_OBJECT
private slots:
    void unsavedSettingsAreLost();
    void savedSettingsSurvive();
    void readSettingsRestoresFlash();
    void plugWithPowerCycle();
    void corruptFlash_data();
    void corruptFlash();
    void badValueInFlash();
    void positionerMemory();
    void inMemoryWritesNoFiles();
    void unwritableMemoryIsAnError();
};

void TestTrovPersistence::unsavedSettingsAreLost()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(setSpeed(d, 2222), 0);
    QCOMPARE(speedOf(d), 2222u);
    close_device(&d);
    sim.reset();
    d = openOrFail("sim:axis1");
    QCOMPARE(speedOf(d), 1000u);
    close_device(&d);
}

void TestTrovPersistence::savedSettingsSurvive()
{
    Sim sim;
    device_t d = openOrFail("sim:axis3");
    QCOMPARE(setSpeed(d, 3333), 0);
    controller_name_t n{};
    std::strcpy(n.ControllerName, "Left \"x\";#");
    n.Reserved[6] = 0x7F;
    QCOMPARE(set_controller_name(d, &n), 0);
    calibration_coefficients_t cal{0.1, -1e-7};
    QCOMPARE(set_calibration_coefficients(d, &cal), 0);
    QCOMPARE(command_save_settings(d), 0);
    QCOMPARE(LogRecorder::instance().count(3, "sim:axis3: settings saved to flash"), 1);
    QCOMPARE(setSpeed(d, 4444), 0); // after the save: lost
    close_device(&d);

    sim.reset();
    d = openOrFail("sim:axis3");
    QCOMPARE(speedOf(d), 3333u);
    controller_name_t back;
    QCOMPARE(get_controller_name(d, &back), 0);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(&back), sizeof back), QByteArray(reinterpret_cast<char*>(&n), sizeof n));
    calibration_coefficients_t calBack;
    QCOMPARE(get_calibration_coefficients(d, &calBack), 0);
    QCOMPARE(calBack.A, 0.1); // exact, not rounded through text
    QCOMPARE(calBack.B, -1e-7);
    close_device(&d);
    // the other controllers keep their own flash
    d = openOrFail("sim:axis1");
    QCOMPARE(speedOf(d), 1000u);
    close_device(&d);
    QVERIFY(QFile::exists(sim.path("axis3.flash")));
    QCOMPARE(QDir(QString::fromStdString(sim.folder())).entryList({"*.tmp*"}, QDir::Files).size(), 0);
}

void TestTrovPersistence::readSettingsRestoresFlash()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(setSpeed(d, 1500), 0);
    QCOMPARE(command_save_settings(d), 0);
    QCOMPARE(setSpeed(d, 1600), 0);
    QCOMPARE(command_read_settings(d), 0);
    QCOMPARE(speedOf(d), 1500u);
    QCOMPARE(LogRecorder::instance().count(3, "settings read from flash"), 1);
    close_device(&d);
}

void TestTrovPersistence::plugWithPowerCycle()
{
    Sim sim;
    device_t d = openOrFail("sim:axis2");
    QCOMPARE(setSpeed(d, 1700), 0);
    QCOMPARE(trovsim_unplug("sim:axis2"), 0);
    QCOMPARE(trovsim_plug("sim:axis2", 0), 0);
    close_device(&d);
    d = openOrFail("sim:axis2");
    QCOMPARE(speedOf(d), 1700u); // no power cycle: RAM kept
    close_device(&d);
    QCOMPARE(trovsim_unplug("sim:axis2"), 0);
    QCOMPARE(trovsim_plug("sim:axis2", 1), 0);
    d = openOrFail("sim:axis2");
    QCOMPARE(speedOf(d), 1000u);
    close_device(&d);
}

void TestTrovPersistence::corruptFlash_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage") << QByteArray("\x01\x02\xff\xfe binary\n");
    QTest::newRow("unknown section") << QByteArray("[identity]\nserial = 10001\n[nonsense]\nx = 1\n");
    QTest::newRow("bad number") << QByteArray("[move_settings]\nSpeed = fast\n");
    QTest::newRow("unknown key") << QByteArray("[move_settings]\nSpeedy = 5\n");
    QTest::newRow("bad serial") << QByteArray("[identity]\nserial = -5\n");
    QTest::newRow("negative version") << QByteArray("[identity]\nfirmware = -1.2.3\n");
    QTest::newRow("version beyond 32 bits") << QByteArray("[identity]\nfirmware = 4294967296.0.0\n");
    QTest::newRow("text too long") << QByteArray("[controller_name]\nControllerName = \"12345678901234567\"\n");
    QTest::newRow("wrong array size") << QByteArray("[control_settings]\nTimeout = 1 2 3\n");
}

void TestTrovPersistence::corruptFlash()
{
    QFETCH(QByteArray, content);
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(setSpeed(d, 1900), 0);
    QCOMPARE(command_save_settings(d), 0);
    close_device(&d);
    writeFile(sim.path("axis1.flash"), content);
    LogRecorder::instance().clear();
    QCOMPARE(trovsim_reset(nullptr, sim.folder().c_str()), 0);
    QCOMPARE(LogRecorder::instance().count(2, "sim:axis1: flash memory unreadable"), 1);
    d = openOrFail("sim:axis1");
    QCOMPARE(speedOf(d), 1000u); // defaults
    uint32_t serial = 0;
    QCOMPARE(get_serial_number(d, &serial), 0);
    QCOMPARE(serial, 10001u);
    status_t st;
    QCOMPARE(get_status(d, &st), 0);
    QVERIFY(st.Flags & STATE_ERRD);
    // the next save clears the error
    QCOMPARE(command_save_settings(d), 0);
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(st.Flags & STATE_ERRD, 0u);
    close_device(&d);
}

void TestTrovPersistence::badValueInFlash()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(command_save_settings(d), 0);
    close_device(&d);
    QByteArray text = readFile(sim.path("axis1.flash"));
    QVERIFY(text.contains("Accel = 2000\n"));
    text.replace("Accel = 2000\n", "Accel = 0\n");
    text.replace("HoldCurrent = 60\n", ""); // a missing key takes the default
    writeFile(sim.path("axis1.flash"), text);
    LogRecorder::instance().clear();
    // the damage is reported when the controllers power on, inside the reset
    QCOMPARE(trovsim_reset(nullptr, sim.folder().c_str()), 0);
    QCOMPARE(LogRecorder::instance().count(2, "sim:axis1: flash memory held a bad value: move_settings.Accel 0"), 1);
    d = openOrFail("sim:axis1");
    move_settings_t m;
    QCOMPARE(get_move_settings(d, &m), 0);
    QCOMPARE(m.Accel, 1u);
    status_t st;
    QCOMPARE(get_status(d, &st), 0);
    QVERIFY(st.Flags & STATE_ERRD);
    power_settings_t p;
    QCOMPARE(get_power_settings(d, &p), 0);
    QCOMPARE(p.HoldCurrent, 60u);
    close_device(&d);
}

void TestTrovPersistence::positionerMemory()
{
    Sim sim;
    device_t d = openOrFail("sim:axis2");
    stage_name_t name;
    QCOMPARE(get_stage_name(d, &name), 0);
    QCOMPARE(QByteArray(name.PositionerName), QByteArray("LS-50"));
    std::strcpy(name.PositionerName, "MyStage");
    QCOMPARE(set_stage_name(d, &name), 0); // written through, no save needed
    stage_settings_t ss;
    QCOMPARE(get_stage_settings(d, &ss), 0);
    QCOMPARE(ss.TravelRange, 50.0f);
    ss.TravelRange = 48.5f;
    QCOMPARE(set_stage_settings(d, &ss), 0);
    QCOMPARE(command_eeread_settings(d), -1); // nothing saved there yet
    QCOMPARE(setSpeed(d, 1234), 0);
    QCOMPARE(command_eesave_settings(d), 0);
    QCOMPARE(setSpeed(d, 999), 0);
    QCOMPARE(command_eeread_settings(d), 0);
    QCOMPARE(speedOf(d), 1234u);

    // detached: no answers, no EEPROM bit; attached again: the same memory
    QCOMPARE(trovsim_set_input("sim:axis2", TROVSIM_POSITIONER, 0), 0);
    status_t st;
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(st.Flags & STATE_EEPROM_CONNECTED, 0u);
    QCOMPARE(get_stage_name(d, &name), -1);
    QCOMPARE(trovsim_set_input("sim:axis2", TROVSIM_POSITIONER, 1), 0);
    QCOMPARE(get_stage_name(d, &name), 0);
    QCOMPARE(QByteArray(name.PositionerName), QByteArray("MyStage"));
    close_device(&d);

    sim.reset();
    d = openOrFail("sim:axis2");
    QCOMPARE(get_stage_name(d, &name), 0);
    QCOMPARE(QByteArray(name.PositionerName), QByteArray("MyStage"));
    QCOMPARE(get_stage_settings(d, &ss), 0);
    QCOMPARE(ss.TravelRange, 48.5f);
    QCOMPARE(command_eeread_settings(d), 0);
    QCOMPARE(speedOf(d), 1234u);
    close_device(&d);

    // a damaged EEPROM gives the positioner's defaults and ERRD
    writeFile(sim.path("axis2.stage"), "[stage_name]\nPositionerName = unquoted\n");
    sim.reset();
    d = openOrFail("sim:axis2");
    QCOMPARE(get_stage_name(d, &name), 0);
    QCOMPARE(QByteArray(name.PositionerName), QByteArray("LS-50"));
    QCOMPARE(get_status(d, &st), 0);
    QVERIFY(st.Flags & STATE_ERRD);
    close_device(&d);
}

void TestTrovPersistence::inMemoryWritesNoFiles()
{
    Sim sim(nullptr, true);
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(setSpeed(d, 2500), 0);
    QCOMPARE(command_save_settings(d), 0);
    stage_name_t name{};
    std::strcpy(name.PositionerName, "X");
    QCOMPARE(set_stage_name(d, &name), 0);
    // flash still works while the simulator runs
    QCOMPARE(setSpeed(d, 2600), 0);
    QCOMPARE(command_read_settings(d), 0);
    QCOMPARE(speedOf(d), 2500u);
    close_device(&d);
    QCOMPARE(trovsim_unplug("sim:axis1"), 0);
    QCOMPARE(trovsim_plug("sim:axis1", 1), 0);
    d = openOrFail("sim:axis1");
    QCOMPARE(speedOf(d), 2500u);
    close_device(&d);
    QCOMPARE(QDir(QString::fromStdString(sim.folder())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);

    // the same through the environment
    qputenv("TROVSIM_PERSIST", "0");
    sim.reset();
    d = openOrFail("sim:axis1");
    QCOMPARE(command_save_settings(d), 0);
    close_device(&d);
    qunsetenv("TROVSIM_PERSIST");
    QCOMPARE(QDir(QString::fromStdString(sim.folder())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
}

// A memory file that cannot be written (here: beyond the file size limit) fails the call, and
// the next power-up finds what was stored before.
void TestTrovPersistence::unwritableMemoryIsAnError()
{
    Sim sim;
    device_t d = openOrFail("sim:axis2");
    stage_name_t name{};
    std::strcpy(name.PositionerName, "Old");
    QVERIFY(set_stage_name(d, &name) == 0 && setSpeed(d, 1100) == 0);
    QVERIFY(command_save_settings(d) == 0 && command_eesave_settings(d) == 0 && setSpeed(d, 2200) == 0);
    std::strcpy(name.PositionerName, "New");
    {
        FullDisk disk(16);
        QCOMPARE(command_save_settings(d), result_error);    // flash
        QCOMPARE(set_stage_name(d, &name), result_error);    // the positioner's record
        QCOMPARE(command_eesave_settings(d), result_error);  // the settings copy in the positioner
    }
    QCOMPARE(LogRecorder::instance().count(1, "cannot write"), 3);
    close_device(&d);

    sim.reset();
    d = openOrFail("sim:axis2");
    QCOMPARE(speedOf(d), 1100u);
    QVERIFY(get_stage_name(d, &name) == 0 && command_eeread_settings(d) == 0);
    QCOMPARE(QByteArray(name.PositionerName), QByteArray("Old"));
    QCOMPARE(speedOf(d), 1100u);
    close_device(&d);
}

QTEST_GUILESS_MAIN(TestTrovPersistence)
#include "tst_trov_persistence.moc"
