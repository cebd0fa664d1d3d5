// Single-axis window on one simulated axis, shown: the whole process's CPU share of one core
// (its own CPU time over the phase) and the refresh time per sample, first idle, then moving
// (goals: idle at most 0.6 %, median below 0.5 ms); then 10,000 queued log lines: refreshes
// until all show and the longest one (target: none over 50 ms). Each phase also counts how often
// the GUI thread is woken.
// Usage: QT_QPA_PLATFORM=offscreen bench_main_window [seconds per phase]   (default 60, at least 20)

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

#include "bench/BenchStats.h"
#include "bench/WindowHome.h"
#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Times the GUI thread went to sleep and was woken: one per event-loop wake-up.
long guiWakeUps()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

// Runs the event loop for seconds, timing every sample's refresh.
void phase(const char* name, MainWindow& window, int seconds, const char* goal)
{
    std::vector<double> times;
    QElapsedTimer clock;
    auto connection = QObject::connect(window.pollingThread(), &UpdateThread::sampleRead, &window,
                                       [&](int n, QDateTime t, status_t s, chart_data_t c, analog_data_t a, bool on,
                                           int mode, quint64 read) {
                                           QElapsedTimer one;
                                           one.start();
                                           window.UpdateVarsRead(n, t, s, c, a, on, mode, read);
                                           times.push_back(double(one.nsecsElapsed()) / 1e6);
                                       });
    const double cpuStart = cpuSeconds();
    const long wakeUpsStart = guiWakeUps();
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds() - cpuStart;
    const double wakeUps = double(guiWakeUps() - wakeUpsStart);
    QObject::disconnect(connection);
    const auto at = [&](double share) { return bench::percentile(times, share); };
    const double elapsed = double(clock.elapsed()) / 1000.0;
    std::printf("%-8s CPU %6.2f %% of one core%s   refresh: %zu samples, median %.3f ms, p99 %.3f ms   "
                "GUI thread woken %.1f times a second\n",
                name, 100.0 * cpu / elapsed, goal, times.size(), at(0.5), at(0.99), wakeUps / elapsed);
}

} // namespace

int main(int argc, char** argv)
{
    const WindowHome home;

    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(20, std::atoi(argv[1])) : 60;
    if (trovsim_reset(nullptr, "") != 0)
        return 1;
    MessageLog log;
    messageLog = &log;
    DeviceInterface gateway;
    const device_t handle = gateway.open_device(axis);
    if (handle == -1)
        return 1;
    {
        MainWindow window(nullptr, handle, QString::fromLatin1(axis), &gateway);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        QObject::connect(&window, &MainWindow::InsertLineSgn, &log,
                         qOverload<const QDateTime&, const QString&, const QString&, int, const LogSettings&>(
                             &MessageLog::InsertLine));
        if (window.init() != MainWindow::InitStatus::Ready)
            return 1;
        // Every sample goes through the timing slot, and only there: the window takes its samples
        // from sampleRead.
        QObject::disconnect(window.pollingThread(), &UpdateThread::sampleRead, &window, &MainWindow::UpdateVarsRead);
        if (!qEnvironmentVariableIsSet("BENCH_HIDDEN"))
            window.show();
        phase("idle", window, seconds, " (goal <= 0.6 %)");
        gateway.command_right(handle);
        phase("moving", window, seconds, "");
        gateway.command_stop(handle);

        QObject::disconnect(window.pollingThread(), nullptr, &window, nullptr);
        QCoreApplication::processEvents();
        window.OnClearLogBtnPressed();
        const int lines = 10000;
        for (int i = 0; i < lines; ++i)
            log.InsertLine(QDateTime::currentDateTime(), QStringLiteral("queued line %1").arg(i),
                           QStringLiteral("Tolmo"), 3);
        int refreshes = 0;
        double longest = 0;
        while (window.form()->logEdit->rowCount() < lines && refreshes < 10000) {
            QElapsedTimer one;
            one.start();
            window.UpdateState();
            longest = std::max(longest, double(one.nsecsElapsed()) / 1e6);
            std::printf("  refresh %d: %d rows, %.1f ms\n", refreshes + 1, window.form()->logEdit->rowCount(),
                        double(one.nsecsElapsed()) / 1e6);
            ++refreshes;
            QCoreApplication::processEvents();
        }
        std::printf("log      %d lines shown after %d refreshes, longest refresh %.1f ms\n",
                    window.form()->logEdit->rowCount(), refreshes, longest);
    }
    messageLog = nullptr;
    return 0;
}
