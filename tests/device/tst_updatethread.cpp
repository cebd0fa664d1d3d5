#include <QDeadlineTimer>
#include "support/TestTime.h"
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "tests/device/PollingTestSupport.h"
#include "tests/support/GatewayWaits.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

int calls(const char* function) { return trovsim_call_count(axis, function); }

UpdateThread::Timing fastTiming()
{
    UpdateThread::Timing timing;
    timing.firmwarePeriodMs = 10;
    timing.bootloaderPeriodMs = 200;
    timing.busyPauseMs = 30;
    return timing;
}

} // namespace

// Lives in the test's thread; proves that samples reach a GUI-thread receiver queued and whole.
class QueuedReceiver : public QObject
{
    Q_OBJECT
public:
    QList<int> modes;
    QList<Qt::HANDLE> threads;
public slots:
    void onSample(int, QDateTime time, status_t, chart_data_t, analog_data_t, bool, int mode)
    {
        QCOMPARE(time.timeSpec(), Qt::UTC);
        modes.append(mode);
        threads.append(QThread::currentThreadId());
    }
};

class TestUpdateThread : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        chartRecording = false;
        joystickCalibrationOpen = false;
        analogDataWanted = false;
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        thread = std::make_unique<UpdateThread>(3, nullptr, &handle, axis, gateway.get());
        thread->setTiming(fastTiming());
        thread->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
        samples = std::make_unique<SampleLog>();
        samples->attach(thread.get());
    }

    void cleanup()
    {
        thread.reset(); // stops and waits
        closeAndRelease(gateway, handle);
        QVERIFY(pollingAllowed);
    }

    void ticksReadOnlyWhatIsWanted()
    {
        // Silenced: the mode is still asked, nothing else is read and nothing is emitted.
        {
            PollingSilencer silencer;
            thread->update();
        }
        QCOMPARE(calls("get_device_information"), 1);
        QCOMPARE(calls("get_status"), 0);
        QCOMPARE(samples->size(), 0);

        thread->update();
        QCOMPARE(calls("get_status"), 1);
        QCOMPARE(calls("get_chart_data"), 0);
        QCOMPARE(calls("get_analog_data"), 0);
        QCOMPARE(calls("get_device_information"), 1); // the mode is cached
        QVector<Sample> s = samples->snapshot();
        QCOMPARE(s.size(), 1);
        QCOMPARE(s[0].number, 3);
        QVERIFY(s[0].connect);
        QCOMPARE(s[0].mode, 2);

        joystickCalibrationOpen = true;
        thread->update();
        QCOMPARE(calls("get_chart_data"), 1);
        joystickCalibrationOpen = false;
        chartRecording = true;
        analogDataWanted = true;
        thread->update();
        QCOMPARE(calls("get_chart_data"), 2);
        QCOMPARE(calls("get_analog_data"), 1);
        QCOMPARE(samples->size(), 3);

        // Results other than busy and lost still make a sample.
        QCOMPARE(trovsim_force_result(axis, "get_status", -2, 1), 0);
        thread->update();
        s = samples->snapshot();
        QCOMPARE(s.size(), 4);
        QVERIFY(s.last().connect);
    }

    void busyAnswerPausesWithoutSample_data()
    {
        QTest::addColumn<QByteArray>("function");
        QTest::newRow("status") << QByteArray("get_status");
        QTest::newRow("chart") << QByteArray("get_chart_data");
        QTest::newRow("analog") << QByteArray("get_analog_data");
    }

    void busyAnswerPausesWithoutSample()
    {
        QFETCH(QByteArray, function);
        chartRecording = true;
        analogDataWanted = true;
        QCOMPARE(trovsim_force_result(axis, function.constData(), -1, 1), 0);
        QElapsedTimer paused;
        paused.start();
        thread->update();
        QVERIFY(paused.elapsed() >= 30);
        QCOMPARE(samples->size(), 0);
        thread->update();
        QCOMPARE(samples->size(), 1);
        QVERIFY(samples->snapshot().at(0).connect);
    }

    void bootloaderReadsOnlyTheStatusAtTheSlowCadence()
    {
        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        reopen();
        chartRecording = true;
        analogDataWanted = true;
        thread->update();
        QVector<Sample> s = samples->snapshot();
        QCOMPARE(s.size(), 1);
        QVERIFY(s[0].connect);
        QCOMPARE(s[0].mode, 1);
        QCOMPARE(calls("get_status"), 1);
        QCOMPARE(calls("get_chart_data"), 0);
        QCOMPARE(calls("get_analog_data"), 0);
        QCOMPARE(thread->pollPeriod(), fastTiming().bootloaderPeriodMs);
        // Chart and analog records never read are sent as zeros.
        QCOMPARE(s[0].chart.Joy, 0u);
        QCOMPARE(s[0].analog.SupVoltage, 0);

        // Back in the firmware: the first tick brings back the fast cadence.
        QCOMPARE(trovsim_unplug(axis), 0);
        QCOMPARE(trovsim_plug(axis, 1), 0);
        reopen();
        thread->update();
        QCOMPARE(samples->snapshot().last().mode, 2);
        QCOMPARE(thread->pollPeriod(), fastTiming().firmwarePeriodMs);
    }

    void timerFollowsTheMode()
    {
        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        reopen();
        thread->start(QThread::HighestPriority);
        QVERIFY(samples->waitForCount(6));
        // Bootloader samples come the slow period apart: four gaps take at least three periods
        // however long a busy machine held the first sample back (the fast cadence takes 40 ms).
        QVector<Sample> s = samples->snapshot();
        const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(s[5].at - s[1].at).count();
        QVERIFY2(span >= fastTiming().bootloaderPeriodMs * 3, qPrintable(QString::number(span)));

        // A power cycle boots the valid firmware again; the handle is lost meanwhile.
        QCOMPARE(trovsim_unplug(axis), 0);
        QCOMPARE(trovsim_plug(axis, 1), 0);
        QVERIFY(samples->waitFor([](const QVector<Sample>& all) {
            int firmware = 0;
            for (const Sample& one : all)
                firmware += one.connect && one.mode == 2;
            return firmware >= 25;
        }));
        // Firmware samples come less than three quarters of a slow period apart, on average, only
        // once the fast cadence is back; over twenty-five of them, even on a busy machine.
        s = samples->snapshot();
        int first = -1;
        for (int i = 0; i < s.size() && first < 0; ++i)
            first = s[i].connect && s[i].mode == 2 ? i : -1;
        const auto fast = std::chrono::duration_cast<std::chrono::milliseconds>(s.last().at - s[first].at).count();
        QVERIFY2(fast < (s.size() - 1 - first) * fastTiming().bootloaderPeriodMs * 3 / 4, qPrintable(QString::number(fast)));
    }

    void unplugAnnouncesLossThenReconnectsWithNewHandle()
    {
        ReconnectLineCounter lines;
        ReconnectLineCounter::reset();
        QueuedReceiver receiver;
        QVERIFY(connect(thread.get(),
                        SIGNAL(finished(int, QDateTime, status_t, chart_data_t, analog_data_t, bool, int)),
                        &receiver, SLOT(onSample(int, QDateTime, status_t, chart_data_t, analog_data_t, bool, int))));
        const device_t first = handle;
        thread->start(QThread::HighestPriority);
        QVERIFY(samples->waitForCount(2));

        QCOMPARE(trovsim_unplug(axis), 0);
        QVERIFY(samples->waitFor([](const QVector<Sample>& s) { return SampleLog::countOf(s, false, -1) >= 3; }));
        QCOMPARE(trovsim_plug(axis, 0), 0);
        QVERIFY(samples->waitFor([](const QVector<Sample>& s) {
            return s.size() >= 3 && SampleLog::countOf(s, false, -1) > 0
                && SampleLog::countOf(s, true, 2, s.size() - 3) == 3;
        }));
        thread->stopRequest = true;
        QVERIFY(thread->wait(10000));

        // Normal samples, exactly one loss in firmware mode, one -1 per attempt, then normal again.
        const QVector<Sample> s = samples->snapshot();
        int i = 0;
        while (i < s.size() && s[i].connect)
            QCOMPARE(s[i++].mode, 2);
        QVERIFY(i >= 2);
        QVERIFY(!s[i].connect);
        QCOMPARE(s[i++].mode, 2);
        int attempts = 0;
        while (i < s.size() && !s[i].connect) {
            QCOMPARE(s[i++].mode, -1);
            ++attempts;
        }
        QVERIFY(attempts >= 3);
        QCOMPARE(ReconnectLineCounter::count(), 1);   // said once, not once an attempt
        for (; i < s.size(); ++i) {
            QVERIFY(s[i].connect);
            QCOMPARE(s[i].mode, 2);
        }
        QVERIFY(handle != -1);
        QVERIFY(handle != first);
        QCOMPARE(openHandles(axis), 1);

        QTRY_COMPARE_WITH_TIMEOUT(receiver.modes.size(), s.size(), scaledMs(5000));
        QVERIFY(receiver.modes.contains(-1));
        QCOMPARE(receiver.threads.first(), QThread::currentThreadId());
    }

    void tickWithoutDeviceReconnectsBeforeItsSample()
    {
        QCOMPARE(gateway->close_device(handle), 0);
        handle = -1;
        thread->update();
        const QVector<Sample> s = samples->snapshot();
        QCOMPARE(s.size(), 2);
        QVERIFY(!s[0].connect);
        QCOMPARE(s[0].mode, -1);
        QVERIFY(!s[1].connect);
        QCOMPARE(s[1].mode, 0);
        QVERIFY(handle != -1);
        QCOMPARE(openHandles(axis), 1);
    }

    // A command that waited for the gateway while a status read held it must not take that
    // read's sample for its answer: the read was counted before the command went out.
    void aReadCountedBeforeACommandStaysOlderThanIt()
    {
        QVector<quint64> readNumbers;
        std::mutex numbersLock;
        connect(thread.get(), &UpdateThread::sampleRead, thread.get(),
                [&](int, QDateTime, status_t, chart_data_t, analog_data_t, bool connect, int, quint64 number) {
                    std::lock_guard<std::mutex> lock(numbersLock);
                    if (connect)
                        readNumbers.append(number);
                },
                Qt::DirectConnection);
        thread->update();
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        std::thread ticker([&] { thread->update(); });
        std::future<quint64> command;
        const Finally release([&] {
            trovsim_clear_faults();
            if (ticker.joinable())
                ticker.join();
            if (command.valid())
                command.wait();
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
        const GatewayWaits waits;
        command = std::async(std::launch::async, [&] {
            return gateway->command_sstp(handle) == result_ok ? thread->statusReadsBegun() : 0;
        });
        // The command waits for the gateway now; it gives up after about a second.
        QVERIFY(QTest::qWaitFor([] { return GatewayWaits::count() > 0; }, scaledMs(5000)));
        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        ticker.join();
        const quint64 readsAtCommand = command.get();
        QVERIFY(readsAtCommand > 0);
        thread->update();
        std::lock_guard<std::mutex> lock(numbersLock);
        QCOMPARE(readNumbers.size(), 3);
        QVERIFY(readNumbers[0] < readNumbers[1]);
        QVERIFY2(readNumbers[1] <= readsAtCommand, "the held read passed for one after the command");
        QVERIFY(readNumbers[2] > readsAtCommand);
    }

    void silencingWaitsForTheReadInFlight()
    {
        chartRecording = true;
        analogDataWanted = true;
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        std::thread ticker([&] { thread->update(); });
        std::atomic<bool> silenced{false};
        std::promise<void> letGo;
        std::shared_future<void> letGoSeen = letGo.get_future().share();
        std::future<void> silencer;
        bool letGoSet = false;
        const Finally release([&] {
            trovsim_clear_faults();
            if (!letGoSet)
                letGo.set_value();
            if (ticker.joinable())
                ticker.join();
            if (silencer.valid())
                silencer.wait();
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);

        silencer = std::async(std::launch::async, [&] {
            PollingSilencer silence;
            silenced = true;
            letGoSeen.wait();
        });
        QCOMPARE(silencer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        QVERIFY(!silenced);

        // The silencer waits for this one call only: a further read would stay held.
        QCOMPARE(trovsim_hold_call(axis, "get_chart_data"), 0);
        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(silenced, scaledMs(2000));
        ticker.join();
        // The tick that was under way saw the silence: no further reads, no sample.
        QCOMPARE(calls("get_status"), 1);
        QCOMPARE(calls("get_chart_data"), 0);
        QCOMPARE(calls("get_analog_data"), 0);
        QCOMPARE(samples->size(), 0);

        // Nor does any later tick while the silencer lives.
        thread->update();
        thread->update();
        QCOMPARE(calls("get_status"), 1);
        QCOMPARE(samples->size(), 0);

        QCOMPARE(trovsim_release_call(axis, "get_chart_data"), 0);
        letGoSet = true;
        letGo.set_value();
        silencer.get();
        thread->update();
        QCOMPARE(samples->size(), 1);
    }

    void closeDuringAReadNeverReadsTheClosedHandle()
    {
        chartRecording = true;
        QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
        std::thread ticker([&] { thread->update(); });
        std::future<void> closer;
        const Finally release([&] {
            trovsim_clear_faults();
            if (ticker.joinable())
                ticker.join();
            if (closer.valid())
                closer.wait();
        });
        QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
        closer = std::async(std::launch::async, [&] { thread->closeDevice(); });
        // The close waits for the read under way, not for the whole tick.
        QCOMPARE(closer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        QCOMPARE(trovsim_hold_call(axis, "get_chart_data"), 0);
        QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
        // Either the tick reads the chart before the close, on the handle still in place, or it
        // sees the change and reads nothing more.
        QDeadlineTimer deadline(5000);
        while (closer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready && !deadline.hasExpired()) {
            if (trovsim_wait_held(axis, "get_chart_data", 10) == 0) {
                QVERIFY(handle != -1);
                QCOMPARE(trovsim_release_call(axis, "get_chart_data"), 0);
            }
        }
        ticker.join();
        QCOMPARE(closer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        bool closed = false;
        for (const trovsim_call_t& call : journal()) {
            closed = closed || isCall(call, "close_device");
            QVERIFY2(!closed || !isCall(call, "get_chart_data"), "chart read on a closed handle");
        }
        QVERIFY(closed);
        QCOMPARE(handle.load(), -1);
    }

    void closeFromAnErrorSlotOnTheSameThread_data()
    {
        QTest::addColumn<QByteArray>("failing");
        QTest::newRow("tick's read") << QByteArray("get_status");
        QTest::newRow("close itself") << QByteArray("close_device");
    }

    // A slot connected directly to the gateway's error runs on the thread that made the call,
    // while that thread may be inside a tick's read or inside closeDevice itself.
    void closeFromAnErrorSlotOnTheSameThread()
    {
        QFETCH(QByteArray, failing);
        chartRecording = true;
        QCOMPARE(trovsim_force_result(axis, failing.constData(), -2, 1), 0);
        connect(gateway.get(), &DeviceInterface::errorSignal, this,
                [this](const char*, result_t) { thread->closeDevice(); }, Qt::DirectConnection);
        std::future<void> call = std::async(std::launch::async, [&] {
            if (failing == "close_device")
                thread->closeDevice();
            else
                thread->update();
        });
        if (call.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            qFatal("closeDevice from an error slot deadlocked");
        disconnect(gateway.get(), &DeviceInterface::errorSignal, this, nullptr);
        QCOMPARE(handle.load(), -1);
        bool closed = false;
        for (const trovsim_call_t& c : journal()) {
            closed = closed || isCall(c, "close_device");
            QVERIFY2(!closed || !isCall(c, "get_chart_data"), "chart read on a closed handle");
        }
        QVERIFY(closed);
    }

    void stopWhileAbsentEndsTheReconnectWait()
    {
        thread->setReconnectInterval(UpdateThread::maxReconnectIntervalMs);
        thread->start(QThread::HighestPriority);
        QVERIFY(samples->waitForCount(1));
        QCOMPARE(trovsim_unplug(axis), 0);
        // The lost sample comes right before the wait for the next attempt.
        QVERIFY(samples->waitFor([](const QVector<Sample>& s) { return SampleLog::countOf(s, false, -1) >= 1; }));

        thread->stopRequest = true;
        // A stop that waited out the interval would keep the thread a minute more.
        if (!thread->wait(10000))
            qFatal("the polling thread did not stop within 10 s of a %d ms reconnect wait",
                   UpdateThread::maxReconnectIntervalMs);
        QCOMPARE(handle.load(), -1);
        QCOMPARE(openHandles(axis), 0);
    }

    void reconnectIntervalStaysInBounds_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("kept");
        QTest::newRow("negative") << -5 << UpdateThread::minReconnectIntervalMs;
        QTest::newRow("zero") << 0 << UpdateThread::minReconnectIntervalMs;
        QTest::newRow("250") << 250 << 250;
        QTest::newRow("huge") << 2147483647 << UpdateThread::maxReconnectIntervalMs;
    }

    void reconnectIntervalStaysInBounds()
    {
        QFETCH(int, asked);
        QFETCH(int, kept);
        thread->setReconnectInterval(asked);
        QCOMPARE(thread->reconnectInterval(), kept);
    }

    void constructorCopiesAndBoundsTheName()
    {
        QByteArray longName(400, 'n');
        std::atomic<device_t> none{-1};
        UpdateThread copy(0, this, &none, longName.constData(), gateway.get());
        QVERIFY(!copy.parent());
        QCOMPARE(qstrlen(copy.deviceName), uint(UpdateThread::deviceNameSize - 1));
        QCOMPARE(copy.deviceNameText.size(), UpdateThread::deviceNameSize - 1);
        QCOMPARE(copy.reconnectInterval(), 1000);
        UpdateThread named(0, nullptr, &none, axis, gateway.get());
        QCOMPARE(QByteArray(named.deviceName), QByteArray(axis));
        QCOMPARE(named.deviceNameText, QString(axis));
    }

private:
    void reopen()
    {
        gateway->close_device(handle);
        trovsim_journal_clear();
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
    }

    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> thread;
    std::unique_ptr<SampleLog> samples;
};

QTEST_GUILESS_MAIN(TestUpdateThread)
#include "tst_updatethread.moc"
