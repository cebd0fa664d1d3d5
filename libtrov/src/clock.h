// The simulated time of every controller: real, scaled or manual (advanced only by tests).
// Reading it takes no lock: every call of the library reads it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace trovsim {

class Clock {
public:
    static Clock& instance();

    double nowMs() const;
    void setManual(bool on);  // switching keeps the current time (stepped: the next whole ms), never going back
    bool manual() const;
    void advance(uint64_t ms); // manual mode only
    void setScale(double scale);
    // Real milliseconds that a wait of simMs lasts (none in manual mode).
    double realDelayMs(double simMs) const;

private:
    // How simulated time follows the steady clock; replaced whole, never changed in place.
    struct Base {
        bool manual;
        double scale;
        double baseMs;
        std::chrono::steady_clock::time_point base;
    };
    Clock();
    double nowFrom(const Base& b) const;
    void publish(const Base& b); // mutex_ held

    std::mutex mutex_; // serialises the writers
    std::atomic<const Base*> current_{nullptr};
    std::vector<std::unique_ptr<Base>> bases_; // readers may still look at an older one
    std::atomic<double> manualMs_{0.0};
};

} // namespace trovsim
