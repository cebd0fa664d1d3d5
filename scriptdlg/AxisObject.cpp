#include "scriptdlg/AxisObject.h"

#include <QScriptContext>
#include <QScriptEngine>

#include <type_traits>

#include "device/DeviceInterface.h"
#include "scriptdlg/ScriptAxisHost.h"
#include "scriptdlg/ScriptEngineThread.h"
#include "scriptdlg/ScriptGatewayCalls.h"
#include "scriptdlg/ScriptRecords.h"

AxisObject::AxisObject(ScriptAxisHost* axisHost, int axisIndex, ScriptEngineThread* engineThread)
    : host(axisHost),
      axis(axisIndex),
      gateway(axisHost ? axisHost->scriptAxisGateway(axisIndex) : nullptr),
      handle(axisHost ? axisHost->scriptAxisHandle(axisIndex) : nullptr),
      thread(engineThread)
{
}

bool AxisObject::mayCall(bool motion)
{
    if (!gateway || !handle || (thread && thread->stopIfRequested()))
        return false;
    return host->scriptAxisMayCall(axis, motion);
}

QScriptValue AxisObject::commandResult(const std::function<result_t(device_t)>& call)
{
    // No result code: a refusal is logged by the window, a skip by the host.
    if (mayCall(true))
        call(handle->load());
    return scriptUndefined();
}

template <result_t (DeviceInterface::*call)(device_t)>
QScriptValue AxisObject::command()
{
    return commandResult([this](device_t id) { return (gateway->*call)(id); });
}

template <result_t (DeviceInterface::*call)(device_t, int, int)>
QScriptValue AxisObject::moveCommand(int pos, int upos, const char* name)
{
    if (QScriptContext* script = context()) {
        // The binding has already turned NaN into 0 and wrapped large numbers: judge the
        // script's own values.
        const bool valid = scriptTargetValue(argument(0), &pos)
                           && (argumentCount() < 2 || scriptTargetValue(argument(1), &upos));
        if (!valid) {
            script->throwError(QScriptContext::TypeError,
                               QStringLiteral("%1(): the target must be finite and within the 32-bit range")
                                   .arg(QLatin1String(name)));
            return scriptUndefined();
        }
    }
    return commandResult([this, pos, upos](device_t id) { return (gateway->*call)(id, pos, upos); });
}

template <typename Record>
QScriptValue AxisObject::read()
{
    QScriptEngine* scriptEngine = engine();
    if (!scriptEngine || !mayCall())
        return scriptUndefined();
    Record record{};
    if constexpr (std::is_same_v<Record, status_t>) {
        if (gateway->get_status(handle->load(), &record) != 0)
            return scriptUndefined();
    } else {
        if (gatewayGet(*gateway, handle->load(), &record) != 0)
            return scriptUndefined();
    }
    return toScriptValue(scriptEngine, record);
}

template <typename Record>
void AxisObject::write(const Record& record)
{
    if (mayCall())
        gatewaySet(*gateway, handle->load(), &record);
}

QScriptValue AxisObject::rigt() { return command<&DeviceInterface::command_right>(); }
QScriptValue AxisObject::left() { return command<&DeviceInterface::command_left>(); }
QScriptValue AxisObject::stop() { return command<&DeviceInterface::command_stop>(); }
QScriptValue AxisObject::sstp() { return command<&DeviceInterface::command_sstp>(); }
QScriptValue AxisObject::zero() { return command<&DeviceInterface::command_zero>(); }
QScriptValue AxisObject::home() { return command<&DeviceInterface::command_home>(); }

QScriptValue AxisObject::move(int pos, int upos)
{
    return moveCommand<&DeviceInterface::command_move>(pos, upos, "move");
}

QScriptValue AxisObject::movr(int pos, int upos)
{
    return moveCommand<&DeviceInterface::command_movr>(pos, upos, "movr");
}

QScriptValue AxisObject::gets()
{
    return read<status_t>();
}

#define AXIS_OBJECT_RECORD(name)                                        \
    void AxisObject::set_##name(name##_t s) { write(s); }              \
    QScriptValue AxisObject::get_##name() { return read<name##_t>(); }
AXIS_OBJECT_RECORD(feedback_settings)
AXIS_OBJECT_RECORD(home_settings)
AXIS_OBJECT_RECORD(move_settings)
AXIS_OBJECT_RECORD(engine_settings)
AXIS_OBJECT_RECORD(entype_settings)
AXIS_OBJECT_RECORD(power_settings)
AXIS_OBJECT_RECORD(secure_settings)
AXIS_OBJECT_RECORD(edges_settings)
AXIS_OBJECT_RECORD(pid_settings)
AXIS_OBJECT_RECORD(sync_in_settings)
AXIS_OBJECT_RECORD(sync_out_settings)
AXIS_OBJECT_RECORD(extio_settings)
AXIS_OBJECT_RECORD(brake_settings)
AXIS_OBJECT_RECORD(control_settings)
AXIS_OBJECT_RECORD(joystick_settings)
AXIS_OBJECT_RECORD(ctp_settings)
AXIS_OBJECT_RECORD(uart_settings)
AXIS_OBJECT_RECORD(stage_information)
AXIS_OBJECT_RECORD(stage_settings)
AXIS_OBJECT_RECORD(dc_information)
AXIS_OBJECT_RECORD(dc_settings)
AXIS_OBJECT_RECORD(step_information)
AXIS_OBJECT_RECORD(step_settings)
AXIS_OBJECT_RECORD(encoder_information)
AXIS_OBJECT_RECORD(encoder_settings)
AXIS_OBJECT_RECORD(gear_information)
AXIS_OBJECT_RECORD(gear_settings)
#undef AXIS_OBJECT_RECORD
