#include "scriptdlg/scriptAgent.h"

#include <QMetaObject>
#include <QScriptValue>

namespace {
// At most one line report per this many milliseconds, so a fast loop does not flood the GUI.
constexpr qint64 lineReportIntervalMs = 20;
}

scriptAgent::scriptAgent(QScriptEngine* engine) : QObject(nullptr), QScriptEngineAgent(engine) {}

void scriptAgent::beginRun()
{
    currentLine = 0;
}

void scriptAgent::positionChange(qint64, int lineNumber, int)
{
    currentLine = lineNumber;
    if (lineThrottle.isValid() && lineThrottle.elapsed() <= lineReportIntervalMs)
        return;
    emit positionChanged(lineNumber);
    lineThrottle.restart();
}

void scriptAgent::exceptionThrow(qint64, const QScriptValue& exception, bool)
{
    // A script's toString or lineNumber getter that throws would report itself without end.
    if (reporting || pendingExceptions.load() >= maxPendingExceptions)
        return;
    reporting = true;
    // Error objects carry their line (a syntax error has run no statement yet); anything else
    // thrown is taken to come from the statement under way.
    int line = currentLine;
    const QString lineKey = QStringLiteral("lineNumber");
    if (exception.isError() && !(exception.propertyFlags(lineKey) & QScriptValue::PropertyGetter)) {
        const QScriptValue number = exception.property(lineKey);
        if (number.isNumber() && number.toInt32() > 0)
            line = number.toInt32();
    }
    const QString text = exception.toString();
    reporting = false;
    ++pendingExceptions;
    emit exceptionThrown(text, line);
    // Queued behind the report into this object's (the window's) thread: runs once it is taken.
    QMetaObject::invokeMethod(this, [this] { --pendingExceptions; }, Qt::QueuedConnection);
}
