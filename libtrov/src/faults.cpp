#include "faults.h"

#include <chrono>
#include <thread>

namespace trovsim {

namespace {
constexpr auto kHoldSafety = std::chrono::seconds(30); // a forgotten release never hangs a test run
}

Faults& Faults::instance()
{
    static Faults* faults = new Faults; // never destroyed: calls may still run during exit
    return *faults;
}

void Faults::updateAny() { any_.store(!forces_.empty() || !delays_.empty() || !holds_.empty()); }

bool Faults::consume(std::vector<Rule>& rules, const std::string& dev, int fn, int& value)
{
    for (auto it = rules.begin(); it != rules.end(); ++it) {
        if (!matches(it->dev, it->fn, dev, fn))
            continue;
        value = it->value;
        if (it->count > 0 && --it->count == 0)
            rules.erase(it);
        return true;
    }
    return false;
}

bool Faults::beforeCall(int fn, const std::string& dev, int& forced)
{
    if (!any_.load(std::memory_order_acquire))
        return false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (auto it = holds_.begin(); it != holds_.end(); ++it) {
        if (it->taken || !matches(it->dev, it->fn, dev, fn))
            continue;
        it->taken = true;
        changed_.notify_all();
        changed_.wait_for(lock, kHoldSafety, [&] { return it->released; });
        holds_.erase(it);
        updateAny();
        changed_.notify_all();
        break;
    }
    int delayMs = 0;
    if (consume(delays_, dev, fn, delayMs) && delayMs > 0) {
        updateAny();
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        lock.lock();
    }
    bool isForced = consume(forces_, dev, fn, forced);
    updateAny();
    return isForced;
}

void Faults::force(const std::string& dev, int fn, int result, int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = forces_.begin(); it != forces_.end(); ++it)
        if (it->dev == dev && it->fn == fn) {
            forces_.erase(it);
            break;
        }
    if (count != 0)
        forces_.push_back({dev, fn, result, count < 0 ? -1 : count});
    updateAny();
}

void Faults::delay(const std::string& dev, int fn, int delayMs, int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = delays_.begin(); it != delays_.end(); ++it)
        if (it->dev == dev && it->fn == fn) {
            delays_.erase(it);
            break;
        }
    if (count != 0 && delayMs > 0)
        delays_.push_back({dev, fn, delayMs, count < 0 ? -1 : count});
    updateAny();
}

void Faults::hold(const std::string& dev, int fn)
{
    std::lock_guard<std::mutex> lock(mutex_);
    holds_.push_back({dev, fn});
    updateAny();
}

bool Faults::waitHeld(const std::string& dev, int fn, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto held = [&] {
        for (const Hold& h : holds_)
            if (h.dev == dev && h.fn == fn && h.taken && !h.released)
                return true;
        return false;
    };
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs), held);
}

void Faults::release(const std::string& dev, int fn)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = holds_.begin(); it != holds_.end();) {
        if (it->dev == dev && it->fn == fn) {
            if (it->taken) {
                it->released = true; // the held call removes it
            } else {
                it = holds_.erase(it);
                continue;
            }
        }
        ++it;
    }
    updateAny();
    changed_.notify_all();
}

void Faults::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    forces_.clear();
    delays_.clear();
    for (auto it = holds_.begin(); it != holds_.end();) {
        if (it->taken) {
            it->released = true;
            ++it;
        } else {
            it = holds_.erase(it);
        }
    }
    updateAny();
    changed_.notify_all();
}

} // namespace trovsim
