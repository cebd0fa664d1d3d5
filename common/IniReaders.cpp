#include "common/IniReaders.h"

#include "common/FieldText.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cmath>
#include <limits>

const QString keyNotFoundText = QStringLiteral(" key not found\n");
const QString keyUnknownParameterText = QStringLiteral(" key unknown parameter\n");

namespace {

void appendReport(QString* report, const char* key, const QString& text)
{
    if (report)
        *report += QString::fromUtf8(key) + text;
}

// The stored value as text. A value with a comma comes back from QSettings as a list: join it
// back as it was written.
bool storedText(QSettings* settings, QString* report, const char* key, QString* text)
{
    if (!settings || !key)
        return false;
    const QString name = QString::fromUtf8(key);
    if (name.isEmpty() || !settings->contains(name)) {
        appendReport(report, key, keyNotFoundText);
        return false;
    }
    const QVariant value = settings->value(name);
    if (value.userType() == QMetaType::QStringList)
        *text = value.toStringList().join(QStringLiteral(", "));
    else
        *text = value.toString();
    return true;
}

bool parseSigned(const QString& text, qlonglong* out)
{
    bool ok = false;
    *out = text.toLongLong(&ok, 10);
    return ok;
}

bool parseUnsigned(const QString& text, qulonglong* out)
{
    // Qt refuses a minus sign here, but "-0" and the like must not slip through either.
    if (text.trimmed().startsWith(QLatin1Char('-')))
        return false;
    bool ok = false;
    *out = text.toULongLong(&ok, 10);
    return ok;
}

bool parseUInt(const QString& text, unsigned int* out)
{
    qulonglong number = 0;
    if (!parseUnsigned(text, &number) || number > std::numeric_limits<unsigned int>::max())
        return false;
    *out = static_cast<unsigned int>(number);
    return true;
}

bool parseBool(const QString& text, bool* out)
{
    const QString word = text.trimmed();
    if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        *out = true;
        return true;
    }
    if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        *out = false;
        return true;
    }
    qlonglong number = 0;
    if (parseSigned(word, &number)) {
        *out = number != 0;
        return true;
    }
    return false;
}

// Reads the key's text and hands it to store, which writes the field when the text fits it.
// A missing key or a text that does not fit is reported and leaves the field as it was.
template <typename Store>
bool readStored(QSettings* settings, QString* report, const char* key, bool haveField, Store&& store)
{
    QString text;
    if (!haveField || !storedText(settings, report, key, &text))
        return false;
    if (store(text))
        return true;
    appendReport(report, key, keyUnknownParameterText);
    return false;
}

} // namespace

bool readSettingInt(QSettings* settings, QString* report, const char* key, int* value)
{
    return readStored(settings, report, key, value, [value](const QString& text) {
        qlonglong number = 0;
        if (!parseSigned(text, &number) || number < std::numeric_limits<int>::min()
            || number > std::numeric_limits<int>::max())
            return false;
        *value = static_cast<int>(number);
        return true;
    });
}

bool readSettingUInt(QSettings* settings, QString* report, const char* key, unsigned int* value)
{
    return readStored(settings, report, key, value,
                      [value](const QString& text) { return parseUInt(text, value); });
}

bool readSettingFloat(QSettings* settings, QString* report, const char* key, float* value)
{
    return readStored(settings, report, key, value, [value](const QString& text) {
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (!ok || !std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max())
            return false;
        *value = static_cast<float>(number);
        return true;
    });
}

bool readSettingBool(QSettings* settings, QString* report, const char* key, unsigned int* flags,
                     unsigned int mask)
{
    return readStored(settings, report, key, flags, [flags, mask](const QString& text) {
        bool on = false;
        if (!parseBool(text, &on))
            return false;
        *flags = on ? (*flags | mask) : (*flags & ~mask);
        return true;
    });
}

bool readSettingFlag(QSettings* settings, QString* report, const char* key, unsigned int* flags,
                     unsigned int mask)
{
    return readStored(settings, report, key, flags, [flags, mask](const QString& text) {
        unsigned int number = 0;
        if (!parseUInt(text, &number))
            return false;
        *flags = (*flags & ~mask) | (number & mask);
        return true;
    });
}

bool readSettingString(QSettings* settings, QString* report, const char* key, char* text,
                       size_t capacity)
{
    QString stored;
    if (!text || capacity == 0 || !storedText(settings, report, key, &stored))
        return false;
    writeFieldText(stored, text, capacity);
    return true;
}

bool readSettingEnum(QSettings* settings, QString* report, const char* key, int* value,
                     const EnumEntry* table, size_t count)
{
    return readStored(settings, report, key, value, [=](const QString& text) {
        const QByteArray name = text.toUtf8();
        for (size_t i = 0; table && i < count; ++i) {
            if (table[i].name && name == QByteArray(table[i].name)) {
                *value = table[i].value;
                return true;
            }
        }
        return false;
    });
}
