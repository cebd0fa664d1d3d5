// Return to command_stop on every axis: three simulated axes polled as usual, the multi-axis
// window shown and active, Return pressed 100 times; the time from the key press until the
// last axis has its command_stop, median and maximum. With "held", a status read of X holds its
// gateway at each press: the time until Y and Z have theirs, and X gets its own once the read
// is let go.
// Usage: bench_multiaxis_stop [presses] [held]   (default 100)

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchStats.h"
#include "tests/support/MultiaxisWindowRig.h"
#include "trovsim.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const bool held = argc > 2 && std::strcmp(argv[2], "held") == 0;
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
        if (held) {
            trovsim_hold_call(axisNames[0], "get_status");
            trovsim_wait_held(axisNames[0], "get_status", 2000);
        }
        trovsim_journal_clear();
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        auto stopped = [&] {
            for (const char* name : axisNames) {
                if (trovsim_call_count(name, "command_stop") < 1 && !(held && name == axisNames[0]))
                    return false;
            }
            return true;
        };
        while (!stopped() && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!stopped())
            ++missed;
        latencies.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (held) {
            trovsim_release_call(axisNames[0], "get_status");
            QElapsedTimer late;
            late.start();
            while (trovsim_call_count(axisNames[0], "command_stop") < 1 && late.elapsed() < 2000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (trovsim_call_count(axisNames[0], "command_stop") < 1)
                ++missed;
        }
        // Let polling run between presses, as between a user's.
        QTest::qWait(20);
    }
    const double median = bench::median(latencies);
    const double maximum = bench::maximum(latencies);
    // Held, X's own wait for its gateway comes first.
    const double target = held ? 100 : 20;
    std::printf("Return to command_stop on %s over %d presses (target: under %.0f ms)\n",
                held ? "Y and Z, X held" : "3 axes", presses, target);
    std::printf("  median %7.2f ms   maximum %7.2f ms   presses without all stops: %d\n", median, maximum, missed);
    std::printf("%s\n", maximum < target && missed == 0 ? "target met" : "target missed");
    window->close();
    return 0;
}
