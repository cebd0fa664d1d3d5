#include <QDeadlineTimer>
#include "support/TestTime.h"
#include <QTest>

#include <memory>

#include "scriptdlg/scriptAgent.h"
#include "support/ProbeScriptThread.h"

// The owner's side of a script thread: Start, Stop and quit against counting natives.
class TestScriptEngineThread : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProbeScriptThread> thread;

    enum Stop { NoStop, StopAtOnce, StopWhenEntered, QuitAtOnce };

private slots:
    void init()
    {
        thread = std::make_unique<ProbeScriptThread>();
        thread->startThread();
        QCOMPARE(thread->priority(), QThread::LowPriority);
    }

    void cleanup()
    {
        thread->requestQuit();
        if (!thread->waitFinished(2000)) {
            thread.release(); // deleting it would wait for the script for ever
            QFAIL("the script thread did not end");
        }
        thread.reset();
    }

    void lifecycle_data()
    {
        QTest::addColumn<QStringList>("scripts"); // run one after another
        QTest::addColumn<int>("stop");
        QTest::addColumn<bool>("startAgainWhileRunning");
        QTest::addColumn<int>("cycles");
        QTest::addColumn<quint64>("runs");
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("entered");

        const QStringList busy{"enter(1); while (true) {}"};
        QTest::newRow("busy loop, 20 starts and stops") << busy << int(StopWhenEntered) << false << 20 << quint64(20) << 0 << 1;
        QTest::newRow("stop in a 60 s sleep") << QStringList{"enter(1); nap(60000); count();"} << int(StopWhenEntered)
                                              << false << 1 << quint64(1) << 0 << 1;
        QTest::newRow("stop in a flag wait") << QStringList{"enter(1); hold(); count();"} << int(StopWhenEntered) << false
                                             << 1 << quint64(1) << 0 << 1;
        QTest::newRow("stop in a loop of natives") << QStringList{"enter(1); while (true) { count(); nap(1); }"}
                                                   << int(StopWhenEntered) << false << 1 << quint64(1) << -1 << 1;
        QTest::newRow("stop before the tick") << QStringList{"enter(1); count();"} << int(StopAtOnce) << false << 1
                                              << quint64(0) << 0 << 0;
        QTest::newRow("quit with a run pending") << QStringList{"enter(1); count();"} << int(QuitAtOnce) << false << 1
                                                 << quint64(0) << 0 << 0;
        QTest::newRow("start while running") << QStringList{"enter(1); nap(200); count();"} << int(NoStop) << true << 1
                                             << quint64(1) << 1 << 1;
        QTest::newRow("globals outlive the run") << QStringList{"var kept = 41;", "enter(kept + 1); count();"}
                                                 << int(NoStop) << false << 1 << quint64(2) << 1 << 42;
        QTest::newRow("nan, negative and huge sleeps")
            << QStringList{"nap(NaN); nap(-5); nap(-Infinity); count(); enter(1); nap(1e300); count();"}
            << int(StopWhenEntered) << false << 1 << quint64(1) << 1 << 1;
    }

    void lifecycle()
    {
        QFETCH(QStringList, scripts);
        QFETCH(int, stop);
        QFETCH(bool, startAgainWhileRunning);
        QFETCH(int, cycles);
        QFETCH(quint64, runs);
        QFETCH(int, counted);
        QFETCH(int, entered);

        // Generous for the sanitizers; the benchmark measures the stop latency itself.
        const int idleWithinMs = stop == NoStop ? 5000 : 1000;
        // Received queued in this thread, as the window receives it (a QSignalSpy would record
        // in the emitting thread).
        int finished = 0;
        connect(thread.get(), &ScriptEngineThread::runFinished, this, [&finished] { ++finished; });
        for (int cycle = 0; cycle < cycles; ++cycle) {
            for (const QString& script : scripts) {
                const int enteredBefore = thread->enterCalls;
                QVERIFY(thread->requestRun(script));
                QVERIFY(thread->isBusy());
                if (stop == StopAtOnce)
                    thread->requestStop();
                if (stop == QuitAtOnce) {
                    thread->requestQuit();
                    QVERIFY(thread->waitFinished(2000));
                }
                if (stop == StopWhenEntered || startAgainWhileRunning)
                    QTRY_VERIFY_WITH_TIMEOUT(thread->enterCalls > enteredBefore, scaledMs(2000));
                if (startAgainWhileRunning)
                    QVERIFY(!thread->requestRun(script));
                if (stop == StopWhenEntered)
                    thread->requestStop();
                QTRY_VERIFY_WITH_TIMEOUT(!thread->isBusy(), idleWithinMs);
            }
        }
        // Idle means the evaluation has returned: no native can run any more.
        QCOMPARE(thread->runCount(), runs);
        QTRY_COMPARE_WITH_TIMEOUT(quint64(finished), runs, scaledMs(2000));
        if (counted >= 0)
            QCOMPARE(thread->countCalls.load(), counted);
        if (entered > 1)
            QCOMPARE(thread->lastEntered.load(), entered);
        else
            QCOMPARE(thread->enterCalls.load(), entered * cycles);
    }

    // The tick stops while nothing is pending; a request must start it again, also one made
    // before the thread runs.
    void wakesFromIdle_data()
    {
        QTest::addColumn<bool>("beforeStart");
        QTest::addColumn<bool>("quit");
        QTest::newRow("run requested before the thread starts") << true << false;
        QTest::newRow("run after idle ticks") << false << false;
        QTest::newRow("quit after idle ticks") << false << true;
    }

    void wakesFromIdle()
    {
        QFETCH(bool, beforeStart);
        QFETCH(bool, quit);
        if (beforeStart)
            thread = std::make_unique<ProbeScriptThread>();
        else
            QTest::qWait(3 * ScriptEngineThread::tickMs);
        if (quit) {
            thread->requestQuit();
            QVERIFY(thread->waitFinished(2000));
            return;
        }
        QVERIFY(thread->requestRun("enter(7)"));
        if (beforeStart)
            thread->startThread();
        QTRY_COMPARE_WITH_TIMEOUT(thread->lastEntered.load(), 7, scaledMs(2000));
    }

    void exceptionsArriveAsTextsInOrder()
    {
        QList<int> lines;
        QStringList exceptions;
        connect(thread->agent(), &scriptAgent::positionChanged, this, [&lines](int line) { lines << line; });
        connect(thread->agent(), &scriptAgent::exceptionThrown, this,
                [&exceptions](const QString& text) { exceptions << text; });
        QVERIFY(thread->requestRun("\nfor (var i = 0; i < 1000; ++i) {\n try { throw new Error('e' + i); } catch (e) {}\n}\n"
                                   "undefinedFunction();"));
        QTRY_VERIFY_WITH_TIMEOUT(!thread->isBusy(), scaledMs(5000));
        QTRY_COMPARE_WITH_TIMEOUT(exceptions.size(), 1001, scaledMs(5000));
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(exceptions.at(i), QString("Error: e%1").arg(i));
        QCOMPARE(exceptions.at(1000), QString("ReferenceError: Can't find variable: undefinedFunction"));
        // Editor line numbers, and the first line is never throttled away.
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.first(), 2);
    }

    void exceptionReportsStayBounded()
    {
        // A loop that throws while the window takes no events must not queue reports without end.
        int received = 0;
        connect(thread->agent(), &scriptAgent::exceptionThrown, this, [&received] { ++received; });
        const int thrown = 3 * scriptAgent::maxPendingExceptions;
        QVERIFY(thread->requestRun(QString("for (var i = 0; i < %1; ++i) { try { throw i; } catch (e) {} }").arg(thrown)));
        QDeadlineTimer deadline(30000);
        while (thread->isBusy() && !deadline.hasExpired())
            QThread::msleep(5);
        QVERIFY(!thread->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(received > 0, scaledMs(5000));
        QTest::qWait(50);
        QCOMPARE(received, scriptAgent::maxPendingExceptions);

        // Once taken, reports flow again.
        QVERIFY(thread->requestRun("try { throw 'again'; } catch (e) {}"));
        QTRY_COMPARE_WITH_TIMEOUT(received, scriptAgent::maxPendingExceptions + 1, scaledMs(5000));
    }
};

QTEST_GUILESS_MAIN(TestScriptEngineThread)
#include "tst_scriptenginethread.moc"
