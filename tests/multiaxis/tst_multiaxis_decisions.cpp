// The window-free decisions of the multi-axis window: jog tracking and the exit.
#include <QtTest>

#include "multiaxis/MultiaxisExit.h"
#include "multiaxis/JogTracker.h"
#include "trov.h"

namespace {

using Cmd = JogTracker::Command;

QString text(const JogTracker::Action& action)
{
    static const char* const names[] = {"none", "left", "right", "sstp"};
    return action.command == Cmd::None ? QString() : QStringLiteral("%1%2").arg(names[int(action.command)]).arg(action.slot);
}

} // namespace

class TestMultiaxisDecisions : public QObject
{
    Q_OBJECT
private slots:
    // Events: "p<key>" press, "P<key>" press while a target box has the focus, "r<key>" release,
    // "q<key>" and "s<key>" a press and a release a held key repeats,
    // "b<slot><+|->" button press, "d<slot>" press on a disabled button, "u<slot>" button release,
    // "f" focus lost. Keys: L R U D ^ v (page up, page down).
    void jogging_data()
    {
        QTest::addColumn<int>("slotCount");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("held Left with repeats")
            << 2 << QStringList{"pL", "sL", "qL", "sL", "qL", "rL"} << QStringList{"left0", "sstp0"};
        QTest::newRow("pressed again after a release") << 2 << QStringList{"pL", "rL", "pL", "rL"}
                                                       << QStringList{"left0", "sstp0", "left0", "sstp0"};
        QTest::newRow("repeats of a key first pressed in a box")
            << 2 << QStringList{"PL", "qL", "sL", "qL", "rL"} << QStringList{};
        QTest::newRow("arrows in a box") << 2 << QStringList{"PL", "rL", "PU", "rU"} << QStringList{};
        QTest::newRow("release after editing stops nothing")
            << 2 << QStringList{"pU", "PL", "rL", "rU"} << QStringList{"right1", "sstp1"};
        QTest::newRow("page keys with two axes") << 2 << QStringList{"p^", "r^", "pv", "rv"} << QStringList{};
        QTest::newRow("page keys with three") << 3 << QStringList{"p^", "r^", "pv", "rv"} << QStringList{"right2", "sstp2", "left2", "sstp2"};
        QTest::newRow("focus lost while held")
            << 3 << QStringList{"pL", "pD", "f", "rL", "rD"} << QStringList{"left0", "left1", "sstp0", "sstp1"};
        QTest::newRow("mouse jog, modal swallows release")
            << 2 << QStringList{"b1+", "f", "u1"} << QStringList{"right1", "sstp1"};
        QTest::newRow("disabled button") << 2 << QStringList{"d0", "u0"} << QStringList{};
        QTest::newRow("other key's release") << 2 << QStringList{"pL", "rR", "rL"} << QStringList{"left0", "sstp0"};
        QTest::newRow("button then key on one slot")
            << 2 << QStringList{"b0-", "pR", "u0", "rR"} << QStringList{"left0", "right0", "sstp0"};
    }
    void jogging()
    {
        QFETCH(int, slotCount);
        QFETCH(QStringList, events);
        JogTracker tracker(slotCount);
        const QHash<QChar, int> keys{{'L', Qt::Key_Left}, {'R', Qt::Key_Right}, {'U', Qt::Key_Up},
                                     {'D', Qt::Key_Down}, {'^', Qt::Key_PageUp}, {'v', Qt::Key_PageDown}};
        int buttons[3];
        QStringList commands;
        for (const QString& event : events) {
            const QChar kind = event.at(0);
            if (kind == 'f') {
                for (int slot : tracker.releaseAll())
                    commands << QStringLiteral("sstp%1").arg(slot);
                continue;
            }
            JogTracker::Action action;
            const int slot = event.size() > 1 ? event.at(1).digitValue() : -1;
            if (kind == 'p' || kind == 'P' || kind == 'q')
                action = tracker.keyPressed(keys.value(event.at(1)), kind == 'P', kind == 'q');
            else if (kind == 'r' || kind == 's')
                action = tracker.keyReleased(keys.value(event.at(1)), kind == 's');
            else if (kind == 'b' || kind == 'd')
                action = tracker.buttonPressed(&buttons[slot], slot, event.endsWith('+'), kind == 'b');
            else if (kind == 'u')
                action = tracker.buttonReleased(&buttons[slot]);
            if (!text(action).isEmpty())
                commands << text(action);
        }
        QTEST(commands, "commands");
        for (int slot = 0; slot < slotCount; ++slot)
            QVERIFY(!tracker.jogging(slot));
    }

    // Samples: axis, MvCmdSts, stamp (ms after the soft stops); "lost" marks a sample not connected.
    void exitDecisions_data()
    {
        QTest::addColumn<QStringList>("samples");
        QTest::addColumn<int>("decision");
        const int wait = int(MultiaxisExit::Decision::Wait);
        const int off = int(MultiaxisExit::Decision::PowerOff);
        const int external = int(MultiaxisExit::Decision::External);
        const int lost = int(MultiaxisExit::Decision::Lost);
        QTest::newRow("running and finished stops wait") << QStringList{"0 0x88 1001", "1 0x08 1001", "2 0x08 1001"} << wait;
        QTest::newRow("all finished") << QStringList{"0 0x08 1001", "1 0x08 1002", "2 0x08 1001"} << off;
        QTest::newRow("not every axis sampled yet") << QStringList{"0 0x08 1001", "1 0x08 1001"} << wait;
        QTest::newRow("finished move after the stop")
            << QStringList{"0 0x09 1001", "1 0x08 1001", "2 0x08 1001"} << external;
        QTest::newRow("external command") << QStringList{"0 0x08 1001", "1 0x83 1001", "2 0x08 1001"} << external;
        QTest::newRow("finished move read before the stop")
            << QStringList{"0 0x01 1000", "0 0x08 1001", "1 0x08 1001", "2 0x08 1001"} << off;
        QTest::newRow("stale sample alone") << QStringList{"0 0x01 1000", "1 0x08 1001", "2 0x08 1001"} << wait;
        QTest::newRow("unplugged during the wait") << QStringList{"0 0x88 1001", "1 lost 1002"} << lost;
    }
    void exitDecisions()
    {
        QFETCH(QStringList, samples);
        MultiaxisExit exit;
        const MultiaxisExit::Plan plan = exit.begin({true, true, true}, {true, true, true}, 0);
        QCOMPARE(plan.softStop, (QVector<int>{0, 1, 2}));
        QVERIFY(plan.wait);
        for (int axis : plan.softStop)
            exit.softStopSent(axis, true, 1000);  // read numbers up to 1000 began before it
        for (const QString& sample : samples) {
            const QStringList part = sample.split(' ');
            const bool connected = part[1] != "lost";
            exit.sample(part[0].toInt(), part[1].toInt(nullptr, 16), connected, connected ? 2 : 0, part[2].toULongLong());
        }
        QFETCH(int, decision);
        QCOMPARE(int(exit.decide(2000)), decision);
    }

    void exitPlan()
    {
        MultiaxisExit exit;
        // Axis 2 lost, axis 3 in its bootloader: both others get a soft stop, the lost one's
        // waits for its return; the one in its bootloader is left alone.
        MultiaxisExit::Plan plan = exit.begin({true, true, false}, {true, false, false}, 0);
        QCOMPARE(plan.softStop, (QVector<int>{0, 1}));
        QCOMPARE(plan.away, QVector<int>{1});
        QCOMPARE(plan.skipped, QVector<int>{2});
        QVERIFY(plan.wait);
        QVERIFY(!exit.begin({false, false}, {false, false}, 0).wait); // nothing to stop: nothing to wait for

        plan = exit.begin({true, true, true}, {true, true, true}, 0);
        exit.softStopSent(0, true, 0);
        exit.softStopSent(1, false, 0);
        exit.softStopSent(2, true, 0);
        QCOMPARE(exit.failedSoftStops(), QVector<int>{1});

        // Nothing ever ends: the wait gives up.
        QCOMPARE(exit.decide(MultiaxisExit::waitLimitMs + 1), MultiaxisExit::Decision::TimedOut);
        exit.cancel();
        QCOMPARE(exit.decide(0), MultiaxisExit::Decision::Idle);
        // Cancelled, then a jog: samples decide nothing.
        exit.sample(0, MVCMD_LEFT | MVCMD_RUNNING, true, 2, 2);
        QCOMPARE(exit.decide(600), MultiaxisExit::Decision::Idle);
    }

    // A lost axis does not hold the others: they are powered off, then the exit waits for it; it
    // joins once its soft stop has gone, and is powered off in turn. One lost after its soft stop
    // gets another.
    void anAxisAwayIsWaitedForApart()
    {
        MultiaxisExit exit;
        exit.begin({true, true}, {true, false}, 0);
        exit.softStopSent(0, true, 0);
        QVERIFY(exit.softStopsAnswered());
        QCOMPARE(exit.decide(100), MultiaxisExit::Decision::Wait);
        exit.sample(0, MVCMD_SSTP, true, 2, 1);
        QCOMPARE(exit.decide(200), MultiaxisExit::Decision::PowerOff);
        QCOMPARE(exit.beginPowerOffRound(), QVector<int>{0});
        exit.powerOffResult(0, true);
        QVERIFY(exit.finishRound());
        QCOMPARE(exit.awaiting(), QVector<int>{1});
        QVERIFY(exit.awaitingOnlyAway());
        QCOMPARE(exit.decide(MultiaxisExit::waitLimitMs + 1), MultiaxisExit::Decision::Awaiting);

        // Back: its soft stop goes; the wait is its own.
        exit.softStopSent(1, true, 5, MultiaxisExit::waitLimitMs + 2);
        QCOMPARE(exit.decide(MultiaxisExit::waitLimitMs + 3), MultiaxisExit::Decision::Wait);
        exit.sample(1, MVCMD_SSTP | MVCMD_RUNNING, true, 2, 6);
        QCOMPARE(exit.decide(MultiaxisExit::waitLimitMs + 4), MultiaxisExit::Decision::Wait);
        // Lost again while it stops: another soft stop waits for it.
        exit.sample(1, 0, false, 0, 7);
        QCOMPARE(exit.decide(MultiaxisExit::waitLimitMs + 5), MultiaxisExit::Decision::Lost);
        QCOMPARE(exit.lostAxis(), 1);
        exit.awaitAgain(1);
        QCOMPARE(exit.decide(MultiaxisExit::waitLimitMs + 6), MultiaxisExit::Decision::Awaiting);
        exit.softStopSent(1, true, 9, MultiaxisExit::waitLimitMs + 7);
        exit.sample(1, MVCMD_SSTP, true, 2, 10);
        QCOMPARE(exit.decide(MultiaxisExit::waitLimitMs + 8), MultiaxisExit::Decision::PowerOff);
        QCOMPARE(exit.beginPowerOffRound(), QVector<int>{1});
        exit.powerOffResult(1, true);
        QVERIFY(exit.finishRound());
        QVERIFY(exit.awaiting().isEmpty());
    }

    void powerOffRetries()
    {
        MultiaxisExit exit;
        exit.begin({true, true}, {true, true}, 0);
        exit.softStopSent(0, true, 0);
        exit.softStopSent(1, true, 0);
        exit.sample(0, MVCMD_SSTP, true, 2, 1);
        exit.sample(1, MVCMD_SSTP, true, 2, 1);
        for (int round = 1; round <= MultiaxisExit::powerOffTries; ++round) {
            QCOMPARE(exit.decide(200), MultiaxisExit::Decision::PowerOff);
            QCOMPARE(exit.beginPowerOffRound(), (round == 1 ? QVector<int>{0, 1} : QVector<int>{1}));
            exit.powerOffResult(0, true);
            exit.powerOffResult(1, false);
            QVERIFY(!exit.finishRound());
            QCOMPARE(exit.powerOffExhausted(), round == MultiaxisExit::powerOffTries);
        }
        // A later sample does not undo the power-off phase.
        exit.sample(1, MVCMD_LEFT | MVCMD_RUNNING, true, 2, 2);
        QCOMPARE(exit.decide(300), MultiaxisExit::Decision::PowerOff);
        exit.powerOffResult(1, true);
        QVERIFY(exit.finishRound());
    }
};

QTEST_GUILESS_MAIN(TestMultiaxisDecisions)
#include "tst_multiaxis_decisions.moc"
