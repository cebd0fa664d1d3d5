#ifndef PROFILELAYOUT_H
#define PROFILELAYOUT_H

#include <QString>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/IniReaders.h"

class QSettings;

// A constant table of enum names; shared by every container, never copied or freed.
struct EnumTable
{
    const EnumEntry* entries;
    size_t count;
};

// One row of a profile layout: a group, a flag word cleared before its group is read, or a key.
struct ProfileKey
{
    enum Kind {
        Group,         // name: the group that the following keys belong to
        Clear,         // a flag word set to 0 before the group is read
        SwapNextRead,  // the reader takes the next two keys in the opposite order
        Bool,          // one bit (mask) of a flag word, "true" or "false"
        Int,           // int32_t
        UInt,          // uint32_t
        Float,         // float, six significant digits
        Text,          // char[size], UTF-8
        Enum,          // uint32_t named by table
        MaskedEnum,    // the mask bits of a flag word named by table; a missing or unknown name reads as 0
    };

    Kind kind;
    const char* name;
    void* (*field)(void* container);
    size_t size;
    uint32_t mask;
    const EnumTable* table;

    bool isKey() const { return kind >= Bool; }
    // The field inside the given container.
    template <typename T>
    T* at(void* container) const
    {
        return static_cast<T*>(field(container));
    }
};

// Whether a field of type T can be stored under a key of kind K.
template <ProfileKey::Kind K, typename T>
constexpr bool profileFieldFits()
{
    switch (K) {
    case ProfileKey::Clear:
    case ProfileKey::Bool:
    case ProfileKey::UInt:
    case ProfileKey::Enum:
    case ProfileKey::MaskedEnum:
        return std::is_same<T, uint32_t>::value;
    case ProfileKey::Int:
        return std::is_same<T, int32_t>::value;
    case ProfileKey::Float:
        return std::is_same<T, float>::value;
    case ProfileKey::Text:
        return std::is_array<T>::value && std::is_same<std::remove_extent_t<T>, char>::value;
    default:
        return false;
    }
}

// Rows for a layout file: in the includer, define PROFILE_CONTAINER as the container type, then
//   PROFILE_GROUP("name")  PROFILE_CLEAR(member.Field)  PROFILE_SWAP_NEXT_READ()
//   PROFILE_KEY(Kind, "key", member.Field, mask, table)   (table: an EnumTable or None)
#define PROFILE_FIELD_TYPE(path) std::remove_reference_t<decltype(std::declval<PROFILE_CONTAINER&>().path)>
#define PROFILE_ROW(kind, name, path, mask, table)                                                  \
    ProfileKey{ProfileKey::kind, name,                                                             \
               [](void* c) -> void* {                                                              \
                   static_assert(profileFieldFits<ProfileKey::kind, PROFILE_FIELD_TYPE(path)>(),   \
                                 "the field does not fit a key of this kind");                     \
                   return &static_cast<PROFILE_CONTAINER*>(c)->path;                               \
               },                                                                                  \
               sizeof(PROFILE_FIELD_TYPE(path)), (mask), (table)},
#define PROFILE_GROUP(name) ProfileKey{ProfileKey::Group, name, nullptr, 0, 0, nullptr},
#define PROFILE_SWAP_NEXT_READ() ProfileKey{ProfileKey::SwapNextRead, nullptr, nullptr, 0, 0, nullptr},
#define PROFILE_CLEAR(path) PROFILE_ROW(Clear, nullptr, path, 0, nullptr)
#define PROFILE_KEY(kind, name, path, mask, table) PROFILE_ROW(kind, name, path, mask, table)

// Saves and loads the groups and keys of a layout between an INI store and a container.
class ProfileLayout
{
public:
    // noGroupsLine: the one report line of a file that holds none of the layout's groups.
    ProfileLayout(const ProfileKey* keys, size_t count, const char* noGroupsLine);

    const ProfileKey* keys() const { return rows; }
    size_t count() const { return rowCount; }

    // Writes every group and key; a key whose value has no name is removed from the file, so
    // that an old name cannot come back on a later load. Syncs the store; true when the file
    // was written.
    bool save(QSettings& file, const void* container) const;

    // Reads every group and key in layout order, appending "<key> key not found\n" or
    // "<key> key unknown parameter\n" for each key that did not load; such a key leaves its
    // field as it was (a masked enum reads as 0). keyRead, when given, gets one entry per row:
    // true for each key that loaded. A file with none of the groups gets the one line and
    // changes nothing; the result is then false.
    bool load(QSettings& file, QString& report, void* container, std::vector<bool>* keyRead) const;

private:
    bool readKey(QSettings& file, QString& report, const ProfileKey& key, void* container) const;
    void writeKey(QSettings& file, const ProfileKey& key, void* container) const;

    const ProfileKey* rows;
    size_t rowCount;
    const char* noGroups;
};

#endif // PROFILELAYOUT_H
