#include "scriptdlg/ScriptThreadMulti.h"

#include <QScriptContext>
#include <QScriptEngine>

#include <cmath>

#include "device/DeviceInterface.h"
#include "scriptdlg/AxisObject.h"
#include "scriptdlg/ScriptAxisHost.h"
#include "scriptdlg/ScriptGatewayCalls.h"

namespace {

ScriptThreadMulti* hostOf(void* host)
{
    return static_cast<ScriptThreadMulti*>(host);
}

// The serial number sought: a number or a string of digits, cut toward zero, its low 32 bits.
// Nothing sensible comes of NaN, an infinity or a value beyond 64 bits: those find no axis.
bool serialArgument(QScriptContext* context, uint32_t* serial)
{
    if (context->argumentCount() < 1)
        return false;
    const double value = std::trunc(context->argument(0).toNumber());
    // 2^63 itself is out of range; -2^63 is in.
    if (!std::isfinite(value) || value < -9223372036854775808.0 || value >= 9223372036854775808.0)
        return false;
    *serial = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
    return true;
}

QScriptValue scriptMulti_newaxis(QScriptContext* context, QScriptEngine* engine, void* host)
{
    ScriptThreadMulti* thread = hostOf(host);
    uint32_t wanted = 0;
    if (!serialArgument(context, &wanted))
        return scriptNull();
    ScriptAxisHost* axes = thread->axisHost();
    for (int axis = 0; axes && axis < axes->scriptAxisCount(); ++axis) {
        if (thread->stopIfRequested())
            return scriptUndefined();
        DeviceInterface* gateway = axes->scriptAxisGateway(axis);
        std::atomic<device_t>* handle = axes->scriptAxisHandle(axis);
        if (!gateway || !handle)
            continue;
        uint32_t serial = 0;
        if (gateway->get_serial_number(handle->load(), &serial) != 0 || serial != wanted)
            continue;
        // deleteLater would let a script free the object under the engine.
        return engine->newQObject(new AxisObject(axes, axis, thread), QScriptEngine::ScriptOwnership,
                                  QScriptEngine::ExcludeDeleteLater);
    }
    return scriptNull();
}

QScriptValue scriptMulti_msleep(QScriptContext* context, QScriptEngine*, void* host)
{
    return scriptSleep(context, hostOf(host));
}

// Kept silent: this window has no log view for scripts.
QScriptValue scriptMulti_log(QScriptContext*, QScriptEngine*, void*)
{
    return scriptNull();
}

} // namespace

ScriptThreadMulti::ScriptThreadMulti(ScriptAxisHost* axisHost, QObject* parent)
    : ScriptEngineThread(parent), host(axisHost)
{
    registerFunction("newaxis", &scriptMulti_newaxis, this);
    registerFunction("msleep", &scriptMulti_msleep, this);
    registerFunction("log", &scriptMulti_log, this);
    registerConstants();
    registerRecordTypes();
}

ScriptThreadMulti::~ScriptThreadMulti()
{
    requestQuit();
    wait();
}
