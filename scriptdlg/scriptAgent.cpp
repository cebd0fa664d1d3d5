#include "scriptdlg/scriptAgent.h"

#include <QMetaObject>
#include <QScriptValue>

namespace {
// At most one line report per this many milliseconds, so a fast loop does not flood the GUI.
constexpr qint64 lineReportIntervalMs = 20;
}

scriptAgent::scriptAgent(QScriptEngine* engine) : QObject(nullptr), QScriptEngineAgent(engine) {}

void scriptAgent::positionChange(qint64, int lineNumber, int)
{
    if (lineThrottle.isValid() && lineThrottle.elapsed() <= lineReportIntervalMs)
        return;
    emit positionChanged(lineNumber);
    lineThrottle.restart();
}

void scriptAgent::exceptionThrow(qint64, const QScriptValue& exception, bool)
{
    if (pendingExceptions.load() >= maxPendingExceptions)
        return;
    ++pendingExceptions;
    emit exceptionThrown(exception.toString());
    // Queued behind the report into this object's (the window's) thread: runs once it is taken.
    QMetaObject::invokeMethod(this, [this] { --pendingExceptions; }, Qt::QueuedConnection);
}
