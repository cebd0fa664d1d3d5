#include "common/IniText.h"

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

// The reading follows Qt's own INI reader step by step (line ends inside quotes, comments,
// escapes, blanks trimmed where it trims them), so that a file reads as it always has.

namespace {

const char hexDigits[] = "0123456789ABCDEF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isSpace(char c)
{
    return isBlank(c) || c == '\n' || c == '\r';
}

struct Line
{
    int start = 0;
    int length = 0;
    int equals = -1;  // the first '=' outside quotes, or -1
};

// The next line from pos: quotes carry it over line ends, a backslash keeps the character after
// it, ';' outside quotes ends it, and a line that starts with ';' is a comment, skipped.
bool readLine(const QByteArray& data, int& pos, Line& line)
{
    const int size = data.size();
    bool inQuotes = false;
    int start = pos;
    while (start < size && isSpace(data.at(start)))
        ++start;
    line.equals = -1;
    int i = start;
    while (i < size) {
        const char c = data.at(i++);
        if (c == '=') {
            if (!inQuotes && line.equals == -1)
                line.equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < size) {
                const char next = data.at(i++);
                if (i < size && ((next == '\n' && data.at(i) == '\r') || (next == '\r' && data.at(i) == '\n')))
                    ++i;
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';') {
            if (i == start + 1) {
                while (i < size && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < size && isSpace(data.at(i)))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.start = start;
    line.length = i - start;
    return line.length > 0;
}

// A key or group name: bytes as Latin-1, "%XX" and "%UXXXX" a character, '\' a '/'.
QString unescapedKey(const QByteArray& data, int from, int to)
{
    QString key;
    int i = from;
    while (i < to) {
        const char c = data.at(i);
        if (c == '\\') {
            key += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c != '%' || i == to - 1) {
            key += QLatin1Char(c);
            ++i;
            continue;
        }
        int first = i + 1;
        int digits = 2;
        if (data.at(first) == 'U') {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const int code = first + digits <= to ? data.mid(first, digits).toInt(&ok, 16) : 0;
        if (!ok) {
            key += QLatin1Char('%');
            ++i;
            continue;
        }
        key += QChar(ushort(code & 0xffff));
        i = first + digits;
    }
    return key;
}

// A value's text: its entries when a comma outside quotes makes it a list (*isList), else one.
// Quotes are dropped, escapes decoded, blanks skipped after '=', ',' and a closing quote, and
// trailing blanks of an unquoted entry cut, except those an escape gave.
QStringList unescapedValue(const QByteArray& data, int from, int to, bool* isList)
{
    static const char codes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                    {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'"', '"'},
                                    {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QStringList entries;
    QString text;
    bool inQuotes = false;
    bool quoted = false;
    int keep = 0;  // text up to here is never cut
    *isList = false;
    int i = from;
    const auto skipBlanks = [&] {
        while (i < to && isBlank(data.at(i)))
            ++i;
        keep = text.size();
    };
    const auto cutBlanks = [&] {
        if (quoted)
            return;
        while (text.size() > keep && (text.back() == QLatin1Char(' ') || text.back() == QLatin1Char('\t')))
            text.chop(1);
    };
    // Digits of an escape in the given base; *value holds what they give.
    const auto number = [&](int base, uint value) {
        while (i < to) {
            const char c = data.at(i);
            const int digit = c >= '0' && c <= '9' ? c - '0'
                              : base == 16 && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                                      : -1;
            if (digit < 0 || digit >= base)
                break;
            value = value * uint(base) + uint(digit);
            ++i;
        }
        text += QChar(ushort(value & 0xffff));
        keep = text.size();
    };

    bool cutAtEnd = true;
    skipBlanks();
    while (i < to) {
        const char c = data.at(i);
        if (c == '\\') {
            ++i;
            if (i >= to) {
                cutAtEnd = false;
                break;
            }
            const char e = data.at(i++);
            bool named = false;
            for (const auto& code : codes) {
                if (e == code[0]) {
                    text += QLatin1Char(code[1]);
                    named = true;
                    break;
                }
            }
            if (named) {
                keep = text.size();
            } else if (e == 'x') {
                if (i >= to) {
                    cutAtEnd = false;
                    break;
                }
                const char d = data.at(i);
                if ((d >= '0' && d <= '9') || ((d | 0x20) >= 'a' && (d | 0x20) <= 'f')) {
                    number(16, 0);
                    if (i >= to)
                        cutAtEnd = false;
                } else {
                    keep = text.size();
                }
            } else if (e >= '0' && e <= '7') {
                number(8, uint(e - '0'));
                if (i >= to)
                    cutAtEnd = false;
            } else {
                // An escaped line end joins the lines; any other escaped character is dropped.
                if ((e == '\n' || e == '\r') && i < to) {
                    const char next = data.at(i);
                    if ((next == '\n' || next == '\r') && next != e)
                        ++i;
                }
                keep = text.size();
            }
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
        } else if (c == ',' && !inQuotes) {
            cutBlanks();
            *isList = true;
            entries << text;
            text.clear();
            quoted = false;
            ++i;
            skipBlanks();
        } else {
            int j = i + 1;
            while (j < to && data.at(j) != '\\' && data.at(j) != '"' && data.at(j) != ',')
                ++j;
            text += QString::fromUtf8(data.constData() + i, j - i);
            i = j;
        }
    }
    if (cutAtEnd)
        cutBlanks();
    entries << text;
    return entries;
}

// The numbers of "@Size(1 2)" and the like, split at blanks.
QStringList arguments(const QString& text, int open)
{
    QStringList result;
    QString item;
    for (int i = open + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(')')) {
            result << item;
        } else if (c == QLatin1Char(' ')) {
            result << item;
            item.clear();
        } else {
            item += c;
        }
    }
    return result;
}

// What Qt would decode from a data stream: kept as its text, as if written with '@' doubled.
bool serialized(const QString& text)
{
    return text.startsWith(QLatin1String("@Variant(")) || text.startsWith(QLatin1String("@DateTime("));
}

QVariant textValue(const QString& text)
{
    if (text.startsWith(QLatin1Char('@'))) {
        if (text.endsWith(QLatin1Char(')'))) {
            if (text.startsWith(QLatin1String("@ByteArray(")))
                return QVariant(text.midRef(11, text.size() - 12).toLatin1());
            if (text.startsWith(QLatin1String("@String(")))
                return QVariant(text.mid(8, text.size() - 9));
            if (text.startsWith(QLatin1String("@Rect("))) {
                const QStringList a = arguments(text, 5);
                if (a.size() == 4)
                    return QVariant(QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()));
            } else if (text.startsWith(QLatin1String("@Size("))) {
                const QStringList a = arguments(text, 5);
                if (a.size() == 2)
                    return QVariant(QSize(a[0].toInt(), a[1].toInt()));
            } else if (text.startsWith(QLatin1String("@Point("))) {
                const QStringList a = arguments(text, 6);
                if (a.size() == 2)
                    return QVariant(QPoint(a[0].toInt(), a[1].toInt()));
            } else if (text == QLatin1String("@Invalid()")) {
                return QVariant();
            }
        }
        if (text.startsWith(QLatin1String("@@")))
            return QVariant(text.mid(1));
    }
    return QVariant(text);
}

// A list stays text unless an entry starts with a single '@': then every entry is a value.
QVariant listValue(const QStringList& entries)
{
    QStringList texts = entries;
    for (QString& text : texts) {
        if (!text.startsWith(QLatin1Char('@')))
            continue;
        if (!text.startsWith(QLatin1String("@@"))) {
            QVariantList values;
            for (const QString& entry : entries)
                values << textValue(entry);
            return values;
        }
        text.remove(0, 1);
    }
    return texts;
}

QByteArray escapedKey(const QString& key)
{
    QByteArray out;
    for (int i = 0; i < key.size(); ++i) {
        const uint ch = key.at(i).unicode();
        // A backslash just before the '=' would hide the '=' from the reader: a last '/' is written as %2F.
        if (ch == '/' && i + 1 < key.size()) {
            out += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_'
                   || ch == '-' || ch == '.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += hexDigits[ch / 16];
            out += hexDigits[ch % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hexDigits[(ch >> shift) & 0xF];
        }
    }
    return out;
}

bool isHexDigit(uint ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

// A text as a value: escapes for controls, quotes and backslashes, UTF-8 for the rest (Latin-1
// bytes escaped for a byte array), in quotes when it holds ',', ';' or '=' or starts or ends
// with a blank.
void appendText(const QString& text, QByteArray& out)
{
    const bool bytes = text.startsWith(QLatin1String("@ByteArray(")) || text.startsWith(QLatin1String("@Variant("));
    const int start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const auto escape = [&](uint ch) {
        out += "\\x" + QByteArray::number(ch, 16);
        escapeNextIfDigit = true;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const uint ch = c.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && isHexDigit(ch)) {
            escape(ch);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0':
            out += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\v': out += "\\v"; break;
        case '"':
        case '\\':
            out += '\\';
            out += char(ch);
            break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && bytes)) {
                escape(ch);
            } else if (ch < 0x7F) {
                out += char(ch);
            } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                out += text.midRef(i, 2).toUtf8();
                ++i;
            } else if (c.isSurrogate() || ch == 0xFEFF) {
                escape(ch);  // half a pair has no UTF-8; a byte order mark would be dropped
            } else {
                out += QString(c).toUtf8();
            }
        }
    }
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.at(out.size() - 1) == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

// How Qt writes a value as text; a type it has no text for goes out as its data stream.
QString valueText(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return QLatin1String("@ByteArray(") + QLatin1String(bytes.constData(), bytes.size()) + QLatin1Char(')');
    }
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QKeySequence: {
        QString text = value.toString();
        if (text.contains(QChar::Null))
            return QLatin1String("@String(") + text + QLatin1Char(')');
        if (text.startsWith(QLatin1Char('@')))
            text.prepend(QLatin1Char('@'));
        return text;
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QString::asprintf("@Rect(%d %d %d %d)", r.x(), r.y(), r.width(), r.height());
    }
    case QMetaType::QSize: {
        const QSize s = value.toSize();
        return QString::asprintf("@Size(%d %d)", s.width(), s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = value.toPoint();
        return QString::asprintf("@Point(%d %d)", p.x(), p.y());
    }
    default:
        break;
    }
    const bool date = value.userType() == QMetaType::QDateTime;
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setVersion(date ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
        stream << value;
    }
    return QLatin1String(date ? "@DateTime(" : "@Variant(") + QLatin1String(bytes.constData(), bytes.size())
           + QLatin1Char(')');
}

void appendValue(const QVariant& value, QByteArray& out)
{
    // A one-entry list is written as its entry, as Qt does.
    const bool list = value.userType() == QMetaType::QStringList
                      || (value.userType() == QMetaType::QVariantList && value.toList().size() != 1);
    if (!list) {
        appendText(valueText(value), out);
        return;
    }
    const QVariantList entries = value.toList();
    if (entries.isEmpty())
        out += "@Invalid()";
    for (int i = 0; i < entries.size(); ++i) {
        if (i > 0)
            out += ", ";
        appendText(valueText(entries.at(i)), out);
    }
}

bool readDevice(QIODevice& device, QSettings::SettingsMap& map)
{
    map = IniText::parse(device.readAll());
    // A line that says nothing is passed over, as Qt does; the keys read stay.
    return true;
}

bool writeDevice(QIODevice& device, const QSettings::SettingsMap& map)
{
    const QByteArray bytes = IniText::serialize(map);
    return device.write(bytes) == bytes.size();
}

} // namespace

QSettings::Format IniText::format()
{
    static const QSettings::Format registered =
        QSettings::registerFormat(QStringLiteral("ini"), readDevice, writeDevice, Qt::CaseSensitive);
    return registered;
}

QSettings::SettingsMap IniText::parse(const QByteArray& data)
{
    QSettings::SettingsMap map;
    int pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QString group;  // empty or "name/"
    Line line;
    while (readLine(data, pos, line)) {
        const int end = line.start + line.length;
        if (data.at(line.start) == '[') {
            const int close = data.indexOf(']', line.start);
            const QByteArray name =
                (close == -1 || close >= end ? data.mid(line.start + 1, line.length - 1)
                                             : data.mid(line.start + 1, close - line.start - 1))
                    .trimmed();
            if (qstricmp(name.constData(), "general") == 0)
                group.clear();
            else if (qstricmp(name.constData(), "%general") == 0)
                group = QString::fromLatin1(name.mid(1)) + QLatin1Char('/');
            else
                group = unescapedKey(name, 0, name.size()) + QLatin1Char('/');
            continue;
        }
        if (line.equals == -1)
            continue;
        int keyEnd = line.equals;
        while (keyEnd > line.start && isBlank(data.at(keyEnd - 1)))
            --keyEnd;
        bool isList = false;
        QStringList entries = unescapedValue(data, line.equals + 1, end, &isList);
        for (QString& entry : entries) {
            if (serialized(entry))
                entry.prepend(QLatin1Char('@'));
        }
        map.insert(group + unescapedKey(data, line.start, keyEnd),
                   isList ? listValue(entries) : textValue(entries.first()));
    }
    return map;
}

QByteArray IniText::serialize(const QSettings::SettingsMap& map)
{
    // Top-level keys go to [General], first; the groups follow by name, their keys by name.
    QMap<QString, QSettings::SettingsMap> groups;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const int slash = it.key().indexOf(QLatin1Char('/'));
        // A key that starts with '/' (a "[]" or "[/]" group, a "/y" line of a damaged file)
        // stays whole at the top level: cut there, it would read back as another key.
        if (slash <= 0)
            groups[QString()].insert(it.key(), it.value());
        else
            groups[it.key().left(slash)].insert(it.key().mid(slash + 1), it.value());
    }
    QByteArray out;
    for (auto group = groups.cbegin(); group != groups.cend(); ++group) {
        const QByteArray name = escapedKey(group.key());
        if (!out.isEmpty())
            out += '\n';
        if (name.isEmpty())
            out += "[General]\n";
        else if (qstricmp(name.constData(), "general") == 0)
            out += "[%" + name + "]\n";  // a group of that name, not the top level
        else
            out += '[' + name + "]\n";
        for (auto key = group->cbegin(); key != group->cend(); ++key) {
            out += escapedKey(key.key()) + '=';
            appendValue(key.value(), out);
            out += '\n';
        }
    }
    return out;
}
