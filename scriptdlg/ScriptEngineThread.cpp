#include "scriptdlg/ScriptEngineThread.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QMutexLocker>
#include <QTimer>

#include <climits>
#include <cmath>

#include "device/DeviceInterface.h"
#include "scriptdlg/ScriptConstants.h"
#include "scriptdlg/ScriptRecords.h"
#include "scriptdlg/scriptAgent.h"

ScriptEngineThread::ScriptEngineThread(QObject* parent)
    : QThread(parent), scriptEngine(new QScriptEngine(this)), engineAgent(new scriptAgent(scriptEngine))
{
    scriptEngine->setAgent(engineAgent);
    scriptEngine->setProcessEventsInterval(processEventsIntervalMs);
}

ScriptEngineThread::~ScriptEngineThread()
{
    requestQuit();
    wait();
    delete engineAgent;
    delete scriptEngine;
}

ScriptEngineThread* ScriptEngineThread::of(const QScriptEngine* engine)
{
    return engine ? qobject_cast<ScriptEngineThread*>(engine->parent()) : nullptr;
}

void ScriptEngineThread::startThread()
{
    start(QThread::LowPriority);
}

bool ScriptEngineThread::requestRun(const QString& text)
{
    QMutexLocker locker(&stateLock);
    if (quitToken.load() || runRequested.load() || evaluating.load())
        return false;
    pendingText = text;
    stopToken.store(false);
    runRequested.store(true);
    wakeTick();
    return true;
}

void ScriptEngineThread::requestStop()
{
    QMutexLocker locker(&stateLock);
    stopToken.store(true);
    if (runRequested.exchange(false))
        pendingText.clear();
    if (evaluating.load() && stopReceiver) {
        // Aborting from this (GUI) thread corrupts the engine: the abort is handed to the
        // script thread, which handles its events during the evaluation. The run id keeps a
        // late abort from hitting the next run.
        const quint64 run = startedRuns.load();
        QMetaObject::invokeMethod(
            stopReceiver,
            [this, run] {
                if (evaluating.load() && startedRuns.load() == run)
                    scriptEngine->abortEvaluation();
            },
            Qt::QueuedConnection);
    }
}

void ScriptEngineThread::requestQuit()
{
    quitToken.store(true);
    requestStop();
    QMutexLocker locker(&stateLock);
    wakeTick();
}

void ScriptEngineThread::wakeTick()
{
    // Called under stateLock. Before run() has set up its receiver there is nothing to wake:
    // run() looks at the flags itself.
    if (!stopReceiver)
        return;
    QMetaObject::invokeMethod(
        stopReceiver,
        [this] {
            if (tickTimer && !tickTimer->isActive())
                tickTimer->start();
        },
        Qt::QueuedConnection);
}

bool ScriptEngineThread::isBusy() const
{
    return runRequested.load() || evaluating.load();
}

bool ScriptEngineThread::waitFinished(int ms)
{
    return wait(static_cast<unsigned long>(qMax(0, ms)));
}

bool ScriptEngineThread::stopIfRequested()
{
    if (!stopRequested())
        return false;
    abortNow();
    return true;
}

bool ScriptEngineThread::sleepMs(double ms)
{
    if (!(ms > 0)) // NaN too
        ms = 0;
    const qint64 total = ms >= double(INT_MAX) ? INT_MAX : qint64(ms);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (stopIfRequested())
            return false;
        const qint64 left = total - clock.elapsed();
        if (left <= 0)
            return true;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, sliceMs)));
    }
}

bool ScriptEngineThread::waitUntil(const std::function<bool()>& done)
{
    for (;;) {
        if (stopIfRequested())
            return false;
        if (done())
            return true;
        QThread::msleep(sliceMs);
    }
}

bool ScriptEngineThread::waitWhileSet(const std::atomic<bool>& flag)
{
    return waitUntil([&flag] { return !flag.load(); });
}

bool ScriptEngineThread::postLogLine(const QString& text, const QString& source, int level)
{
    if (!waitUntil([this] { return undelivered.load() < maxUndeliveredLines; }))
        return false;
    ++undelivered;
    emit logLine(text, source, level);
    // Queued behind the line into this object's (the GUI) thread: runs once the line is taken.
    QMetaObject::invokeMethod(this, [this] { --undelivered; }, Qt::QueuedConnection);
    return true;
}

void ScriptEngineThread::abortNow()
{
    Q_ASSERT(QThread::currentThread() == this);
    if (evaluating.load())
        scriptEngine->abortEvaluation();
}

void ScriptEngineThread::registerFunction(const char* name, QScriptEngine::FunctionSignature function)
{
    scriptEngine->globalObject().setProperty(QString::fromLatin1(name), scriptEngine->newFunction(function, 0));
}

void ScriptEngineThread::registerFunction(const char* name, QScriptEngine::FunctionWithArgSignature function,
                                          void* host)
{
    scriptEngine->globalObject().setProperty(QString::fromLatin1(name), scriptEngine->newFunction(function, host));
}

void ScriptEngineThread::registerConstants()
{
    setScriptConstants(scriptEngine->globalObject());
}

void ScriptEngineThread::registerRecordTypes()
{
    registerScriptRecordTypes(scriptEngine);
}

void ScriptEngineThread::run()
{
    // Every stop and quit sets stopToken: from then on no call of this thread reaches a controller.
    DeviceInterface::setThreadCallBar(&stopToken);
    DeviceInterface::setThreadHoldMark(&holdingGateway);
    QObject receiver;
    QTimer timer;
    timer.setInterval(tickMs);
    connect(&timer, &QTimer::timeout, &timer, [this] { tick(); }, Qt::DirectConnection);
    tickTimer = &timer;
    {
        QMutexLocker locker(&stateLock);
        stopReceiver = &receiver;
        // A request made before the receiver was there has woken nothing.
        if (runRequested.load() || quitToken.load())
            timer.start();
    }
    exec();
    timer.stop();
    DeviceInterface::setThreadCallBar(nullptr);
    DeviceInterface::setThreadHoldMark(nullptr);
    QMutexLocker locker(&stateLock);
    stopReceiver = nullptr;
    tickTimer = nullptr;
}

void ScriptEngineThread::tick()
{
    // The evaluation handles this thread's events, this tick among them.
    if (evaluating.load())
        return;
    if (quitToken.load()) {
        quit();
        return;
    }
    QString text;
    {
        QMutexLocker locker(&stateLock);
        if (!runRequested.load()) {
            // Nothing pending: an idle thread does not wake up; the next request starts the tick.
            tickTimer->stop();
            return;
        }
        text = pendingText;
        pendingText.clear();
        startedRuns.fetch_add(1);
        evaluating.store(true);
        runRequested.store(false);
    }
    engineAgent->beginRun();
    scriptEngine->evaluate(text, QString(), 1);
    scriptEngine->clearExceptions();
    evaluating.store(false);
    emit runFinished();
}
