// A script that logs in a tight loop, through the windows' own wiring (script window,
// ScriptControl, single-axis engine) into the program log as the main window hands lines on:
// lines per second delivered, the most lines the script had undelivered at once, the resident
// memory, and the time from a Stop click to idle buttons during such a flood.
// Usage: bench_script_log_flood [lines] [stops]   (default 200000 and 20)

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/BenchStats.h"
#include "log/MessageLog.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "tests/support/SimulatedAxis.h"

namespace {

long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<int>(strlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    const int stops = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
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

    // The main window's Log: a queued hop into the program log, autosave off.
    MessageLog log;
    const LogSettings settings(3, 3, 3, false, QDir(home.path()));
    int delivered = 0;
    QObject::connect(&control, &ScriptControl::logLine, &log,
                     [&](const QString& text, const QString& source, int level) {
                         ++delivered;
                         QMetaObject::invokeMethod(
                             &log, [&log, &settings, text, source, level] {
                                 log.InsertLine(QDateTime::currentDateTime(), text, source, level, settings);
                             },
                             Qt::QueuedConnection);
                     });

    auto* start = dialog.findChild<QPushButton*>(QStringLiteral("startBtn"));
    auto* stop = dialog.findChild<QPushButton*>(QStringLiteral("stopBtn"));
    auto* load = dialog.findChild<QPushButton*>(QStringLiteral("loadBtn"));
    auto idle = [&] { return start->isEnabled() && load->isEnabled() && !stop->isEnabled(); };

    const long startKb = statusKb("VmRSS:");
    dialog.editor()->setPlainText(QStringLiteral("for (var i = 0; i < %1; ++i) log('flood line ' + i)").arg(lines));
    QElapsedTimer clock;
    clock.start();
    start->click();
    int peak = 0;
    while ((delivered < lines || !idle()) && clock.elapsed() < 600000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        peak = std::max(peak, thread->undeliveredLines());
    }
    const double seconds = bench::elapsedMs(clock) / 1000.0;
    std::printf("%d lines logged and delivered in %.2f s: %.0f lines/s\n", delivered, seconds, delivered / seconds);
    std::printf("  most lines undelivered at once: %d (bound %d)   resident growth %ld kB, peak resident %ld kB\n",
                peak, ScriptEngineThread::maxUndeliveredLines, statusKb("VmRSS:") - startKb, statusKb("VmHWM:"));

    std::vector<double> latencies;
    int missed = 0;
    dialog.editor()->setPlainText(QStringLiteral("while (true) log('flood line')"));
    for (int i = 0; i < stops; ++i) {
        start->click();
        QElapsedTimer flood;
        flood.start();
        while (flood.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QElapsedTimer toIdle;
        toIdle.start();
        stop->click();
        while (!idle() && toIdle.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!idle())
            ++missed;
        latencies.push_back(bench::elapsedMs(toIdle));
    }
    const double maximum = bench::maximum(latencies);
    std::printf("Stop click to idle buttons during a log flood, over %d stops (target: 300 ms)\n", stops);
    std::printf("  median %7.2f ms   maximum %7.2f ms   stops that never went idle: %d\n", bench::median(latencies),
                maximum, missed);
    std::printf("%s\n", maximum <= 300 && missed == 0 ? "target met" : "target missed");
    control.quit(5000);
    closeAndRelease(gateway, handle);
    return 0;
}
