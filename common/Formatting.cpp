#include "common/Formatting.h"

#include <QDate>
#include <QDebug>
#include <QLocale>

namespace {

QString padded(const QString& text, int width)
{
    return text.rightJustified(width, QLatin1Char(' '));
}

int hexDigit(const QString& text, int index)
{
    if (index >= text.size())
        return 0;
    const ushort c = text.at(index).unicode();
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

bool isPlainInteger(const QString& text)
{
    int i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (i >= text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (!text.at(i).isDigit())
            return false;
    }
    return true;
}

} // namespace

QString toPaddedString(int value, int width)
{
    return padded(QString::number(value), width);
}

QString toPaddedString(unsigned int value, int width)
{
    return padded(QString::number(value), width);
}

QString toPaddedString(long value, int width)
{
    return padded(QString::number(value), width);
}

QString toPaddedString(unsigned long value, int width)
{
    return padded(QString::number(value), width);
}

QString toPaddedString(long long value, int width)
{
    return padded(QString::number(value), width);
}

QString toPaddedString(unsigned long long value, int width)
{
    return padded(QString::number(value), width);
}

QString doubleToString(bool pointZero, double value)
{
    if (pointZero && value == 0)
        return QStringLiteral("0.0");
    QString text = QString::number(value, 'g', 6);
    // Only a plain digit string gets ".0": "1e+07.0" or "inf.0" would be no number at all.
    if (pointZero && isPlainInteger(text))
        text += QStringLiteral(".0");
    return text;
}

void setFlagBits(bool on, unsigned int* flags, unsigned int mask)
{
    if (!flags)
        return;
    if (on)
        *flags |= mask;
    else
        *flags &= ~mask;
}

void hexToBytes(const QString& hex, std::vector<uint8_t>& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = hexDigit(hex, static_cast<int>(2 * i));
        const int low = hexDigit(hex, static_cast<int>(2 * i + 1));
        bytes[i] = static_cast<uint8_t>(16 * high + low);
    }
}

void bytesToHex(const std::vector<uint8_t>& bytes, QString& hex)
{
    static const char digits[] = "0123456789ABCDEF";
    hex.clear();
    hex.reserve(static_cast<int>(2 * bytes.size()));
    for (uint8_t byte : bytes) {
        hex += QLatin1Char(digits[byte >> 4]);
        hex += QLatin1Char(digits[byte & 0x0F]);
    }
}

QString buildDateString(const char* compilerDate)
{
    QDate date(2012, 2, 18);
    const QString text = QString::fromLatin1(compilerDate ? compilerDate : "");
    const QLocale c = QLocale::c();
    const QDate padded = c.toDate(text, QStringLiteral("MMM  d yyyy"));
    const QDate twoDigits = c.toDate(text, QStringLiteral("MMM dd yyyy"));
    if (padded.isValid())
        date = padded;
    else if (twoDigits.isValid())
        date = twoDigits;
    else
        qDebug() << "impossible date";
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString buildDateString()
{
    return buildDateString(__DATE__);
}

void appendCsvField(QString& line, const QString& field)
{
    line += QLatin1Char('"');
    if (field.contains(QLatin1Char('"'))) {
        QString escaped = field;
        escaped.replace(QLatin1String("\""), QLatin1String("\"\""));
        line += escaped;
    } else {
        line += field;
    }
    line += QLatin1Char('"');
}
