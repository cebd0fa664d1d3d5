#include "clock.h"

#include <cmath>

namespace trovsim {

Clock& Clock::instance()
{
    static Clock* clock = new Clock; // never destroyed: calls may still run during exit
    return *clock;
}

Clock::Clock()
{
    std::lock_guard<std::mutex> lock(mutex_);
    publish({false, 1.0, 0.0, std::chrono::steady_clock::now()});
}

void Clock::publish(const Base& b)
{
    bases_.push_back(std::make_unique<Base>(b));
    current_.store(bases_.back().get(), std::memory_order_release);
}

double Clock::nowFrom(const Base& b) const
{
    if (b.manual)
        return manualMs_.load(std::memory_order_acquire);
    std::chrono::duration<double, std::milli> real = std::chrono::steady_clock::now() - b.base;
    return b.baseMs + real.count() * b.scale;
}

double Clock::nowMs() const { return nowFrom(*current_.load(std::memory_order_acquire)); }

bool Clock::manual() const { return current_.load(std::memory_order_acquire)->manual; }

void Clock::setManual(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Base& b = *current_.load();
    if (on == b.manual)
        return;
    double now = nowFrom(b);
    if (on) {
        // stepped time starts on the next whole millisecond: from a fraction of real time, whole
        // steps added one by one could fall a rounding short of a deadline set a sum ahead
        now = std::ceil(now);
        manualMs_.store(now, std::memory_order_release);
    }
    publish({on, b.scale, now, std::chrono::steady_clock::now()});
}

void Clock::advance(uint64_t ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_.load()->manual)
        manualMs_.store(manualMs_.load() + static_cast<double>(ms), std::memory_order_release);
}

void Clock::setScale(double scale)
{
    if (!(scale > 0.0) || scale > 1e6)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    const Base& b = *current_.load();
    if (b.scale == scale)
        return;
    publish({b.manual, scale, nowFrom(b), std::chrono::steady_clock::now()});
}

double Clock::realDelayMs(double simMs) const
{
    const Base& b = *current_.load(std::memory_order_acquire);
    return b.manual ? 0.0 : simMs / b.scale;
}

} // namespace trovsim
