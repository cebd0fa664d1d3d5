// Chart plots: one mouse move of the cursor tracker over a day-long log (864,000 records), the
// pointer at the oldest shown sample, paint excluded (target at most 2 ms); and the division of
// a time axis with 5,000 pauses in the history and none in view, against the same axis without
// pauses (target at most 1.2 times). Medians.
// Usage: QT_QPA_PLATFORM=offscreen bench_chart_plots [rounds]   (default 2000)

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <qwt_plot_canvas.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "chartdlg/ChartLog.h"
#include "chartdlg/GraphPlot.h"
#include "bench/BenchStats.h"
#include "chartdlg/TimeGapMap.h"
#include "chartdlg/myPicker.h"
#include "chartdlg/myScaleEngine.h"

namespace {

template <typename F>
double medianUs(int rounds, F&& f)
{
    return bench::median(bench::timeRoundsMs(rounds, f)) * 1000.0;
}

volatile double sink;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    const int64_t day = 864000;
    TimeGapMap map;
    ChartLog log;
    std::vector<double> x, y;
    for (int64_t i = 0; i < day; ++i) {
        ChartRecord r{};
        r.Time = 100.0 * double(i);
        r.Position = double(i);
        r.MicrostepDivisor = 256;
        log.append(r);
    }
    for (int64_t i = day - 1; i >= 0; --i) {
        x.push_back(log[i].Time);
        y.push_back(log[i].Position);
    }
    GraphPlot plot(&map, &log, 0);
    plot.init({&plot}, CurveSettings(), "steps", "Position");
    plot.resize(800, 200);
    plot.setAxisScale(QwtPlot::xBottom, 0, x.front());
    plot.replot();
    plot.picker()->setSamples(x.data(), y.data(), day, day - 1);
    QWidget* canvas = plot.canvas();
    const double oldest = 50;  // between the oldest two samples
    const int px = int(plot.transform(QwtPlot::xBottom, oldest));
    const double move = medianUs(rounds, [&](int i) {
        const QPoint at(px, 20 + i % 2);  // a new point every time: no memo
        QMouseEvent event(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &event);
        const QPointF pos(plot.invTransform(QwtPlot::xBottom, px), double(i % 2));
        for (int k = 0; k < 4; ++k)
            sink = plot.picker()->trackerTextF(pos).text().size();
    });
    std::printf("tracker: one mouse move over %lld records at the oldest sample: %.1f us (target 2000)\n",
                static_cast<long long>(day), move);

    TimeGapMap none, paused;
    myScaleEngine plainEngine(none), pausedEngine(paused);
    for (int i = 0; i < 5000; ++i) {
        paused.addBreak(1000.0 * i, 1000.0 * i + 600 + i % 7);  // uneven: the ticks move
        pausedEngine.appendPoint(1000.0 * i);
    }
    const double view = 6e6;
    auto divide = [&](myScaleEngine& engine) {
        return medianUs(rounds * 10, [&](int i) {
            const double x1 = view + 100.0 * (i % 50);
            sink = engine.divideScale(x1, x1 + 60000, 4, 8).ticks(QwtScaleDiv::MajorTick).size();
        });
    };
    const double plain = divide(plainEngine), withPauses = divide(pausedEngine);
    std::printf("divideScale: %.2f us without pauses, %.2f us with 5,000 out of view: %.2f times (target 1.2)\n",
                plain, withPauses, withPauses / plain);
    return 0;
}
