#include "settings_model/RecordEquality.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "settings_model/RecordFields.h"

namespace {

bool fieldEqual(uint32_t a, uint32_t b) { return a == b; }
bool fieldEqual(int32_t a, int32_t b) { return a == b; }
// A NaN read from a controller equals itself: otherwise every Apply would write the record
// again, and a positioner's memory would be rewritten though nobody changed it.
bool fieldEqual(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// A text that fills its field without a NUL is compared over the field, never past it.
template <size_t N>
bool fieldEqual(const char (&a)[N], const char (&b)[N])
{
    return std::strncmp(a, b, N) == 0;
}

template <size_t N>
bool fieldEqual(const uint32_t (&a)[N], const uint32_t (&b)[N])
{
    for (size_t i = 0; i < N; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

#define RECORD_EQUALITY_FIELD_CMP(name) &&fieldEqual(a.name, b.name)
#define RECORD_EQUALITY_FIELD_SKIP(name)
#define RECORD_EQUALITY_FIELD(name, kind, compare) RECORD_EQUALITY_FIELD_##compare(name)

// Every field of a record is in its list: the listed sizes and the unlisted bytes add up to the
// record's size.
#define RECORD_FIELD_SIZE(name, kind, compare) +sizeof(Record::name)
#define RECORD_CHECK_COVERED(type, unlisted)                                         \
    namespace covered_##type {                                                       \
    using Record = type;                                                             \
    static_assert(0 TROV_FIELDS_##type(RECORD_FIELD_SIZE) + (unlisted) == sizeof(type), \
                  #type ": a field is missing from its list");                       \
    }
TROV_COMPARED_RECORDS(RECORD_CHECK_COVERED)
TROV_SCRIPT_RECORDS(RECORD_CHECK_COVERED)

} // namespace

#define RECORD_EQUALITY_DEFINE(type, unlisted)                                  \
    bool isEqual(const type& a, const type& b)                                 \
    {                                                                          \
        return true TROV_FIELDS_##type(RECORD_EQUALITY_FIELD);                 \
    }
TROV_COMPARED_RECORDS(RECORD_EQUALITY_DEFINE)
