// Stop latency of the script engine thread: the time from requestStop() until the thread is
// idle again, over 100 stops each in a busy loop, in a native sleep and in a flag wait.
// Usage: bench_script_stop [stops]   (default 100)

#include "bench/BenchStats.h"
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "tests/support/ProbeScriptThread.h"

namespace {

struct Figures
{
    double median = 0;
    double maximum = 0;
    int notStopped = 0;
};

Figures measure(ProbeScriptThread& thread, const QString& script, int stops)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> settle(0, 30);
    std::vector<double> latencies;
    Figures figures;
    for (int i = 0; i < stops; ++i) {
        const int entered = thread.enterCalls;
        thread.requestRun(script);
        QElapsedTimer limit;
        limit.start();
        while (thread.enterCalls == entered && limit.elapsed() < 2000)
            QThread::usleep(200);
        // Stop at a random point of the script's work, not right at its start.
        QThread::msleep(static_cast<unsigned long>(settle(random)));
        QElapsedTimer clock;
        clock.start();
        thread.requestStop();
        while (thread.isBusy() && clock.elapsed() < 5000)
            QThread::usleep(100);
        if (thread.isBusy())
            ++figures.notStopped;
        latencies.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    figures.median = bench::median(latencies);
    figures.maximum = bench::maximum(latencies);
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int stops = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    ProbeScriptThread thread;
    thread.startThread();

    const struct
    {
        const char* name;
        const char* script;
    } cases[] = {
        {"busy loop", "enter(1); var x = 0; while (true) { x = (x + 1) % 1000; }"},
        {"native sleep", "enter(1); nap(60000); count();"},
        {"flag wait", "enter(1); hold(); count();"},
    };
    std::printf("stop latency over %d stops each (target: maximum 300 ms)\n", stops);
    bool met = true;
    for (const auto& c : cases) {
        const Figures figures = measure(thread, QString::fromLatin1(c.script), stops);
        met = met && figures.maximum <= 300 && figures.notStopped == 0;
        std::printf("  %-13s median %7.2f ms   maximum %7.2f ms%s\n", c.name, figures.median, figures.maximum,
                    figures.notStopped ? "   (some never stopped)" : "");
    }
    std::printf("  calls after a stop: %d\n", thread.countCalls.load());
    std::printf("%s\n", met ? "target met" : "target missed");
    thread.requestQuit();
    thread.waitFinished(5000);
    return 0;
}
