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

    void positionChange(qint64 scriptId, int lineNumber, int columnNumber) override;
    void exceptionThrow(qint64 scriptId, const QScriptValue& exception, bool hasHandler) override;

signals:
    void positionChanged(int line);
    void exceptionThrown(const QString& text);

private:
    // Invalid until the first report, so the first line is always reported.
    QElapsedTimer lineThrottle;
    std::atomic<int> pendingExceptions{0};
};

#endif // SCRIPTAGENT_H
