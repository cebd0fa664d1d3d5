#include <QElapsedTimer>
#include "support/TestTime.h"
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <thread>

#include "device/DeviceInterface.h"
#include "tests/support/GatewayWaits.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

int calls(const char* function) { return trovsim_call_count(axis, function); }

} // namespace

// Replaces the device once, right after the library told the mode of the old one.
class ReopeningGateway : public DeviceInterface
{
public:
    std::function<void()> meanwhile;

protected:
    void modeAnswered(int) override
    {
        if (auto work = std::exchange(meanwhile, nullptr))
            work();
    }
};

// Lives in the GUI thread; its slots prove that queued signals from workers arrive intact.
class SignalReceiver : public QObject
{
    Q_OBJECT
public:
    QList<QPair<QByteArray, int>> errors;
    QList<Qt::HANDLE> threads;
public slots:
    void onError(const char* name, result_t result)
    {
        errors.append(qMakePair(QByteArray(name), int(result)));
        threads.append(QThread::currentThreadId());
    }
};

class TestDeviceInterface : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
        trovsim_clock_manual(1);
        trovsim_clear_faults();
        gateway = new DeviceInterface;
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
        QCOMPARE(gateway->handle(), handle);
    }

    void cleanup()
    {
        trovsim_clear_faults();
        if (handle != -1)
            gateway->close_device(handle);
        delete gateway;
        gateway = nullptr;
        handle = -1;
    }

    void heldLockFailsFastWithoutReachingTheLibrary()
    {
        QCOMPARE(trovsim_force_result(axis, "get_serial_number", -2, 1), 0);
        uint32_t serial = 0;
        QCOMPARE(gateway->get_serial_number(handle, &serial), -2);
        QCOMPARE(gateway->lastResult(), -2);

        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        std::atomic<result_t> heldResult{99};
        std::thread holder([&] {
            status_t status;
            heldResult = gateway->get_status(handle, &status);
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);

        auto waits = std::make_unique<GatewayWaits>();
        // A close must wait for the lock however long it takes, never be given up.
        std::atomic<result_t> closeResult{99};
        std::thread closer([&] { closeResult = gateway->close_device(handle); });

        QElapsedTimer waited;
        waited.start();
        status_t status;
        const result_t blocked = gateway->get_status(handle, &status);
        const qint64 blockedMs = waited.elapsed();
        QCOMPARE(gateway->enumerate_devices(ENUMERATE_PROBE), nullptr);
        waits.reset();
        trovsim_release_call(axis, "get_status");
        holder.join();
        closer.join();

        QCOMPARE(blocked, -1);
        QVERIFY2(blockedMs >= 900 && blockedMs < 3000, qPrintable(QString::number(blockedMs)));
        QCOMPARE(GatewayWaits::count(), 3); // once per waiting call: the close, the status and the enumeration
        QCOMPARE(calls("get_status"), 1);
        QCOMPARE(calls("enumerate_devices"), 0);
        QCOMPARE(heldResult.load(), 0);
        QCOMPARE(closeResult.load(), 0);
        QCOMPARE(calls("close_device"), 1);
        handle = -1;
    }

    // A caller waiting for the gateway gets it before one that came after it: polling's reads
    // back to back do not keep the window's command out until its wait ends.
    void waitersAreServedInTurn()
    {
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        QCOMPARE(trovsim_delay_call(axis, "get_status", 50, 30), 0);
        std::thread poller([this] {
            for (int i = 0; i < 30; ++i) {
                status_t status;
                gateway->get_status(handle, &status);
            }
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
        std::atomic<result_t> saved{99};
        auto waits = std::make_unique<GatewayWaits>();
        std::thread window([&] { saved = gateway->command_save_settings(handle); });
        QTRY_COMPARE_WITH_TIMEOUT(GatewayWaits::count(), 1, 5000);
        waits.reset();
        trovsim_journal_clear();
        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        window.join();
        poller.join();
        QCOMPARE(saved.load(), result_ok);
        QStringList order;
        for (int i = 0; i < trovsim_journal_size() && order.size() < 3; ++i) {
            trovsim_call_t call{};
            if (trovsim_journal_entry(i, &call) == 0)
                order << QString::fromLatin1(call.function);
        }
        QCOMPARE(order, (QStringList{"get_status", "command_save_settings", "get_status"}));
    }

    void valueErrorsWarnOnlyFromRecordSetters_data()
    {
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<QByteArray>("signalName");
        QTest::addColumn<bool>("warning");
#define ROW(name)                                                                 \
    QTest::newRow("set_" #name) << QByteArray("set_" #name) << QByteArray("set_" #name) << true; \
    QTest::newRow("get_" #name) << QByteArray("get_" #name) << QByteArray("get_" #name) << false;
        DEVICE_INTERFACE_RECORDS(ROW)
#undef ROW
#define ROW(name) QTest::newRow(#name) << QByteArray(#name) << QByteArray(#name) << false;
        DEVICE_INTERFACE_COMMANDS(ROW)
#undef ROW
        QTest::newRow("set_position") << QByteArray("set_position") << QByteArray("command_setposition") << false;
        QTest::newRow("get_position") << QByteArray("get_position") << QByteArray("command_getposition") << false;
        QTest::newRow("service_command_updf") << QByteArray("service_command_updf") << QByteArray("command_updf")
                                              << false;
        QTest::newRow("set_serial_number") << QByteArray("set_serial_number") << QByteArray("set_serial_number")
                                           << false;
        QTest::newRow("write_key") << QByteArray("write_key") << QByteArray("write_key") << false;
        QTest::newRow("command_move") << QByteArray("command_move") << QByteArray("command_move") << false;
        QTest::newRow("get_status") << QByteArray("get_status") << QByteArray("get_status") << false;
    }

    void valueErrorsWarnOnlyFromRecordSetters()
    {
        QFETCH(QByteArray, function);
        QFETCH(QByteArray, signalName);
        QFETCH(bool, warning);

        QSignalSpy errors(gateway, &DeviceInterface::errorSignal);
        QSignalSpy warnings(gateway, &DeviceInterface::warningSignal);
        const char* dev = function == "write_key" ? nullptr : axis;
        if (function == "write_key") {
            // The key is written by name with the device closed.
            QCOMPARE(gateway->close_device(handle), 0);
            handle = -1;
        }
        QCOMPARE(trovsim_force_result(dev, function.constData(), -3, 1), 0);
        QCOMPARE(call(function), -3);
        QCOMPARE(gateway->lastResult(), -3);

        QSignalSpy& hit = warning ? warnings : errors;
        QSignalSpy& quiet = warning ? errors : warnings;
        QCOMPARE(hit.count(), 1);
        QCOMPARE(quiet.count(), 0);
        QCOMPARE(QByteArray(hit.at(0).at(0).value<const char*>()), signalName);
        QCOMPARE(hit.at(0).at(1).toInt(), -3);

        // The same call answered with -1 is an error for everyone; answered with 0, silence.
        QCOMPARE(trovsim_force_result(dev, function.constData(), -1, 1), 0);
        QCOMPARE(call(function), -1);
        QCOMPARE(errors.count(), warning ? 1 : 2);
        QCOMPARE(QByteArray(errors.last().at(0).value<const char*>()), signalName);
        QCOMPARE(trovsim_force_result(dev, function.constData(), 0, 1), 0);
        QCOMPARE(call(function), 0);
        QCOMPARE(errors.count() + warnings.count(), 2);
    }

    void recordsReachTheLibraryUnchanged()
    {
        move_settings_t move;
        std::memset(&move, 0, sizeof move);
        QCOMPARE(gateway->get_move_settings(handle, &move), 0);
        QVERIFY(move.Speed != 0);
        QCOMPARE(gateway->set_move_settings(handle, &move), 0);
        move_settings_t again;
        QCOMPARE(gateway->get_move_settings(handle, &again), 0);
        QCOMPARE(std::memcmp(&move, &again, sizeof move), 0);

        // A corrected value comes back as a warning and the corrected record is readable.
        QSignalSpy warnings(gateway, &DeviceInterface::warningSignal);
        move.Accel = 0;
        QCOMPARE(gateway->set_move_settings(handle, &move), -3);
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(gateway->get_move_settings(handle, &again), 0);
        QVERIFY(again.Accel > 0);
    }

    void errorsFromWorkersArriveQueuedWithTheirNames()
    {
        SignalReceiver receiver;
        QVERIFY(connect(gateway, SIGNAL(errorSignal(const char*, result_t)), &receiver,
                        SLOT(onError(const char*, result_t))));
        QCOMPARE(trovsim_force_result(axis, "set_position", -1, 1), 0);
        std::thread worker([&] {
            set_position_t position;
            std::memset(&position, 0, sizeof position);
            gateway->set_position(handle, position);
        });
        worker.join();
        QTRY_COMPARE_WITH_TIMEOUT(receiver.errors.count(), 1, scaledMs(5000));
        QCOMPARE(receiver.errors.at(0).first, QByteArray("command_setposition"));
        QCOMPARE(receiver.errors.at(0).second, -1);
        QCOMPARE(receiver.threads.at(0), QThread::currentThreadId());
    }

    void serialNumberCarriesTheKeyWidened()
    {
        uint8_t key[32];
        for (int i = 0; i < 32; ++i)
            key[i] = uint8_t(255 - i);
        // A key that does not match leaves the serial as it was but is accepted.
        QCOMPARE(gateway->set_serial_number(handle, 4242, key), 0);
        QCOMPARE(calls("set_serial_number"), 1);
    }

    void modeIsCachedPerGatewayUntilOpenOrClose()
    {
        const int before = calls("get_device_information");
        QCOMPARE(gateway->getMode(-1), 0);
        QCOMPARE(calls("get_device_information"), before);

        QCOMPARE(gateway->getMode(handle), 2);
        QCOMPARE(gateway->getMode(handle + 100), 2); // the cache ignores the handle
        QCOMPARE(calls("get_device_information"), before + 1);
        QCOMPARE(gateway->getMode(-1), 0);

        // A failed close still forgets the mode.
        QCOMPARE(trovsim_force_result(axis, "close_device", -1, 1), 0);
        QSignalSpy errors(gateway, &DeviceInterface::errorSignal);
        QCOMPARE(gateway->close_device(handle), -1);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(QByteArray(errors.at(0).at(0).value<const char*>()), QByteArray("close_device"));
        QCOMPARE(gateway->getMode(handle), 2);
        QCOMPARE(calls("get_device_information"), before + 2);
    }

    void failedModeReadIsNotCached()
    {
        QCOMPARE(trovsim_force_result(axis, "get_device_information", -1, 1), 0);
        QCOMPARE(gateway->getMode(handle), 0);
        QCOMPARE(gateway->getMode(handle), 2);
    }

    void openFailureIsSilent()
    {
        QSignalSpy errors(gateway, &DeviceInterface::errorSignal);
        DeviceInterface other;
        QCOMPARE(other.open_device("sim:nosuchaxis"), -1);
        QCOMPARE(other.open_device(axis), -1); // already open in this process
        QCOMPARE(errors.count(), 0);
    }

    void bootloaderSeenAfterReopenDespiteConcurrentReaders()
    {
        // The gateway alternates between a controller in its firmware and one in its bootloader
        // while readers race every close and open: a mode read from the old handle is never kept.
        const char* const booting = "sim:axis2";
        QCOMPARE(trovsim_enter_bootloader(booting, 1), 0);
        trovsim_advance_ms(10000);
        std::atomic<bool> stop{false};
        std::atomic<device_t> shared{handle};
        auto reader = [&] {
            while (!stop)
                gateway->getMode(shared.load());
        };
        std::thread readers[] = {std::thread(reader), std::thread(reader), std::thread(reader)};
        int wrong = 0;
        int round = 0;
        for (; round < 20000 && wrong == 0; ++round) {
            const bool boot = round % 2 == 0;
            gateway->close_device(shared.exchange(-1));
            const device_t reopened = gateway->open_device(boot ? booting : axis);
            shared = reopened;
            wrong += reopened == -1 || gateway->getMode(reopened) != (boot ? 1 : 2);
        }
        stop = true;
        for (std::thread& one : readers)
            one.join();
        handle = shared.load();
        QVERIFY2(wrong == 0, qPrintable(QString("wrong mode in round %1").arg(round)));
    }

    void modeOfTheOldHandleIsNotKeptAfterReopen()
    {
        cleanup(); // this test has a gateway of its own
        QCOMPARE(trovsim_enter_bootloader("sim:axis2", 1), 0);
        trovsim_advance_ms(10000);
        ReopeningGateway reopening;
        device_t id = reopening.open_device(axis);
        reopening.meanwhile = [&] {
            reopening.close_device(id);
            id = reopening.open_device("sim:axis2");
        };
        QCOMPARE(reopening.getMode(id), 2); // the old handle's own answer
        QVERIFY(id != -1);
        QCOMPARE(reopening.getMode(id), 1);
        reopening.close_device(id);
    }

    void signalsComeAfterTheLockIsFree()
    {
        // A slot connected directly may use the gateway at once.
        result_t inner = 99;
        qint64 innerMs = -1;
        connect(gateway, &DeviceInterface::errorSignal, this, [&](const char*, result_t) {
            if (inner != 99)
                return;
            QElapsedTimer took;
            took.start();
            uint32_t serial = 0;
            inner = gateway->get_serial_number(handle, &serial);
            innerMs = took.elapsed();
        }, Qt::DirectConnection);
        QCOMPARE(trovsim_force_result(axis, "get_status", -2, 1), 0);
        status_t status;
        QCOMPARE(gateway->get_status(handle, &status), -2);
        QCOMPARE(inner, 0);
        QVERIFY2(innerMs < 500, qPrintable(QString::number(innerMs)));
        QCOMPARE(gateway->lastResult(), 0);
    }

private:
    result_t call(const QByteArray& function)
    {
        uint8_t key[32] = {};
        alignas(8) char buffer[1024];
        std::memset(buffer, 0, sizeof buffer);
#define CALL_RECORD(name)                                                        \
    if (function == "get_" #name)                                                \
        return gateway->get_##name(handle, reinterpret_cast<name##_t*>(buffer));  \
    if (function == "set_" #name)                                                \
        return gateway->set_##name(handle, reinterpret_cast<name##_t*>(buffer));
        DEVICE_INTERFACE_RECORDS(CALL_RECORD)
#undef CALL_RECORD
#define CALL_COMMAND(name) \
    if (function == #name) \
        return gateway->name(handle);
        DEVICE_INTERFACE_COMMANDS(CALL_COMMAND)
#undef CALL_COMMAND
        if (function == "set_position") {
            set_position_t position;
            std::memset(&position, 0, sizeof position);
            return gateway->set_position(handle, position);
        }
        if (function == "get_position")
            return gateway->get_position(handle, reinterpret_cast<get_position_t*>(buffer));
        if (function == "service_command_updf")
            return gateway->service_command_updf(handle);
        if (function == "set_serial_number")
            return gateway->set_serial_number(handle, 1, key);
        if (function == "write_key")
            return gateway->write_key(axis, key);
        if (function == "command_move")
            return gateway->command_move(handle, 10, 0);
        if (function == "get_status")
            return gateway->get_status(handle, reinterpret_cast<status_t*>(buffer));
        qFatal("no such call in the test: %s", function.constData());
        return 0;
    }

    DeviceInterface* gateway = nullptr;
    device_t handle = -1;
};

QTEST_GUILESS_MAIN(TestDeviceInterface)
#include "tst_deviceinterface.moc"
