// get_status of the simulated library on idle controllers: single thread, then 3 controllers with
// 4 threads each. Target: at most 2 us a call.
#include "trovsim.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double nsPerCall(Clock::time_point start, long calls)
{
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / static_cast<double>(calls);
}

} // namespace

int main()
{
    trovsim_reset(nullptr, ""); // default set, in memory
    const char* names[] = {"sim:axis1", "sim:axis2", "sim:axis3"};
    device_t handles[3];
    for (int i = 0; i < 3; ++i)
        if ((handles[i] = open_device(names[i])) < 0) {
            std::printf("cannot open %s\n", names[i]);
            return 0;
        }

    const long single = 200000;
    status_t st;
    for (long i = 0; i < 1000; ++i)
        get_status(handles[0], &st);
    auto start = Clock::now();
    for (long i = 0; i < single; ++i)
        get_status(handles[0], &st);
    std::printf("get_status, 1 thread:                   %8.0f ns a call\n", nsPerCall(start, single));

    for (int perController : {1, 4}) {
        const long each = 50000;
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int c = 0; c < 3; ++c)
            for (int t = 0; t < perController; ++t)
                threads.emplace_back([&, c] {
                    while (!go.load())
                        std::this_thread::yield();
                    status_t s;
                    for (long i = 0; i < each; ++i)
                        get_status(handles[c], &s);
                });
        start = Clock::now();
        go = true;
        for (auto& t : threads)
            t.join();
        double perThread = nsPerCall(start, each); // wall time per call of one thread
        std::printf("get_status, 3 controllers x %d threads: %8.0f ns a call in each thread, %6.0f ns per call overall\n",
                    perController, perThread, perThread / (3 * perController));
    }
    for (auto& h : handles)
        close_device(&h);
    return 0;
}
