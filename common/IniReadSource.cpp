#include "common/IniReadSource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <array>
#include <cstring>
#include <vector>

namespace {

struct Decoded {
    ushort ch;
    int rawBegin;
    int rawEnd;
};

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Where the decoded text ends with '@' + word: the index of the '@', or -1. An '@' that follows
// another is Qt's escaped text "@@…", one that follows '(' is inside Qt's "@String(…)": neither
// starts a value, so neither is decoded.
int markerStart(const std::vector<Decoded>& text, const char* word)
{
    const size_t length = std::strlen(word) + 1;
    if (text.size() < length)
        return -1;
    const size_t at = text.size() - length;
    if (text[at].ch != '@' || (at > 0 && (text[at - 1].ch == '@' || text[at - 1].ch == '(')))
        return -1;
    for (size_t i = 1; i < length; ++i) {
        if (text[at + i].ch != ushort(uchar(word[i - 1])))
            return -1;
    }
    return int(at);
}

} // namespace

QByteArray IniReadSource::neutralized(const QByteArray& bytes, bool* changed)
{
    // Decodes the whole file the way Qt decodes a value (escapes, quotes dropped, blanks after a
    // quote skipped) and looks for the markers in the result. Decoding keys, comments and line
    // ends too only finds more, so every value Qt would decode is among the finds.
    static const std::array<std::pair<char, char>, 11> named{{{'a', '\a'},
                                                              {'b', '\b'},
                                                              {'f', '\f'},
                                                              {'n', '\n'},
                                                              {'r', '\r'},
                                                              {'t', '\t'},
                                                              {'v', '\v'},
                                                              {'"', '"'},
                                                              {'?', '?'},
                                                              {'\'', '\''},
                                                              {'\\', '\\'}}};
    std::vector<Decoded> text;
    std::vector<std::pair<int, int>> markers;  // raw spans of the '@' to double
    const int size = bytes.size();
    int i = 0;
    const auto put = [&](uint value, int begin) {
        // Only the tail is looked at: keep it short.
        if (text.size() > 64)
            text.erase(text.begin(), text.end() - 16);
        text.push_back({ushort(value & 0xffff), begin, i});
        for (const char* word : {"Variant(", "DateTime("}) {
            const int at = markerStart(text, word);
            if (at >= 0)
                markers.emplace_back(text[size_t(at)].rawBegin, text[size_t(at)].rawEnd);
        }
    };
    while (i < size) {
        const int begin = i;
        const char c = bytes.at(i++);
        if (c == '"') {
            while (i < size && isBlank(bytes.at(i)))
                ++i;
            continue;
        }
        if (c != '\\') {
            put(uchar(c), begin);
            continue;
        }
        if (i >= size)
            break;
        const char e = bytes.at(i++);
        bool done = false;
        for (const auto& [code, value] : named) {
            if (e == code) {
                put(uchar(value), begin);
                done = true;
                break;
            }
        }
        if (done)
            continue;
        if (e == 'x') {
            if (i < size && isHex(bytes.at(i))) {
                uint value = 0;
                while (i < size && isHex(bytes.at(i)))
                    value = (value << 4) + uint(hexValue(bytes.at(i++)));
                put(value, begin);
            }
        } else if (e >= '0' && e <= '7') {
            uint value = uint(e - '0');
            while (i < size && bytes.at(i) >= '0' && bytes.at(i) <= '7')
                value = (value << 3) + uint(bytes.at(i++) - '0');
            put(value, begin);
        } else if ((e == '\n' || e == '\r') && i < size) {
            const char next = bytes.at(i);
            if ((next == '\n' || next == '\r') && next != e)
                ++i;
        }
        // Any other escaped character is dropped, as Qt drops it.
    }
    if (changed)
        *changed = !markers.empty();
    if (markers.empty())
        return bytes;
    QByteArray out;
    out.reserve(size + int(markers.size()) * 2);
    int from = 0;
    for (const auto& [begin, end] : markers) {
        out += bytes.mid(from, begin - from);
        out += "@@";
        from = end;
    }
    out += bytes.mid(from);
    return out;
}

IniReadSource::IniReadSource(const QString& fileName)
    : readPath(fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;  // Qt reports what it cannot read
    bool changed = false;
    const QByteArray safe = neutralized(file.readAll(), &changed);
    if (!changed)
        return;
    copy = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/.tolmo-read-XXXXXX.ini"));
    if (copy->open() && copy->write(safe) == safe.size() && copy->flush()) {
        copy->close();
        readPath = copy->fileName();
    } else {
        // Nothing is safer to read than nothing: a path that is never written.
        readPath = copy->fileName() + QStringLiteral(".unreadable");
    }
}

IniReadSource::~IniReadSource() = default;
