// The message log under load: lines per second from four threads with autosave on into a file
// on local disk, and the memory held over a million lines with autosave off.
#include "bench/BenchStats.h"
#include "log/LibraryLog.h"
#include "log/MessageLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

// Time stamps are taken once per thousand lines: Qt's local time costs more than the log itself
// (the library callback below shows the whole road).
double linesPerSecond(MessageLog& log, const LogSettings& settings, int threads, int perThread)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&log, &settings, t, perThread] {
            const QString source = QStringLiteral("libtrov");
            const QString text = QStringLiteral("thread %1: status read, position 12345 steps, line ").arg(t);
            QDateTime now;
            for (int n = 0; n < perThread; ++n) {
                if (n % 1000 == 0)
                    now = QDateTime::currentDateTime();
                log.InsertLine(now, text + QString::number(n), source, 3, settings);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    log.update();
    return threads * static_cast<double>(perThread) * 1000.0 / static_cast<double>(qMax<qint64>(1, clock.elapsed()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/bench-home-XXXXXX"));
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString folder = home.filePath(QStringLiteral("logs"));
    QDir().mkpath(folder);

    {
        MessageLog log;
        const LogSettings on(3, 3, 3, true, QDir(folder));
        std::printf("InsertLine, autosave on, 1 thread : %10.0f lines/s\n", linesPerSecond(log, on, 1, 200000));
        std::printf("InsertLine, autosave on, 4 threads: %10.0f lines/s (target >= 200000)\n",
                    linesPerSecond(log, on, 4, 100000));
        log.setLogSettings(on);
        QElapsedTimer clock;
        clock.start();
        std::vector<std::thread> workers;
        for (int t = 0; t < 4; ++t) {
            workers.emplace_back([] {
                for (int n = 0; n < 100000; ++n)
                    libraryLogCallback(3, L"library: status read, position 12345 steps");
            });
        }
        for (std::thread& worker : workers)
            worker.join();
        log.update();
        std::printf("libraryLogCallback, 4 threads     : %10.0f lines/s\n",
                    400000 * 1000.0 / static_cast<double>(qMax<qint64>(1, clock.elapsed())));
        QFile file(log.logFileName(QDir(folder), QDateTime::currentDateTime()));
        std::printf("log file: %lld bytes\n", static_cast<long long>(file.size()));
    }

    {
        MessageLog log;
        const LogSettings off(3, 3, 3, false, QDir(folder));
        const long startKb = bench::statusKb("VmRSS:");
        std::printf("autosave off, 1,000,000 lines, resident memory:\n");
        const QDateTime when = QDateTime::currentDateTime();
        for (int n = 1; n <= 1000000; ++n) {
            log.InsertLine(when, QStringLiteral("kept while autosave is off, line %1").arg(n), QStringLiteral("Tolmo"), 3, off);
            if (n % 100000 == 0)
                std::printf("  after %7d lines: %6ld kB (+%ld kB)\n", n, bench::statusKb("VmRSS:"), bench::statusKb("VmRSS:") - startKb);
        }
        std::printf("peak resident: %ld kB\n", bench::statusKb("VmHWM:"));
    }
    return 0;
}
