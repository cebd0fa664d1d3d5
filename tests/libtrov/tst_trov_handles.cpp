// Handles of the simulated controllers: new numbers on every open, one open per controller,
// lost handles, the bootloader's answers, restarts, and the lock between processes.
#include "simtestkit.h"

#include <QCoreApplication>
#include <QProcess>

using namespace simtest;

namespace {

// Run as a second process: opens sim:axis1 in the given folder and reports through its exit code:
// 3 refused and listed unreadable, 4 opened, 5 refused but listed readable.
int lockHelper(const char* folder)
{
    trovsim_reset("axis1:10001:stepper", folder);
    enumeration_handle_t h = enumerate_devices(ENUMERATE_PROBE);
    uint32_t serial;
    bool readable = get_enumerate_device_serial(h, 0, &serial) == 0;
    free_enumerate_devices(h);
    device_t d = open_device("sim:axis1");
    if (d < 0)
        return readable ? 5 : 3;
    close_device(&d);
    return 4;
}

int runHelper(const QString& folder)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {"--lock-helper", folder});
    if (!p.waitForFinished(30000))
        return -1;
    return p.exitCode();
}

} // namespace

class TestTrovHandles : public QObject {
    Q_OBJECT
private slots:
    void newHandleOnEveryOpen();
    void exclusiveOpen();
    void unknownAndClosedHandles();
    void lostHandles();
    void resetLosesHandles();
    void bootloaderAnswers();
    void restartMakesHandlesLost();
    void serialNumberAndKey();
    void firmwareUpdate();
    void crossProcessLock();
};

void TestTrovHandles::newHandleOnEveryOpen()
{
    Sim sim;
    QSet<device_t> seen;
    for (int i = 0; i < 5; ++i) {
        device_t d = openOrFail("sim:axis1");
        QVERIFY(d >= 0);
        QVERIFY(!seen.contains(d));
        seen.insert(d);
        QCOMPARE(close_device(&d), 0);
        QCOMPARE(d, -1);
    }
    sim.reset();
    device_t d = openOrFail("sim:axis1");
    QVERIFY(!seen.contains(d)); // not even after a reset
    close_device(&d);
}

void TestTrovHandles::exclusiveOpen()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(open_device("sim:axis1"), -1);
    QCOMPARE(LogRecorder::instance().count(2, "sim:axis1: open refused: busy, already open"), 1);
    QCOMPARE(open_device("sim:axis1"), -1);
    QCOMPARE(LogRecorder::instance().count(2, "open refused"), 1); // once per cause
    device_t other = openOrFail("sim:axis2");
    QVERIFY(other >= 0 && other != d);
    QCOMPARE(close_device(&d), 0);
    d = openOrFail("sim:axis1");
    QVERIFY(d >= 0);
    close_device(&d);
    close_device(&other);
}

void TestTrovHandles::unknownAndClosedHandles()
{
    Sim sim;
    status_t st;
    QCOMPARE(open_device("sim:nothing"), -1);
    QCOMPARE(open_device("axis1"), -1);
    QCOMPARE(open_device(nullptr), -1);
    device_t d = openOrFail("sim:axis1");
    device_t copy = d;
    QCOMPARE(close_device(&d), 0);
    QCOMPARE(get_status(copy, &st), -1);
    QCOMPARE(command_move(copy, 1, 0), -1);
    QCOMPARE(close_device(&copy), -1);
    device_t none = -1;
    QCOMPARE(close_device(&none), -1);
    QCOMPARE(close_device(nullptr), -1);
    QCOMPARE(get_status(-1, &st), -1);
}

void TestTrovHandles::lostHandles()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    status_t st;
    chart_data_t chart;
    analog_data_t analog;
    QCOMPARE(trovsim_unplug("sim:axis1"), 0);
    QCOMPARE(LogRecorder::instance().count(1, "sim:axis1: device lost"), 1);
    QCOMPARE(get_status(d, &st), -4);
    QCOMPARE(get_chart_data(d, &chart), -4);
    QCOMPARE(get_analog_data(d, &analog), -4);
    QCOMPARE(open_device("sim:axis1"), -1);
    QCOMPARE(close_device(&d), 0); // released quietly
    QCOMPARE(d, -1);
    QCOMPARE(trovsim_plug("sim:axis1", 0), 0);
    d = openOrFail("sim:axis1");
    QCOMPARE(get_status(d, &st), 0);
    close_device(&d);
    QCOMPARE(trovsim_unplug("sim:nothing"), -1);
}

void TestTrovHandles::resetLosesHandles()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    sim.reset();
    status_t st;
    QCOMPARE(get_status(d, &st), -4);
    device_t again = openOrFail("sim:axis1"); // the lost handle does not block the controller
    QVERIFY(again >= 0);
    QCOMPARE(close_device(&d), 0);
    QCOMPARE(get_status(again, &st), 0);
    close_device(&again);
}

void TestTrovHandles::bootloaderAnswers()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(trovsim_enter_bootloader("sim:axis1", 1), 0);
    status_t st;
    QCOMPARE(get_status(d, &st), -4);
    close_device(&d);
    d = openOrFail("sim:axis1");
    QVERIFY(d >= 0);
    device_information_t info;
    QCOMPARE(get_device_information(d, &info), 0);
    QCOMPARE(QByteArray(info.ProductDescription), QByteArray("SIMBOOT"));
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(st.PWRSts, 0u);
    QCOMPARE(st.MvCmdSts, 0u);
    QVERIFY(st.Flags & STATE_EXT_POWER);
    QVERIFY(st.Upwr > 1000);
    uint32_t a, b, c, serial;
    QCOMPARE(get_serial_number(d, &serial), 0);
    QCOMPARE(get_bootloader_version(d, &a, &b, &c), 0);
    QCOMPARE(get_firmware_version(d, &a, &b, &c), -2);
    move_settings_t m;
    QCOMPARE(get_move_settings(d, &m), -2);
    QCOMPARE(set_move_settings(d, &m), -2);
    QCOMPARE(command_move(d, 10, 0), -2);
    chart_data_t chart;
    QCOMPARE(get_chart_data(d, &chart), -2);
    uint8_t has = 9;
    QCOMPARE(has_firmware("sim:axis1", &has), 0);
    QCOMPARE(has, 1);
    // back into the firmware after the restart time
    uint8_t done = 0;
    QCOMPARE(goto_firmware(d, &done), 0);
    QCOMPARE(done, 1);
    QCOMPARE(get_status(d, &st), -4);
    close_device(&d);
    QCOMPARE(open_device("sim:axis1"), -1);
    trovsim_advance_ms(500);
    d = openOrFail("sim:axis1");
    QCOMPARE(get_device_information(d, &info), 0);
    QCOMPARE(QByteArray(info.ProductDescription), QByteArray("SIMSTEP"));
    QCOMPARE(goto_firmware(d, &done), 0);
    QCOMPARE(done, 0);
    close_device(&d);
}

void TestTrovHandles::restartMakesHandlesLost()
{
    Sim sim;
    device_t d = openOrFail("sim:axis2");
    move_settings_t m;
    QCOMPARE(get_move_settings(d, &m), 0);
    m.Speed = 4321;
    QCOMPARE(set_move_settings(d, &m), 0);
    QCOMPARE(service_command_updf(d), 0);
    status_t st;
    QCOMPARE(get_status(d, &st), -4);
    QCOMPARE(close_device(&d), 0);
    trovsim_advance_ms(499);
    QCOMPARE(open_device("sim:axis2"), -1);
    trovsim_advance_ms(1);
    d = openOrFail("sim:axis2");
    device_information_t info;
    QCOMPARE(get_device_information(d, &info), 0);
    QCOMPARE(QByteArray(info.ProductDescription), QByteArray("SIMBOOT"));
    QCOMPARE(command_reset(d), 0);
    close_device(&d);
    trovsim_advance_ms(500);
    d = openOrFail("sim:axis2");
    QCOMPARE(get_move_settings(d, &m), 0);
    QCOMPARE(m.Speed, 1000u); // a restart reloads RAM from flash
    close_device(&d);
}

void TestTrovHandles::serialNumberAndKey()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    serial_number_t sn;
    std::memset(&sn, 0, sizeof sn);
    sn.SN = 777;
    sn.Key[5] = 256;
    QCOMPARE(set_serial_number(d, &sn), -3);
    uint32_t serial = 0;
    QCOMPARE(get_serial_number(d, &serial), 0);
    QCOMPARE(serial, 10001u);
    sn.Key[5] = 0;
    QCOMPARE(set_serial_number(d, &sn), 0); // the default key is all zeros
    QCOMPARE(get_serial_number(d, &serial), 0);
    QCOMPARE(serial, 777u);

    uint8_t key[32];
    for (int i = 0; i < 32; ++i)
        key[i] = static_cast<uint8_t>(i + 1);
    QCOMPARE(write_key("sim:axis1", key), -1); // the device is open
    QCOMPARE(close_device(&d), 0);
    QCOMPARE(write_key("sim:axis1", key), 0);
    QCOMPARE(write_key("sim:nothing", key), -1);
    d = openOrFail("sim:axis1");
    sn.SN = 888;
    QCOMPARE(set_serial_number(d, &sn), 0);
    QCOMPARE(LogRecorder::instance().count(2, "serial number not changed: key mismatch"), 1);
    QCOMPARE(get_serial_number(d, &serial), 0);
    QCOMPARE(serial, 777u);
    for (int i = 0; i < 32; ++i)
        sn.Key[i] = key[i];
    QCOMPARE(set_serial_number(d, &sn), 0);
    QCOMPARE(get_serial_number(d, &serial), 0);
    QCOMPARE(serial, 888u);
    close_device(&d);
    // the serial lives in flash
    sim.reset();
    d = openOrFail("sim:axis1");
    QCOMPARE(get_serial_number(d, &serial), 0);
    QCOMPARE(serial, 888u);
    close_device(&d);
}

void TestTrovHandles::firmwareUpdate()
{
    Sim sim;
    uint8_t payload[100] = {1, 2, 3};
    QByteArray image(int(trovsim_make_firmware_image(4, 2, 7, payload, sizeof payload, nullptr, 0)), 0);
    QCOMPARE(trovsim_make_firmware_image(4, 2, 7, payload, sizeof payload, reinterpret_cast<uint8_t*>(image.data()),
                                         size_t(image.size())),
             size_t(image.size()));
    auto* bytes = reinterpret_cast<const uint8_t*>(image.constData());

    device_t d = openOrFail("sim:axis1");
    QCOMPARE(command_update_firmware("sim:axis1", bytes, uint32_t(image.size())), -1); // open
    close_device(&d);
    QCOMPARE(command_update_firmware("sim:axis1", bytes, uint32_t(image.size())), 0);
    QCOMPARE(LogRecorder::instance().count(3, "Firmware update started"), 1);
    QCOMPARE(LogRecorder::instance().count(3, "firmware update 50%"), 1);
    trovsim_advance_ms(500);
    d = openOrFail("sim:axis1");
    uint32_t a, b, c;
    QCOMPARE(get_firmware_version(d, &a, &b, &c), 0);
    QCOMPARE(QString("%1.%2.%3").arg(a).arg(b).arg(c), QString("4.2.7"));
    close_device(&d);

    QByteArray broken = image;
    broken[30] = char(broken[30] ^ 1);
    QCOMPARE(command_update_firmware("sim:axis1", reinterpret_cast<const uint8_t*>(broken.constData()),
                                     uint32_t(broken.size())),
             -1);
    QCOMPARE(LogRecorder::instance().count(1, "checksum mismatch"), 1);
    QCOMPARE(command_update_firmware("sim:axis1", nullptr, 0), -1);
    uint8_t has = 1;
    QCOMPARE(has_firmware("sim:axis1", &has), 0);
    QCOMPARE(has, 0);
    sim.reset(); // a power cycle stays in the bootloader without valid firmware
    d = openOrFail("sim:axis1");
    device_information_t info;
    QCOMPARE(get_device_information(d, &info), 0);
    QCOMPARE(QByteArray(info.ProductDescription), QByteArray("SIMBOOT"));
    close_device(&d);
}

void TestTrovHandles::crossProcessLock()
{
    Sim sim("axis1:10001:stepper");
    device_t d = openOrFail("sim:axis1");
    QVERIFY(d >= 0);
    QCOMPARE(runHelper(QString::fromStdString(sim.folder())), 3); // refused while we hold it
    QCOMPARE(close_device(&d), 0);
    QCOMPARE(runHelper(QString::fromStdString(sim.folder())), 4);
    // in memory there is no lock between processes
    sim.reset("axis1:10001:stepper", true);
    d = openOrFail("sim:axis1");
    QCOMPARE(runHelper(QString()), 4);
    close_device(&d);
}

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--lock-helper")
        return lockHelper(argv[2]);
    QCoreApplication app(argc, argv);
    TestTrovHandles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_trov_handles.moc"
