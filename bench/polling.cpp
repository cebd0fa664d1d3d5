// Three simulated axes polled at the normal 100 ms: the process's CPU time as a share of one
// core and the interval between samples of each axis.
// Usage: bench_polling [seconds]   (default 10; 60 for the full run)

#include "bench/BenchStats.h"
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "trovsim.h"

namespace {

using Clock = std::chrono::steady_clock;

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

using bench::percentile;

struct Axis
{
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> thread;
    // Written only by the axis's own polling thread, read once it has ended.
    std::vector<Clock::time_point> sampleTimes;
    int received = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    trovsim_clock_manual(0);
    if (trovsim_reset(nullptr, "") != 0) {
        std::printf("bench_polling: the simulated controllers could not be loaded\n");
        return 0;
    }

    const char* const names[] = {"sim:axis1", "sim:axis2", "sim:axis3"};
    std::vector<std::unique_ptr<Axis>> axes;
    for (unsigned int i = 0; i < 3; ++i) {
        auto axis = std::make_unique<Axis>();
        axis->gateway = std::make_unique<DeviceInterface>();
        axis->handle = axis->gateway->open_device(names[i]);
        if (axis->handle == -1) {
            std::printf("bench_polling: cannot open %s\n", names[i]);
            return 0;
        }
        axis->sampleTimes.reserve(size_t(seconds) * 12 + 16);
        axis->thread = std::make_unique<UpdateThread>(i, nullptr, &axis->handle, names[i], axis->gateway.get());
        Axis* raw = axis.get();
        QObject::connect(
            raw->thread.get(), &UpdateThread::finished, raw->thread.get(),
            [raw](int, QDateTime, status_t, chart_data_t, analog_data_t, bool, int) {
                raw->sampleTimes.push_back(Clock::now());
            },
            Qt::DirectConnection);
        // A receiver in the main thread, as the windows have: the queued delivery is part of the cost.
        QObject::connect(raw->thread.get(), &UpdateThread::finished, &app,
                         [raw](int, QDateTime, status_t, chart_data_t, analog_data_t, bool, int) { ++raw->received; });
        axes.push_back(std::move(axis));
    }

    std::printf("bench_polling: 3 axes at 100 ms for %d s\n", seconds);
    const double cpuStart = processCpuSeconds();
    const Clock::time_point wallStart = Clock::now();
    for (auto& axis : axes)
        axis->thread->start(QThread::HighestPriority);
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    for (auto& axis : axes)
        axis->thread->stopRequest = true;
    for (auto& axis : axes)
        axis->thread->wait();
    const double cpu = processCpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    QCoreApplication::processEvents();

    std::printf("CPU time %.3f s over %.3f s: %.3f %% of one core (target <= 0.5 %%)\n", cpu, wall,
                100.0 * cpu / wall);
    std::printf("%-10s %8s %8s %9s %9s %9s %9s\n", "axis", "samples", "queued", "p50 ms", "p99 ms", "max ms",
                "min ms");
    std::vector<double> all;
    for (size_t i = 0; i < axes.size(); ++i) {
        const auto& times = axes[i]->sampleTimes;
        std::vector<double> gaps;
        for (size_t k = 1; k < times.size(); ++k)
            gaps.push_back(std::chrono::duration<double, std::milli>(times[k] - times[k - 1]).count());
        all.insert(all.end(), gaps.begin(), gaps.end());
        const double max = gaps.empty() ? 0.0 : *std::max_element(gaps.begin(), gaps.end());
        const double min = gaps.empty() ? 0.0 : *std::min_element(gaps.begin(), gaps.end());
        std::printf("%-10s %8zu %8d %9.2f %9.2f %9.2f %9.2f\n", names[i], times.size(), axes[i]->received,
                    percentile(gaps, 0.50), percentile(gaps, 0.99), max, min);
    }
    const double allMax = all.empty() ? 0.0 : *std::max_element(all.begin(), all.end());
    std::printf("%-10s %8s %8s %9.2f %9.2f %9.2f\n", "all", "", "", percentile(all, 0.50), percentile(all, 0.99),
                allMax);
    std::printf("target: p99 within 5 ms of 100 ms on an idle machine\n");

    for (auto& axis : axes) {
        axis->thread.reset();
        if (axis->handle != -1)
            axis->gateway->close_device(axis->handle);
    }
    return 0;
}
