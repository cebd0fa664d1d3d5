#include "common/FieldText.h"

#include <QByteArray>
#include <cstring>

QString readFieldText(const char* field, size_t capacity)
{
    if (!field || capacity == 0)
        return QString();
    return QString::fromUtf8(field, static_cast<int>(strnlen(field, capacity)));
}

void writeFieldText(const QString& text, char* field, size_t capacity)
{
    if (!field || capacity == 0)
        return;
    const QByteArray bytes = text.toUtf8();
    // A text holding U+0000 ends there; nothing after it reaches the field.
    size_t length = strnlen(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (length > capacity - 1) {
        length = capacity - 1;
        // Never split a multi-byte character: step back over continuation bytes.
        while (length > 0 && (static_cast<unsigned char>(bytes[static_cast<int>(length)]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, bytes.constData(), length);
    std::memset(field + length, 0, capacity - length);
}
