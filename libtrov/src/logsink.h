// Library log lines: queued per thread during a call and handed to the program's callback when
// the call has released every lock, so a callback may call back into the library.
#pragma once

#include "trov.h"

#include <atomic>
#include <string>

namespace trovsim {

class LogSink {
public:
    static LogSink& instance();

    void setCallback(logging_callback_t cb) { callback_.store(cb); }
    void setThreshold(int level) { threshold_.store(level); }
    int threshold() const { return threshold_.load(std::memory_order_relaxed); }

    // Queues a line of the calling thread (delivered at once outside any call).
    void post(int level, const std::string& utf8);

    // Marks the span of one library call on this thread; the outermost end delivers the queue.
    void enterCall();
    void leaveCall();

    // UTF-8 to wchar_t (UTF-32) without the C locale; bad sequences become U+FFFD.
    static std::wstring widen(const std::string& utf8);

private:
    LogSink() = default;
    void deliver();

    std::atomic<logging_callback_t> callback_{nullptr};
    std::atomic<int> threshold_{3};
};

// Brackets a library call: lines posted inside are delivered when the outermost scope ends.
struct CallLogScope {
    CallLogScope() { LogSink::instance().enterCall(); }
    ~CallLogScope() { LogSink::instance().leaveCall(); }
    CallLogScope(const CallLogScope&) = delete;
    CallLogScope& operator=(const CallLogScope&) = delete;
};

} // namespace trovsim
