#include "scriptdlg/ScriptRecords.h"

#include <QString>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "common/FieldText.h"
#include "device/TrovMetaTypes.h"
#include "scriptdlg/ScriptRecordFields.h"

namespace {

// --- record to object

QScriptValue fieldValue(uint32_t field, scriptFieldKind::U32) { return QScriptValue(uint(field)); }
QScriptValue fieldValue(int32_t field, scriptFieldKind::I32) { return QScriptValue(int(field)); }
QScriptValue fieldValue(float field, scriptFieldKind::F32) { return QScriptValue(qsreal(field)); }
// Exact within 2^53, the nearest double beyond.
QScriptValue fieldValue(int64_t field, scriptFieldKind::I64) { return QScriptValue(qsreal(field)); }
QScriptValue fieldValue(int32_t field, scriptFieldKind::I32_DIV100) { return QScriptValue(qsreal(field) / 100.0); }
QScriptValue fieldValue(int32_t field, scriptFieldKind::I32_DIV10) { return QScriptValue(qsreal(field) / 10.0); }

// A valid field ends inside its last byte, so its text never needs that byte; reading one byte
// less also bounds a field that has no NUL at all.
template <size_t N>
QScriptValue fieldValue(const char (&field)[N], scriptFieldKind::TEXT)
{
    static_assert(N > 1, "a text field holds at least its NUL");
    return QScriptValue(readFieldText(field, N - 1));
}

struct PropertySetter
{
    QScriptValue& object;

    template <typename Field, typename Kind>
    void operator()(const char* name, const Field& field, Kind k) const
    {
        object.setProperty(QString::fromLatin1(name), fieldValue(field, k));
    }

    template <size_t N>
    void operator()(const char* name, const uint32_t (&field)[N], scriptFieldKind::U32_ARRAY) const
    {
        const QString prefix = QString::fromLatin1(name);
        for (size_t i = 0; i < N; ++i)
            object.setProperty(prefix + QString::number(i), QScriptValue(uint(field[i])));
    }
};

// --- object to record

// Rounds to the nearest float without the undefined behaviour of casting a double outside
// the float range: beyond the midpoint above FLT_MAX the nearest is infinity.
float toFloat(double value)
{
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    const double overflowFrom = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    if (std::fabs(value) >= overflowFrom)
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    if (std::fabs(value) > double(FLT_MAX))
        return value > 0 ? FLT_MAX : -FLT_MAX;
    return static_cast<float>(value);
}

void storeField(const QScriptValue& property, uint32_t& field, scriptFieldKind::U32) { field = property.toUInt32(); }
void storeField(const QScriptValue& property, int32_t& field, scriptFieldKind::I32) { field = property.toInt32(); }
void storeField(const QScriptValue& property, float& field, scriptFieldKind::F32) { field = toFloat(property.toNumber()); }

template <size_t N>
void storeField(const QScriptValue& property, char (&field)[N], scriptFieldKind::TEXT)
{
    writeFieldText(property.toString(), field);
}

struct PropertyReader
{
    const QScriptValue& object;

    template <typename Field, typename Kind>
    void operator()(const char* name, Field& field, Kind k) const
    {
        storeField(object.property(QString::fromLatin1(name)), field, k);
    }

    template <size_t N>
    void operator()(const char* name, uint32_t (&field)[N], scriptFieldKind::U32_ARRAY) const
    {
        const QString prefix = QString::fromLatin1(name);
        for (size_t i = 0; i < N; ++i)
            field[i] = object.property(prefix + QString::number(i)).toUInt32();
    }
};

} // namespace

template <typename Record>
QScriptValue toScriptValue(QScriptEngine* engine, const Record& record)
{
    QScriptValue object = engine->newObject();
    ScriptFields<Record>::visit(record, PropertySetter{object});
    return object;
}

template <typename Record>
void fromScriptValue(const QScriptValue& value, Record& record)
{
    if constexpr (std::is_same_v<Record, status_t>) {
        Q_UNUSED(value)
        Q_UNUSED(record)
    } else {
        // A meta-type default-constructs records without zeroing them: texts and padding
        // would keep whatever the memory held.
        std::memset(static_cast<void*>(&record), 0, sizeof record);
        ScriptFields<Record>::visit(record, PropertyReader{value});
    }
}

#define TROV_SCRIPT_INSTANTIATE(type, unlisted)                                   \
    template QScriptValue toScriptValue<type>(QScriptEngine*, const type&); \
    template void fromScriptValue<type>(const QScriptValue&, type&);
TROV_SCRIPT_RECORDS(TROV_SCRIPT_INSTANTIATE)
#undef TROV_SCRIPT_INSTANTIATE

void registerScriptRecordTypes(QScriptEngine* engine)
{
    registerTrovMetaTypes();
#define TROV_SCRIPT_REGISTER(type, unlisted) \
    qScriptRegisterMetaType<type>(engine, &toScriptValue<type>, &fromScriptValue<type>);
    TROV_SCRIPT_RECORDS(TROV_SCRIPT_REGISTER)
#undef TROV_SCRIPT_REGISTER
}
