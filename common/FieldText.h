#ifndef FIELDTEXT_H
#define FIELDTEXT_H

#include <QString>
#include <cstddef>

// Fixed-size text fields of the controller records hold UTF-8. Pages, profiles and scripts all
// go through this pair, so that a text read and written back is byte-exact.

// The field's text up to its first NUL, or up to its end when it has none; never a byte past it.
QString readFieldText(const char* field, size_t capacity);

// At most capacity - 1 bytes of UTF-8, cut on a character boundary; the rest of the field is
// zeroed, so the text always ends inside it.
void writeFieldText(const QString& text, char* field, size_t capacity);

template <size_t N>
QString readFieldText(const char (&field)[N])
{
    return readFieldText(field, N);
}

template <size_t N>
void writeFieldText(const QString& text, char (&field)[N])
{
    writeFieldText(text, field, N);
}

#endif // FIELDTEXT_H
