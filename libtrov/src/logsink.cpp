#include "logsink.h"

#include <utility>
#include <vector>

namespace trovsim {

namespace {

struct Pending {
    int level;
    std::string text;
};

constexpr size_t kMaxPending = 256; // one call never produces more; a runaway loop is cut off

thread_local int t_depth = 0;
thread_local std::vector<Pending>* t_queue = nullptr;

std::vector<Pending>& queue()
{
    // thread_local objects with destructors would run after the callback's owner may be gone;
    // a plain pointer freed when the thread's last call ends avoids that
    if (!t_queue)
        t_queue = new std::vector<Pending>;
    return *t_queue;
}

} // namespace

LogSink& LogSink::instance()
{
    static LogSink* sink = new LogSink; // never destroyed: calls may still run during exit
    return *sink;
}

void LogSink::post(int level, const std::string& utf8)
{
    if (level < 1 || level > threshold() || !callback_.load())
        return;
    auto& q = queue();
    if (q.size() < kMaxPending)
        q.push_back({level, utf8});
    if (t_depth == 0)
        deliver();
}

void LogSink::enterCall() { ++t_depth; }

void LogSink::leaveCall()
{
    if (--t_depth == 0 && t_queue)
        deliver();
}

void LogSink::deliver()
{
    if (!t_queue)
        return;
    std::vector<Pending> lines;
    lines.swap(*t_queue);
    delete t_queue;
    t_queue = nullptr;
    logging_callback_t cb = callback_.load();
    if (!cb)
        return;
    for (const Pending& p : lines) {
        std::wstring text = widen(p.text);
        cb(p.level, text.c_str());
    }
}

std::wstring LogSink::widen(const std::string& s)
{
    std::wstring out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= s.size()) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char n = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((n & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (n & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

} // namespace trovsim
