#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>
#include <thread>

#include "device/DeviceInterface.h"
#include "device/SharedFlags.h"
#include "settings_model/MotorSettings.h"
#include "tests/settings_model/SettingsTestSupport.h"
#include "support/SimulatedAxis.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

const QStringList readOrder = {
    "get_entype_settings",   "get_edges_settings",    "get_secure_settings", "get_engine_settings",
    "get_move_settings",     "get_feedback_settings", "get_power_settings",  "get_brake_settings",
    "get_control_settings",  "get_joystick_settings", "get_ctp_settings",    "get_home_settings",
    "get_pid_settings",      "get_sync_in_settings",  "get_sync_out_settings", "get_uart_settings",
    "get_extio_settings",    "get_controller_name"};

QStringList writeOrder()
{
    QStringList calls;
    for (const QString& get : readOrder)
        calls << QStringLiteral("set_") + get.mid(4);
    return calls;
}

bool allZero(const void* data, size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

} // namespace

class TestMotorSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dataDir.isValid());
        handle = openOnFreshSimulator(gateway, axis, dataDir.path().toUtf8().constData());
        QVERIFY(handle != -1);
        QCOMPARE(gateway->getMode(handle), 2);
        trovsim_journal_clear();
        deviceInitOk = true;
    }

    void cleanup()
    {
        closeAndRelease(gateway, handle);
        messageLog = nullptr;
        QVERIFY(pollingAllowed);
    }

    void startsEmptyWithNothingToWrite()
    {
        MotorSettings settings(&handle, gateway.get());
        QVERIFY(allZero(&settings.engine, sizeof settings.engine));
        QVERIFY(allZero(&settings.control, sizeof settings.control));
        QCOMPARE(settings.controllerName.ControllerName[0], '\0');
        for (int i = 0; i < MotorSettings::RecordCount; ++i) {
            QVERIFY(!settings.toWrite[i]);
            QVERIFY(!settings.reRead[i]);
            QVERIFY(!settings.valid[i]);
        }
        QCOMPARE(settings.handle, &handle);
        QCOMPARE(settings.gateway, gateway.get());
        // Nothing was read, so nothing may be written, even when asked.
        for (bool& flag : settings.toWrite)
            flag = true;
        QCOMPARE(settings.writeToDevice(), result_error);
        QCOMPARE(journalCalls(), QStringList());
    }

    void readsEveryRecordInDeviceOrder()
    {
        MotorSettings settings(&handle, gateway.get());
        settings.reRead[MotorSettings::PidRecord] = true;
        deviceInitOk = false;
        QCOMPARE(settings.readFromDevice(true), result_ok);
        QCOMPARE(journalCalls(), readOrder);
        // Only the set-up passes decide whether the controller set up well; a read leaves it.
        QVERIFY(!deviceInitOk);
        for (int i = 0; i < MotorSettings::RecordCount; ++i) {
            QVERIFY(settings.valid[i]);
            QVERIFY(!settings.reRead[i]);
        }
        QCOMPARE(settings.entype.EngineType, 3u);
        QCOMPARE(settings.engine.NomVoltage, 1200u);
        QCOMPARE(settings.engine.MicrostepMode, 9u);
        QCOMPARE(settings.microstepDivisor(), 256);
        QCOMPARE(settings.uart.Speed, 115200u);
        QCOMPARE(settings.control.MaxSpeed[9], 51200u);
    }

    void partialReadTakesOnlyTheFlaggedRecords()
    {
        MotorSettings settings(&handle, gateway.get());
        deviceInitOk = false;
        QCOMPARE(settings.readFromDevice(false), result_ok);
        QCOMPARE(journalCalls(), QStringList());
        QVERIFY(!deviceInitOk);

        settings.reRead[MotorSettings::ControllerNameRecord] = true;
        settings.reRead[MotorSettings::EntypeRecord] = true;
        settings.reRead[MotorSettings::HomeRecord] = true;
        QCOMPARE(settings.readFromDevice(false), result_ok);
        QCOMPARE(journalCalls(),
                 QStringList({"get_entype_settings", "get_home_settings", "get_controller_name"}));
        for (bool flag : settings.reRead)
            QVERIFY(!flag);
        QVERIFY(settings.valid[MotorSettings::HomeRecord]);
        QVERIFY(!settings.valid[MotorSettings::EngineRecord]);
    }

    void readsAreRetriedTwice()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(trovsim_force_result(axis, "get_engine_settings", -1, 2), 0);
        QCOMPARE(settings.readFromDevice(true), result_ok);
        QCOMPARE(trovsim_call_count(axis, "get_engine_settings"), 3);
        QCOMPARE(settings.engine.NomVoltage, 1200u);
        QVERIFY(settings.valid[MotorSettings::EngineRecord]);
    }

    void threeFailuresZeroOneRecordAndTheReadGoesOn()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readFromDevice(true), result_ok);
        trovsim_journal_clear();
        const int engineReads = trovsim_call_count(axis, "get_engine_settings");
        const int moveReads = trovsim_call_count(axis, "get_move_settings");
        QCOMPARE(trovsim_force_result(axis, "get_engine_settings", -1, 3), 0);
        QCOMPARE(settings.readFromDevice(true), result_error);
        QCOMPARE(trovsim_call_count(axis, "get_engine_settings"), engineReads + 3);
        QVERIFY(allZero(&settings.engine, sizeof settings.engine));
        QVERIFY(!settings.valid[MotorSettings::EngineRecord]);
        // The next record is read once, as usual.
        QCOMPARE(trovsim_call_count(axis, "get_move_settings"), moveReads + 1);
        QCOMPARE(settings.move.Accel, 2000u);
        QVERIFY(settings.valid[MotorSettings::MoveRecord]);

        // A zeroed record is never written back over the controller's.
        MessageLog log;
        messageLog = &log;
        takeLogMessages(log);
        trovsim_journal_clear();
        settings.toWrite[MotorSettings::EngineRecord] = true;
        settings.toWrite[MotorSettings::MoveRecord] = true;
        QCOMPARE(settings.writeToDevice(), result_error);
        QCOMPARE(journalCalls(), QStringList({"set_move_settings"}));
        const QStringList lines = takeLogMessages(log);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().startsWith("set_engine_settings skipped"));
    }

    void writesTheFlaggedRecordsInDeviceOrder()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readFromDevice(true), result_ok);
        trovsim_journal_clear();
        QCOMPARE(settings.writeToDevice(), result_ok);
        QCOMPARE(journalCalls(), QStringList());

        for (bool& flag : settings.toWrite)
            flag = true;
        QCOMPARE(settings.writeToDevice(), result_ok);
        QCOMPARE(journalCalls(), writeOrder());
        for (bool flag : settings.toWrite)
            QVERIFY(flag);

        trovsim_journal_clear();
        for (bool& flag : settings.toWrite)
            flag = false;
        settings.toWrite[MotorSettings::ControllerNameRecord] = true;
        settings.toWrite[MotorSettings::EdgesRecord] = true;
        settings.toWrite[MotorSettings::EntypeRecord] = true;
        QCOMPARE(settings.writeToDevice(), result_ok);
        QCOMPARE(journalCalls(),
                 QStringList({"set_entype_settings", "set_edges_settings", "set_controller_name"}));
    }

    void aCorrectedWriteIsMarkedForReading()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readFromDevice(true), result_ok);
        settings.move.Accel = 0;
        settings.toWrite[MotorSettings::MoveRecord] = true;
        trovsim_journal_clear();
        QCOMPARE(settings.writeToDevice(), result_value_error);
        QVERIFY(settings.reRead[MotorSettings::MoveRecord]);
        QCOMPARE(settings.move.Accel, 0u);

        trovsim_journal_clear();
        QCOMPARE(settings.readFromDevice(false), result_ok);
        QCOMPARE(journalCalls(), QStringList({"get_move_settings"}));
        QVERIFY(!settings.reRead[MotorSettings::MoveRecord]);
        QCOMPARE(settings.move.Accel, 1u);

        // Other failures mark nothing.
        QCOMPARE(trovsim_force_result(axis, "set_move_settings", -1, 1), 0);
        QCOMPARE(settings.writeToDevice(), result_error);
        QVERIFY(!settings.reRead[MotorSettings::MoveRecord]);
    }

    void oneRecordIsWrittenAlone()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readBasicFromDevice(), result_ok);
        for (bool& flag : settings.toWrite)
            flag = true;
        settings.edges.LeftBorder -= 100;
        settings.edges.RightBorder -= 100;
        trovsim_journal_clear();
        QCOMPARE(settings.writeRecordToDevice(MotorSettings::EdgesRecord), result_ok);
        QCOMPARE(journalCalls(), QStringList({"set_edges_settings"}));

        edges_settings_t stored;
        QCOMPARE(gateway->get_edges_settings(handle, &stored), result_ok);
        QCOMPARE(stored.LeftBorder, -9600);
        QCOMPARE(stored.RightBorder, 9400);

        trovsim_journal_clear();
        QCOMPARE(settings.writeRecordToDevice(MotorSettings::MoveRecord), result_error);  // never read
        QCOMPARE(settings.writeRecordToDevice(-1), result_error);
        QCOMPARE(settings.writeRecordToDevice(MotorSettings::RecordCount), result_error);
        QCOMPARE(journalCalls(), QStringList());
    }

    void basicReadTakesFiveRecordsAndTellsFailures()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readBasicFromDevice(), result_ok);
        QCOMPARE(journalCalls(), QStringList({"get_engine_settings", "get_entype_settings", "get_edges_settings",
                                              "get_feedback_settings", "get_controller_name"}));
        QCOMPARE(settings.edges.LeftBorder, -9500);
        QVERIFY(settings.valid[MotorSettings::FeedbackRecord]);

        // A failure in the middle is not hidden by the name read after it.
        QCOMPARE(trovsim_force_result(axis, "get_feedback_settings", -1, 3), 0);
        QCOMPARE(settings.readBasicFromDevice(), result_error);
        QVERIFY(!settings.valid[MotorSettings::FeedbackRecord]);
        QVERIFY(settings.valid[MotorSettings::ControllerNameRecord]);
    }

    void everyTransferReportsTheFirstFailure_data()
    {
        QTest::addColumn<int>("transfer");
        QTest::addColumn<QByteArray>("first");
        QTest::newRow("basic read") << 0 << QByteArray("get_engine_settings");
        QTest::newRow("full read") << 1 << QByteArray("get_entype_settings");
        QTest::newRow("write") << 2 << QByteArray("set_entype_settings");
    }

    void everyTransferReportsTheFirstFailure()
    {
        QFETCH(int, transfer);
        QFETCH(QByteArray, first);
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readFromDevice(true), result_ok);
        for (bool& flag : settings.toWrite)
            flag = true;
        const QByteArray last = first.left(4) + "controller_name";
        QCOMPARE(trovsim_force_result(axis, first.constData(), result_not_implemented, 3), 0);
        QCOMPARE(trovsim_force_result(axis, last.constData(), result_error, 3), 0);
        const result_t result = transfer == 0   ? settings.readBasicFromDevice()
                                : transfer == 1 ? settings.readFromDevice(true)
                                                : settings.writeToDevice();
        QCOMPARE(result, result_not_implemented);
        QCOMPARE(trovsim_call_count(axis, last.constData()), transfer == 2 ? 1 : 4); // still tried
    }

    void nothingHappensOutsideTheFirmware()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readFromDevice(true), result_ok);
        settings.toWrite[MotorSettings::MoveRecord] = true;
        settings.reRead[MotorSettings::PidRecord] = true;
        const MotorSettings before = settings;

        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
        QCOMPARE(gateway->getMode(handle), 1);
        trovsim_journal_clear();
        deviceInitOk = false;

        QCOMPARE(settings.readFromDevice(true), result_error);
        QCOMPARE(settings.readBasicFromDevice(), result_error);
        QCOMPARE(settings.writeToDevice(), result_error);
        QCOMPARE(settings.writeRecordToDevice(MotorSettings::EdgesRecord), result_error);
        QCOMPARE(journalCalls(true), QStringList());
        QVERIFY(!deviceInitOk);
        QVERIFY(pollingAllowed);
        QVERIFY(std::memcmp(&settings.engine, &before.engine,
                            offsetof(MotorSettings, controllerName) + sizeof(controller_name_t)) == 0);
        QVERIFY(settings.toWrite[MotorSettings::MoveRecord]);
        QVERIFY(settings.reRead[MotorSettings::PidRecord]);

        // No device at all: not even the mode is asked.
        gateway->close_device(handle);
        handle = -1;
        trovsim_journal_clear();
        QCOMPARE(settings.readFromDevice(true), result_error);
        QCOMPARE(settings.writeToDevice(), result_error);
        QCOMPARE(journalCalls(true), QStringList());

        MotorSettings orphan(nullptr, nullptr);
        QCOMPARE(orphan.readFromDevice(true), result_error);
        QCOMPARE(orphan.readBasicFromDevice(), result_error);
    }

    void followsTheHandleAfterAReconnect()
    {
        MotorSettings settings(&handle, gateway.get());
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
        QCOMPARE(settings.readBasicFromDevice(), result_ok);
        QCOMPARE(settings.entype.EngineType, 3u);
    }

    void pollingIsSilencedWhileReading()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(trovsim_hold_call(axis, "get_pid_settings"), 0);
        result_t result = result_error;
        std::thread reader([&] { result = settings.readFromDevice(true); });
        const int held = trovsim_wait_held(axis, "get_pid_settings", 10000);
        const bool silenced = !pollingAllowed;
        trovsim_release_call(axis, "get_pid_settings");
        reader.join();
        QCOMPARE(held, 0);
        QVERIFY(silenced);
        QCOMPARE(result, result_ok);
        QVERIFY(pollingAllowed);

        settings.toWrite[MotorSettings::UartRecord] = true;
        QCOMPARE(trovsim_hold_call(axis, "set_uart_settings"), 0);
        std::thread writer([&] { result = settings.writeToDevice(); });
        const int writeHeld = trovsim_wait_held(axis, "set_uart_settings", 10000);
        const bool writeSilenced = !pollingAllowed;
        trovsim_release_call(axis, "set_uart_settings");
        writer.join();
        QCOMPARE(writeHeld, 0);
        QVERIFY(writeSilenced);
        QCOMPARE(result, result_ok);
    }

    void copiesAreIndependentSnapshots()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readFromDevice(true), result_ok);
        settings.toWrite[MotorSettings::BrakeRecord] = true;
        MotorSettings copy(settings);
        copy.engine.NomVoltage = 1;
        std::strcpy(copy.controllerName.ControllerName, "copy");
        QCOMPARE(settings.engine.NomVoltage, 1200u);
        QCOMPARE(settings.controllerName.ControllerName[0], '\0');
        QVERIFY(copy.toWrite[MotorSettings::BrakeRecord]);
        QVERIFY(copy.valid[MotorSettings::EngineRecord]);
        QCOMPARE(copy.handle, &handle);
        QCOMPARE(copy.gateway, gateway.get());

        MotorSettings scratch(&handle, gateway.get());
        scratch = copy;
        QCOMPARE(scratch.engine.NomVoltage, 1u);
        QCOMPARE(QByteArray(scratch.controllerName.ControllerName), QByteArray("copy"));
    }

    void microstepDivisor_data()
    {
        QTest::addColumn<uint>("mode");
        QTest::addColumn<int>("divisor");
        QTest::newRow("zero") << 0u << 1;
        QTest::newRow("full") << 1u << 1;
        QTest::newRow("half") << 2u << 2;
        QTest::newRow("1/16") << 5u << 16;
        QTest::newRow("1/256") << 9u << 256;
        QTest::newRow("ten") << 10u << 1;
        QTest::newRow("huge") << 0xFFFFFFFFu << 1;
    }

    void microstepDivisor()
    {
        QFETCH(uint, mode);
        QFETCH(int, divisor);
        MotorSettings settings(nullptr, nullptr);
        settings.engine.MicrostepMode = mode;
        QCOMPARE(settings.microstepDivisor(), divisor);
    }

private:
    QTemporaryDir dataDir;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
};

QTEST_GUILESS_MAIN(TestMotorSettings)
#include "tst_motor_settings.moc"
