// Save and load of a full profile (the fifteen controller groups, 154 keys): milliseconds per
// operation. A save includes the sync that writes the file; a load is timed once with the file
// parsed anew every time (as when a profile is first opened) and once with Qt's parsed copy.
// Usage: bench_profile_file [rounds]   (default 200)

#include "bench/BenchStats.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/IniSettings.h"
#include "settings_model/MotorSettings.h"

namespace {

MotorSettings fullSettings()
{
    MotorSettings s(nullptr, nullptr);
    s.entype = {ENGINE_TYPE_STEP, DRIVER_TYPE_INTEGRATE};
    s.engine = {1200, 600, 2000, 0, ENGINE_ACCEL_ON | ENGINE_LIMIT_RPM, 50, MICROSTEP_MODE_FRAC_256, 200};
    s.feedback = {4000, FEEDBACK_ENCODER, 0};
    s.home = {1500, 0, 100, 0, 100, 0, 0xF6};
    s.uart = {115200, UART_STOP_BIT | UART_PARITY_BIT_ODD};
    s.extio = {0, EXTIO_SETUP_MODE_IN_STOP | EXTIO_SETUP_MODE_OUT_MOVING};
    s.control.Flags = CONTROL_MODE_JOY;
    for (uint32_t i = 0; i < 10; ++i)
        s.control.MaxSpeed[i] = 100u << i;
    std::strcpy(s.controllerName.ControllerName, "Bench axis");
    return s;
}

using bench::median;

double mean(const std::vector<double>& values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return values.empty() ? 0.0 : sum / double(values.size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("profile.cfg"));
    const MotorSettings settings = fullSettings();

    std::vector<double> saves, freshLoads, cachedLoads;
    QElapsedTimer clock;
    qint64 stamp = 0;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        clock.start();
        {
            IniSettings file(path);
            failures += settings.saveToFile(file) ? 0 : 1;
        }
        saves.push_back(double(clock.nsecsElapsed()) / 1e6);

        // A new modification time makes Qt parse the file again.
        {
            QFile file(path);
            file.open(QIODevice::ReadWrite);
            file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++stamp, Qt::UTC),
                             QFileDevice::FileModificationTime);
        }
        MotorSettings loaded(nullptr, nullptr);
        QString report;
        clock.start();
        {
            IniSettings file(path);
            loaded.loadFromFile(file, report);
        }
        freshLoads.push_back(double(clock.nsecsElapsed()) / 1e6);
        failures += report.isEmpty() ? 0 : 1;

        clock.start();
        {
            IniSettings file(path);
            loaded.loadFromFile(file, report);
        }
        cachedLoads.push_back(double(clock.nsecsElapsed()) / 1e6);
    }

    std::printf("profile file, %d rounds, %lld bytes, 154 keys%s\n", rounds,
                static_cast<long long>(QFile(path).size()), failures ? " (FAILURES)" : "");
    std::printf("  save (with sync):      median %.3f ms, mean %.3f ms  (target < 5 ms)\n", median(saves), mean(saves));
    std::printf("  load (file parsed):    median %.3f ms, mean %.3f ms  (target < 5 ms)\n", median(freshLoads),
                mean(freshLoads));
    std::printf("  load (parsed by Qt):   median %.3f ms, mean %.3f ms\n", median(cachedLoads), mean(cachedLoads));
    return 0;
}
