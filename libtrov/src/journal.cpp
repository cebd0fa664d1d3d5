#include "journal.h"

#include "functions.h"

#include <cstring>

namespace trovsim {

static_assert(kFunctionCount <= 128, "call counters too small");

Journal& Journal::instance()
{
    static Journal* journal = new Journal; // never destroyed: calls may still run during exit
    return *journal;
}

Journal::Journal() : ring_(kCapacity) {}

void Journal::record(int fn, const std::string& dev, int result, double simMs)
{
    uint64_t ticket = next_.fetch_add(1);
    Slot& slot = ring_[static_cast<size_t>(ticket % kCapacity)];
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.ticket > ticket)
        return; // overtaken by a later call a whole ring ahead
    slot.ticket = ticket;
    trovsim_call_t& e = slot.call;
    std::memset(&e, 0, sizeof e);
    std::strncpy(e.function, functionName(static_cast<Fn>(fn)), sizeof e.function - 1);
    std::strncpy(e.device, dev.c_str(), sizeof e.device - 1);
    e.result = result;
    e.sim_ms = simMs > 0 ? static_cast<uint64_t>(simMs) : 0;
}

void Journal::clear() { first_.store(next_.load()); }

int Journal::size()
{
    uint64_t next = next_.load(), first = first_.load();
    uint64_t n = next > first ? next - first : 0;
    return static_cast<int>(n < static_cast<uint64_t>(kCapacity) ? n : static_cast<uint64_t>(kCapacity));
}

bool Journal::entry(int index, trovsim_call_t& out)
{
    int n = size();
    if (index < 0 || index >= n)
        return false;
    uint64_t ticket = next_.load() - static_cast<uint64_t>(n) + static_cast<uint64_t>(index);
    Slot& slot = ring_[static_cast<size_t>(ticket % kCapacity)];
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.ticket != ticket)
        return false; // still being written, or already overwritten
    out = slot.call;
    return true;
}

void Journal::clearCounts()
{
    for (auto& c : counts_)
        c.store(0);
}

} // namespace trovsim
