#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include "device/DeviceInterface.h"
#include "device/StopCourier.h"
#include "log/MessageLog.h"
#include "support/GatewayWaits.h"
#include "support/SimulatedAxis.h"
#include "tests/settings_model/SettingsTestSupport.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

StopCourier::Command call(result_t (DeviceInterface::*command)(device_t))
{
    return [command](DeviceInterface& gateway, device_t id) { return (gateway.*command)(id); };
}

// The motion commands that reached the controller and succeeded, "command_" left out.
QStringList sent()
{
    QStringList out;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t entry{};
        if (trovsim_journal_entry(i, &entry) == 0 && QByteArray(entry.function).startsWith("command_") &&
            entry.result == 0)
            out << QString::fromLatin1(entry.function + 8);
    }
    return out;
}

} // namespace

// The courier of one axis against a gateway that another thread holds in a slow status read,
// as polling does: what goes out, when, and what the log is told.
class TestStopCourier : public QObject
{
    Q_OBJECT

private slots:
    // Steps: "stop", "sstp", "power_off" sent; "release" ends the held read; "unplug";
    // "finish" ends the courier while the read still holds the gateway.
    void commandsWaitForTheGateway_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("sentAtLast");
        QTest::addColumn<QString>("logged");
        QTest::newRow("the newest of those waiting goes")
            << QStringList{"sstp", "power_off", "stop", "release"} << QStringList{"sstp", "stop"} << "";
        QTest::newRow("lost") << QStringList{"stop", "unplug", "release"} << QStringList{}
                              << "SN 1: Stop was not sent: the controller was lost.";
        QTest::newRow("held past the end") << QStringList{"stop", "finish", "release"} << QStringList{}
                                           << "SN 1: Stop was not sent: the window closed while the controller "
                                              "was busy.";
    }
    void commandsWaitForTheGateway()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, logged);
        MessageLog log;
        messageLog = &log;
        std::unique_ptr<DeviceInterface> gateway;
        std::atomic<device_t> handle{openOnFreshSimulator(gateway, axis)};
        QVERIFY(handle != -1);
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        std::thread poller([&] {
            status_t state;
            gateway->get_status(handle.load(), &state);
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
        trovsim_journal_clear();
        GatewayWaits waits;
        StopCourier courier(gateway.get(), &handle, QStringLiteral("SN 1"));
        for (const QString& step : steps) {
            if (step == "release") {
                QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
            } else if (step == "unplug") {
                QCOMPARE(trovsim_unplug(axis), 0);
                // As polling does once its read finds the controller gone.
                handle.store(-1);
            } else if (step == "finish") {
                QVERIFY(courier.finish(50));
            } else {
                const bool first = step == steps.first();
                courier.send(QStringLiteral("Stop"), call(step == "stop"   ? &DeviceInterface::command_stop
                                                          : step == "sstp" ? &DeviceInterface::command_sstp
                                                                           : &DeviceInterface::command_power_off));
                // The send's own try, then the courier's wait: the first command is under way.
                if (first)
                    QTRY_COMPARE_WITH_TIMEOUT(GatewayWaits::count(), 2, 5000);
            }
        }
        poller.join();
        QTRY_VERIFY_WITH_TIMEOUT(courier.idle(), 5000);
        QTEST(sent(), "sentAtLast");
        QVERIFY(courier.finish(5000));
        messageLog = nullptr;
        QCOMPARE(takeLogMessages(log), logged.isEmpty() ? QStringList() : QStringList(logged));
        closeAndRelease(gateway, handle);
    }
};

QTEST_GUILESS_MAIN(TestStopCourier)
#include "tst_stopcourier.moc"
