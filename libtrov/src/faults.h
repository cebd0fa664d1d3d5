// Faults injected by tests: forced results, delays and holds of library calls. Delays and holds
// run before the call takes any lock of the library.
#pragma once

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <vector>

namespace trovsim {

class Faults {
public:
    static Faults& instance();

    // Runs the matching hold and delay, then consumes a matching forced result.
    // dev is the device name of the call ("" when it has none). Returns true if forced.
    bool beforeCall(int fn, const std::string& dev, int& forced);

    // dev "" = every device; count -1 = until cleared, 0 = remove
    void force(const std::string& dev, int fn, int result, int count);
    void delay(const std::string& dev, int fn, int delayMs, int count);
    void hold(const std::string& dev, int fn);
    bool waitHeld(const std::string& dev, int fn, int timeoutMs);
    void release(const std::string& dev, int fn);
    void clear();

private:
    Faults() = default;
    struct Rule {
        std::string dev;
        int fn;
        int value;
        int count;
    };
    struct Hold {
        std::string dev;
        int fn;
        bool taken = false;    // a call is blocked on it
        bool released = false;
    };
    static bool matches(const std::string& ruleDev, int ruleFn, const std::string& dev, int fn)
    {
        return ruleFn == fn && (ruleDev.empty() || ruleDev == dev);
    }
    static bool consume(std::vector<Rule>& rules, const std::string& dev, int fn, int& value);
    void updateAny();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Rule> forces_;
    std::vector<Rule> delays_;
    std::list<Hold> holds_;
    std::atomic<bool> any_{false};
};

} // namespace trovsim
