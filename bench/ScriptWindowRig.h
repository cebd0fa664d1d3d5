#ifndef SCRIPTWINDOWRIG_H
#define SCRIPTWINDOWRIG_H

// The single-axis script window as the main window wires it (script window, ScriptControl,
// engine) on one fresh simulated axis with a stopped clock, for the script benchmarks.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/BenchStats.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "tests/support/SimulatedAxis.h"

namespace bench {

struct ScriptWindowRig {
    const char* const axis = "sim:axis1";
    QTemporaryDir home;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{openOnFreshSimulator(gateway, axis)};
    ScriptDlg dialog{nullptr, nullptr, QStringLiteral("axis1"), home.filePath(QStringLiteral("scratch.txt")), QString()};
    ScriptThread* thread = nullptr;
    std::unique_ptr<ScriptControl> control;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* load = nullptr;

    ScriptWindowRig()
    {
        trovsim_clock_manual(0);
        dialog.InitUI();
        dialog.show();
        auto engine = std::make_unique<ScriptThread>(gateway.get(), &handle);
        thread = engine.get();
        control = std::make_unique<ScriptControl>(&dialog, std::move(engine), ScriptControl::LineMarks::Running);
        start = dialog.findChild<QPushButton*>(QStringLiteral("startBtn"));
        stop = dialog.findChild<QPushButton*>(QStringLiteral("stopBtn"));
        load = dialog.findChild<QPushButton*>(QStringLiteral("loadBtn"));
    }
    ~ScriptWindowRig()
    {
        control->quit(5000);
        control.reset();
        closeAndRelease(gateway, handle);
    }

    bool idle() const { return start->isEnabled() && load->isEnabled() && !stop->isEnabled(); }

    // Clicks Stop and returns the milliseconds until the buttons are idle (counting a miss after limitMs).
    double stopToIdleMs(int limitMs, int& missed)
    {
        QElapsedTimer clock;
        clock.start();
        stop->click();
        while (!idle() && clock.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!idle())
            ++missed;
        return elapsedMs(clock);
    }
};

// Prints the Stop-to-idle figures against the 300 ms target.
inline void printStopFigures(const char* what, const std::vector<double>& latencies, int missed)
{
    const double most = maximum(latencies);
    std::printf("Stop click to idle buttons, %s, over %zu stops (target: 300 ms)\n", what, latencies.size());
    std::printf("  median %7.2f ms   maximum %7.2f ms   stops that never went idle: %d\n", median(latencies), most,
                missed);
    std::printf("%s\n", most <= 300 && missed == 0 ? "target met" : "target missed");
}

} // namespace bench

#endif // SCRIPTWINDOWRIG_H
