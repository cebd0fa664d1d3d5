#include "device/PollingSilencer.h"

#include <condition_variable>
#include <mutex>

#include "device/SharedFlags.h"

namespace {

std::mutex stateMutex;
std::condition_variable ticksDone;
int silencers = 0;
int ticksInFlight = 0;

} // namespace

PollingSilencer::PollingSilencer()
{
    std::unique_lock<std::mutex> lock(stateMutex);
    ++silencers;
    pollingAllowed.store(false);
    ticksDone.wait(lock, [] { return ticksInFlight == 0; });
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
