#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <functional>
#include <memory>
#include <thread>

#include "device/AxisCourier.h"
#include "device/MotionRules.h"
#include "settings_model/ReconnectRead.h"
#include "support/GatewayWaits.h"
#include "support/SimulatedAxis.h"
#include "support/TestTime.h"
#include "tests/settings_model/SettingsTestSupport.h"

static const char* const axis = "sim:axis1";

// The commands the controller took, in order: "stop", "sstp", "move", ...
static QStringList taken()
{
    QStringList out;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call{};
        if (trovsim_journal_entry(i, &call) == 0 && call.result == result_ok && QByteArray(call.function).startsWith("command_"))
            out << QString::fromLatin1(call.function).mid(8);
    }
    return out;
}

// A command reached the controller, taken or not.
static bool attempted()
{
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call{};
        if (trovsim_journal_entry(i, &call) == 0 && QByteArray(call.function).startsWith("command_"))
            return true;
    }
    return false;
}

// Every call the controller answered, in the order they ended: "get_status", "command_stop", ...
static QStringList calls()
{
    QStringList out;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call{};
        if (trovsim_journal_entry(i, &call) == 0)
            out << QString::fromLatin1(call.function);
    }
    return out;
}

// A fresh controller whose status read another thread holds in the simulator, as polling's
// does; after it that thread makes the calls of then.
struct HeldStatusRead
{
    MessageLog log;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::thread poller;
    bool held = false;

    bool start(const std::function<void()>& then = {})
    {
        messageLog = &log;
        handle = openOnFreshSimulator(gateway, axis);
        if (handle == -1 || trovsim_hold_call(axis, "get_status") != 0)
            return false;
        held = true;
        poller = std::thread([this, then] {
            status_t state{};
            gateway->get_status(handle.load(), &state);
            if (then)
                then();
        });
        if (trovsim_wait_held(axis, "get_status", scaledMs(5000)) != 0)
            return false;
        trovsim_journal_clear();
        return true;
    }
    // Ends the read and waits for that thread; false when the simulator held no read to end.
    bool release()
    {
        const bool released = !held || trovsim_release_call(axis, "get_status") == 0;
        held = false;
        if (poller.joinable())
            poller.join();
        return released;
    }
    ~HeldStatusRead() // a failed row too
    {
        messageLog = nullptr;
        trovsim_clear_faults();
        if (poller.joinable())
            poller.join();
    }
};

// One axis' courier against a gateway that another thread holds in a slow status read, as
// polling does: what goes out, when, in what order, and what the log and the replies are told.
class TestAxisCourier : public QObject
{
    Q_OBJECT

private slots:
    // Each step of "sent", while the read is held: STOP, Soft (the windows' soft stop: a power-off
    // for an axis standing still), key (a jog's release), move and jog (motion commands), zero (a
    // command); +ms moves the courier's clock on and looks at the waits; read: the settings read of a
    // controller back, whose reply tells whether the records read were taken into the model of this
    // thread; lose unplugs the controller, release ends the read and waits until the courier has
    // tried its command, idle waits until it has done all, close and reopen are polling's (reuse:
    // the library hands the old handle number back); force:<call>:<result>:<times> makes the
    // controller answer so; closing starts the window's close, which release lets end. "finish":
    // the courier ends before the read does.
    void commandsWaitForTheGateway_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<bool>("finish");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("replies");
        const QString red = QStringLiteral("SN 1: STOP failed (result -1): the axis may still be moving. Press STOP again.");
        QTest::newRow("the newest of those waiting goes")
            << "STOP Soft STOP" << false << QStringList{"stop", "stop"} << QStringList{} << QStringList{"STOP 0", "Soft 0", "STOP 0"};
        QTest::newRow("held past the end") << "STOP" << true << QStringList{}
                                           << QStringList{"SN 1: Stop was not sent: the window closed while the controller was busy."}
                                           << QStringList{"STOP -1"};
        QTest::newRow("Soft stop, STOP, Soft stop: the Stop goes")
            << "Soft STOP Soft" << false << QStringList{"stop"} << QStringList{} << QStringList{"Soft 0", "STOP 0", "Soft 0"};
        QTest::newRow("commands go in the order given")
            << "move zero move" << false << QStringList{"move", "zero", "move"} << QStringList{}
            << QStringList{"move 0", "zero 0", "move 0"};
        QTest::newRow("a stop drops the commands waiting; after a move it soft-stops")
            << "move zero Soft" << false << QStringList{"sstp"}
            << QStringList{"SN 1: Zero not sent: Soft stop came first.", "SN 1: Move to not sent: Soft stop came first."}
            << QStringList{"zero -1", "move -1", "Soft 0"};
        QTest::newRow("a soft stop of an axis standing powers it off")
            << "zero Soft" << false << QStringList{"power_off"} << QStringList{"SN 1: Zero not sent: Soft stop came first."}
            << QStringList{"zero -1", "Soft 0"};
        QTest::newRow("a move held, then Soft stop, two moves and STOP")
            << "move Soft move move STOP" << false << QStringList{"stop"}
            << QStringList{"SN 1: Move to not sent: Soft stop came first.", "SN 1: Move to, Move to not sent: Stop came first."}
            << QStringList{"move -1", "move -1", "move -1", "Soft 0", "STOP 0"};
        QTest::newRow("commands behind a stop go after it")
            << "STOP move" << false << QStringList{"stop", "move"} << QStringList{} << QStringList{"STOP 0", "move 0"};
        QTest::newRow("a command waiting 1 s is dropped, never sent late")
            << "move zero +1000" << false << QStringList{}
            << QStringList{"SN 1: Move to was not sent: the controller was busy for 1 s.",
                           "SN 1: Zero was not sent: the controller was busy for 1 s."}
            << QStringList{"zero -1", "move -1"};
        QTest::newRow("a stop waiting 1 s is told, and when it goes")
            << "STOP +1000" << false << QStringList{"stop"}
            << QStringList{"SN 1: Stop still waits: the controller has not answered for 1 s.",
                           "SN 1: Stop sent, 1 s after it was pressed."}
            << QStringList{"STOP 0"};
        QTest::newRow("a newer STOP counts from its own press")
            << "move STOP +600 STOP +600" << false << QStringList{"stop"} << QStringList{"SN 1: Move to not sent: Stop came first."}
            << QStringList{"move -1", "STOP 0", "STOP 0"};
        QTest::newRow("a stop lost with its controller goes once it is open again")
            << "lose STOP release close +1800 reopen" << false << QStringList{"stop"}
            << QStringList{"SN 1: Stop waits for the controller to come back.", "SN 1: Stop sent, 1.8 s after it was pressed."}
            << QStringList{"STOP 0"};
        QTest::newRow("the controller opened again under its old number")
            << "reuse lose STOP release close +700 reopen" << false << QStringList{"stop"}
            << QStringList{"SN 1: Stop waits for the controller to come back.", "SN 1: Stop sent, 0.7 s after it was pressed."}
            << QStringList{"STOP 0"};
        QTest::newRow("a stop pressed while the controller is away")
            << "release close STOP +500 reopen" << false << QStringList{"stop"}
            << QStringList{"SN 1: Stop waits for the controller to come back.", "SN 1: Stop sent, 0.5 s after it was pressed."}
            << QStringList{"STOP 0"};
        QTest::newRow("a soft stop for a lost controller goes as a soft stop")
            << "release close Soft reopen" << false << QStringList{"sstp"}
            << QStringList{"SN 1: Soft stop waits for the controller to come back.", "SN 1: Soft stop sent, 0 s after it was pressed."}
            << QStringList{"Soft 0"};
        QTest::newRow("a Stop takes the place of a soft stop waiting for the controller")
            << "release close Soft STOP Soft reopen" << false << QStringList{"stop"}
            << QStringList{"SN 1: Soft stop waits for the controller to come back.", "SN 1: Stop sent, 0 s after it was pressed."}
            << QStringList{"Soft 0", "STOP 0", "Soft 0"};
        QTest::newRow("a jog released while the controller is away stops it once back")
            << "jog release close key reopen" << false << QStringList{"left", "sstp"}
            << QStringList{"SN 1: Jog release waits for the controller to come back.",
                           "SN 1: Jog release sent, 0 s after the jog was let go."}
            << QStringList{"jog 0", "key 0"};
        QTest::newRow("a key held: one release waits, and STOP takes its place")
            << "jog key jog key jog key STOP" << false << QStringList{"stop"}
            << QStringList{"SN 1: Jog left not sent: Stop came first.", "SN 1: Jog left, Jog left not sent: Stop came first."}
            << QStringList{"jog -1", "jog -1", "jog -1", "key 0", "key 0", "key 0", "STOP 0"};
        QTest::newRow("the window closes before the controller is back")
            << "release close STOP" << true << QStringList{}
            << QStringList{"SN 1: Stop waits for the controller to come back.",
                           "SN 1: Stop was not sent: the window closed before the controller came back."}
            << QStringList{"STOP -4"};
        QTest::newRow("at the close only stops go")
            << "STOP move closing" << false << QStringList{"stop"}
            << QStringList{"SN 1: Move to was not sent: the window closed."} << QStringList{"move -1", "STOP 0"};
        QTest::newRow("STOP answered no device once by a controller still there")
            << "force:command_stop:-4:1 STOP" << false << QStringList{"stop"} << QStringList{} << QStringList{"STOP 0"};
        QTest::newRow("STOP answered no device three times")
            << "force:command_stop:-4:3 STOP" << false << QStringList{"stop"} << QStringList{} << QStringList{"STOP 0"};
        QTest::newRow("STOP refused once is tried again")
            << "force:command_stop:-1:1 STOP" << false << QStringList{"stop"} << QStringList{} << QStringList{"STOP 0"};
        QTest::newRow("STOP refused four times is told in red; the next STOP is tried itself")
            << "force:command_stop:-1:4 STOP release idle STOP" << false << QStringList{"stop"} << QStringList{red}
            << QStringList{"STOP -1", "STOP 0"};
        QTest::newRow("a settings read goes in its turn; what it read is taken in its reply")
            << "move read" << false << QStringList{"move"} << QStringList{} << QStringList{"move 0", "read 0 taken"};
        QTest::newRow("a stop ends a settings read; the model keeps what it held")
            << "read STOP" << false << QStringList{"stop"}
            << QStringList{"SN 1: Reading the settings not sent: Stop came first."} << QStringList{"read -1 kept", "STOP 0"};
    }
    void commandsWaitForTheGateway()
    {
        QFETCH(QString, sent);
        HeldStatusRead polling;
        QVERIFY(polling.start());
        std::unique_ptr<DeviceInterface>& gateway = polling.gateway;
        std::atomic<device_t>& handle = polling.handle;
        const bool& held = polling.held;
        const auto release = [&polling] { QVERIFY(polling.release()); };
        GatewayWaits waits;
        std::atomic<qint64> clock{0};
        std::atomic<uint64_t> reopenings{0};
        QStringList got;
        QStringList early;
        std::thread closing;
        const auto closed = qScopeGuard([&closing] {
            if (closing.joinable())
                closing.join();
        });
        // This thread's model: only the replies touch it.
        MotorSettings model(&handle, gateway.get());
        model.engine.NomSpeed = 4321;
        {
            AxisCourier courier(gateway.get(), &handle, QStringLiteral("SN 1"), [&clock] { return clock.load(); });
            courier.followReopenings(&reopenings);
            std::atomic<bool> finished{false};
            for (const QString& step : sent.split(' ')) {
                const auto reply = [&got, step](result_t result) { got << QStringLiteral("%1 %2").arg(step).arg(result); };
                const auto stopCommand = [](DeviceInterface& device, device_t id) { return device.command_stop(id); };
                if (step.startsWith('+')) {
                    clock += step.mid(1).toLongLong();
                    courier.watchWaits();
                } else if (step.startsWith("force:")) {
                    const QStringList force = step.split(':');
                    QCOMPARE(trovsim_force_result(axis, force[1].toLatin1().constData(), force[2].toInt(), force[3].toInt()), 0);
                } else if (step == "reuse") {
                    trovsim_reuse_handles(1);
                } else if (step == "lose") {
                    QCOMPARE(trovsim_unplug(axis), 0);
                } else if (step == "release") {
                    release();
                    // What was under way has gone, or has been tried.
                    QTRY_VERIFY_WITH_TIMEOUT(courier.idle() || courier.awaitsController() || attempted(), scaledMs(5000));
                } else if (step == "idle") {
                    QTRY_VERIFY_WITH_TIMEOUT(courier.idle(), scaledMs(5000));
                } else if (step == "closing") {
                    closing = std::thread([&courier, &finished] { finished = courier.finish(scaledMs(5000)); });
                    // What the close dropped is told before it waits for the stops.
                    QTRY_VERIFY_WITH_TIMEOUT(!(early += takeLogMessages(polling.log)).isEmpty(), scaledMs(5000));
                } else if (step == "read") {
                    auto read = std::make_shared<ReconnectRead>(ReconnectRead::What::Settings, ControllerIdentity(), model);
                    courier.send(
                        AxisCourier::Kind::Command, QStringLiteral("Reading the settings"),
                        [read, &handle](DeviceInterface& device, device_t) { return read->run(device, handle); }, nullptr,
                        [&got, &model, read](result_t result) {
                            model.takeBasicRecordsRead(read->settings);
                            const bool valid = model.valid[MotorSettings::EngineRecord];
                            const bool changed = model.engine.NomSpeed != 4321;
                            got << QStringLiteral("read %1 %2").arg(result).arg(valid && changed ? "taken"
                                                                                : !valid && !changed ? "kept"
                                                                                                     : "mixed");
                        });
                } else if (step == "close") {
                    gateway->close_device(handle.exchange(-1));
                    // A stop under way finds the controller gone.
                    QTRY_VERIFY_WITH_TIMEOUT(courier.idle() || courier.awaitsController(), scaledMs(5000));
                } else if (step == "reopen") {
                    release();
                    QCOMPARE(trovsim_plug(axis, 0), 0);
                    const device_t id = gateway->open_device(axis);
                    QVERIFY(id != -1);
                    handle.store(id);
                    ++reopenings;
                } else if (step == "STOP") {
                    courier.send(AxisCourier::Kind::Stop, QStringLiteral("Stop"), stopCommand, nullptr, reply);
                } else if (step == "Soft") {
                    courier.send(AxisCourier::Kind::SoftStop, QStringLiteral("Soft stop"),
                                 [](DeviceInterface& device, device_t id) {
                                     return MotionRules::softStopNow(device, id, MotionRules::SoftStopAction::SoftStop);
                                 },
                                 nullptr, reply);
                } else if (step == "key") {
                    courier.send(AxisCourier::Kind::Release, QStringLiteral("Jog release"),
                                 [](DeviceInterface& device, device_t id) { return device.command_sstp(id); }, nullptr, reply);
                } else if (step == "jog") {
                    courier.send(AxisCourier::Kind::Motion, QStringLiteral("Jog left"),
                                 [](DeviceInterface& device, device_t id) { return device.command_left(id); }, nullptr, reply);
                } else {
                    const bool move = step == "move";
                    courier.send(move ? AxisCourier::Kind::Motion : AxisCourier::Kind::Command,
                                 move ? QStringLiteral("Move to") : QStringLiteral("Zero"),
                                 [move](DeviceInterface& device, device_t id) {
                                     return move ? device.command_move(id, 100, 0) : device.command_zero(id);
                                 },
                                 nullptr, reply);
                }
                // The first command is under way, waiting for the gateway or the controller, or
                // tried again; with no controller open, a stop waits for it.
                QTRY_VERIFY_WITH_TIMEOUT(courier.idle() || courier.awaitsController() || courier.isFinished() ||
                                             (handle.load() != -1 && (held ? GatewayWaits::count() > 0 : attempted())),
                                         scaledMs(5000));
            }
            QFETCH(bool, finish);
            if (finish)
                QVERIFY(courier.finish(50));
            release();
            if (closing.joinable()) {
                closing.join();
                QVERIFY(finished);
            }
            QTRY_VERIFY_WITH_TIMEOUT(courier.idle(), scaledMs(5000));
            QVERIFY(courier.finish(scaledMs(5000)));
            // Every command gets its reply on this thread.
            QFETCH(QStringList, replies);
            QTRY_COMPARE_WITH_TIMEOUT(got, replies, scaledMs(5000));
        }
        QTEST(taken(), "taken");
        QStringList lines = early + takeLogMessages(polling.log);
        // Every line of the courier names the axis first, then what it is about, and writes
        // seconds one way.
        for (const QString& line : lines) {
            QVERIFY2(QRegularExpression(QStringLiteral("^SN 1: [A-Z]")).match(line).hasMatch(), qPrintable(line));
            QVERIFY2(!QRegularExpression(QStringLiteral("\\d\\.0 s")).match(line).hasMatch(), qPrintable(line));
        }
        QFETCH(QStringList, logged);
        // The courier's thread and this one log in an order of their own.
        lines.sort();
        logged.sort();
        QCOMPARE(lines, logged);
        closeAndRelease(gateway, handle);
    }

    // A status read holds the gateway; polling goes on with its tick's next call the moment it
    // ends, or another thread (enumeration, a script) queued for the gateway before the STOP.
    void stopGoesFirstWhenTheHeldCallEnds_data()
    {
        QTest::addColumn<bool>("pollingGoesOn");
        QTest::addColumn<bool>("queuedBefore");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("before polling's next call")
            << true << false << QStringList{"get_status", "command_stop", "get_chart_data"};
        QTest::newRow("before a call queued earlier")
            << false << true << QStringList{"get_status", "command_stop", "get_serial_number"};
    }
    void stopGoesFirstWhenTheHeldCallEnds()
    {
        QFETCH(bool, pollingGoesOn);
        QFETCH(bool, queuedBefore);
        HeldStatusRead polling;
        QVERIFY(polling.start([&polling, pollingGoesOn] {
            chart_data_t chart{};
            if (pollingGoesOn)
                polling.gateway->get_chart_data(polling.handle.load(), &chart);
        }));
        std::unique_ptr<DeviceInterface>& gateway = polling.gateway;
        std::atomic<device_t>& handle = polling.handle;
        std::thread queued;
        const auto ended = qScopeGuard([&queued] {
            if (queued.joinable())
                queued.join();
        });
        GatewayWaits waits;
        if (queuedBefore) {
            queued = std::thread([&] {
                const DeviceInterface::LockWait patient{QDeadlineTimer(QDeadlineTimer::Forever)};
                uint32_t serial = 0;
                gateway->get_serial_number(handle.load(), &serial);
            });
            QTRY_COMPARE_WITH_TIMEOUT(GatewayWaits::count(), 1, scaledMs(5000));
        }
        {
            AxisCourier courier(gateway.get(), &handle, QStringLiteral("SN 1"));
            courier.send(AxisCourier::Kind::Stop, QStringLiteral("Stop"),
                         [](DeviceInterface& device, device_t id) { return device.command_stop(id); });
            QTRY_COMPARE_WITH_TIMEOUT(GatewayWaits::count(), queuedBefore ? 2 : 1, scaledMs(5000));
            QVERIFY(polling.release());
            QTRY_VERIFY_WITH_TIMEOUT(courier.idle(), scaledMs(5000));
        }
        if (queued.joinable())
            queued.join();
        QTEST(calls(), "order");
        QCOMPARE(takeLogMessages(polling.log), QStringList{});
        closeAndRelease(gateway, handle);
    }
};

QTEST_GUILESS_MAIN(TestAxisCourier)
#include "tst_axiscourier.moc"
