// Multi-axis window with three simulated axes, shown and left idle: the whole process's CPU share
// of one core, from its own CPU time (goal at most 0.8 %), and the time of one display refresh
// (UpdateState), median and p99 (target median below 1 ms).
// Usage: QT_QPA_PLATFORM=offscreen bench_multiaxis_idle [seconds]   (default 60, at least 20)
// BENCH_HIDDEN=1 leaves the window hidden, BENCH_NO_REFRESH=1 stops its refresh: the polling
// threads' share alone.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "bench/BenchStats.h"
#include "tests/support/MultiaxisWindowRig.h"

namespace {

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(20, std::atoi(argv[1])) : 60;

    MultiaxisWindowRig rig(3);
    Multiaxis& w = *rig.window;

    // The refresh is timed from the window's own timer.
    std::vector<double> refreshMs;
    QObject::disconnect(w.refreshTimer, nullptr, &w, nullptr);
    QObject::connect(w.refreshTimer, &QTimer::timeout, &w, [&w, &refreshMs] {
        QElapsedTimer clock;
        clock.start();
        w.UpdateState();
        refreshMs.push_back(double(clock.nsecsElapsed()) / 1e6);
    });
    // BENCH_HIDDEN=1: refreshed but never painted, for the share the offscreen painting takes.
    if (!qEnvironmentVariableIsSet("BENCH_HIDDEN"))
        w.show();
    // BENCH_NO_REFRESH=1: polling threads only, for the share the display adds.
    if (qEnvironmentVariableIsSet("BENCH_NO_REFRESH"))
        w.refreshTimer->stop();

    // Settle: connections, first samples, first scales.
    QTimer::singleShot(1000, &app, &QApplication::quit);
    app.exec();
    refreshMs.clear();

    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = processCpuSeconds() - cpuStart;
    const double elapsed = double(wall.elapsed()) / 1000.0;

    const double median = bench::median(refreshMs);
    const double p99 = bench::percentile(refreshMs, 0.99);
    std::printf("three axes, idle %d s: CPU %.2f %% of one core (goal <= 0.8 %%)\n", seconds, 100.0 * cpu / elapsed);
    std::printf("UpdateState: %zu refreshes, median %.3f ms, p99 %.3f ms (target median < 1 ms)\n", refreshMs.size(),
                median, p99);
    w.close();
    return 0;
}
