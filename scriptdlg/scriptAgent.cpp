#include "scriptdlg/scriptAgent.h"

#include <QScriptValue>

namespace {
// At most one line report per this many milliseconds, so a fast loop does not flood the GUI.
constexpr qint64 lineReportIntervalMs = 20;
}

scriptAgent::scriptAgent(QScriptEngine* engine) : QObject(nullptr), QScriptEngineAgent(engine)
{
    // Queued into this object's thread behind the report itself: counts the reports taken.
    connect(this, &scriptAgent::exceptionThrown, this, [this] { --pendingExceptions; });
}

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
}
