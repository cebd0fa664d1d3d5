// Stop in the script window with the controller unplugged: the time from the Stop click until
// Start, Load and Save are enabled again and Stop is not, through the windows' own wiring
// (script window, ScriptControl, single-axis engine), over 100 stops of a script that waits for
// the lost controller or sleeps.
// Usage: bench_script_window_stop [stops]   (default 100)

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/BenchStats.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "tests/support/SimulatedAxis.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int stops = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const char* const axis = "sim:axis1";
    QTemporaryDir home;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{openOnFreshSimulator(gateway, axis)};
    trovsim_clock_manual(0);
    ScriptDlg dialog(nullptr, nullptr, QStringLiteral("axis1"), home.filePath(QStringLiteral("scratch.txt")), QString());
    dialog.InitUI();
    dialog.show();
    auto engine = std::make_unique<ScriptThread>(gateway.get(), &handle);
    ScriptThread* thread = engine.get();
    ScriptControl control(&dialog, std::move(engine), ScriptControl::LineMarks::Running);
    auto* start = dialog.findChild<QPushButton*>(QStringLiteral("startBtn"));
    auto* stop = dialog.findChild<QPushButton*>(QStringLiteral("stopBtn"));
    auto* load = dialog.findChild<QPushButton*>(QStringLiteral("loadBtn"));
    auto idle = [&] { return start->isEnabled() && load->isEnabled() && !stop->isEnabled(); };
    trovsim_unplug(axis);

    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < stops; ++i) {
        // Even rounds wait for the lost controller after a failed move, odd ones sleep.
        dialog.editor()->setPlainText(i % 2 ? QStringLiteral("msleep(60000)") : QStringLiteral("movr(10); movr(10)"));
        start->click();
        QElapsedTimer limit;
        limit.start();
        while ((i % 2 ? thread->runCount() <= quint64(i) : !thread->stoppedOnError.load()) && limit.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QElapsedTimer clock;
        clock.start();
        stop->click();
        while (!idle() && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!idle())
            ++missed;
        latencies.push_back(bench::elapsedMs(clock));
        thread->stoppedOnError = false;
    }
    const double maximum = bench::maximum(latencies);
    std::printf("Stop click to idle buttons, controller unplugged, over %d stops (target: 300 ms)\n", stops);
    std::printf("  median %7.2f ms   maximum %7.2f ms   stops that never went idle: %d\n",
                bench::median(latencies), maximum, missed);
    std::printf("%s\n", maximum <= 300 && missed == 0 ? "target met" : "target missed");
    control.quit(5000);
    closeAndRelease(gateway, handle);
    return 0;
}
