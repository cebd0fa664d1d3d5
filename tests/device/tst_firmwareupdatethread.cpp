#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "device/DeviceInterface.h"
#include "device/FirmwareUpdateThread.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "tests/device/PollingTestSupport.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

int calls(const char* function) { return trovsim_call_count(axis, function); }

QByteArray firmwareImage(uint32_t major, uint32_t minor, uint32_t release)
{
    const QByteArray payload(1000, 'p');
    QByteArray image(4096, '\0');
    const size_t size = trovsim_make_firmware_image(major, minor, release,
                                                    reinterpret_cast<const uint8_t*>(payload.constData()),
                                                    uint32_t(payload.size()), reinterpret_cast<uint8_t*>(image.data()),
                                                    size_t(image.size()));
    image.resize(int(size));
    return image;
}

} // namespace

class TestFirmwareUpdateThread : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(files.isValid());
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
        UpdateThread::Timing timing;
        timing.firmwarePeriodMs = 10;
        timing.bootloaderPeriodMs = 20;
        timing.busyPauseMs = 10;
        poller->setTiming(timing);
        poller->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
        samples = std::make_unique<SampleLog>();
        samples->attach(poller.get());
        firmware = std::make_unique<FirmwareUpdateThread>(nullptr, poller.get(), gateway.get());
        firmware->setRestartWait(0);
        results = std::make_unique<QSignalSpy>(firmware.get(), &FirmwareUpdateThread::update_finished);
        {
            std::lock_guard<std::mutex> lock(finishMutex);
            finishedAtSample = -1;
            pollingAtFinish = false;
        }
        // Where the samples stood, and whether polling was back, when the result went out.
        connect(
            firmware.get(), &FirmwareUpdateThread::update_finished, firmware.get(),
            [this](int) {
                const int sampled = samples->size();
                std::lock_guard<std::mutex> lock(finishMutex);
                finishedAtSample = sampled;
                pollingAtFinish = pollingAllowed.load();
            },
            Qt::DirectConnection);
    }

    void cleanup()
    {
        // A run still waiting for the controller gives up once the polling thread is stopped.
        poller->stopRequest = true;
        results.reset();
        firmware.reset();
        poller.reset();
        closeAndRelease(gateway, handle);
        QVERIFY(pollingAllowed);
    }

    void unusableFileLeavesTheControllerAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("no name") << "no name";
        QTest::newRow("empty") << "empty";
        QTest::newRow("directory") << "directory";
        if (geteuid() != 0) // permissions do not bind the superuser; the directory row covers it there
            QTest::newRow("no read permission") << "no read permission";
        QTest::newRow("larger than 16 MiB") << "too large";
    }

    void unusableFileLeavesTheControllerAlone()
    {
        QFETCH(QString, kind);
        QString name = files.filePath(kind + ".cod");
        if (kind == "no name") {
            name.clear();
        } else if (kind == "empty") {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(name));
        } else if (kind == "no read permission") {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(firmwareImage(4, 2, 0)) > 0, true);
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
        } else if (kind == "too large") {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(FirmwareUpdateThread::maxImageSize + 1));
        }

        const device_t before = handle;
        firmware->setFirmwareFileName(name);
        QCOMPARE(firmware->firmwareFileName(), name);
        firmware->start();
        QVERIFY(firmware->wait(10000));
        QCOMPARE(results->count(), 1);
        QCOMPARE(results->at(0).at(0).toInt(), -123);
        QCOMPARE(handle.load(), before);
        QCOMPARE(calls("close_device"), 0);
        QCOMPARE(calls("command_update_firmware"), 0);
        QCOMPARE(calls("open_device"), 1);
        QCOMPARE(samples->size(), 0);
        QVERIFY(pollingAtFinish);

        // Polling goes on.
        poller->update();
        QCOMPARE(samples->size(), 1);
        QVERIFY(samples->snapshot().at(0).connect);
    }

    void ownerMayDeleteTheThreadWhileItRuns()
    {
        firmware->setFirmwareFileName(files.filePath("missing.cod"));
        results.reset();
        std::atomic<int> result{0};
        connect(
            firmware.get(), &FirmwareUpdateThread::update_finished, firmware.get(), [&](int r) { result = r; },
            Qt::DirectConnection);
        firmware->start();
        firmware.reset(); // waits for the run
        QCOMPARE(result.load(), -123);
    }

    void goodImageRestartsIntoTheNewFirmware()
    {
        const QString name = writeImage("good.cod", firmwareImage(4, 2, 0));
        poller->start(QThread::HighestPriority);
        QVERIFY(samples->waitForCount(2));

        // A real upload takes a while: polls keep coming meanwhile and must not touch the closed handle.
        QCOMPARE(trovsim_delay_call(axis, "command_update_firmware", 100, 1), 0);
        const device_t before = handle;
        firmware->setFirmwareFileName(name);
        firmware->start();
        QVERIFY(runToTheEnd());
        QCOMPARE(results->at(0).at(0).toInt(), 0);
        QVERIFY(pollingAtFinish);
        QVERIFY(handle != -1);
        QVERIFY(handle != before);

        // Polling resumes under the new firmware.
        QVERIFY(samples->waitFor([this](const QVector<Sample>& s) {
            return SampleLog::countOf(s, true, 2, finishedAt()) >= 2;
        }));
        poller->stopRequest = true;
        QVERIFY(poller->wait(10000));

        // Until the result: announcements of a missing controller, from the reconnection (mode -1)
        // or, once the image is out and polling is back, from this axis' own tick (mode 0); and,
        // once the controller is back, samples of its firmware.
        const QVector<Sample> s = samples->snapshot();
        int firstLoss = 0;
        while (firstLoss < s.size() && s[firstLoss].connect)
            ++firstLoss;
        QVERIFY(firstLoss < finishedAt());
        for (int i = firstLoss; i < finishedAt(); ++i) {
            const bool expected = s[i].connect ? s[i].mode == 2 : (s[i].mode == -1 || s[i].mode == 0);
            QVERIFY2(expected, qPrintable(QStringLiteral("sample %1: %2 %3").arg(i).arg(s[i].connect).arg(s[i].mode)));
        }
        uint32_t major = 0, minor = 0, release = 0;
        QCOMPARE(gateway->get_firmware_version(handle, &major, &minor, &release), 0);
        QCOMPARE(major, 4u);
        QCOMPARE(minor, 2u);
        QCOMPARE(openHandles(axis), 1);
        noPollingCallWhileClosed();
    }

    void uploadErrorStillReopensInWhateverModeItRuns()
    {
        QByteArray image = firmwareImage(4, 2, 0);
        image[image.size() - 1] = char(image.at(image.size() - 1) ^ 0x5a); // a bad checksum
        const QString name = writeImage("bad.cod", image);
        QSignalSpy errors(gateway.get(), &DeviceInterface::errorSignal);
        firmware->setFirmwareFileName(name);
        firmware->start();
        QVERIFY(runToTheEnd());
        QCOMPARE(results->at(0).at(0).toInt(), -1);
        QVERIFY(pollingAtFinish);
        QVERIFY(handle != -1);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(QByteArray(errors.at(0).at(0).value<const char*>()), QByteArray("command_update_firmware"));

        // The controller stayed in its bootloader: the next tick shows it.
        poller->update();
        QCOMPARE(samples->snapshot().last().mode, 1);
        QCOMPARE(openHandles(axis), 1);
    }

    void pollingAndFirmwareReconnectionsLeaveOneHandle()
    {
        const QString name = writeImage("good.cod", firmwareImage(4, 3, 1));
        poller->start(QThread::HighestPriority);
        QVERIFY(samples->waitForCount(1));
        QCOMPARE(trovsim_unplug(axis), 0);
        QVERIFY(samples->waitFor([](const QVector<Sample>& s) { return SampleLog::countOf(s, false, -1) >= 2; }));

        // The upload starts while the polling thread is still trying to reopen the controller.
        firmware->setFirmwareFileName(name);
        firmware->start();
        QVERIFY(!firmware->wait(50));
        // Waiting for that reconnection must not silence the polling of every axis meanwhile.
        QVERIFY(pollingAllowed);
        QCOMPARE(trovsim_plug(axis, 0), 0);
        QVERIFY(runToTheEnd());
        QCOMPARE(results->at(0).at(0).toInt(), 0);
        QVERIFY(samples->waitFor([this](const QVector<Sample>& s) {
            return SampleLog::countOf(s, true, 2, finishedAt()) >= 2;
        }));
        poller->stopRequest = true;
        QVERIFY(poller->wait(10000));

        QVERIFY(handle != -1);
        QCOMPARE(openHandles(axis), 1);
        uint32_t major = 0, minor = 0, release = 0;
        QCOMPARE(gateway->get_firmware_version(handle, &major, &minor, &release), 0);
        QCOMPARE(minor, 3u);
        noPollingCallWhileClosed();
    }

private:
    QString writeImage(const QString& fileName, const QByteArray& image)
    {
        const QString name = files.filePath(fileName);
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            return QString();
        return name;
    }

    int finishedAt()
    {
        std::lock_guard<std::mutex> lock(finishMutex);
        return finishedAtSample;
    }

    // Moves the simulated clock on while the run waits for the restarted controller.
    bool runToTheEnd()
    {
        for (int i = 0; i < 2000 && !firmware->wait(5); ++i)
            trovsim_advance_ms(50);
        return firmware->isFinished() && results->count() == 1;
    }

    // Between the close before the upload and the reopen, no status read reached the library.
    void noPollingCallWhileClosed()
    {
        const QVector<trovsim_call_t> calls = journal();
        int upload = -1;
        for (int i = 0; i < calls.size() && upload < 0; ++i)
            upload = isCall(calls[i], "command_update_firmware") ? i : -1;
        QVERIFY(upload > 0);
        int close = upload;
        while (close >= 0 && !isCall(calls[close], "close_device"))
            --close;
        int reopen = upload;
        while (reopen < calls.size() && !(isCall(calls[reopen], "open_device") && calls[reopen].result >= 0))
            ++reopen;
        QVERIFY(close >= 0);
        QVERIFY(reopen < calls.size());
        for (int i = close; i < reopen; ++i) {
            QVERIFY2(!isCall(calls[i], "get_status"), calls[i].function);
            QVERIFY2(!isCall(calls[i], "get_device_information"), calls[i].function);
        }
    }

    QTemporaryDir files;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> poller;
    std::unique_ptr<SampleLog> samples;
    std::unique_ptr<FirmwareUpdateThread> firmware;
    std::unique_ptr<QSignalSpy> results;
    std::mutex finishMutex;
    int finishedAtSample = -1;
    bool pollingAtFinish = false;
};

QTEST_GUILESS_MAIN(TestFirmwareUpdateThread)
#include "tst_firmwareupdatethread.moc"
