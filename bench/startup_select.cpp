// From the user's Select to the first full display of the single-axis window: the controller
// opened, the window built and set up with its configuration, shown, and the first status sample
// drawn. Milliseconds, median and worst of the rounds (target under 1000 ms).
// Usage: bench_startup_select [rounds]   (default 10)

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/BenchStats.h"
#include "device/DeviceInterface.h"
#include "mainwindow/MainWindow.h"
#include "trovsim.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    // The defaults file the build puts beside the program.
    qputenv("TOLMO_SHARE_DIR", QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/..")));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (trovsim_reset(nullptr, home.filePath(QStringLiteral("trovsim")).toUtf8().constData()) != 0)
        return 1;

    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        DeviceInterface gateway;
        QElapsedTimer clock;
        clock.start();
        const device_t handle = gateway.open_device("sim:axis1");
        if (handle == -1)
            return 1;
        auto* window = new MainWindow(nullptr, handle, QStringLiteral("sim:axis1"), &gateway);
        if (window->init() != MainWindow::InitStatus::Ready)
            return 1;
        window->show();
        QEventLoop loop;
        QObject::connect(window, &MainWindow::SgnSampleShown, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        delete window;  // saves the file the next round starts from
    }
    std::printf("Select to first full display, %d rounds: median %8.1f ms  max %8.1f ms  (target 1000 ms)\n", rounds,
                bench::median(times), bench::maximum(times));
    return 0;
}
