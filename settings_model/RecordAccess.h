#ifndef RECORDACCESS_H
#define RECORDACCESS_H

#include <cstddef>
#include <cstring>
#include <vector>

#include "settings_model/ProfileLayout.h"
#include "settings_model/RecordEquality.h"

#include "trov.h"

class DeviceInterface;

// How a settings container reaches one of its records: the member, the gateway's get_ and set_
// wrappers of its type and its text fields. Containers keep one constant row per record.
template <typename Container>
struct RecordAccess
{
    const char* setName;
    void* (*record)(Container&);
    size_t size;
    result_t (*get)(DeviceInterface&, device_t, void*);
    result_t (*set)(DeviceInterface&, device_t, const void*);
    void (*terminate)(void*);
    // The record's equality test.
    bool (*equal)(const void*, const void*);
    // A profile holds every field of the record.
    bool wholeInProfile;
};

// A row for the record `member` of type call##_t, read and written with get_##call / set_##call.
#define RECORD_ACCESS_ROW(Container, member, call, whole)                                           \
    RecordAccess<Container>{                                                                        \
        "set_" #call, [](Container& s) -> void* { return &s.member; }, sizeof(call##_t),            \
        [](DeviceInterface& g, device_t h, void* r) { return g.get_##call(h, static_cast<call##_t*>(r)); }, \
        [](DeviceInterface& g, device_t h, const void* r) {                                         \
            return g.set_##call(h, static_cast<const call##_t*>(r));                                \
        },                                                                                          \
        [](void* r) { terminateTexts(*static_cast<call##_t*>(r)); },                                \
        [](const void* a, const void* b) {                                                          \
            return isEqual(*static_cast<const call##_t*>(a), *static_cast<const call##_t*>(b));     \
        },                                                                                          \
        whole},

// Whether row index's record is equal in a and b.
template <typename Container, size_t N>
bool sameRecordAt(const RecordAccess<Container> (&rows)[N], const Container& a, const Container& b, int index)
{
    return rows[index].equal(rows[index].record(const_cast<Container&>(a)), rows[index].record(const_cast<Container&>(b)));
}

// Row index's record of from copied into to.
template <typename Container, size_t N>
void copyRecordAt(const RecordAccess<Container> (&rows)[N], Container& to, const Container& from, int index)
{
    std::memcpy(rows[index].record(to), rows[index].record(const_cast<Container&>(from)), rows[index].size);
}

// The index of the row whose record holds the address, or -1.
template <typename Container, size_t N>
int recordHolding(const RecordAccess<Container> (&rows)[N], Container& container, const void* field)
{
    const char* address = static_cast<const char*>(field);
    for (size_t i = 0; i < N; ++i) {
        const char* begin = static_cast<const char*>(rows[i].record(container));
        if (address >= begin && address < begin + rows[i].size)
            return static_cast<int>(i);
    }
    return -1;
}

// After a profile load: every record of which each key loaded, and that a profile holds whole,
// counts as valid.
template <typename Container, size_t N>
void markLoadedRecords(const RecordAccess<Container> (&rows)[N], Container& container, const ProfileLayout& layout,
                       const std::vector<bool>& keyRead, bool (&valid)[N])
{
    bool complete[N];
    for (size_t i = 0; i < N; ++i)
        complete[i] = rows[i].wholeInProfile;
    for (size_t i = 0; i < layout.count() && i < keyRead.size(); ++i) {
        const ProfileKey& key = layout.keys()[i];
        if (!key.isKey() || keyRead[i])
            continue;
        const int index = recordHolding(rows, container, key.field(&container));
        if (index >= 0)
            complete[index] = false;
    }
    for (size_t i = 0; i < N; ++i) {
        if (complete[i])
            valid[i] = true;
    }
}

// The log line of a write left out because the record was never read from the controller.
void logRecordNeverRead(const char* setName);

#endif // RECORDACCESS_H
