#include "device/PollingSilencer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "device/DeviceInterface.h"
#include "device/SharedFlags.h"

namespace {

std::mutex stateMutex;
std::condition_variable ticksDone;
int silencers = 0;
int ticksInFlight = 0;
constexpr auto courierWaitLimit = std::chrono::milliseconds(1000);

} // namespace

PollingSilencer::PollingSilencer()
{
    std::unique_lock<std::mutex> lock(stateMutex);
    ++silencers;
    pollingAllowed.store(false);
    const std::atomic<bool>* const bar = DeviceInterface::threadCallBar();
    if (!bar) {
        ticksDone.wait(lock, [] { return ticksInFlight == 0; });
        return;
    }
    // A thread with a call bar (an axis' courier) waits a second at most, and not once its calls
    // are barred: a stop for its axis must not wait for another axis' poll. Its calls go ahead of
    // polling's at the gateway anyway.
    const auto giveUp = std::chrono::steady_clock::now() + courierWaitLimit;
    while (ticksInFlight != 0 && !bar->load() && std::chrono::steady_clock::now() < giveUp)
        ticksDone.wait_for(lock, std::chrono::milliseconds(10));
}

PollingSilencer::~PollingSilencer()
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (--silencers == 0)
        pollingAllowed.store(true);
}

bool PollingSilencer::beginTick()
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (silencers > 0)
        return false;
    ++ticksInFlight;
    return true;
}

void PollingSilencer::endTick()
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (--ticksInFlight == 0)
        ticksDone.notify_all();
}
