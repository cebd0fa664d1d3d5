#ifndef SCRIPTTHREADMULTI_H
#define SCRIPTTHREADMULTI_H

#include "scriptdlg/ScriptEngineThread.h"

class ScriptAxisHost;

// The engine thread of the multi-axis window: "newaxis" hands out an AxisObject for one of the
// host's axes, found by serial number; "msleep" is the interruptible sleep and "log" writes
// nothing. The constants and record types are the single-axis engine's.
class ScriptThreadMulti : public ScriptEngineThread
{
    Q_OBJECT
public:
    // host: not owned, outlives this thread.
    explicit ScriptThreadMulti(ScriptAxisHost* host, QObject* parent = nullptr);
    // Ends the thread while the host is still there for the natives.
    ~ScriptThreadMulti() override;

    ScriptAxisHost* axisHost() const { return host; }

private:
    ScriptAxisHost* const host;
};

#endif // SCRIPTTHREADMULTI_H
