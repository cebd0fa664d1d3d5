// Chart window: one refresh with a new sample, twenty plots shown, window 1600 x 2400, paint
// included (targets: 60 s at most 12 ms, 3600 s at most 30 ms, 5,000 pauses out of view at most
// 1.2 times the figure without); the load of a one-hour file up to the painted frame (at most
// 100 ms); InsertMeasure, and a timer tick without a new sample. Median and p95.
// Usage: QT_QPA_PLATFORM=offscreen bench_chart_window [rounds]   (default 60)

#include "bench/BenchStats.h"
#include <QApplication>
#include <QEvent>
#include <qwt_plot_canvas.h>
#include "chartdlg/GraphPlot.h"
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "chartdlg/ChartDlg.h"
#include "chartdlg/ChartFile.h"
#include "chartdlg/GraphSettings.h"
#include "common/FileChooser.h"
#include "settings_model/MotorSettings.h"

namespace {

struct Figures
{
    double median, p95;
};

template <typename F>
Figures measureMs(int rounds, F&& f)
{
    const std::vector<double> times = bench::timeRoundsMs(rounds, [&](int) { f(); });
    return {bench::median(times), bench::percentile(times, 0.95)};
}

void print(const char* what, Figures f)
{
    std::printf("%-58s median %8.3f ms  p95 %8.3f ms\n", what, f.median, f.p95);
}

struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

struct Chooser : FileChooser
{
    QString path;
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return path; }
};

struct Window
{
    MotorSettings motor{nullptr, nullptr};
    GraphSettings graph;
    ChartDlg dlg{nullptr, &motor, QStringLiteral("bench")};
    QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    int n = 0;

    Window(int seconds, bool antialias, double pen)
    {
        motor.entype.EngineType = 3;
        graph.common.dataPoints = seconds;
        for (CurveSettings& c : graph.curves) {
            c.antialiasing = antialias;
            c.pen.setWidthF(pen);
        }
        dlg.InitUI(&graph);
        dlg.resize(1600, 2400);
        dlg.show();
        for (int i = 0; i < ChartDlg::plotCount; ++i)
            if (!dlg.checkBox(i)->isHidden())
                dlg.checkBox(i)->setChecked(true);
        dlg.OnStartBtnClicked();
        QApplication::processEvents();
    }
    void sample(int64_t stepMs = 100)
    {
        status_t s{};
        s.CurPosition = n % 1000;
        s.CurSpeed = (n * 7) % 500;
        s.Upwr = 1200 + n % 50;
        s.GPIOFlags = uint32_t(n / 10);
        s.MoveSts = MOVE_STATE_MOVING;
        dlg.InsertMeasure(0, clock, s, chart_data_t{}, analog_data_t{}, true);
        clock = clock.addMSecs(stepMs);
        ++n;
    }
    void fill(int count, int pauses = 0)
    {
        for (int i = 0; i < count; ++i)
            sample(pauses && i % (count / pauses) == 0 ? 1500 : 100);
        dlg.update();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    auto refresh = [&](Window& w) {
        return measureMs(rounds, [&] {
            w.sample();
            w.dlg.update();
            w.dlg.repaint();  // replot only schedules the paint
        });
    };
    {
        Window w(60, false, 1);
        w.fill(600);
        PaintCounter counter;
        w.dlg.plot(0)->canvas()->installEventFilter(&counter);
        print("refresh, 60 s, antialiasing off, pen 1", refresh(w));
        std::printf("position canvas paints per refresh: %.2f\n", double(counter.paints) / rounds);
        print("refresh, 60 s, tick without a new sample", measureMs(rounds, [&] {
                  w.dlg.update();
                  QApplication::processEvents();
              }));
        print("InsertMeasure", measureMs(rounds * 100, [&] { w.sample(); }));
    }
    {
        Window w(60, false, 1);
        w.fill(30000, 5000);
        w.fill(600);
        print("refresh, 60 s, 5,000 pauses in the history", refresh(w));
    }
    {
        Window w(3600, false, 1);
        w.fill(36000);
        print("refresh, 3600 s, antialiasing off, pen 1", refresh(w));
    }
    {
        Window w(3600, true, 2);
        w.fill(36000);
        print("refresh, 3600 s, antialiasing on, pen 2", refresh(w));
    }
    {
        QTemporaryDir dir;
        Window w(60, false, 1);
        w.fill(36000);
        Chooser chooser;
        chooser.path = dir.filePath("hour.grf");
        QString error;
        ChartFile::save(chooser.path, w.dlg.log(), w.dlg.gaps(), &error);
        FileChooser::install(&chooser);
        print("load of a one-hour file to the painted frame", measureMs(std::max(1, rounds / 4), [&] {
                  w.dlg.OnLoadBtnClicked();
                  w.dlg.repaint();
              }));
        FileChooser::install(nullptr);
    }
    return 0;
}
