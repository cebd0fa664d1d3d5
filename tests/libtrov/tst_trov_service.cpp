// Loss and return of a moving controller, restarts, the position memory across restarts, firmware
// uploads (the sample images of the build tree, an unplug in the middle), the positioner memory
// attached and detached, motion commands from another source, and the stage moved by hand.
#include "axiskit.h"
#include "../support/TestTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace axistest;

namespace {

int listed(const char* name)
{
    enumeration_handle_t e = enumerate_devices(ENUMERATE_PROBE);
    int n = get_device_count(e), found = 0;
    for (int i = 0; i < n; ++i)
        if (QByteArray(get_device_name(e, i)) == name)
            ++found;
    free_enumerate_devices(e);
    return found;
}

QByteArray sampleImage(const char* file)
{
    QFile f(QCoreApplication::applicationDirPath() + "/../firmware/" + file);
    if (!f.open(QIODevice::ReadOnly))
        qWarning("no sample image %s", qPrintable(f.fileName()));
    return f.readAll();
}

QByteArray product(device_t id)
{
    device_information_t info;
    return get_device_information(id, &info) == 0 ? QByteArray(info.ProductDescription) : QByteArray();
}

// Lines of the library's log, for counting.
QStringList g_log;
void record(int level, const wchar_t* text) { g_log << QString::number(level) + " " + QString::fromWCharArray(text); }
int logged(const QString& part)
{
    int n = 0;
    for (const QString& l : g_log)
        n += l.contains(part) ? 1 : 0;
    return n;
}

} // namespace

class TestTrovService : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void lostWhileMoving();
    void plugWithPowerCycle();
    void resetRestartsTheController();
    void positionSurvivesRestarts();
    void clearFram();
    void damagedPositionMemory_data();
    void damagedPositionMemory();
    void sampleFirmwareImages();
    void unplugDuringUpload();
    void positionerAttachAndDetach_data();
    void positionerAttachAndDetach();
    void externalCommand();
    void stageMovedByHand();
};

void TestTrovService::init()
{
    g_log.clear();
    set_logging_callback(&record);
}

void TestTrovService::cleanup() { set_logging_callback(nullptr); }

void TestTrovService::lostWhileMoving()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 2000, 0), 0);
    trovsim_advance_ms(500);
    QCOMPARE(trovsim_unplug("sim:axis1"), 0);
    status_t s;
    chart_data_t c;
    analog_data_t a;
    QCOMPARE(get_status(axis.id, &s), -4);
    QCOMPARE(get_chart_data(axis.id, &c), -4);
    QCOMPARE(get_analog_data(axis.id, &a), -4);
    QCOMPARE(command_stop(axis.id), -4);
    QCOMPARE(open_device("sim:axis1"), -1);
    QCOMPARE(listed("sim:axis1"), 0);
    QCOMPARE(logged("sim:axis1: device lost"), 1);
    int lines = g_log.size();
    QCOMPARE(close_device(&axis.id), 0); // released quietly
    QCOMPARE(axis.id, -1);
    QCOMPARE(g_log.size(), lines);

    // the cable came out, the controller kept its supply and finished the move
    trovsim_advance_ms(3000);
    QCOMPARE(trovsim_plug("sim:axis1", 0), 0);
    QCOMPARE(listed("sim:axis1"), 1);
    axis.open();
    QVERIFY(axis.id >= 0);
    s = axis.status();
    QCOMPARE(s.CurPosition, 2000);
    QCOMPARE(hex(s.MvCmdSts), hex(MVCMD_MOVE));
}

void TestTrovService::plugWithPowerCycle()
{
    Rig rig;
    Axis axis;
    QCOMPARE(edit<move_settings_t>(axis.id, get_move_settings, set_move_settings,
                                   [](move_settings_t& m) { m.Speed = 500; }),
             0);
    QCOMPARE(command_move(axis.id, 2000, 0), 0);
    trovsim_advance_ms(1000);
    double at = axis.position();
    QCOMPARE(trovsim_unplug("sim:axis1"), 0);
    QCOMPARE(trovsim_plug("sim:axis1", 1), 0); // the supply went too
    axis.close();
    axis.open();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition + s.uCurPosition / 256.0, at); // from the position memory
    QCOMPARE(s.MvCmdSts, 0u);
    QCOMPARE(s.MoveSts, 0u);
    QCOMPARE(s.PWRSts, uint32_t(PWR_STATE_OFF));
    move_settings_t m;
    QCOMPARE(get_move_settings(axis.id, &m), 0);
    QCOMPARE(m.Speed, 1000u); // unsaved settings are gone
    trovsim_advance_ms(2000);
    QVERIFY(std::abs(axis.physical() - at) < 1.0 / 256);
}

void TestTrovService::resetRestartsTheController()
{
    Rig rig;
    Axis axis;
    QCOMPARE(command_move(axis.id, 3000, 0), 0);
    trovsim_advance_ms(800);
    double at = axis.position();
    QCOMPARE(command_reset(axis.id), 0);
    QCOMPARE(get_status(axis.id, nullptr), -4);
    axis.close();
    trovsim_advance_ms(499);
    QCOMPARE(open_device("sim:axis1"), -1);
    trovsim_advance_ms(1);
    axis.open();
    status_t s = axis.status();
    QCOMPARE(s.CurPosition + s.uCurPosition / 256.0, at);
    QCOMPARE(s.MvCmdSts, 0u);
    QCOMPARE(s.MoveSts, 0u);
    QCOMPARE(product(axis.id), QByteArray("SIMSTEP"));
}

void TestTrovService::positionSurvivesRestarts()
{
    Rig rig;
    {
        Axis axis;
        QCOMPARE(command_move(axis.id, 1234, 128), 0);
        axis.runUntilStill();
        QCOMPARE(axis.status().EncPosition, int64_t(24690));
    }
    QVERIFY(QFile::exists(rig.path("axis1.fram")));
    rig.reset(); // a new run of the program
    Axis axis;
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, 1234);
    QCOMPARE(s.uCurPosition, 128);
    QCOMPARE(s.EncPosition, int64_t(24690));
    QCOMPARE(axis.physical(), 1234.5);
    // and it goes on from there: the switch is still where it was
    QCOMPARE(command_home(axis.id), 0);
    axis.runUntilStill();
    QCOMPARE(axis.status().CurPosition, -9700);

    // also when the program ends without closing: written at exit and at every reset
    Axis other("sim:axis2");
    QCOMPARE(command_move(other.id, -300, 0), 0);
    other.runUntilStill();
    rig.reset();
    Axis again("sim:axis2");
    QCOMPARE(again.status().CurPosition, -300);
}

void TestTrovService::clearFram()
{
    Rig rig;
    {
        Axis axis;
        QCOMPARE(command_move(axis.id, 700, 0), 0);
        axis.runUntilStill();
        QCOMPARE(command_clear_fram(axis.id), 0);
        QCOMPARE(axis.status().CurPosition, 700); // the live counter is untouched
        QCOMPARE(command_movr(axis.id, 100, 0), 0);
        axis.runUntilStill();
        QCOMPARE(axis.status().CurPosition, 800);
    }
    rig.reset();
    {
        Axis axis;
        status_t s = axis.status();
        QCOMPARE(s.CurPosition, 0);
        QCOMPARE(s.EncPosition, int64_t(0));
        QCOMPARE(axis.physical(), 800.0); // the stage did not move
        QCOMPARE(command_move(axis.id, 50, 0), 0);
        axis.runUntilStill();
    }
    rig.reset(); // cleared once only
    Axis axis;
    QCOMPARE(axis.status().CurPosition, 50);
    QCOMPARE(axis.physical(), 850.0);
}

void TestTrovService::damagedPositionMemory_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage") << QByteArray("\x01\x02 not a memory");
    QTest::newRow("not a number") << QByteArray("[fram]\nposition = nan\nencoder = 0\nphysical = 0\n");
    QTest::newRow("far out") << QByteArray("[fram]\nposition = 1e300\nencoder = 0\nphysical = 0\n");
    QTest::newRow("a key missing") << QByteArray("[fram]\nposition = 5\nencoder = 0\n");
    QTest::newRow("an unknown key") << QByteArray("[fram]\nposition = 5\nencoder = 0\nphysical = 0\nspeed = 3\n");
}

void TestTrovService::damagedPositionMemory()
{
    QFETCH(QByteArray, content);
    Rig rig;
    QFile f(rig.path("axis1.fram"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    rig.reset();
    Axis axis;
    status_t s = axis.status();
    QCOMPARE(s.CurPosition, 0);
    QCOMPARE(s.EncPosition, int64_t(0));
    QVERIFY(s.Flags & STATE_ERRD);
    QCOMPARE(logged("position memory unreadable"), 1);
    // it moves normally, and the next write repairs the file
    QCOMPARE(command_move(axis.id, 10, 0), 0);
    axis.runUntilStill();
    axis.close();
    rig.reset();
    axis.open();
    QCOMPARE(axis.status().CurPosition, 10);
}

void TestTrovService::sampleFirmwareImages()
{
    Rig rig;
    QByteArray good = sampleImage("trov-4.2.0.cod"), bad = sampleImage("trov-4.2.0-badcrc.cod");
    QVERIFY(!good.isEmpty() && good.size() == bad.size());
    QCOMPARE(command_update_firmware("sim:axis2", reinterpret_cast<const uint8_t*>(bad.constData()),
                                     uint32_t(bad.size())),
             -1);
    QCOMPARE(logged("checksum mismatch"), 1);
    rig.reset(); // the broken firmware stays broken across a power cycle
    Axis axis("sim:axis2");
    QCOMPARE(product(axis.id), QByteArray("SIMBOOT"));
    axis.close();
    QCOMPARE(trovsim_set_busy("sim:axis2", 1), 0);
    QCOMPARE(command_update_firmware("sim:axis2", reinterpret_cast<const uint8_t*>(good.constData()),
                                     uint32_t(good.size())),
             -1);
    QCOMPARE(trovsim_set_busy("sim:axis2", 0), 0);
    QCOMPARE(command_update_firmware("sim:axis2", reinterpret_cast<const uint8_t*>(good.constData()),
                                     uint32_t(good.size())),
             0);
    trovsim_advance_ms(500);
    axis.open();
    QCOMPARE(product(axis.id), QByteArray("SIMSTEP"));
    uint32_t v[3];
    QCOMPARE(get_firmware_version(axis.id, &v[0], &v[1], &v[2]), 0);
    QCOMPARE(QString("%1.%2.%3").arg(v[0]).arg(v[1]).arg(v[2]), QString("4.2.0"));
}

// The upload takes its time in real and scaled clock modes; an unplug meanwhile gives -4.
void TestTrovService::unplugDuringUpload()
{
    Rig rig;
    QByteArray good = sampleImage("trov-4.2.0.cod");
    QVERIFY(!good.isEmpty());
    trovsim_clock_manual(0);
    trovsim_set_time_scale(0.25); // about 1.5 s of upload: time enough to pull the plug
    std::atomic<int> result{1};
    std::thread upload([&] {
        result = command_update_firmware("sim:axis1", reinterpret_cast<const uint8_t*>(good.constData()),
                                         uint32_t(good.size()));
    });
    // the controller answers nobody while it takes the image
    QElapsedTimer timer;
    timer.start();
    while (probe_device("sim:axis1") == 0 && result == 1 && timer.elapsed() < scaledMs(5000))
        std::this_thread::yield();
    QCOMPARE(trovsim_unplug("sim:axis1"), 0);
    upload.join();
    trovsim_set_time_scale(1);
    trovsim_clock_manual(1);
    QCOMPARE(result.load(), -4);
    QCOMPARE(trovsim_plug("sim:axis1", 0), 0);
    uint8_t has = 1;
    QCOMPARE(has_firmware("sim:axis1", &has), 0);
    QCOMPARE(has, 0);
    Axis axis;
    QCOMPARE(product(axis.id), QByteArray("SIMBOOT"));
}

void TestTrovService::positionerAttachAndDetach_data()
{
    QTest::addColumn<bool>("inMemory");
    QTest::newRow("files") << false;
    QTest::newRow("in memory") << true;
}

void TestTrovService::positionerAttachAndDetach()
{
    QFETCH(bool, inMemory);
    Rig rig;
    if (inMemory)
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
    Axis axis;
    stage_name_t name{};
    std::strcpy(name.PositionerName, "Bench stage");
    QCOMPARE(set_stage_name(axis.id, &name), 0);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_POSITIONER, 0), 0);
    QVERIFY(!(axis.status().Flags & STATE_EEPROM_CONNECTED));
    QCOMPARE(get_stage_name(axis.id, &name), -1);
    QCOMPARE(set_stage_name(axis.id, &name), -1);
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_POSITIONER, 1), 0);
    QVERIFY(axis.status().Flags & STATE_EEPROM_CONNECTED);
    std::memset(&name, 0, sizeof name);
    QCOMPARE(get_stage_name(axis.id, &name), 0);
    QCOMPARE(QByteArray(name.PositionerName), QByteArray("Bench stage")); // its memory came with it

    // a controller without a stage gets one plugged in
    Axis dc("sim:axis3");
    QVERIFY(!(dc.status().Flags & STATE_EEPROM_CONNECTED));
    QCOMPARE(trovsim_set_input("sim:axis3", TROVSIM_POSITIONER, 1), 0);
    QVERIFY(dc.status().Flags & STATE_EEPROM_CONNECTED);
    QCOMPARE(get_stage_name(dc.id, &name), 0);
    QCOMPARE(QByteArray(name.PositionerName), QByteArray("LS-100"));
}

// Another source (joystick, sync input, another program) moves the axis under the program.
void TestTrovService::externalCommand()
{
    Rig rig;
    Axis axis;
    QCOMPARE(trovsim_external_command("sim:axis1", MVCMD_MOVE, 500, 0), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_MOVE | MVCMD_RUNNING));
    axis.runUntilStill();
    QCOMPARE(axis.status().CurPosition, 500);
    QCOMPARE(trovsim_external_command("sim:axis1", MVCMD_LEFT, 0, 0), 0);
    trovsim_advance_ms(100);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_LEFT | MVCMD_RUNNING));
    QCOMPARE(trovsim_external_command("sim:axis1", MVCMD_SSTP, 0, 0), 0);
    axis.runUntilStill();
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_SSTP));
    // in alarm it is refused like any other command
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_TEMPERATURE, 900), 0);
    QCOMPARE(trovsim_external_command("sim:axis1", MVCMD_RIGHT, 0, 0), 0);
    QCOMPARE(hex(axis.status().MvCmdSts), hex(MVCMD_RIGHT | MVCMD_ERROR));
    QCOMPARE(trovsim_external_command("sim:axis1", 0x3f, 0, 0), -1);
    QCOMPARE(trovsim_external_command(nullptr, MVCMD_MOVE, 0, 0), -1);
    QCOMPARE(trovsim_enter_bootloader("sim:axis2", 1), 0);
    QCOMPARE(trovsim_external_command("sim:axis2", MVCMD_MOVE, 10, 0), -1);
}

void TestTrovService::stageMovedByHand()
{
    Rig rig;
    Axis stepper("sim:axis1");
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_PHYSICAL_POSITION, 500 * 256), 0);
    status_t s = stepper.status();
    QCOMPARE(s.CurPosition, 0); // an open-loop counter does not notice
    QCOMPARE(s.EncPosition, int64_t(10000));
    QCOMPARE(stepper.physical(), 500.0);
    QCOMPARE(command_move(stepper.id, 100, 0), 0);
    stepper.runUntilStill();
    QCOMPARE(stepper.physical(), 600.0);
    // onto the limit switch and beyond the hard stop
    QCOMPARE(trovsim_set_input("sim:axis1", TROVSIM_PHYSICAL_POSITION, -20000 * 256), 0);
    QCOMPARE(stepper.physical(), -10000.0);
    QCOMPARE(edit<edges_settings_t>(stepper.id, get_edges_settings, set_edges_settings,
                                    [](edges_settings_t& e) { e.BorderFlags = BORDER_STOP_LEFT | BORDER_STOP_RIGHT; }),
             0);
    QVERIFY(stepper.status().GPIOFlags & STATE_LEFT_EDGE);
    QCOMPARE(command_left(stepper.id), 0);
    QCOMPARE(hex(stepper.status().MvCmdSts), hex(MVCMD_LEFT | MVCMD_ERROR));

    // a DC axis counts what its encoder sees
    Axis dc("sim:axis3");
    QCOMPARE(trovsim_set_input("sim:axis3", TROVSIM_PHYSICAL_POSITION, -1000 * 256), 0);
    s = dc.status();
    QCOMPARE(s.CurPosition, -1000);
    QCOMPARE(s.EncPosition, int64_t(-1000));
}

QTEST_GUILESS_MAIN(TestTrovService)
#include "tst_trov_service.moc"
