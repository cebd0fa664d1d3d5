// Field descriptors of every get_/set_ record, built from records.def: defaults, validation,
// text form (flash and EEPROM files) and microstep rescaling.
#pragma once

#include "trov.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

namespace trovsim {

enum class RecordId : int {
#define TROV_RECORD(record, store) record,
#define TROV_FIELD(...)
#define TROV_END(record)
#include "records.def"
#undef TROV_RECORD
#undef TROV_FIELD
#undef TROV_END
};

constexpr int kRecordCount = 0
#define TROV_RECORD(record, store) +1
#define TROV_FIELD(...)
#define TROV_END(record)
#include "records.def"
#undef TROV_RECORD
#undef TROV_FIELD
#undef TROV_END
    ;

constexpr size_t kMaxRecordSize = 256;

enum class Store { RAM, EEPROM };
enum class FieldType { U32, I32, F32, F64, TEXT, BYTES };
enum class Rule { ANY, RANGE, RANGE_NZ, MASK, ENUM, ENUM_RANGE, USTEP, TEXT, FINITE, CONTROL_FLAGS, EXTIO_MODE };
enum class MotorKind { Stepper = 0, Dc = 1, Bldc = 2 };

struct FieldDesc {
    const char* name;
    size_t offset;
    FieldType type;
    int count;
    Rule rule;
    long long a, b;
    const char* defaults[3]; // per MotorKind; null = as the kind before
};

struct RecordDesc {
    const char* name;
    RecordId id;
    Store store;
    size_t size;
    const FieldDesc* fields;
    int fieldCount;
};

const RecordDesc& describe(RecordId id);
const RecordDesc* findRecord(const std::string& name);

// Bytes of a record, naturally aligned; only the first describe(id).size bytes are used.
struct alignas(8) RecordBytes {
    uint8_t bytes[kMaxRecordSize];
};

template <class T> struct RecordOf;
#define TROV_RECORD(record, store)                                                    \
    template <> struct RecordOf<record##_t> {                                        \
        static constexpr RecordId id = RecordId::record;                             \
    };
#define TROV_FIELD(...)
#define TROV_END(record)
#include "records.def"
#undef TROV_RECORD
#undef TROV_FIELD
#undef TROV_END

// One copy of every record (RAM, flash or EEPROM image), with typed access.
struct RecordSet {
    std::array<RecordBytes, kRecordCount> records{};

    uint8_t* bytes(RecordId id) { return records[static_cast<size_t>(id)].bytes; }
    const uint8_t* bytes(RecordId id) const { return records[static_cast<size_t>(id)].bytes; }
    template <class T> T get() const
    {
        T value;
        std::memcpy(&value, bytes(RecordOf<T>::id), sizeof value);
        return value;
    }
    template <class T> void put(const T& value) { std::memcpy(bytes(RecordOf<T>::id), &value, sizeof value); }
};

// What validation needs to know of the controller.
struct ValidationContext {
    uint32_t divisor = 256;         // current microstep divisor
    bool stepper = true;            // microstep parts are checked only for steppers
    const uint8_t* held = nullptr;  // the record the controller holds (enumerations keep it)
};

uint32_t microstepDivisor(uint32_t mode);
ValidationContext contextFor(const RecordSet& ram);

// Zero fill, then the defaults of the kind.
void fillDefaults(RecordId id, MotorKind kind, uint8_t* out);
void fillAllDefaults(RecordSet& set, MotorKind kind, Store store);
// Zeroes the padding and what follows the terminator of each text.
void normalise(RecordId id, uint8_t* rec);
// Corrects rec in place. Returns false if nothing changed; else describes the first correction.
bool validate(RecordId id, uint8_t* rec, const ValidationContext& ctx, std::string* firstCorrection);
// Rescales every microstep part of the record when the divisor changes, truncating.
void rescaleMicrosteps(RecordId id, uint8_t* rec, uint32_t oldDivisor, uint32_t newDivisor);

// Text form: one "Field = value" line per field.
std::string writeSection(RecordId id, const uint8_t* rec);
// Applies the given keys to rec; keys not given keep their value. False on an unknown key or a
// value that does not parse.
bool readSection(RecordId id, const std::map<std::string, std::string>& keys, uint8_t* rec, std::string* error);

// The EEPROM content of a positioner model ("LS-100", "LS-50"; other names get LS-100 data).
void positionerDefaults(const std::string& model, RecordSet& set);

} // namespace trovsim
