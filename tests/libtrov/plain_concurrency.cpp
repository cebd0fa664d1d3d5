// Many threads on the simulated controllers at once: status polls, settings reads and writes,
// commands and searches, while all three axes keep moving (the clock runs 50 times real time), a
// search runs continuously beside them, the simulator is reset under them and the log callback
// calls back into the library. Runs a fixed number of iterations; built for ThreadSanitizer too.
#include "trovsim.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 6;
constexpr int kControllers = 3;
constexpr int kIterations = 1500;
const char* const kNames[kControllers] = {"sim:axis1", "sim:axis2", "sim:axis3"};

std::atomic<device_t> g_handle[kControllers];
std::mutex g_reopen[kControllers];
std::atomic<int> g_unexpected{0};
std::atomic<int> g_callbacks{0};
std::atomic<int> g_callbackBad{0};
std::atomic<int> g_progress{0};
std::atomic<int> g_lost{0};
std::atomic<bool> g_done{false};
std::atomic<int> g_moves{0};
std::atomic<int> g_searches{0};
std::atomic<int> g_farthest[kControllers];
std::mutex g_reportMutex;
std::string g_firstProblem;

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
    (ok ? g_passed : g_failed)++;
}

void unexpected(const char* call, int result)
{
    if (g_unexpected.fetch_add(1) == 0) {
        std::lock_guard<std::mutex> lock(g_reportMutex);
        g_firstProblem = std::string(call) + " answered " + std::to_string(result);
    }
}

// A handle can be lost by a reset (-4) or closed by a thread that reopens it (-1).
bool acceptable(int r, std::initializer_list<int> fine)
{
    if (r == -4 || r == -1)
        return true;
    for (int f : fine)
        if (r == f)
            return true;
    return false;
}

void reopen(int c, device_t seen)
{
    std::lock_guard<std::mutex> lock(g_reopen[c]);
    if (g_handle[c].load() != seen)
        return; // another thread did it
    device_t old = seen;
    if (old >= 0)
        close_device(&old);
    g_handle[c] = open_device(kNames[c]); // -1 while a reset is under way: retried later
}

void callback(int, const wchar_t* text)
{
    g_callbacks.fetch_add(1);
    if (!text)
        g_callbackBad.fetch_add(1);
    status_t st;
    int r = get_status(g_handle[0].load(), &st);
    if (r != 0 && r != -1 && r != -4)
        g_callbackBad.fetch_add(1);
}

void worker(int tid)
{
    for (int i = 0; i < kIterations; ++i) {
        int c = (tid + i) % kControllers;
        device_t h = g_handle[c].load();
        if (h < 0) {
            reopen(c, h);
            continue;
        }
        int r = 0;
        const char* call = "";
        switch (i % 8) {
        case 0:
        case 1: {
            status_t st;
            call = "get_status";
            r = get_status(h, &st);
            if (r == 0 && (st.Flags & STATE_EXT_POWER) == 0)
                unexpected("get_status without power", r);
            break;
        }
        case 2: {
            move_settings_t m;
            call = "get_move_settings";
            r = get_move_settings(h, &m);
            if (r == 0) {
                m.Speed = 1000u + static_cast<uint32_t>(tid);
                call = "set_move_settings";
                r = set_move_settings(h, &m);
            }
            break;
        }
        case 3: {
            power_settings_t p;
            call = "get_power_settings";
            r = get_power_settings(h, &p);
            if (r == 0) {
                p.HoldCurrent = 300; // corrected: a warning goes to the callback
                call = "set_power_settings";
                r = set_power_settings(h, &p);
                if (r == 0)
                    unexpected(call, r);
                if (r == -3)
                    r = 0;
            }
            break;
        }
        case 4: {
            call = "command";
            int which = (i / 8) % 4;
            r = which == 0 ? command_move(h, i, 0) : which == 1 ? command_stop(h) : which == 2 ? command_sstp(h) : command_left(h);
            break;
        }
        case 5: {
            call = "enumerate_devices";
            enumeration_handle_t e = enumerate_devices(ENUMERATE_PROBE);
            int n = get_device_count(e);
            for (int k = 0; k < n; ++k) {
                const char* name = get_device_name(e, k);
                uint32_t serial;
                if (!name || std::strncmp(name, "sim:", 4) != 0)
                    unexpected("get_device_name", k);
                get_enumerate_device_serial(e, k, &serial);
            }
            r = n == kControllers ? free_enumerate_devices(e) : -99;
            break;
        }
        case 6: {
            chart_data_t chart;
            call = "get_chart_data";
            r = get_chart_data(h, &chart);
            break;
        }
        case 7: {
            device_information_t info;
            call = "get_device_information";
            r = get_device_information(h, &info);
            if (i % 400 == 7) {
                call = "command_save_settings";
                r = command_save_settings(h);
            }
            break;
        }
        }
        if (!acceptable(r, {0}))
            unexpected(call, r);
        if (r == -4)
            g_lost.fetch_add(1);
        if (r == -4 || r == -1)
            reopen(c, h);
        g_progress.fetch_add(1);
    }
}

// Keeps every axis on the move between two points and checks what the status says meanwhile.
void mover()
{
    for (int leg = 0; !g_done.load(); ++leg) {
        for (int c = 0; c < kControllers; ++c) {
            device_t h = g_handle[c].load();
            if (h < 0)
                continue;
            status_t st;
            int r = get_status(h, &st);
            if (r == 0) {
                const int travel = c == 2 ? 250000 : 10000;
                if ((st.MvCmdSts & MVCMD_NAME_BITS) > MVCMD_SSTP || (st.MvCmdSts & ~0xFFu) ||
                    (st.MoveSts & ~7u) || st.CurPosition < -travel || st.CurPosition > travel)
                    unexpected("get_status of a moving axis", static_cast<int>(st.MvCmdSts));
                int far = std::abs(st.CurPosition);
                if (far > g_farthest[c].load())
                    g_farthest[c] = far;
                if (!(st.MoveSts & MOVE_STATE_MOVING)) {
                    int target = ((leg / 2) % 2 ? 1 : -1) * (c == 2 ? 100000 : 2000);
                    r = command_move(h, target, 0);
                    g_moves.fetch_add(1);
                }
            }
            if (!acceptable(r, {0}))
                unexpected("mover", r);
        }
        std::this_thread::yield();
    }
}

// A search that never stops, as the device search window's thread would run it.
void searcher()
{
    while (!g_done.load()) {
        enumeration_handle_t e = enumerate_devices(ENUMERATE_PROBE);
        int n = get_device_count(e);
        if (n != kControllers)
            unexpected("get_device_count beside the traffic", n);
        for (int k = 0; k < n; ++k) {
            const char* name = get_device_name(e, k);
            if (!name || std::strncmp(name, "sim:axis", 8) != 0)
                unexpected("get_device_name beside the traffic", k);
        }
        free_enumerate_devices(e);
        g_searches.fetch_add(1);
    }
}

} // namespace

int main()
{
    std::string folder;
    if (const char* d = std::getenv("TROVSIM_DATA_DIR"))
        folder = std::string(d) + "/concurrency";
    else
        folder = "/tmp/trovsim-concurrency-" + std::to_string(static_cast<long>(std::time(nullptr)));
    std::string set = "axis1:10001:stepper:stage;axis2:10002:stepper;axis3:10003:dc";

    set_logging_callback(&callback);
    trovsim_reset(set.c_str(), folder.c_str());
    trovsim_clock_manual(0);
    trovsim_set_time_scale(50);
    for (int c = 0; c < kControllers; ++c)
        g_handle[c] = open_device(kNames[c]);
    check(g_handle[0] >= 0 && g_handle[1] >= 0 && g_handle[2] >= 0, "three controllers open");

    std::thread moving(mover), searching(searcher);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(worker, t);
    // resets under traffic, at fixed points of the work done
    std::thread resetter([&] {
        const int total = kThreads * kIterations;
        for (int k = 1; k <= 3; ++k) {
            while (g_progress.load() < total * k / 4)
                std::this_thread::yield();
            trovsim_reset(set.c_str(), folder.c_str());
        }
    });
    for (auto& t : threads)
        t.join();
    resetter.join();
    // the axes go on moving until they have covered some ground
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < giveUp) {
        bool far = true;
        for (int c = 0; c < kControllers; ++c)
            far = far && g_farthest[c].load() >= (c == 2 ? 5000 : 100);
        if (far)
            break;
        std::this_thread::yield();
    }
    g_done = true;
    moving.join();
    searching.join();
    trovsim_clock_manual(1); // time stands still for the checks

    {
        std::lock_guard<std::mutex> lock(g_reportMutex);
        check(g_unexpected.load() == 0, ("no unexpected results" + (g_firstProblem.empty() ? "" : " (first: " + g_firstProblem + ")")).c_str());
    }
    check(g_callbacks.load() > 0 && g_callbackBad.load() == 0, "callback called the library without deadlock");

    // afterwards every controller is consistent and reachable
    bool consistent = true;
    for (int c = 0; c < kControllers; ++c) {
        device_t h = g_handle[c].load();
        status_t st;
        if (h < 0 || get_status(h, &st) != 0) {
            if (h >= 0)
                close_device(&h);
            h = open_device(kNames[c]);
            g_handle[c] = h;
        }
        move_settings_t m;
        if (h < 0 || get_move_settings(h, &m) != 0 || m.Speed < 1000 || m.Speed > 3000 ||
            (m.Speed >= 1000u + kThreads && m.Speed != 1000u && m.Speed != 3000u))
            consistent = false;
        power_settings_t p;
        if (h < 0 || get_power_settings(h, &p) != 0 || p.HoldCurrent > 100)
            consistent = false;
        if (h >= 0)
            close_device(&h);
    }
    check(consistent, "settings consistent after the traffic");
    check(trovsim_journal_size() <= 10000 && trovsim_call_count(nullptr, "get_status") > 0, "journal bounded");
    check(g_moves.load() > kControllers && g_farthest[0] >= 100 && g_farthest[1] >= 100 && g_farthest[2] >= 5000,
          "all three axes moved");
    check(g_searches.load() > 0, "searches ran beside the traffic");

    set_logging_callback(nullptr);
    std::printf("(%d calls met a lost handle, %d log lines)\n", g_lost.load(), g_callbacks.load());
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
