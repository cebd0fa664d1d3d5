#include <QTest>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"

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
        std::atomic<bool> silenced{false};
        std::promise<void> release;
        auto silencer = std::async(std::launch::async, [&] {
            PollingSilencer silence;
            silenced = true;
            release.get_future().wait();
        });
        // The tick still runs: the silencer must not have returned.
        QCOMPARE(silencer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        QVERIFY(!silenced);
        QVERIFY(!pollingAllowed);
        PollingSilencer::endTick();
        QTRY_VERIFY(silenced);
        QVERIFY(!PollingSilencer::beginTick());
        release.set_value();
        silencer.get();
        QVERIFY(pollingAllowed);
    }

    void manyTicksAndSilencersNeverOverlap()
    {
        std::atomic<bool> stop{false};
        std::atomic<int> ticking{0};
        std::atomic<int> overlaps{0};
        std::atomic<bool> silent{false};
        std::thread poller([&] {
            while (!stop) {
                if (!PollingSilencer::beginTick())
                    continue;
                ++ticking;
                if (silent)
                    ++overlaps;
                --ticking;
                PollingSilencer::endTick();
            }
        });
        for (int i = 0; i < 2000; ++i) {
            PollingSilencer silence;
            silent = true;
            if (ticking != 0)
                ++overlaps;
            silent = false;
        }
        stop = true;
        poller.join();
        QCOMPARE(overlaps.load(), 0);
        QVERIFY(pollingAllowed);
    }
};

QTEST_GUILESS_MAIN(TestPollingSilencer)
#include "tst_pollingsilencer.moc"
