#include <QSignalSpy>
#include "support/TestTime.h"
#include <QTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "device/DeviceInterface.h"
#include "device/DeviceThread.h"
#include "tests/device/PollingTestSupport.h"
#include "trovsim.h"

namespace {

QStringList debugLines;
QtMessageHandler previousHandler = nullptr;

// A search writes nothing to the error output.
void keepFoundLines(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg)
        debugLines.append(text);
    else if (previousHandler)
        previousHandler(type, context, text);
}

int callsOf(const char* function)
{
    int n = 0;
    for (const trovsim_call_t& call : journal())
        n += isCall(call, function);
    return n;
}

} // namespace

// Receives the lists queued in the test's thread, as the search window does.
class ListReceiver : public QObject
{
    Q_OBJECT
public:
    int received = 0;
    QList<uint32_t> serials;
    QList<Qt::ItemFlags> flags;
public slots:
    void onFinished(QStringList, QStringList, QList<uint32_t> s, QList<Qt::ItemFlags> f)
    {
        ++received;
        serials = s;
        flags = f;
    }
};

class TestDeviceThread : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        trovsim_clock_manual(1);
        trovsim_clear_faults();
        debugLines.clear();
        previousHandler = qInstallMessageHandler(keepFoundLines);
    }

    void cleanup()
    {
        qInstallMessageHandler(previousHandler);
        trovsim_clear_faults();
    }

    void noControllerGivesFourEmptyLists()
    {
        QCOMPARE(trovsim_reset("none", ""), 0);
        QList<QVariant> result;
        QVERIFY(search(&result));
        QVERIFY(result.at(0).toStringList().isEmpty());
        QVERIFY(result.at(1).toStringList().isEmpty());
        QVERIFY(result.at(2).value<QList<uint32_t>>().isEmpty());
        QVERIFY(result.at(3).value<QList<Qt::ItemFlags>>().isEmpty());
        QCOMPARE(debugLines, QStringList());
    }

    void deviceHeldElsewhereIsListedUnreadable()
    {
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
        QCOMPARE(trovsim_set_busy("sim:axis2", 1), 0);
        QList<QVariant> result;
        QVERIFY(search(&result));
        const QStringList names = result.at(0).toStringList();
        const QStringList descriptions = result.at(1).toStringList();
        const auto serials = result.at(2).value<QList<uint32_t>>();
        const auto flags = result.at(3).value<QList<Qt::ItemFlags>>();
        QCOMPARE(names, QStringList() << "sim:axis1" << "sim:axis2" << "sim:axis3");
        QCOMPARE(descriptions.size(), 3);
        QCOMPARE(serials.size(), 3);
        QCOMPARE(flags.size(), 3);
        QCOMPARE(descriptions.at(0), QString("1. TROV s/n: SM10001 on sim:axis1"));
        QCOMPARE(serials.at(0), 10001u);
        QCOMPARE(int(flags.at(0)), 0x31);
        QCOMPARE(descriptions.at(1), QString("2. sim:axis2"));
        QCOMPARE(serials.at(1), 0u);
        QCOMPARE(int(flags.at(1)), 0);
        QCOMPARE(descriptions.at(2), QString("3. TROV s/n: SM10003 on sim:axis3"));
        QCOMPARE(debugLines, QStringList());
    }

    void listsArriveQueuedInTheReceiversThread()
    {
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
        DeviceInterface gateway;
        DeviceThread thread(this, &gateway, ENUMERATE_PROBE);
        QVERIFY(!thread.parent());
        ListReceiver receiver;
        QVERIFY(connect(&thread, SIGNAL(finished(QStringList, QStringList, QList<uint32_t>, QList<Qt::ItemFlags>)),
                        &receiver, SLOT(onFinished(QStringList, QStringList, QList<uint32_t>, QList<Qt::ItemFlags>))));
        thread.start();
        QVERIFY(thread.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.received, 1, scaledMs(5000));
        QCOMPARE(receiver.serials, QList<uint32_t>() << 10001u << 10002u << 10003u);
        QCOMPARE(receiver.flags.size(), 3);
    }

    void stopBeforeTheFirstDeviceEmitsNothing()
    {
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
        trovsim_journal_clear();
        DeviceInterface gateway;
        DeviceThread thread(nullptr, &gateway, ENUMERATE_PROBE);
        QSignalSpy spy(&thread, &DeviceThread::finished);
        thread.stopRequest = true;
        thread.start();
        QVERIFY(thread.wait(10000));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(callsOf("get_enumerate_device_serial"), 0);
        QCOMPARE(callsOf("free_enumerate_devices"), 1);
    }

    void searchesReleaseTheirEnumerations()
    {
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
        trovsim_journal_clear();
        DeviceInterface gateway;
        DeviceThread thread(nullptr, &gateway, ENUMERATE_PROBE);
        QSignalSpy spy(&thread, &DeviceThread::finished);
        // The same object runs again for every search.
        for (int i = 0; i < 50; ++i) {
            thread.start();
            QVERIFY(thread.wait(10000));
        }
        QCOMPARE(spy.count(), 50);
        int enumerated = 0, released = 0;
        for (const trovsim_call_t& call : journal()) {
            enumerated += isCall(call, "enumerate_devices");
            released += isCall(call, "free_enumerate_devices") && call.result == 0;
        }
        QCOMPARE(enumerated, 50);
        QCOMPARE(released, 50);
    }

    void busyGatewayCountsAsNoDevice()
    {
        // The gateway cannot be had for a second: the enumeration handle is null.
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
        DeviceInterface gateway;
        const device_t id = gateway.open_device("sim:axis1");
        QVERIFY(id != -1);
        QCOMPARE(trovsim_hold_call("sim:axis1", "get_status"), 0);
        std::thread holder([&] {
            status_t status;
            gateway.get_status(id, &status);
        });
        QCOMPARE(trovsim_wait_held("sim:axis1", "get_status", 5000), 0);
        trovsim_journal_clear();
        QList<QVariant> result;
        const bool searched = search(&result, &gateway);
        QCOMPARE(trovsim_release_call("sim:axis1", "get_status"), 0);
        holder.join();
        gateway.close_device(id);

        QVERIFY(searched);
        QVERIFY(result.at(0).toStringList().isEmpty());
        QVERIFY(result.at(1).toStringList().isEmpty());
        QCOMPARE(callsOf("enumerate_devices"), 0);
        // Only the gateway's one note of its lock held too long.
        QCOMPARE(debugLines, QStringList{"DeviceInterface::lock() Mutex is already locked!"});
    }

    void cleanPortNameDropsDotsAndBackslashes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("clean");
        QTest::newRow("plain") << QByteArray("sim:axis1") << QString("sim:axis1");
        QTest::newRow("windows port") << QByteArray("\\\\.\\COM3") << QString("COM3");
        QTest::newRow("dots inside") << QByteArray("xi-com:/dev/tty.usb.0") << QString("xi-com:/dev/ttyusb0");
        QTest::newRow("only dots") << QByteArray("..\\..") << QString();
        QTest::newRow("empty") << QByteArray("") << QString();
    }

    void cleanPortNameDropsDotsAndBackslashes()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, clean);
        QCOMPARE(DeviceThread::cleanPortName(name.constData()), clean);
    }

    void cleanPortNameIsBounded()
    {
        QCOMPARE(DeviceThread::cleanPortName(nullptr), QString());
        // No terminating NUL within the first 256 characters: only those are read.
        char unterminated[300];
        std::memset(unterminated, 'x', sizeof unterminated);
        QCOMPARE(DeviceThread::cleanPortName(unterminated).size(), 256);
    }

private:
    // One search with a fresh thread; keeps the arguments of its one signal.
    static bool search(QList<QVariant>* result, DeviceInterface* gateway = nullptr)
    {
        std::unique_ptr<DeviceInterface> own;
        if (!gateway) {
            own = std::make_unique<DeviceInterface>();
            gateway = own.get();
        }
        DeviceThread thread(nullptr, gateway, ENUMERATE_PROBE);
        QSignalSpy spy(&thread, &DeviceThread::finished);
        thread.start();
        if (!thread.wait(10000) || spy.count() != 1)
            return false;
        *result = spy.at(0);
        return result->size() == 4;
    }
};

QTEST_GUILESS_MAIN(TestDeviceThread)
#include "tst_devicethread.moc"
