#include "scriptdlg/ScriptThread.h"

#include <QByteArray>
#include <QScriptContext>

#include <climits>
#include <cmath>
#include <type_traits>

#include "device/DeviceInterface.h"
#include "scriptdlg/ScriptGatewayCalls.h"
#include "scriptdlg/ScriptRecords.h"
#include "settings_model/RecordFields.h"

namespace {

const QString scriptSource = QStringLiteral("Script");

ScriptThread* hostOf(void* host)
{
    return static_cast<ScriptThread*>(host);
}

QScriptValue success()
{
    return scriptNull();
}

QScriptValue failure()
{
    return scriptUndefined();
}

// A missing second argument means 0; a missing first one is refused.
bool targetArgument(QScriptContext* context, int index, int* out)
{
    if (index >= context->argumentCount()) {
        *out = 0;
        return index > 0;
    }
    return scriptTargetValue(context->argument(index), out);
}

// What every motion command shares: wait out an earlier failure, never move after a stop,
// and count a missing controller or a failed call as a failure that holds the next command.
template <typename Call>
QScriptValue runMotion(ScriptThread* thread, Call&& call)
{
    if (!thread->waitForClearedError())
        return failure();
    const device_t handle = thread->currentHandle();
    if (handle == -1) {
        thread->stoppedOnError = true;
        thread->log(QStringLiteral("No controller is open: the motion command was not sent"), 1);
        return failure();
    }
    if (thread->stopIfRequested())
        return failure();
    // A call refused for a stop is no controller failure.
    if (call(handle) != 0) {
        if (!thread->stopIfRequested())
            thread->stoppedOnError = true;
        return failure();
    }
    return success();
}

template <result_t (DeviceInterface::*command)(device_t)>
QScriptValue script_command(QScriptContext*, QScriptEngine*, void* host)
{
    ScriptThread* thread = hostOf(host);
    return runMotion(thread, [thread](device_t handle) { return (thread->gateway()->*command)(handle); });
}

template <result_t (DeviceInterface::*command)(device_t, int, int)>
QScriptValue motionTo(QScriptContext* context, ScriptThread* thread, const char* name)
{
    int steps = 0;
    int microsteps = 0;
    if (!targetArgument(context, 0, &steps) || !targetArgument(context, 1, &microsteps)) {
        thread->log(QStringLiteral("%1(): the target must be given as finite numbers within the 32-bit range; "
                                   "the axis was not moved")
                        .arg(QLatin1String(name)),
                    2);
        return failure();
    }
    return runMotion(thread, [thread, steps, microsteps](device_t handle) {
        return (thread->gateway()->*command)(handle, steps, microsteps);
    });
}

QScriptValue script_move(QScriptContext* context, QScriptEngine*, void* host)
{
    return motionTo<&DeviceInterface::command_move>(context, hostOf(host), "move");
}

QScriptValue script_movr(QScriptContext* context, QScriptEngine*, void* host)
{
    return motionTo<&DeviceInterface::command_movr>(context, hostOf(host), "movr");
}

QScriptValue script_gets(QScriptContext*, QScriptEngine* engine, void* host)
{
    ScriptThread* thread = hostOf(host);
    if (!thread->waitForClearedError() || thread->stopIfRequested())
        return failure();
    status_t status{};
    if (thread->gateway()->get_status(thread->currentHandle(), &status) != 0) {
        if (!thread->stopIfRequested())
            thread->stoppedOnError = true;
        return failure();
    }
    return toScriptValue(engine, status);
}

template <typename Record>
QScriptValue script_get(QScriptContext*, QScriptEngine* engine, void* host)
{
    ScriptThread* thread = hostOf(host);
    if (thread->stopIfRequested())
        return failure();
    Record record{};
    if (gatewayGet(*thread->gateway(), thread->currentHandle(), &record) != 0)
        return failure();
    return toScriptValue(engine, record);
}

template <typename Record>
QScriptValue script_set(QScriptContext* context, QScriptEngine*, void* host)
{
    ScriptThread* thread = hostOf(host);
    Record record;
    fromScriptValue(context->argument(0), record);
    if (thread->stopIfRequested())
        return failure();
    return gatewaySet(*thread->gateway(), thread->currentHandle(), &record) == 0 ? success() : failure();
}

QScriptValue script_msleep(QScriptContext* context, QScriptEngine*, void* host)
{
    return scriptSleep(context, hostOf(host));
}

QScriptValue script_log(QScriptContext* context, QScriptEngine*, void* host)
{
    int level = 3;
    if (context->argumentCount() >= 2) {
        const double value = context->argument(1).toInteger();
        level = value <= double(INT_MIN) ? INT_MIN : value >= double(INT_MAX) ? INT_MAX : static_cast<int>(value);
    }
    return hostOf(host)->log(context->argument(0).toString(), level) ? success() : failure();
}

} // namespace

ScriptThread::ScriptThread(DeviceInterface* gateway, std::atomic<device_t>* handle, QObject* parent)
    : ScriptEngineThread(parent), device(gateway), deviceHandle(handle)
{
    registerGlobals();
}

ScriptThread::~ScriptThread()
{
    requestQuit();
    wait();
}

bool ScriptThread::log(const QString& text, int level)
{
    return postLogLine(text, scriptSource, level);
}

bool ScriptThread::waitForClearedError()
{
    return waitWhileSet(stoppedOnError);
}

template <typename Record>
void ScriptThread::registerRecordFunctions(const char* typeName)
{
    // status_t has its reader in gets and no writer.
    if constexpr (!std::is_same_v<Record, status_t>) {
        QByteArray name(typeName);
        name.chop(2); // "_t"
        registerFunction(("set_" + name).constData(), &script_set<Record>, this);
        registerFunction(("get_" + name).constData(), &script_get<Record>, this);
    } else {
        Q_UNUSED(typeName);
    }
}

void ScriptThread::registerGlobals()
{
    registerFunction("msleep", &script_msleep, this);
    registerFunction("log", &script_log, this);
    registerFunction("rigt", &script_command<&DeviceInterface::command_right>, this);
    registerFunction("left", &script_command<&DeviceInterface::command_left>, this);
    registerFunction("stop", &script_command<&DeviceInterface::command_stop>, this);
    registerFunction("sstp", &script_command<&DeviceInterface::command_sstp>, this);
    registerFunction("move", &script_move, this);
    registerFunction("movr", &script_movr, this);
    registerFunction("zero", &script_command<&DeviceInterface::command_zero>, this);
    registerFunction("home", &script_command<&DeviceInterface::command_home>, this);
    registerFunction("gets", &script_gets, this);
    registerConstants();
    registerRecordTypes();
#define SCRIPT_RECORD_FUNCTIONS(type, unlisted) registerRecordFunctions<type>(#type);
    TROV_SCRIPT_RECORDS(SCRIPT_RECORD_FUNCTIONS)
#undef SCRIPT_RECORD_FUNCTIONS
}
