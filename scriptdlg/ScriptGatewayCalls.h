#ifndef SCRIPTGATEWAYCALLS_H
#define SCRIPTGATEWAYCALLS_H

#include <QScriptContext>
#include <QScriptValue>

#include <climits>
#include <cmath>

#include "device/DeviceInterface.h"
#include "scriptdlg/ScriptEngineThread.h"

// What the natives of both script engines share on their way to a gateway.

// Every record the gateway reads and writes, chosen by overload on the record's type.
#define SCRIPT_GATEWAY_RECORD(name)                                                           \
    inline result_t gatewayGet(DeviceInterface& gateway, device_t id, name##_t* record)       \
    {                                                                                        \
        return gateway.get_##name(id, record);                                               \
    }                                                                                        \
    inline result_t gatewaySet(DeviceInterface& gateway, device_t id, const name##_t* record) \
    {                                                                                        \
        return gateway.set_##name(id, record);                                               \
    }
DEVICE_INTERFACE_RECORDS(SCRIPT_GATEWAY_RECORD)
#undef SCRIPT_GATEWAY_RECORD

// A target of move and movr: a finite number within 32 bits once cut toward zero. A NaN, an
// infinity or a number beyond the int range is refused rather than cast.
inline bool scriptTargetValue(const QScriptValue& argument, int* out)
{
    const double value = std::trunc(argument.toNumber());
    if (!std::isfinite(value) || value < double(INT_MIN) || value > double(INT_MAX))
        return false;
    *out = static_cast<int>(value);
    return true;
}

// A real undefined: an invalid QScriptValue handed back to the engine crashes it once used.
inline QScriptValue scriptUndefined()
{
    return QScriptValue(QScriptValue::UndefinedValue);
}

inline QScriptValue scriptNull()
{
    return QScriptValue(QScriptValue::NullValue);
}

// "msleep": no argument, NaN, a non-number or a count below 1 sleeps not at all; a stop cuts the
// sleep short and ends the run.
inline QScriptValue scriptSleep(QScriptContext* context, ScriptEngineThread* thread)
{
    const double ms = context->argumentCount() > 0 ? std::trunc(context->argument(0).toNumber()) : 0.0;
    if (!(ms >= 1))
        return scriptNull();
    return thread->sleepMs(ms) ? scriptNull() : scriptUndefined();
}

#endif // SCRIPTGATEWAYCALLS_H
