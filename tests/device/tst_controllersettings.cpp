#include <QTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "tests/device/PollingTestSupport.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";
const QString axisName = QString::fromLatin1(axis);

int calls(const char* function) { return trovsim_call_count(axis, function); }

} // namespace

class TestControllerSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        deviceInitOk = true;
        lastFailedFunction = "";
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        trovsim_journal_clear();
    }

    void cleanup()
    {
        closeAndRelease(gateway, handle);
        QVERIFY(pollingAllowed);
    }

    void firmwareModeReadsTheWholeIdentity()
    {
        ControllerSettings identity(&handle, gateway.get(), &axisName, true);
        QVERIFY(!identity.parent());
        QCOMPARE(identity.deviceName, &axisName);
        QCOMPARE(identity.serialNumber, 10001u);
        QCOMPARE(identity.firmwareMajor, 4u);
        QCOMPARE(identity.firmwareMinor, 1u);
        QCOMPARE(identity.firmwareRelease, 0u);
        QCOMPARE(identity.bootloaderMajor, 1u);
        QCOMPARE(identity.bootloaderMinor, 2u);
        QCOMPARE(identity.bootloaderRelease, 0u);
        QVERIFY(identity.bootloaderVersionRead);
        QCOMPARE(QByteArray(identity.deviceInformation.Manufacturer), QByteArray("TROV"));
        QCOMPARE(QByteArray(identity.deviceInformation.ManufacturerId), QByteArray("SM"));
        QCOMPARE(QByteArray(identity.deviceInformation.ProductDescription), QByteArray("SIMSTEP"));
        QVERIFY(deviceInitOk);
        QVERIFY(pollingAllowed);

        // The bootloader version is read once per object.
        identity.readDeviceIdentity();
        QCOMPARE(calls("get_bootloader_version"), 1);
        QCOMPARE(calls("get_serial_number"), 2);
    }

    void nothingIsReadUntilAsked()
    {
        ControllerSettings identity(&handle, gateway.get(), &axisName, false);
        QCOMPARE(journal().size(), 0);
        QCOMPARE(identity.serialNumber, 0u);
        QCOMPARE(identity.deviceInformation.Manufacturer[0], '\0');
        QVERIFY(!identity.bootloaderVersionRead);
    }

    void bootloaderModeKeepsTheFirmwareVersion()
    {
        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
        trovsim_journal_clear();

        ControllerSettings identity(&handle, gateway.get(), &axisName, true);
        QCOMPARE(calls("get_firmware_version"), 0);
        QCOMPARE(identity.firmwareMajor, 0u);
        QCOMPARE(identity.firmwareMinor, 0u);
        QCOMPARE(identity.firmwareRelease, 0u);
        QCOMPARE(identity.bootloaderMajor, 1u);
        QCOMPARE(identity.bootloaderMinor, 2u);
        QCOMPARE(identity.serialNumber, 10001u);
        QCOMPARE(QByteArray(identity.deviceInformation.ProductDescription), QByteArray("SIMBOOT"));
        QVERIFY(deviceInitOk);
    }

    void noDeviceTriesTheOtherThreeAndNamesTheLastFailure()
    {
        gateway->close_device(handle);
        handle = -1;
        ControllerSettings identity(&handle, gateway.get(), &axisName, true);
        QVERIFY(!deviceInitOk);
        QCOMPARE(QByteArray(lastFailedFunction.load()), QByteArray("get_device_information"));
        QVERIFY(!identity.bootloaderVersionRead);
        int firmware = 0, bootloader = 0, serial = 0, information = 0;
        for (const trovsim_call_t& call : journal()) {
            firmware += isCall(call, "get_firmware_version");
            bootloader += isCall(call, "get_bootloader_version");
            serial += isCall(call, "get_serial_number");
            information += isCall(call, "get_device_information");
        }
        QCOMPARE(firmware, 0);
        QCOMPARE(bootloader, 1);
        QCOMPARE(serial, 1);
        QCOMPARE(information, 1);
    }

    void failedReadsKeepThePreviousIdentity()
    {
        ControllerSettings identity(&handle, gateway.get(), &axisName, true);
        QVERIFY(deviceInitOk);
        const device_information_t before = identity.deviceInformation;

        // Lost controller: every read fails, whatever the library leaves in the records.
        QCOMPARE(trovsim_unplug(axis), 0);
        QCOMPARE(QByteArray(identity.readDeviceIdentity(ControllerSettings::Read::StartUp)),
                 QByteArray("get_device_information"));
        QVERIFY(!deviceInitOk);
        QCOMPARE(QByteArray(lastFailedFunction.load()), QByteArray("get_device_information"));
        QCOMPARE(identity.serialNumber, 10001u);
        QCOMPARE(identity.firmwareMajor, 4u);
        QCOMPARE(identity.firmwareMinor, 1u);
        QCOMPARE(std::memcmp(&identity.deviceInformation, &before, sizeof before), 0);

        // One failing read names itself and leaves the others fresh.
        QCOMPARE(trovsim_plug(axis, 0), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
        deviceInitOk = true;
        QCOMPARE(trovsim_force_result(axis, "get_serial_number", -1, 1), 0);
        lastFailedFunction = "";
        // A later read names the failure but leaves the start-up verdict alone.
        QCOMPARE(QByteArray(identity.readDeviceIdentity()), QByteArray("get_serial_number"));
        QVERIFY(deviceInitOk);
        QCOMPARE(QByteArray(lastFailedFunction.load()), QByteArray(""));
        QCOMPARE(identity.serialNumber, 10001u);
    }

    void pollingComesBackOnlyWhenNobodyElseSilencesIt()
    {
        {
            PollingSilencer outer;
            ControllerSettings identity(&handle, gateway.get(), &axisName, true);
            QVERIFY(!pollingAllowed);
        }
        QVERIFY(pollingAllowed);
        ControllerSettings identity(&handle, gateway.get(), &axisName, true);
        QVERIFY(pollingAllowed);
    }

    void readsWaitForThePollingTickInFlight()
    {
        UpdateThread poller(0, nullptr, &handle, axis, gateway.get());
        ControllerSettings identity(&handle, gateway.get(), &axisName, false);
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        std::thread ticker([&] { poller.update(); });
        std::future<void> reading;
        const Finally release([&] {
            trovsim_release_call(axis, "get_status");
            ticker.join();
            if (reading.valid())
                reading.wait();
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);

        reading = std::async(std::launch::async, [&] { identity.readDeviceIdentity(); });
        QCOMPARE(reading.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        QCOMPARE(calls("get_serial_number"), 0);

        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        reading.get();
        // Every identity read came after the status read had ended.
        const QVector<trovsim_call_t> calls = journal();
        int status = -1, firstIdentity = -1;
        for (int i = 0; i < calls.size(); ++i) {
            if (isCall(calls[i], "get_status"))
                status = i;
            else if (firstIdentity < 0 && isCall(calls[i], "get_serial_number"))
                firstIdentity = i;
        }
        QVERIFY(status >= 0);
        QVERIFY(firstIdentity > status);
        QCOMPARE(identity.serialNumber, 10001u);
    }

private:
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
};

QTEST_GUILESS_MAIN(TestControllerSettings)
#include "tst_controllersettings.moc"
