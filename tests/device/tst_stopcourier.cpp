#include <QScopeGuard>
#include <QTest>

#include <thread>

#include "device/StopCourier.h"
#include "support/GatewayWaits.h"
#include "support/SimulatedAxis.h"
#include "tests/settings_model/SettingsTestSupport.h"

static const char* const axis = "sim:axis1";

// One axis' courier against a gateway that another thread holds in a slow status read, as
// polling does: what goes out, when, and what the log is told.
class TestStopCourier : public QObject
{
    Q_OBJECT

private slots:
    // Commands sent in turn, then the read ends; "finish": the courier ends first.
    void commandsWaitForTheGateway_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<bool>("finish");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("logged");
        QTest::newRow("the newest of those waiting goes") << "sstp power_off stop" << false << QStringList{"sstp", "stop"} << "";
        QTest::newRow("held past the end")
            << "stop" << true << QStringList{} << "SN 1: Stop was not sent: the window closed while the controller was busy.";
    }
    void commandsWaitForTheGateway()
    {
        QFETCH(QString, sent);
        QFETCH(QString, logged);
        MessageLog log;
        messageLog = &log;
        std::unique_ptr<DeviceInterface> gateway;
        std::atomic<device_t> handle{openOnFreshSimulator(gateway, axis)};
        QVERIFY(handle != -1);
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        std::thread poller([&] { status_t state{}; gateway->get_status(handle.load(), &state); });
        const auto ended = qScopeGuard([&] { // a failed row too
            messageLog = nullptr;
            trovsim_clear_faults();
            if (poller.joinable())
                poller.join();
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
        trovsim_journal_clear();
        GatewayWaits waits;
        StopCourier courier(gateway.get(), &handle, QStringLiteral("SN 1"));
        for (const QString& name : sent.split(' ')) {
            courier.send(QStringLiteral("Stop"), [name](DeviceInterface& device, device_t id) {
                return name == "stop" ? device.command_stop(id) : name == "sstp" ? device.command_sstp(id) : device.command_power_off(id);
            });
            // The send's own try, then the courier's wait: the first command is under way.
            QTRY_COMPARE_WITH_TIMEOUT(GatewayWaits::count(), 2, 5000);
        }
        QFETCH(bool, finish);
        if (finish)
            QVERIFY(courier.finish(50));
        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        poller.join();
        QTRY_VERIFY_WITH_TIMEOUT(courier.idle(), 5000);
        QFETCH(QStringList, taken);
        for (const QString name : {"stop", "sstp", "power_off"})
            QCOMPARE(trovsim_call_count(axis, qPrintable("command_" + name)), int(taken.contains(name)));
        QVERIFY(courier.finish(5000));
        QCOMPARE(takeLogMessages(log), logged.isEmpty() ? QStringList() : QStringList(logged));
        closeAndRelease(gateway, handle);
    }
};

QTEST_GUILESS_MAIN(TestStopCourier)
#include "tst_stopcourier.moc"
