// The record of library calls that tests read: a ring of the last 10000 calls, and call counts
// of calls that had no device (the controllers count their own).
#pragma once

#include "trovsim.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace trovsim {

class Journal {
public:
    static constexpr int kCapacity = 10000;
    static Journal& instance();

    void record(int fn, const std::string& dev, int result, double simMs);
    void clear();
    int size();
    bool entry(int index, trovsim_call_t& out); // 0 = oldest

    std::atomic<int>& deviceLessCount(int fn) { return counts_[static_cast<size_t>(fn)]; }
    void clearCounts();

private:
    // Each slot has its own lock so that calls on different controllers do not queue for one.
    struct Slot {
        std::mutex mutex;
        uint64_t ticket = 0; // which call wrote it, from 1
        trovsim_call_t call{};
    };
    Journal();
    std::vector<Slot> ring_;
    std::atomic<uint64_t> next_{1}; // ticket of the next call
    std::atomic<uint64_t> first_{1}; // oldest ticket still in the journal (after a clear)
    std::array<std::atomic<int>, 128> counts_{};
};

} // namespace trovsim
