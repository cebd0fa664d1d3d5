#ifndef PROBESCRIPTTHREAD_H
#define PROBESCRIPTTHREAD_H

#include <QScriptContext>

#include <atomic>

#include "scriptdlg/ScriptEngineThread.h"

// An engine thread with counting natives in place of a device, built as the script threads
// build theirs: each checks the stop before it does anything.
//   enter(v)  marks the script as running and keeps v
//   count()   counts a call that would reach the device
//   nap(ms)   sleeps
//   hold()    waits while holdFlag is set
class ProbeScriptThread : public ScriptEngineThread
{
public:
    std::atomic<int> enterCalls{0};
    std::atomic<int> lastEntered{0};
    std::atomic<int> countCalls{0};
    std::atomic<bool> holdFlag{true};

    ProbeScriptThread()
    {
        registerFunction("enter", &enter);
        registerFunction("count", &count);
        registerFunction("nap", &nap);
        registerFunction("hold", &hold);
        registerConstants();
        registerRecordTypes();
    }
    // The natives read the members above: the thread ends before they go.
    ~ProbeScriptThread() override
    {
        requestQuit();
        wait();
    }

private:
    static ProbeScriptThread* self(QScriptEngine* engine)
    {
        return static_cast<ProbeScriptThread*>(ScriptEngineThread::of(engine));
    }
    static QScriptValue enter(QScriptContext* context, QScriptEngine* engine)
    {
        ProbeScriptThread* t = self(engine);
        if (t->stopIfRequested())
            return QScriptValue();
        t->lastEntered = context->argument(0).toInt32();
        ++t->enterCalls;
        return QScriptValue(QScriptValue::NullValue);
    }
    static QScriptValue count(QScriptContext*, QScriptEngine* engine)
    {
        ProbeScriptThread* t = self(engine);
        if (t->stopIfRequested())
            return QScriptValue();
        ++t->countCalls;
        return QScriptValue(QScriptValue::NullValue);
    }
    static QScriptValue nap(QScriptContext* context, QScriptEngine* engine)
    {
        return self(engine)->sleepMs(context->argument(0).toNumber()) ? QScriptValue(QScriptValue::NullValue) : QScriptValue();
    }
    static QScriptValue hold(QScriptContext*, QScriptEngine* engine)
    {
        ProbeScriptThread* t = self(engine);
        return t->waitWhileSet(t->holdFlag) ? QScriptValue(QScriptValue::NullValue) : QScriptValue();
    }
};

#endif // PROBESCRIPTTHREAD_H
