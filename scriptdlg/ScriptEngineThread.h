#ifndef SCRIPTENGINETHREAD_H
#define SCRIPTENGINETHREAD_H

#include <QMutex>
#include <QScriptEngine>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

class QTimer;
class scriptAgent;

// The engine thread of both script windows. The engine, its agent and the global object are
// made in the GUI thread; scripts are evaluated only in this thread, inside its 100 ms tick,
// which runs only while a run or a quit is pending.
//
// GUI side: requestRun, requestStop, requestQuit, isBusy, holdsController, waitFinished.
// Script side (natives and object methods, in this thread): stopRequested, stopIfRequested,
// sleepMs, waitUntil, waitWhileSet, abortNow, postLogLine. A stop reaches a native at once
// through a stop token, which also bars this thread's gateway calls: a call that has not reached
// the library when Stop is pressed never does. The engine is only ever aborted from this thread.
//
// A subclass registers its globals in its constructor with registerFunction,
// registerConstants and registerRecordTypes, in the order its script interface wants.
class ScriptEngineThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int tickMs = 100;
    // How often a running evaluation handles this thread's events (a queued stop among them).
    static constexpr int processEventsIntervalMs = 20;
    // Sleeps and flag waits look at the stop token at least this often.
    static constexpr int sliceMs = 10;
    // Log lines sent and not yet taken by the GUI thread, at most: a script that logs in a loop
    // waits rather than fill that thread's event queue.
    static constexpr int maxUndeliveredLines = 1000;

    explicit ScriptEngineThread(QObject* parent = nullptr);
    // Quits and waits for the thread: the engine cannot go while a script still runs on it.
    // By then a subclass's own members are gone: a subclass whose natives use them calls
    // requestQuit() and wait() in its own destructor first.
    ~ScriptEngineThread() override;

    // The thread whose engine this is, for natives; null for any other engine.
    static ScriptEngineThread* of(const QScriptEngine* engine);

    QScriptEngine* engine() const { return scriptEngine; }
    scriptAgent* agent() const { return engineAgent; }

    // --- GUI side
    // Starts the thread at low priority: idle priority stalls a script for seconds on a busy
    // machine while it may hold the gateway lock.
    void startThread();
    // Copies the text now; the next tick evaluates it. Ignored (false) while busy.
    bool requestRun(const QString& text);
    // Cancels a pending run, and stops the current one: natives see the stop at once, a
    // running evaluation is aborted in this thread within processEventsIntervalMs.
    void requestStop();
    // Stops as above; the next tick ends the thread without evaluating anything.
    void requestQuit();
    // Evaluating, or a run requested and not yet started.
    bool isBusy() const;
    // A library call of the script is under way: it holds the controllers until it returns.
    // A script that sleeps or waits for the gateway holds nothing.
    bool holdsController() const { return holdingGateway.load(); }
    // Waits at most ms for the thread to end; true when it has.
    bool waitFinished(int ms);
    // How many evaluations have started.
    quint64 runCount() const { return startedRuns.load(); }
    // Log lines emitted and not yet delivered to this object's (the GUI) thread.
    int undeliveredLines() const { return undelivered.load(); }

    // --- script side, in this thread
    // Set by a stop or quit for the current run.
    bool stopRequested() const { return stopToken.load() || quitToken.load(); }
    // On a stop: aborts the evaluation and answers true; the native then returns undefined
    // without touching the device.
    bool stopIfRequested();
    // Sleeps ms (NaN and negative count as 0, the count is capped at INT_MAX) in slices;
    // false, with the evaluation aborted, when a stop cut it short.
    bool sleepMs(double ms);
    // Sleeps in slices until done() holds; false, with the evaluation aborted, on a stop.
    bool waitUntil(const std::function<bool()>& done);
    bool waitWhileSet(const std::atomic<bool>& flag);
    // Aborts the running evaluation; only ever from this thread.
    void abortNow();
    // Emits logLine once fewer than maxUndeliveredLines are undelivered; false, with the line
    // dropped and the evaluation aborted, when a stop ended the wait.
    bool postLogLine(const QString& text, const QString& source, int level);

signals:
    // After every evaluation, however it ended.
    void runFinished();
    // One log line of the script (text, source "Script", level); emitted in this thread, so GUI
    // receivers get it queued. Only through postLogLine. The multi-axis engine writes none.
    void logLine(const QString& text, const QString& source, int level);

protected:
    void run() override;

    // Global function of declared length 0, an ordinary property of the global object.
    void registerFunction(const char* name, QScriptEngine::FunctionSignature function);
    // The same, with host handed to the native as its third argument at every call.
    void registerFunction(const char* name, QScriptEngine::FunctionWithArgSignature function, void* host);
    void registerConstants();
    void registerRecordTypes();

private:
    void tick();
    // Starts the tick in this thread; the caller holds stateLock.
    void wakeTick();

    QScriptEngine* scriptEngine;
    scriptAgent* engineAgent;

    // Guards pendingText, the step from requested to evaluating, and stopReceiver.
    mutable QMutex stateLock;
    QString pendingText;
    QObject* stopReceiver = nullptr;
    // The thread's tick timer; touched only in this thread.
    QTimer* tickTimer = nullptr;

    std::atomic<bool> runRequested{false};
    std::atomic<bool> evaluating{false};
    std::atomic<bool> stopToken{false};
    std::atomic<bool> quitToken{false};
    std::atomic<bool> holdingGateway{false};
    std::atomic<quint64> startedRuns{0};
    std::atomic<int> undelivered{0};
};

#endif // SCRIPTENGINETHREAD_H
