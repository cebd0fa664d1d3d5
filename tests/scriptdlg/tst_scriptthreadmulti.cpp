// The multi-axis script engine and its axis objects against three simulated controllers (and a
// fourth that is open but not the window's), reached through a stand-in host.
#include <QtTest>
#include "support/TestTime.h"

#include <memory>

#include "device/DeviceInterface.h"
#include "scriptdlg/ScriptAxisHost.h"
#include "scriptdlg/ScriptConstants.h"
#include "scriptdlg/ScriptThreadMulti.h"
#include "scriptdlg/scriptAgent.h"
#include "trovsim.h"

namespace {

const int boundMs = scaledMs(5000);
const char* const names[] = {"sim:axis1", "sim:axis2", "sim:axis3", "sim:axis4"};

// Three axes of the window; the fourth device is open too, as another program's might be.
class StandInHost : public ScriptAxisHost
{
public:
    std::unique_ptr<DeviceInterface> gateways[4];
    mutable std::atomic<device_t> handles[4];

    StandInHost()
    {
        trovsim_reset("axis1:10001:stepper;axis2:10002:stepper;axis3:10003:dc;axis4:10004:stepper", "");
        trovsim_clock_manual(1);
        for (int axis = 0; axis < 4; ++axis) {
            gateways[axis] = std::make_unique<DeviceInterface>();
            handles[axis] = gateways[axis]->open_device(names[axis]);
        }
        trovsim_journal_clear();
    }
    ~StandInHost() override
    {
        trovsim_clear_faults();
        for (int axis = 0; axis < 4; ++axis)
            gateways[axis]->close_device(handles[axis]);
    }
    int scriptAxisCount() const override { return 3; }
    DeviceInterface* scriptAxisGateway(int axis) const override { return gateways[axis].get(); }
    std::atomic<device_t>* scriptAxisHandle(int axis) const override { return &handles[axis]; }

    // What the polling thread does on a reconnect: a new handle in the shared place.
    void reopen(int axis)
    {
        gateways[axis]->close_device(handles[axis]);
        handles[axis] = gateways[axis]->open_device(names[axis]);
    }
};

// The journal's calls, "function@axisN", in order.
QStringList journal()
{
    QStringList calls;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call{};
        if (trovsim_journal_entry(i, &call) == 0 && qstrcmp(call.function, "get_serial_number") != 0)
            calls << QStringLiteral("%1@%2").arg(call.function, QString::fromLatin1(call.device).mid(4));
    }
    return calls;
}

} // namespace

class TestScriptThreadMulti : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandInHost> host;
    std::unique_ptr<ScriptThreadMulti> thread;
    QStringList exceptions;

    // Runs one script to its end; `result` is the global it left, as text.
    QString run(const QString& script)
    {
        const quint64 before = thread->runCount();
        if (!thread->requestRun(script))
            return QStringLiteral("not started");
        if (!QTest::qWaitFor([&] { return thread->runCount() > before && !thread->isBusy(); }, boundMs))
            return QStringLiteral("still running");
        QCoreApplication::processEvents(); // the queued exceptions
        return thread->engine()->globalObject().property(QStringLiteral("result")).toString();
    }

private slots:
    void init()
    {
        host = std::make_unique<StandInHost>();
        thread = std::make_unique<ScriptThreadMulti>(host.get());
        exceptions.clear();
        connect(thread->agent(), &scriptAgent::exceptionThrown, this, [this](const QString& text) { exceptions << text; },
                Qt::QueuedConnection);
        thread->startThread();
    }
    void cleanup()
    {
        thread->requestQuit();
        QVERIFY(thread->waitFinished(boundMs));
        thread.reset();
        host.reset();
    }

    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("thrown");
        QTest::newRow("by number") << "newaxis(10002).sstp()" << "" << QStringList{"command_sstp@axis2"} << false;
        QTest::newRow("by digits") << "newaxis('10003').rigt()" << "" << QStringList{"command_right@axis3"} << false;
        QTest::newRow("fraction cut") << "newaxis(10001.9).move(100)" << "" << QStringList{"command_move@axis1"} << false;
        for (const char* missing : {"99999", "NaN", "Infinity", "1e30", "'abc'", "", "10004"})
            QTest::newRow(qPrintable(QStringLiteral("null for %1").arg(missing)))
                << QStringLiteral("result = newaxis(%1) === null").arg(missing) << "true" << QStringList{} << false;
        QTest::newRow("method on null") << "newaxis(99999).sstp()" << "" << QStringList{} << true;
        QTest::newRow("two objects keep order") << "a = newaxis(10001); b = newaxis(10001); a.movr(1); b.stop(); a.movr(-5, 3)"
                                                << "" << QStringList{"command_movr@axis1", "command_stop@axis1", "command_movr@axis1"}
                                                << false;
        for (const char* refused : {"NaN", "Infinity", "1e10", "-3e9", "1, NaN", "'x'"})
            QTest::newRow(qPrintable(QStringLiteral("move(%1) refused").arg(refused)))
                << QStringLiteral("newaxis(10001).move(%1)").arg(refused) << "" << QStringList{} << true;
        QTest::newRow("single-axis globals absent")
            << "result = [typeof rigt, typeof gets, typeof set_move_settings, typeof move].join()"
            << "undefined,undefined,undefined,undefined" << QStringList{} << false;
        QTest::newRow("deleteLater hidden") << "result = typeof newaxis(10001).deleteLater" << "undefined" << QStringList{} << false;
        QTest::newRow("log and msleep") << "var t = Date.now(); result = [log('x', 1), msleep(-5), msleep('abc'), msleep(NaN), Date.now() - t < 200].join()"
                                        << ",,,,true" << QStringList{} << false;
        QTest::newRow("settings round trip")
            << "x = newaxis(10002); s = x.get_move_settings(); s.Speed = 321; x.set_move_settings(s); result = x.get_move_settings().Speed"
            << "321" << QStringList{"get_move_settings@axis2", "set_move_settings@axis2", "get_move_settings@axis2"} << false;
        // Sent and taken or not, a command answers nothing.
        QTest::newRow("commands answer nothing")
            << "x = newaxis(10001); result = [x.move(1), x.movr(1), x.rigt(), x.left(), x.stop(), x.sstp(), x.zero(), "
               "x.home(), x.set_move_settings(x.get_move_settings())].map(String).join()"
            << "undefined,undefined,undefined,undefined,undefined,undefined,undefined,undefined,undefined"
            << QStringList{"command_move@axis1", "command_movr@axis1", "command_right@axis1", "command_left@axis1",
                           "command_stop@axis1", "command_sstp@axis1", "command_zero@axis1", "command_home@axis1",
                           "get_move_settings@axis1", "set_move_settings@axis1"}
            << false;
        QTest::newRow("status") << "result = newaxis(10003).gets().MvCmdSts >= 0" << "true" << QStringList{"get_status@axis3"} << false;
    }
    void scripts()
    {
        QFETCH(QString, script);
        QFETCH(bool, thrown);
        QTEST(run(script), "result");
        QTEST(journal(), "calls");
        QCOMPARE(!exceptions.isEmpty(), thrown);
    }

    // A motion command answers nothing; a move lands on its steps, then its microsteps.
    void movesLandWhereTheyAreSent()
    {
        QCOMPARE(run("x = newaxis(10001); y = newaxis(10002); "
                     "result = [x.move(100, 5), y.movr(-5, 3), newaxis(10003).zero()].map(String).join()"),
                 QStringLiteral("undefined,undefined,undefined"));
        trovsim_advance_ms(600000);
        double x = 0, y = 0;
        QVERIFY(trovsim_physical_position(names[0], &x) == 0 && trovsim_physical_position(names[1], &y) == 0);
        QCOMPARE(x, 100 + 5.0 / 256);
        QCOMPARE(y, -5 + 3.0 / 256);
    }

    void constantsMatchTheSingleAxisEngine()
    {
        QScriptValue global = thread->engine()->globalObject();
        QCOMPARE(scriptConstants().size(), 172);
        for (const ScriptConstant& constant : scriptConstants())
            QCOMPARE(global.property(QLatin1String(constant.name)).toInt32(), constant.value);
    }

    void failedReadWritesNothing()
    {
        trovsim_force_result("sim:axis1", "get_move_settings", -1, -1);
        QCOMPARE(run("x = newaxis(10001); s = x.get_move_settings(); result = s === undefined; s.Speed = 5; "
                     "x.set_move_settings(s)"),
                 QStringLiteral("true"));
        QCOMPARE(trovsim_call_count("sim:axis1", "set_move_settings"), 0);
        QCOMPARE(exceptions.size(), 1); // the property write on undefined
    }

    void objectOutlivesItsRunAndAReconnect()
    {
        QCOMPARE(run("kept = newaxis(10002)"), QString());
        trovsim_unplug("sim:axis2");
        trovsim_plug("sim:axis2", 0);
        host->reopen(1);
        trovsim_journal_clear();
        QCOMPARE(run("kept.sstp()"), QString());
        trovsim_call_t call{};
        QCOMPARE(trovsim_journal_size(), 1);
        QCOMPARE(trovsim_journal_entry(0, &call), 0);
        QCOMPARE(QByteArray(call.function), QByteArray("command_sstp"));
        QCOMPARE(call.result, 0); // the new handle, not the lost one
    }

    // A stop while a method waits in the library: the next method calls nothing.
    void stopDuringACallEndsTheRunThere()
    {
        QCOMPARE(trovsim_hold_call("sim:axis1", "command_movr"), 0);
        QVERIFY(thread->requestRun("x = newaxis(10001); x.movr(1); x.sstp(); x.rigt()"));
        QCOMPARE(trovsim_wait_held("sim:axis1", "command_movr", boundMs), 0);
        thread->requestStop();
        trovsim_release_call("sim:axis1", "command_movr");
        QVERIFY(QTest::qWaitFor([this] { return !thread->isBusy(); }, boundMs));
        QCOMPARE(journal(), QStringList{"command_movr@axis1"});
    }

    void stopEndsALoopWithNoCommandAfter()
    {
        QVERIFY(thread->requestRun("x = newaxis(10001); while (true) { x.movr(10); msleep(1); x.movr(10); msleep(600000) }"));
        QVERIFY(QTest::qWaitFor([] { return trovsim_call_count("sim:axis1", "command_movr") >= 2; }, boundMs));
        thread->requestStop();
        const int sent = trovsim_call_count("sim:axis1", "command_movr");
        // Ten minutes of sleep are left: a stop that does not cut it short would hang the run.
        if (!QTest::qWaitFor([this] { return !thread->isBusy(); }, boundMs))
            qFatal("the stop did not end the script's sleep within %d ms", boundMs);
        QCOMPARE(trovsim_call_count("sim:axis1", "command_movr"), sent);
    }
};

QTEST_MAIN(TestScriptThreadMulti)
#include "tst_scriptthreadmulti.moc"
