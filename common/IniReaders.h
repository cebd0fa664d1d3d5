#ifndef INIREADERS_H
#define INIREADERS_H

#include <QString>

#include <cstddef>

class QSettings;

// Report texts appended after the key by the readers below.
extern const QString keyNotFoundText;          // " key not found\n"
extern const QString keyUnknownParameterText;  // " key unknown parameter\n"

// One entry of an enum name table of a profile file.
struct EnumEntry
{
    const char* name;
    int value;
};

// Typed readers of one key of an INI store (the caller has entered the group) into a field of
// a controller record. A missing key appends "<key> key not found\n" to the report, a value that
// does not fit the field appends "<key> key unknown parameter\n"; in both cases the field keeps
// its value. They return true when the field was written. report may be null.
bool readSettingInt(QSettings* settings, QString* report, const char* key, int* value);
bool readSettingUInt(QSettings* settings, QString* report, const char* key, unsigned int* value);
bool readSettingFloat(QSettings* settings, QString* report, const char* key, float* value);
// One flag bit kept as a boolean key: true sets the mask bits, false clears them.
bool readSettingBool(QSettings* settings, QString* report, const char* key, unsigned int* flags,
                     unsigned int mask);
// The mask bits of a flag word replaced by the key's number ANDed with the mask.
bool readSettingFlag(QSettings* settings, QString* report, const char* key, unsigned int* flags,
                     unsigned int mask);
// A text field of capacity bytes: at most capacity - 1 bytes of UTF-8, cut on a character
// boundary, always terminated inside the field.
bool readSettingString(QSettings* settings, QString* report, const char* key, char* text,
                       size_t capacity);
// The stored name looked up (exact, case-sensitive) in the table; the first match stores its value.
bool readSettingEnum(QSettings* settings, QString* report, const char* key, int* value,
                     const EnumEntry* table, size_t count);

#endif
