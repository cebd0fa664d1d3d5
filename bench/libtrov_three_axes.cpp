// Three controllers kept moving for one simulated hour:
//  1. as fast as it goes, on the stepped clock, polled every 100 ms of simulated time: the CPU
//     time that one simulated hour costs;
//  2. in real time at time scale 100 (36 s of wall time), polled every 10 ms of real time, pinned
//     to one core: wall and CPU time, and how far simulated time lagged behind. The simulation
//     keeps up when the CPU time is a small part of the wall time and the lag stays small.
// An argument gives the simulated hours (default 1).
#include "trovsim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <sys/resource.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* const kNames[3] = {"sim:axis1", "sim:axis2", "sim:axis3"};
const int kAmplitude[3] = {9000, 9000, 200000};

struct Axes {
    device_t h[3] = {-1, -1, -1};
    int leg[3] = {0, 0, 0};
    long moves = 0;
    long polls = 0;

    bool open()
    {
        for (int c = 0; c < 3; ++c)
            if ((h[c] = open_device(kNames[c])) < 0)
                return false;
        return true;
    }
    void close()
    {
        for (auto& id : h)
            close_device(&id);
    }
    void poll()
    {
        for (int c = 0; c < 3; ++c) {
            status_t st;
            get_status(h[c], &st);
            ++polls;
            if (!(st.MoveSts & MOVE_STATE_MOVING)) {
                command_move(h[c], (leg[c]++ % 2 ? 1 : -1) * kAmplitude[c], 0);
                ++moves;
            }
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    double hours = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (!(hours > 0))
        hours = 1.0;
    const double simMs = hours * 3600e3;

    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    bool pinned = sched_setaffinity(0, sizeof one, &one) == 0;

    // 1. stepped clock, flat out
    trovsim_reset(nullptr, "");
    trovsim_clock_manual(1);
    Axes fast;
    if (!fast.open()) {
        std::printf("cannot open the controllers\n");
        return 0;
    }
    double cpu0 = cpuSeconds();
    auto wall0 = Clock::now();
    for (double t = 0; t < simMs; t += 100) {
        trovsim_advance_ms(100);
        fast.poll();
    }
    double cpu = cpuSeconds() - cpu0;
    double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    std::printf("stepped clock: %.2f simulated h of 3 moving axes in %.3f s wall, %.3f s CPU (%ld polls, %ld moves)\n",
                hours, wall, cpu, fast.polls, fast.moves);
    fast.close();

    // 2. real time, scale 100
    trovsim_reset(nullptr, "");
    trovsim_clock_manual(0);
    trovsim_set_time_scale(100);
    Axes live;
    if (!live.open()) {
        std::printf("cannot open the controllers\n");
        return 0;
    }
    const double start = static_cast<double>(trovsim_now_ms());
    double worstLag = 0;
    cpu0 = cpuSeconds();
    wall0 = Clock::now();
    auto next = wall0;
    for (;;) {
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
        live.poll();
        double elapsedSim = static_cast<double>(trovsim_now_ms()) - start;
        double expected = 100.0 * std::chrono::duration<double, std::milli>(Clock::now() - wall0).count();
        if (expected - elapsedSim > worstLag)
            worstLag = expected - elapsedSim;
        if (elapsedSim >= simMs)
            break;
    }
    cpu = cpuSeconds() - cpu0;
    wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    std::printf("time scale 100%s: %.2f simulated h in %.1f s wall, %.3f s CPU (%.2f %% of one core), "
                "worst lag %.0f ms simulated (%ld polls, %ld moves)\n",
                pinned ? ", one core" : "", hours, wall, cpu, 100.0 * cpu / wall, worstLag, live.polls, live.moves);
    live.close();
    trovsim_clock_manual(1);
    return 0;
}
