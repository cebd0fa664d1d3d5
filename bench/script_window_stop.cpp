// Stop in the script window with the controller unplugged: the time from the Stop click until
// Start, Load and Save are enabled again and Stop is not, through the windows' own wiring
// (script window, ScriptControl, single-axis engine), over 100 stops of a script that waits for
// the lost controller or sleeps.
// Usage: bench_script_window_stop [stops]   (default 100)

#include <QApplication>
#include <QElapsedTimer>
#include <QTextEdit>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "bench/ScriptWindowRig.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int stops = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    bench::ScriptWindowRig rig;
    trovsim_unplug(rig.axis);

    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < stops; ++i) {
        // Even rounds wait for the lost controller after a failed move, odd ones sleep.
        rig.dialog.editor()->setPlainText(i % 2 ? QStringLiteral("msleep(60000)") : QStringLiteral("movr(10); movr(10)"));
        rig.start->click();
        QElapsedTimer limit;
        limit.start();
        while ((i % 2 ? rig.thread->runCount() <= quint64(i) : !rig.thread->stoppedOnError.load()) && limit.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        latencies.push_back(rig.stopToIdleMs(2000, missed));
        rig.thread->stoppedOnError = false;
    }
    bench::printStopFigures("controller unplugged", latencies, missed);
    return 0;
}
