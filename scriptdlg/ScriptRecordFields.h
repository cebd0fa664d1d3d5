#ifndef SCRIPTRECORDFIELDS_H
#define SCRIPTRECORDFIELDS_H

#include "settings_model/RecordFields.h"

// The fields of the 28 script records, from the one table of RecordFields.h.

// Field kinds of RecordFields.h as tag types, so each field picks its conversion by overload.
namespace scriptFieldKind {
struct U32 {};
struct I32 {};
struct F32 {};
struct I64 {};
struct TEXT {};
struct U32_ARRAY {};
struct I32_DIV100 {};
struct I32_DIV10 {};
} // namespace scriptFieldKind

template <typename Record>
struct ScriptFields;

// visit(record, v) calls v(name, field, kind) for every field in record order.
#define TROV_SCRIPT_VISIT_FIELD(name, fieldKind, compare) visitor(#name, record.name, scriptFieldKind::fieldKind{});
#define TROV_SCRIPT_FIELDS(type, unlisted)                  \
    template <>                                             \
    struct ScriptFields<type>                               \
    {                                                       \
        template <typename R, typename V>                   \
        static void visit(R& record, V&& visitor)           \
        {                                                   \
            TROV_FIELDS_##type(TROV_SCRIPT_VISIT_FIELD)     \
        }                                                   \
    };
TROV_SCRIPT_RECORDS(TROV_SCRIPT_FIELDS)
#undef TROV_SCRIPT_FIELDS
#undef TROV_SCRIPT_VISIT_FIELD

#endif // SCRIPTRECORDFIELDS_H
