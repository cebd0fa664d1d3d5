// Return to command_stop on every axis: three simulated axes polled as usual, the multi-axis
// window shown and active, Return pressed 100 times; the time from the key press until the
// last axis has its command_stop, median and maximum.
// Usage: bench_multiaxis_stop [presses]   (default 100)

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/BenchStats.h"
#include "tests/support/MultiaxisWindowRig.h"
#include "trovsim.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    MultiaxisWindowRig rig(3);
    Multiaxis* window = rig.window.get();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) {
        std::printf("the window did not become active\n");
        return 1;
    }
    window->findChild<QPushButton*>(QStringLiteral("pushButton_home"))->setFocus();

    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < presses; ++i) {
        trovsim_journal_clear();
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        auto stopped = [&] {
            for (const char* name : axisNames) {
                if (trovsim_call_count(name, "command_stop") < 1)
                    return false;
            }
            return true;
        };
        while (!stopped() && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!stopped())
            ++missed;
        latencies.push_back(double(clock.nsecsElapsed()) / 1e6);
        // Let polling run between presses, as between a user's.
        QTest::qWait(20);
    }
    const double median = bench::median(latencies);
    const double maximum = bench::maximum(latencies);
    std::printf("Return to command_stop on 3 axes over %d presses (target: under 20 ms)\n", presses);
    std::printf("  median %7.2f ms   maximum %7.2f ms   presses without all stops: %d\n", median, maximum, missed);
    std::printf("%s\n", maximum < 20 && missed == 0 ? "target met" : "target missed");
    window->close();
    return 0;
}
