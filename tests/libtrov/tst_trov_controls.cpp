// The simulator's test controls (forced results, delays, holds, journal, counts) and the log
// callback (text, levels, threshold, delivery outside the library's locks).
#include "simtestkit.h"

#include <QElapsedTimer>

#include <atomic>
#include <thread>

using namespace simtest;

namespace {

std::atomic<device_t> g_callbackDevice{-1};
std::atomic<int> g_callbackStatus{99};

// Calls back into the library from the callback, on the same controller.
void reentrantCallback(int level, const wchar_t* text)
{
    LogRecorder::callback(level, text);
    status_t st;
    g_callbackStatus = get_status(g_callbackDevice.load(), &st);
}

} // namespace

class TestTrovControls : public QObject {
    Q_OBJECT
private slots:
    void init();
    void forceCountSemantics();
    void forceUntilCleared();
    void forceWithoutDevice();
    void delayIsRealTimeOutsideLocks();
    void holdWaitRelease();
    void journalAndCounts();
    void badNames();
    void logTextAndLevels();
    void logThreshold();
    void callbackMayCallTheLibrary();
    void noCallbackNoLines();
};

void TestTrovControls::init() { set_logging_callback(&LogRecorder::callback); }

void TestTrovControls::forceCountSemantics()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    QCOMPARE(trovsim_force_result("sim:axis1", "get_engine_settings", -1, 2), 0);
    engine_settings_t e;
    for (int i = 0; i < 2; ++i) {
        std::memset(&e, 0xAA, sizeof e);
        QCOMPARE(get_engine_settings(d, &e), -1);
        QCOMPARE(e.NomVoltage, 0xAAAAAAAAu); // no output written
    }
    QCOMPARE(get_engine_settings(d, &e), 0);
    QCOMPARE(e.NomVoltage, 1200u);
    QCOMPARE(trovsim_call_count("sim:axis1", "get_engine_settings"), 3);

    // a forced set has no effect
    QCOMPARE(trovsim_force_result("sim:axis1", "set_engine_settings", -3, 1), 0);
    e.NomVoltage = 1000;
    QCOMPARE(set_engine_settings(d, &e), -3);
    QCOMPARE(get_engine_settings(d, &e), 0);
    QCOMPARE(e.NomVoltage, 1200u);
    // other devices are untouched
    QCOMPARE(trovsim_force_result("sim:axis2", "get_status", -4, 1), 0);
    status_t st;
    QCOMPARE(get_status(d, &st), 0);
    close_device(&d);
}

void TestTrovControls::forceUntilCleared()
{
    Sim sim;
    device_t d = openOrFail("sim:axis2");
    QCOMPARE(trovsim_force_result(nullptr, "get_status", -1, -1), 0);
    status_t st;
    for (int i = 0; i < 5; ++i)
        QCOMPARE(get_status(d, &st), -1);
    QCOMPARE(trovsim_force_result(nullptr, "get_status", -1, 0), 0); // count 0 removes it
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(trovsim_force_result(nullptr, "get_status", -4, -1), 0);
    trovsim_clear_faults();
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(trovsim_force_result(nullptr, "get_status", -4, -1), 0);
    sim.reset(); // a reset clears them too
    close_device(&d);
    d = openOrFail("sim:axis2");
    QCOMPARE(get_status(d, &st), 0);
    close_device(&d);
}

void TestTrovControls::forceWithoutDevice()
{
    Sim sim;
    QCOMPARE(trovsim_force_result(nullptr, "enumerate_devices", -1, 1), 0);
    QCOMPARE(enumerate_devices(ENUMERATE_PROBE), static_cast<void*>(nullptr));
    enumeration_handle_t h = enumerate_devices(ENUMERATE_PROBE);
    QVERIFY(h);
    QCOMPARE(trovsim_force_result(nullptr, "open_device", -1, 1), 0);
    QCOMPARE(open_device("sim:axis1"), -1);
    device_t d = openOrFail("sim:axis1");
    QVERIFY(d >= 0);
    close_device(&d);
    free_enumerate_devices(h);
}

void TestTrovControls::delayIsRealTimeOutsideLocks()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    // Long against a stall of a busy machine, so that neither passes for the other.
    constexpr int delayMs = 1000;
    const uint64_t simStart = trovsim_now_ms();
    // A hold on the same call tells when it is under way; its delay comes right after.
    QCOMPARE(trovsim_hold_call("sim:axis1", "get_status"), 0);
    QCOMPARE(trovsim_delay_call("sim:axis1", "get_status", delayMs, 1), 0);
    std::atomic<int> result{99};
    std::thread slow([&] {
        status_t st;
        result = get_status(d, &st);
    });
    QCOMPARE(trovsim_wait_held("sim:axis1", "get_status", 10000), 0);
    QElapsedTimer delayed;
    delayed.start();
    QCOMPARE(trovsim_release_call("sim:axis1", "get_status"), 0);
    // the delayed call holds no lock: the same controller answers meanwhile
    QElapsedTimer quick;
    quick.start();
    move_settings_t m;
    QCOMPARE(get_move_settings(d, &m), 0);
    const qint64 quickMs = quick.elapsed();
    QCOMPARE(result.load(), 99);
    slow.join();
    const qint64 delayedMs = delayed.elapsed();
    QCOMPARE(result.load(), 0);
    QVERIFY2(quickMs < delayMs / 2, qPrintable(QString::number(quickMs)));
    QVERIFY2(delayedMs >= delayMs, qPrintable(QString::number(delayedMs)));
    QCOMPARE(trovsim_now_ms(), simStart); // wall time: the manual clock did not move
    QElapsedTimer second;
    second.start();
    status_t st;
    QCOMPARE(get_status(d, &st), 0); // count was 1
    QVERIFY2(second.elapsed() < delayMs / 2, qPrintable(QString::number(second.elapsed())));
    close_device(&d);
}

void TestTrovControls::holdWaitRelease()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    device_t d2 = openOrFail("sim:axis2");
    QCOMPARE(trovsim_hold_call("sim:axis1", "get_status"), 0);
    QCOMPARE(trovsim_wait_held("sim:axis1", "get_status", 10), -1); // nothing held yet
    std::atomic<int> result{99};
    std::thread held([&] {
        status_t st;
        result = get_status(d, &st);
    });
    QCOMPARE(trovsim_wait_held("sim:axis1", "get_status", 10000), 0);
    QCOMPARE(result.load(), 99);
    // the held call blocks nothing else, not even its own controller
    status_t st;
    QCOMPARE(get_status(d2, &st), 0);
    QCOMPARE(get_status(d, &st), 0); // the hold took one call only
    QCOMPARE(trovsim_call_count("sim:axis1", "get_status"), 2);
    QCOMPARE(trovsim_release_call("sim:axis1", "get_status"), 0);
    held.join();
    QCOMPARE(result.load(), 0);
    // an armed hold that nobody took is dropped by release
    QCOMPARE(trovsim_hold_call("sim:axis1", "get_status"), 0);
    QCOMPARE(trovsim_release_call("sim:axis1", "get_status"), 0);
    QCOMPARE(get_status(d, &st), 0);
    close_device(&d);
    close_device(&d2);
}

void TestTrovControls::journalAndCounts()
{
    Sim sim;
    QCOMPARE(trovsim_journal_size(), 0);
    device_t d = openOrFail("sim:axis1");
    trovsim_advance_ms(250);
    move_settings_t m;
    get_move_settings(d, &m);
    m.Accel = 0;
    set_move_settings(d, &m);
    status_t st;
    get_status(12345, &st);
    close_device(&d);
    QCOMPARE(trovsim_journal_size(), 5);
    const char* functions[] = {"open_device", "get_move_settings", "set_move_settings", "get_status", "close_device"};
    const int results[] = {0 /* the handle */, 0, -3, -1, 0};
    const char* devices[] = {"sim:axis1", "sim:axis1", "sim:axis1", "", "sim:axis1"};
    for (int i = 0; i < 5; ++i) {
        trovsim_call_t e;
        QCOMPARE(trovsim_journal_entry(i, &e), 0);
        QCOMPARE(QByteArray(e.function), QByteArray(functions[i]));
        QCOMPARE(QByteArray(e.device), QByteArray(devices[i]));
        if (i > 0)
            QCOMPARE(e.result, results[i]);
    }
    trovsim_call_t e;
    QCOMPARE(trovsim_journal_entry(1, &e), 0);
    QCOMPARE(e.sim_ms, trovsim_now_ms());
    QCOMPARE(trovsim_journal_entry(5, &e), -1);
    QCOMPARE(trovsim_journal_entry(-1, &e), -1);
    QCOMPARE(trovsim_call_count(nullptr, "get_status"), 1);
    QCOMPARE(trovsim_call_count("sim:axis1", "get_status"), 0);
    QCOMPARE(trovsim_call_count("sim:axis1", "set_move_settings"), 1);

    // a ring of the last 10000 calls
    for (int i = 0; i < 10010; ++i)
        get_device_count(nullptr);
    QCOMPARE(trovsim_journal_size(), 10000);
    QCOMPARE(trovsim_journal_entry(0, &e), 0);
    QCOMPARE(QByteArray(e.function), QByteArray("get_device_count"));
    trovsim_journal_clear();
    QCOMPARE(trovsim_journal_size(), 0);
}

void TestTrovControls::badNames()
{
    Sim sim;
    QCOMPARE(trovsim_force_result("sim:axis1", "get_stat", -1, 1), -1);
    QCOMPARE(trovsim_force_result("sim:axis9", "get_status", -1, 1), -1);
    QCOMPARE(trovsim_force_result("sim:axis1", nullptr, -1, 1), -1);
    QCOMPARE(trovsim_delay_call("sim:axis1", "nope", 10, 1), -1);
    QCOMPARE(trovsim_hold_call("axis1", "get_status"), -1);
    QCOMPARE(trovsim_wait_held("sim:axis1", "nope", 1), -1);
    QCOMPARE(trovsim_release_call("sim:axis1", "nope"), -1);
    QCOMPARE(trovsim_call_count("sim:axis1", "nope"), -1);
    QCOMPARE(trovsim_call_count("sim:axis9", "get_status"), -1);
    QCOMPARE(trovsim_set_input("sim:axis9", TROVSIM_JOYSTICK, 1), -1);
    QCOMPARE(trovsim_set_input("sim:axis1", 999, 1), -1);
    QCOMPARE(trovsim_set_busy("sim:axis9", 1), -1);
    QCOMPARE(trovsim_plug("sim:axis9", 1), -1);
    QCOMPARE(trovsim_enter_bootloader("sim:axis9", 1), -1);
    QCOMPARE(trovsim_external_command("sim:axis9", MVCMD_MOVE, 0, 0), -1);
    QCOMPARE(trovsim_external_command("sim:axis1", 0x3F, 0, 0), -1);
    double pos;
    QCOMPARE(trovsim_physical_position("sim:axis9", &pos), -1);
    QCOMPARE(trovsim_physical_position("sim:axis1", &pos), 0);
}

void TestTrovControls::logTextAndLevels()
{
    Sim sim;
    trovsim_emit_log(1, "Grüße, 10 €, 𝄞");
    trovsim_emit_log(3, "bad \xff byte");
    QVector<LogLine> lines = LogRecorder::instance().lines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].level, 1);
    QCOMPARE(lines[0].text, QString::fromUtf8("Grüße, 10 €, 𝄞"));
    QCOMPARE(lines[1].text, QString::fromUtf8("bad \xEF\xBF\xBD byte"));
    // levels outside 1..4 go nowhere
    trovsim_emit_log(0, "zero");
    trovsim_emit_log(5, "five");
    QCOMPARE(LogRecorder::instance().lines().size(), 2);
}

void TestTrovControls::logThreshold()
{
    Sim sim;
    trovsim_emit_log(4, "detail");
    QCOMPARE(LogRecorder::instance().lines().size(), 0); // default threshold 3
    qputenv("TROVSIM_LOG_LEVEL", "4");
    sim.reset();
    device_t d = openOrFail("sim:axis1");
    status_t st;
    get_status(d, &st);
    QCOMPARE(LogRecorder::instance().count(4, "get_status(sim:axis1) = 0"), 1);
    close_device(&d);
    qputenv("TROVSIM_LOG_LEVEL", "1");
    sim.reset();
    trovsim_emit_log(2, "warning");
    trovsim_emit_log(1, "error");
    QCOMPARE(LogRecorder::instance().lines().size(), 1);
    qunsetenv("TROVSIM_LOG_LEVEL");
    sim.reset();
}

void TestTrovControls::callbackMayCallTheLibrary()
{
    Sim sim;
    device_t d = openOrFail("sim:axis1");
    g_callbackDevice = d;
    g_callbackStatus = 99;
    set_logging_callback(&reentrantCallback);
    power_settings_t p;
    QCOMPARE(get_power_settings(d, &p), 0);
    p.HoldCurrent = 1000;
    QCOMPARE(set_power_settings(d, &p), -3); // logs a warning while the controller is busy with the call
    QCOMPARE(g_callbackStatus.load(), 0);
    QCOMPARE(LogRecorder::instance().count(2, "set_power_settings: HoldCurrent 1000 out of range 0..100, set to 100"), 1);
    set_logging_callback(&LogRecorder::callback);
    close_device(&d);
}

void TestTrovControls::noCallbackNoLines()
{
    Sim sim;
    set_logging_callback(nullptr);
    trovsim_emit_log(1, "lost");
    set_logging_callback(&LogRecorder::callback);
    trovsim_emit_log(1, "seen");
    QCOMPARE(LogRecorder::instance().lines().size(), 1);
}

QTEST_GUILESS_MAIN(TestTrovControls)
#include "tst_trov_controls.moc"
