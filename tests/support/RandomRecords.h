#ifndef RANDOMRECORDS_H
#define RANDOMRECORDS_H

// Containers filled field by field from RecordFields.h over each field's type range: codes no
// page knows, u32 values of 2^31 and more, pairs of mixed sign, microsteps above any divisor,
// texts with high bytes and without a NUL.

#include <QRandomGenerator>

#include <cstdint>
#include <limits>

#include "settings_model/MotorSettings.h"
#include "settings_model/RecordFields.h"
#include "settings_model/StageSettings.h"

namespace randomrecords {

inline uint32_t pick(QRandomGenerator& rng, std::initializer_list<uint32_t> pool)
{
    // Half of the values come from the pool of edges, half from the whole range.
    if (rng.bounded(2)) {
        return rng.generate();
    }
    return *(pool.begin() + rng.bounded(int(pool.size())));
}

inline void fill(uint32_t& field, QRandomGenerator& rng)
{
    field = pick(rng, {0u, 1u, 2u, 3u, 4u, 5u, 7u, 255u, 256u, 257u, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu});
}

inline void fill(int32_t& field, QRandomGenerator& rng)
{
    field = int32_t(pick(rng, {0u, 1u, 255u, 256u, 300u, 0xFFFFFFFFu, 0xFFFFFF00u, 0x7FFFFFFFu, 0x80000000u}));
}

inline void fill(int64_t& field, QRandomGenerator& rng)
{
    field = int64_t(rng.generate64());
}

inline void fill(float& field, QRandomGenerator& rng)
{
    const float pool[] = {0.0f, -1.5f, 0.1f, 1e-7f, 3.4e38f, -3.4e38f, 12345.678f};
    field = rng.bounded(2) ? pool[rng.bounded(int(sizeof pool / sizeof *pool))]
                           : float(rng.bounded(2000000.0) - 1000000.0);
}

template <size_t N>
void fill(char (&field)[N], QRandomGenerator& rng)
{
    const char* const words[] = {"Gr\xC3\xBC\xC3\x9F", "\xE6\x97\xA5\xE6\x9C\xAC", "plain", "\xFF\xFE\x80", ""};
    const int kind = rng.bounded(3);
    if (kind == 0) {    // every byte used, no NUL
        for (size_t i = 0; i < N; ++i)
            field[i] = char(rng.bounded(1, 256));
        return;
    }
    for (size_t i = 0; i < N; ++i)
        field[i] = char(rng.bounded(256));    // bytes after the NUL too
    const char* word = words[rng.bounded(int(sizeof words / sizeof *words))];
    size_t i = 0;
    for (; word[i] && i + 1 < N; ++i)
        field[i] = word[i];
    field[i] = 0;
}

template <typename T, size_t N>
void fill(T (&field)[N], QRandomGenerator& rng)
{
    for (T& element : field)
        fill(element, rng);
}

#define RANDOMRECORDS_FIELD(name, kind, compare) fill(record.name, rng);
#define RANDOMRECORDS_RECORD(type, unlisted)                 \
    inline void fillRecord(type& record, QRandomGenerator& rng) \
    {                                                        \
        TROV_FIELDS_##type(RANDOMRECORDS_FIELD)              \
    }
TROV_COMPARED_RECORDS(RANDOMRECORDS_RECORD)
#undef RANDOMRECORDS_RECORD
#undef RANDOMRECORDS_FIELD

} // namespace randomrecords

inline void fillRandom(MotorSettings& s, QRandomGenerator& rng)
{
    using randomrecords::fillRecord;
    fillRecord(s.engine, rng), fillRecord(s.entype, rng), fillRecord(s.pid, rng), fillRecord(s.syncIn, rng);
    fillRecord(s.syncOut, rng), fillRecord(s.edges, rng), fillRecord(s.secure, rng), fillRecord(s.move, rng);
    fillRecord(s.feedback, rng), fillRecord(s.home, rng), fillRecord(s.power, rng), fillRecord(s.brake, rng);
    fillRecord(s.control, rng), fillRecord(s.joystick, rng), fillRecord(s.ctp, rng), fillRecord(s.uart, rng);
    fillRecord(s.extio, rng), fillRecord(s.controllerName, rng);
}

inline void fillRandom(StageSettings& s, QRandomGenerator& rng)
{
    using randomrecords::fillRecord;
    fillRecord(s.stageName, rng), fillRecord(s.stageInformation, rng), fillRecord(s.stageSettings, rng);
    fillRecord(s.dcInformation, rng), fillRecord(s.dcSettings, rng), fillRecord(s.stepInformation, rng);
    fillRecord(s.stepSettings, rng), fillRecord(s.encoderInformation, rng), fillRecord(s.encoderSettings, rng);
    fillRecord(s.gearInformation, rng), fillRecord(s.gearSettings, rng);
}

#endif // RANDOMRECORDS_H
