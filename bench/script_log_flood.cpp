// A script that logs in a tight loop, through the windows' own wiring (script window,
// ScriptControl, single-axis engine) into the program log as the main window hands lines on:
// lines per second delivered, the most lines the script had undelivered at once, the resident
// memory, and the time from a Stop click to idle buttons during such a flood.
// Usage: bench_script_log_flood [lines] [stops]   (default 200000 and 20)

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/ScriptWindowRig.h"
#include "log/MessageLog.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    const int stops = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    bench::ScriptWindowRig rig;

    // The main window's Log: a queued hop into the program log, autosave off.
    MessageLog log;
    const LogSettings settings(3, 3, 3, false, QDir(rig.home.path()));
    int delivered = 0;
    QObject::connect(rig.control.get(), &ScriptControl::logLine, &log,
                     [&](const QString& text, const QString& source, int level) {
                         ++delivered;
                         QMetaObject::invokeMethod(
                             &log, [&log, &settings, text, source, level] {
                                 log.InsertLine(QDateTime::currentDateTime(), text, source, level, settings);
                             },
                             Qt::QueuedConnection);
                     });

    const long startKb = bench::statusKb("VmRSS:");
    rig.dialog.editor()->setPlainText(QStringLiteral("for (var i = 0; i < %1; ++i) log('flood line ' + i)").arg(lines));
    QElapsedTimer clock;
    clock.start();
    rig.start->click();
    int peak = 0;
    while ((delivered < lines || !rig.idle()) && clock.elapsed() < 600000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        peak = std::max(peak, rig.thread->undeliveredLines());
    }
    const double seconds = bench::elapsedMs(clock) / 1000.0;
    std::printf("%d lines logged and delivered in %.2f s: %.0f lines/s\n", delivered, seconds, delivered / seconds);
    std::printf("  most lines undelivered at once: %d (bound %d)   resident growth %ld kB, peak resident %ld kB\n",
                peak, ScriptEngineThread::maxUndeliveredLines, bench::statusKb("VmRSS:") - startKb, bench::statusKb("VmHWM:"));

    std::vector<double> latencies;
    int missed = 0;
    rig.dialog.editor()->setPlainText(QStringLiteral("while (true) log('flood line')"));
    for (int i = 0; i < stops; ++i) {
        rig.start->click();
        QElapsedTimer flood;
        flood.start();
        while (flood.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        latencies.push_back(rig.stopToIdleMs(5000, missed));
    }
    bench::printStopFigures("during a log flood", latencies, missed);
    return 0;
}
