#include <QTest>
#include "support/TestTime.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "tests/device/PollingTestSupport.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

} // namespace

class TestPollingSilencer : public QObject
{
    Q_OBJECT

private slots:
    void overlappingSilencersReleaseOnlyAtTheLast()
    {
        QVERIFY(pollingAllowed);
        auto first = std::make_unique<PollingSilencer>();
        QVERIFY(!pollingAllowed);
        QVERIFY(!PollingSilencer::beginTick());
        {
            PollingSilencer second;
            QVERIFY(!pollingAllowed);
        }
        QVERIFY(!pollingAllowed); // the first still holds it
        first.reset();
        QVERIFY(pollingAllowed);
        QVERIFY(PollingSilencer::beginTick());
        PollingSilencer::endTick();
    }

    void silencingWaitsForTheTickInFlight()
    {
        QVERIFY(PollingSilencer::beginTick());
        bool tickEnded = false;
        std::promise<void> release;
        std::future<void> silencer;
        // A failure leaves early: end the tick and let the silencer go, so nothing hangs.
        const Finally cleanUp([&] {
            if (!tickEnded)
                PollingSilencer::endTick();
            release.set_value();
            if (silencer.valid())
                silencer.wait_for(std::chrono::seconds(5));
        });
        std::atomic<bool> silenced{false};
        silencer = std::async(std::launch::async, [&] {
            PollingSilencer silence;
            silenced = true;
            release.get_future().wait_for(std::chrono::seconds(10));
        });
        // The tick still runs: the silencer must not have returned.
        QCOMPARE(silencer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        QVERIFY(!silenced);
        QVERIFY(!pollingAllowed);
        tickEnded = true;
        PollingSilencer::endTick();
        QTRY_VERIFY_WITH_TIMEOUT(silenced, scaledMs(2000));
        QVERIFY(!PollingSilencer::beginTick());
    }

    void manyTicksAndSilencersNeverOverlap()
    {
        // The poller's tick makes a library call; every fiftieth round the test holds it, so a
        // silencer is sure to arrive while a tick is in flight.
        QCOMPARE(trovsim_reset(nullptr, ""), 0);
        trovsim_clear_faults();
        const device_t id = open_device(axis);
        QVERIFY(id != -1);
        std::atomic<bool> stop{false};
        std::atomic<int> ticking{0};
        std::atomic<int> overlaps{0};
        std::atomic<bool> silent{false};
        std::thread poller([&] {
            while (!stop) {
                if (!PollingSilencer::beginTick())
                    continue;
                ++ticking;
                status_t status;
                get_status(id, &status);
                if (silent)
                    ++overlaps;
                --ticking;
                PollingSilencer::endTick();
            }
        });
        const Finally cleanUp([&] {
            stop = true;
            trovsim_clear_faults();
            poller.join();
            device_t closing = id;
            close_device(&closing);
        });
        for (int i = 0; i < 500 && overlaps == 0; ++i) {
            const bool held = i % 50 == 0;
            if (held) {
                QCOMPARE(trovsim_hold_call(axis, "get_status"), 0);
                QCOMPARE(trovsim_wait_held(axis, "get_status", 5000), 0);
            }
            auto silencing = std::async(std::launch::async, [&] {
                PollingSilencer silence;
                silent = true;
                if (ticking != 0)
                    ++overlaps;
                silent = false;
            });
            if (held) {
                QCOMPARE(silencing.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
                QCOMPARE(trovsim_release_call(axis, "get_status"), 0);
            }
            QCOMPARE(silencing.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        }
        QCOMPARE(overlaps.load(), 0);
        QVERIFY(pollingAllowed);
    }
};

QTEST_GUILESS_MAIN(TestPollingSilencer)
#include "tst_pollingsilencer.moc"
