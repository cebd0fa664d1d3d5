#ifndef SCRIPTAGENT_H
#define SCRIPTAGENT_H

#include <QElapsedTimer>
#include <QObject>
#include <QScriptEngineAgent>
#include <QString>

#include <atomic>

// Reports the line being executed and every exception thrown, from the engine's thread.
// Nothing it emits holds a QScriptValue: those must not leave the engine's thread.
class scriptAgent : public QObject, public QScriptEngineAgent
{
    Q_OBJECT
public:
    // Exception reports sent and not yet taken by this object's (the GUI) thread. A script that
    // throws in a loop would otherwise fill that thread's event queue without end; beyond this
    // many its further reports are dropped until the queue drains.
    static constexpr int maxPendingExceptions = 10000;

    explicit scriptAgent(QScriptEngine* engine);

    // Before each evaluation, in the engine's thread: no line is known yet.
    void beginRun();

    void positionChange(qint64 scriptId, int lineNumber, int columnNumber) override;
    void exceptionThrow(qint64 scriptId, const QScriptValue& exception, bool hasHandler) override;

signals:
    void positionChanged(int line);
    // line: where the exception was thrown (1 = first), 0 when not known.
    void exceptionThrown(const QString& text, int line);

private:
    // Invalid until the first report, so the first line is always reported.
    QElapsedTimer lineThrottle;
    // The statement last begun, reported or not; engine thread only.
    int currentLine = 0;
    // Set while an exception is turned into text: the script's own toString may throw again.
    bool reporting = false;
    std::atomic<int> pendingExceptions{0};
};

#endif // SCRIPTAGENT_H
