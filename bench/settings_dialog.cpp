// The settings dialog on a simulated stepper controller: building the dialog with its 49 pages,
// a full load and redraw ((true, true): every record and the identity read on the axis' courier,
// every page shown), and an Apply with nothing changed, each until its reply is in. Milliseconds, median and worst of the rounds.
// Usage: bench_settings_dialog [rounds]   (default 30)

#include "bench/BenchStats.h"
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "settingsdlg/SettingsDlg.h"
#include "tests/support/DialogCalls.h"
#include "trovsim.h"

namespace {

struct Figures
{
    std::vector<double> values;
    void add(const QElapsedTimer& clock) { values.push_back(bench::elapsedMs(clock)); }
    void print(const char* what, double target) const
    {
        std::printf("%-28s median %8.3f ms  max %8.3f ms  (target %g ms)\n", what, bench::median(values),
                    bench::maximum(values), target);
    }
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    if (trovsim_reset(nullptr, "") != 0)
        return 1;
    trovsim_clock_manual(1);
    const char* axis = "sim:axis1";
    DeviceInterface gateway;
    std::atomic<device_t> handle{gateway.open_device(axis)};
    if (handle == -1)
        return 1;
    UpdateThread poller(0, nullptr, &handle, axis, &gateway);

    Figures build, load, apply;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        auto dialog = std::make_unique<SettingsDlg>(nullptr, &poller, &gateway, false);
        build.add(clock);
        clock.start();
        dialog->AllPagesFromDeviceToClassToUi(true, true);
        settled(*dialog);
        load.add(clock);
        clock.start();
        dialog->AllPagesFromUiToClassToDevice();
        settled(*dialog);
        apply.add(clock);
        trovsim_journal_clear();
    }
    std::printf("settings dialog, %d rounds\n", rounds);
    build.print("build with 49 pages", 500);
    load.print("full load and redraw", 100);
    apply.print("unchanged Apply", 20);
    gateway.close_device(handle);
    return 0;
}
