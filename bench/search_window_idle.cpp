// The device search window listing three simulated controllers while the user reads the list:
// start-up's own wait for the choice, measured as the whole process's CPU share of one core over
// the given span, after the search and its animation have ended (goal at most 0.3 %). Cancel
// then ends the wait.
// Usage: QT_QPA_PLATFORM=offscreen bench_search_window_idle [seconds]   (default 30, at least 20)

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/ControlWindow.h"
#include "app/ProgramStartup.h"
#include "app/StartWindow.h"
#include "trovsim.h"

namespace {

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Never asked: the user cancels.
class NoWindows : public ControlWindowMaker
{
public:
    std::unique_ptr<ControlWindow> makeSingleAxis(device_t, const QString&, DeviceInterface*) override
    {
        return nullptr;
    }
    std::unique_ptr<ControlWindow> makeMultiAxis(const QList<int>&, const QStringList&,
                                                 const QList<DeviceInterface*>&) override
    {
        return nullptr;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(20, std::atoi(argv[1])) : 30;
    if (trovsim_reset(nullptr, home.filePath(QStringLiteral("trovsim")).toUtf8().constData()) != 0)
        return 1;

    NoWindows maker;
    ProgramStartup startup(maker);
    startup.start();

    // The search, the list and the animation's slowing down are over well within the settling.
    const int settleMs = 3000;
    double cpuStart = 0;
    double cpu = 0;
    QElapsedTimer wall;
    double elapsed = 0;
    bool listed = false;
    QTimer::singleShot(settleMs, [&] {
        listed = startup.searchWindow() && startup.searchWindow()->findChild<QWidget*>(QStringLiteral("deviceList"))
                                              ->isVisible();
        cpuStart = processCpuSeconds();
        wall.start();
    });
    QTimer::singleShot(settleMs + seconds * 1000, [&] {
        cpu = processCpuSeconds() - cpuStart;
        elapsed = double(wall.elapsed()) / 1000.0;
        if (StartWindow* search = startup.searchWindow())
            search->findChild<QPushButton*>(QStringLiteral("cancelBtn"))->click();
    });
    const ProgramStartup::Pass pass = startup.searchPass();
    startup.finish();
    if (!listed || pass != ProgramStartup::Pass::Quit) {
        std::printf("the search window did not list the controllers\n");
        return 1;
    }
    std::printf("search window, list shown, idle %d s: CPU %.2f %% of one core (goal <= 0.3 %%)\n", seconds,
                100.0 * cpu / elapsed);
    return 0;
}
