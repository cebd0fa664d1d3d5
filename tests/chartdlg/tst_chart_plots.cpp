#include "chartdlg/ChartLog.h"
#include "support/TestTime.h"
#include "chartdlg/ChartPlotLook.h"
#include "chartdlg/DivScaleDraw.h"
#include "chartdlg/GraphPlot.h"
#include "chartdlg/GraphPlotMulti.h"
#include "chartdlg/TimeGapMap.h"
#include "chartdlg/TimeScaleDraw.h"
#include "chartdlg/myPicker.h"
#include "chartdlg/myScaleEngine.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <QVBoxLayout>
#include <QtTest>

#include <random>

using Ticks = QList<double>;

namespace {

// The stand-in for the chart window: it holds the plots and their data.
struct StandIn
{
    TimeGapMap map;
    ChartLog log;
    QWidget window;
    QVector<GraphPlot*> plots;
    std::vector<double> x, y;

    explicit StandIn(int count = 2)
    {
        auto* layout = new QVBoxLayout(&window);
        for (int i = 0; i < count; ++i) {
            plots << new GraphPlot(&map, &log, i == 0 ? 0 : -1);
            layout->addWidget(plots.back());
        }
        for (GraphPlot* p : plots)
            p->init(plots, CurveSettings(), QStringLiteral("steps"), QStringLiteral("Position"));
    }
    // Records at 0, 100, ... (count of them); curve values = Position.
    void fill(int count, double position = 0, double micro = 0, int divisor = 0)
    {
        x.clear();
        y.clear();
        for (int i = 0; i < count; ++i) {
            ChartRecord r{};
            r.Time = 100.0 * i;
            r.Position = position;
            r.uPosition = micro;
            r.MicrostepDivisor = divisor;
            log.append(r);
        }
        for (int64_t i = log.count() - 1; i >= 0; --i) {
            x.push_back(log[i].Time);
            y.push_back(log[i].Position);
        }
        for (GraphPlot* p : plots) {
            p->setRawData(x.data(), y.data(), int64_t(x.size()));
            p->picker()->setSamples(x.data(), y.data(), int64_t(x.size()), log.count() - 1);
            p->setAxisScale(QwtPlot::xBottom, 0, 100.0 * count);
            p->replot();
        }
    }
};

Ticks majorTicks(const QwtScaleDiv& div)
{
    return div.ticks(QwtScaleDiv::MajorTick);
}

} // namespace

class TestChartPlots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void engineLinear();
    void engineMoves_data();
    void engineMoves();
    void engineMarkers();
    void engineLabelsTellElapsedTime();
    void engineManyPausesOutOfView();
    void labels();
    void axisTitle();
    void timeAxesRefreshed();
    void flagPlot();
    void trackerTexts();
    void trackerMarkers();
};

void TestChartPlots::engineLinear()
{
    TimeGapMap map;
    myScaleEngine engine(map);
    QwtLinearScaleEngine linear;
    const double ends[] = {-60000, -7.3, 0, 0.5, 999, 1000, 42123.7, 60000, 1e7};
    for (double x1 : ends)
        for (double x2 : ends)
            for (int minors : {0, 5, 8}) {
                const QwtScaleDiv a = engine.divideScale(x1, x2, 4, minors);
                const QwtScaleDiv b = linear.divideScale(x1, x2, 4, minors);
                QVERIFY2(a == b, qPrintable(QStringLiteral("%1 %2 %3").arg(x1).arg(x2).arg(minors)));
            }
    QVERIFY(engine.divideScale(0, std::nan(""), 4, 8).isEmpty());
    QVERIFY(engine.divideScale(-INFINITY, 0, 4, 8).isEmpty());
}

void TestChartPlots::engineMoves_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<Ticks>("majors");
    QTest::newRow("15 s stays") << 15000.0 << 30000.0 << Ticks{15000, 30000};
    QTest::newRow("-15 s stays") << -15000.0 << 0.0 << Ticks{-15000, 0};
    QTest::newRow("9.3 s to 15 s") << 9300.0 << 18600.0 << Ticks{15000};
    QTest::newRow("7 s to 10 s") << 7000.0 << 14000.0 << Ticks{10000};
    QTest::newRow("-7.3 s to -5 s") << -7300.0 << 0.0 << Ticks{-5000, 0};
}

void TestChartPlots::engineMoves()
{
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(Ticks, majors);
    TimeGapMap map;
    map.addBreak(1e9, 2e9);  // far away: moves on, times unchanged here
    myScaleEngine engine(map);
    // the step is the interval, so that the ticks are its two ends before the move
    QCOMPARE(majorTicks(engine.divideScale(x1, x2, 4, 0, x2 - x1)), majors);
}

void TestChartPlots::engineMarkers()
{
    TimeGapMap map;
    myScaleEngine engine(map);
    // step 1000 with 8 minor steps: ticks closer than 250 ms to a marker go
    engine.appendPoint(2250);
    QwtScaleDiv div = engine.divideScale(0, 4000, 4, 8, 1000);
    QCOMPARE(majorTicks(div), (Ticks{0, 1000, 2000, 2250, 3000, 4000}));
    QVERIFY(div.ticks(QwtScaleDiv::MinorTick).contains(1800) && !div.ticks(QwtScaleDiv::MinorTick).contains(2400));
    // step 2000: the interval of a marker keeps its medium tick and loses its minor ones
    div = engine.divideScale(0, 8000, 4, 8, 2000);
    QVERIFY(div.ticks(QwtScaleDiv::MediumTick).contains(3000));
    for (double t : div.ticks(QwtScaleDiv::MinorTick))
        QVERIFY2(t < 2000 || t > 4000, "no minor ticks in the interval of a marker");
    engine.clearPoints();
    engine.appendPoint(2249);
    engine.appendPoint(2449);  // 200 ms apart: the first stays unlabelled
    div = engine.divideScale(0, 4000, 4, 8, 1000);
    QVERIFY(!majorTicks(div).contains(2000));
    QVERIFY(majorTicks(div).contains(2249) && majorTicks(div).contains(2449));
    QVERIFY(!engine.isLabelled(2249) && engine.isLabelled(2449));
    TimeScaleDraw draw(&map, &engine);
    QVERIFY(draw.label(2249).isEmpty() && draw.label(2449).text() == "2.4");
    // outside the view a marker is no tick
    QVERIFY(!majorTicks(engine.divideScale(3000, 4000, 4, 8, 1000)).contains(2449));
}

void TestChartPlots::engineLabelsTellElapsedTime()
{
    std::mt19937 random(18);
    for (int schedule = 0; schedule < 40; ++schedule) {
        TimeGapMap map;
        myScaleEngine engine(map);
        TimeScaleDraw draw(&map, &engine);
        if (schedule == 0) {  // labels once read 0, 85, 40, 135 here
            map.addBreak(10000, 72300);
            map.addBreak(41000, 48000);
        } else {
            double t = std::uniform_real_distribution<double>(0, 20000)(random);
            for (int i = 0; i < 1 + schedule % 6; ++i, t += std::uniform_real_distribution<double>(200, 30000)(random))
                map.addBreak(t, t + std::uniform_real_distribution<double>(600, 90000)(random));
        }
        for (const TimeGapMap::Break& b : map.breaks())
            engine.appendPoint(b.start);
        for (int scale = 0; scale < 3; ++scale) {
            const double width = schedule == 1 ? 2000 : std::uniform_real_distribution<double>(2000, 120000)(random);
            const double x1 = scale == 0 ? 0 : std::uniform_real_distribution<double>(0, 60000)(random);
            const QwtScaleDiv div = engine.divideScale(x1, x1 + width, 4, 8);
            draw.setScaleDiv(div);
            bool labelled = false;
            for (double tick : majorTicks(div)) {
                QVERIFY(div.contains(tick));
                const QString text = draw.label(tick).text();
                labelled = labelled || !text.isEmpty();
                if (text.isEmpty())
                    continue;
                QCOMPARE(text, TimeScaleDraw::secondsText(map.mapTime(tick)));
                const double s = map.mapTime(tick) / 1000;
                const bool marker = std::binary_search(engine.points().begin(), engine.points().end(), tick);
                if (!marker && width > 20000)  // long enough to hold a multiple of 5 s
                    QVERIFY2(std::fabs(s / 5 - std::round(s / 5)) < 1e-9, qPrintable(text));
            }
            QVERIFY2(labelled, qPrintable(QStringLiteral("schedule %1 at %2").arg(schedule).arg(x1)));
        }
    }
}

void TestChartPlots::engineManyPausesOutOfView()
{
    StandIn plain(1), paused(1);
    for (int i = 0; i < 5000; ++i) {
        // the loaded history, before the live view
        paused.map.addBreak(-1e7 + 1000 * i, -1e7 + 600 + 1000 * i);
        ChartPlotLook::timeEngine(*paused.plots[0], QwtPlot::xBottom)->appendPoint(-1e7 + 1000 * i);
    }
    for (StandIn* s : {&plain, &paused}) {
        s->plots[0]->setAxisScale(QwtPlot::xBottom, 40000, 100000);
        s->plots[0]->replot();
    }
    QCOMPARE(paused.plots[0]->axisScaleDiv(QwtPlot::xBottom), plain.plots[0]->axisScaleDiv(QwtPlot::xBottom));
    int a1, a2, b1, b2;
    plain.plots[0]->axisWidget(QwtPlot::xBottom)->getBorderDistHint(a1, a2);
    paused.plots[0]->axisWidget(QwtPlot::xBottom)->getBorderDistHint(b1, b2);
    QCOMPARE(QPoint(b1, b2), QPoint(a1, a2));
}

void TestChartPlots::labels()
{
    QCOMPARE(DivScaleDraw(1).label(1234567).text(), QString("1.23457e+06"));
    QCOMPARE(DivScaleDraw(100).label(250).text(), QString("2.5"));
    const QPair<double, const char*> rows[] = {
        {654, "0.6"}, {999, "0.9"}, {1000, "1"}, {-150, "-0.1"}, {99999999, "99999.9"}, {100000000, "100000.0"},
        {2592000000.0 + 150, "2592000.1"}, {-2592000000.0, "-2592000.0"}, {NAN, ""}, {1e300, ""}};
    for (const auto& row : rows)
        QCOMPARE(TimeScaleDraw::secondsText(row.first), QString(row.second));
}

void TestChartPlots::axisTitle()
{
    TimeGapMap map;
    ChartLog log;
    GraphPlot plot(&map, &log, -1);
    plot.setTitles("mm", "Position");  // before init: only stored
    QVERIFY(!plot.curve() && !plot.picker());
    QCOMPARE(plot.sizeHint(), QSize(200, 200));
    plot.init({&plot}, CurveSettings(), "steps", "Position");
    QCOMPARE(plot.axisTitle(QwtPlot::yLeft).text(), QString("Position,<br>steps"));
    plot.setDivisor(10);
    QCOMPARE(plot.axisTitle(QwtPlot::yLeft).text(), QString("Position,<br>x10<sup></sup>&nbsp;steps"));
    plot.setUnit("mm");
    plot.setDivisor(1000);
    QCOMPARE(plot.axisTitle(QwtPlot::yLeft).text(), QString("Position,<br>x10<sup>3</sup>&nbsp;mm"));
    QCOMPARE(plot.divisor(), 1000);
}

void TestChartPlots::timeAxesRefreshed()
{
    StandIn s(1);
    GraphPlot& plot = *s.plots[0];
    plot.setAxisScale(QwtPlot::xBottom, 0, 60000);
    s.window.resize(500, 300);
    s.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.window));
    plot.replot();
    const QImage before = plot.axisWidget(QwtPlot::xBottom)->grab().toImage();
    // a new pause under the same fixed scale: labelled and divided anew, its marker a tick
    s.map.addBreak(30000, 40000);
    ChartPlotLook::timeEngine(plot, QwtPlot::xBottom)->appendPoint(30000);
    plot.refreshTimeAxes();
    plot.replot();
    QVERIFY(plot.axisWidget(QwtPlot::xBottom)->grab().toImage() != before);
    QVERIFY(majorTicks(plot.axisScaleDiv(QwtPlot::xBottom)).contains(30000));
}

void TestChartPlots::flagPlot()
{
    const int rows[][4] = {{100, 8, 5, 85}, {400, 8, 20, 340}, {600, 12, 30, 510}};  // h, points, top of 8, of 0
    for (const auto& r : rows) {
        QCOMPARE(GraphPlotMulti::namePointSize(r[0]), r[1]);
        QCOMPARE(GraphPlotMulti::nameTop(r[0], 8), r[2]);
        QCOMPARE(GraphPlotMulti::nameTop(r[0], 0), r[3]);
    }
    TimeGapMap map;
    GraphPlotMulti plot(&map, nullptr, -2);
    CurveSettings green;
    green.pen = QPen(Qt::green, 2);
    plot.init(green, " ", "Flags");
    plot.applySettings(green);
    for (int i = 0; i < GraphPlotMulti::flagCount; ++i) {
        QCOMPARE(plot.curve(i)->pen().color().hue(), 40 * i);
        QCOMPARE(plot.curve(i)->pen().widthF(), 2.0);
    }
    QCOMPARE(green.pen.color(), QColor(Qt::green));
    QCOMPARE(plot.axisTitle(QwtPlot::yLeft).text(), QString("Flags<br>"));
    QVERIFY(plot.axisScaleDraw(QwtPlot::yLeft)->label(5).isEmpty());
    green.pen.setWidthF(300);  // any width from a profile
    plot.applySettings(green);
    QCOMPARE(plot.curve(0)->pen().widthF(), 10.0);
}

void TestChartPlots::trackerTexts()
{
    StandIn s(2);
    myPicker* position = s.plots[0]->picker();
    myPicker* plain = s.plots[1]->picker();
    QVERIFY(position->trackerTextF({50, 0}).isEmpty());  // empty curve
    QVERIFY(!position->marker()->isVisible());

    s.fill(10, 1200, 37, 256);
    QCOMPARE(position->trackerTextF({101, 0}).text(), QString(" 0 s 100 ms; 1200 37/256 steps "));
    QCOMPARE(plain->trackerTextF({101, 0}).text(), QString(" 0 s 100 ms; 1200 steps "));
    QVERIFY(position->marker()->isVisible());
    QCOMPARE(position->marker()->value(), QPointF(100, 1200));
    // right of the newest sample: the marker stays; a negative time: nothing
    QCOMPARE(position->trackerTextF({5000, 0}).text(), QString(" ; ??? "));
    QVERIFY(position->marker()->isVisible() && position->marker()->value() == QPointF(100, 1200));
    QVERIFY(position->trackerTextF({-300, 0}).isEmpty());
    // four calls at one point leave the state of one
    for (int i = 0; i < 4; ++i)
        QCOMPARE(position->trackerTextF({450, 0}).text(), QString(" 0 s 400 ms; 1200 37/256 steps "));
    QCOMPARE(position->marker()->value(), QPointF(400, 1200));

    for (int divisor : {0, 1}) {
        s.log.clear();
        s.fill(10, 1234567, 3, divisor);
        QCOMPARE(position->trackerTextF({101, 0}).text(), QString(" 0 s 100 ms; 1.23457e+06 steps "));
    }
    s.log.clear();
    s.fill(10, 1234567, 3, 256);
    QCOMPARE(position->trackerTextF({101, 0}).text(), QString(" 0 s 100 ms; 1.23457e+06 3/256 steps "));
    QCOMPARE(myPicker::timeText(65432), QString("65 s 432 ms"));
    QCOMPARE(myPicker::timeText(5007), QString("5 s   7 ms"));

    const QPair<double, int> sizes[] = {{0, 5}, {1, 5}, {2, 5}, {4, 10}, {9.9, 24}, {10, 15}};
    for (const auto& row : sizes) {
        CurveSettings settings;
        settings.pen.setWidthF(row.first);
        s.plots[0]->applySettings(settings);
        QCOMPARE(position->marker()->symbol()->size(), QSize(row.second, row.second));
    }
}

void TestChartPlots::trackerMarkers()
{
    StandIn s(2);
    s.window.resize(500, 500);
    s.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.window));
    s.fill(100);
    auto pointAt = [&](GraphPlot* p, double t) {
        return QPoint(int(p->transform(QwtPlot::xBottom, t)), p->canvas()->height() / 2);
    };
    QTest::mouseMove(s.plots[0]->canvas(), pointAt(s.plots[0], 5050));
    QTRY_VERIFY_WITH_TIMEOUT(s.plots[0]->picker()->marker()->isVisible(), scaledMs(2000));
    QTest::mouseMove(s.plots[1]->canvas(), pointAt(s.plots[1], 3050));
    QTRY_VERIFY_WITH_TIMEOUT(s.plots[1]->picker()->marker()->isVisible(), scaledMs(2000));
    QVERIFY(!s.plots[0]->picker()->marker()->isVisible());

    // For looking at: a pause of 50 s at 4 s, marked on both plots.
    const QString dir = qEnvironmentVariable("TOLMO_RENDER_DIR");
    if (dir.isEmpty())
        return;
    s.map.addBreak(4000, 54000);
    std::vector<double> fx, fy[GraphPlotMulti::flagCount];
    for (int k = 0; k < 100; ++k) {
        s.y[size_t(k)] = 1000 * std::sin(k / 10.0);
        fx.push_back(100.0 * k);
        for (int i = 0; i < GraphPlotMulti::flagCount; ++i)
            fy[i].push_back(i + 1 + ((k / (5 + i)) % 2 ? 0.9 : 0));
    }
    GraphPlotMulti flags(&s.map, nullptr, -2);
    flags.init(CurveSettings(), " ", "Flags");
    flags.applySettings(CurveSettings());
    for (int i = 0; i < GraphPlotMulti::flagCount; ++i)
        flags.setRawData(fx.data(), fy[i].data(), 100, i);
    flags.setAxisScale(QwtPlot::xBottom, 0, 10000);
    static_cast<QVBoxLayout*>(s.window.layout())->addWidget(&flags);
    s.window.resize(600, 800);
    for (GraphPlot* p : s.plots)
        p->setRawData(s.x.data(), s.y.data(), 100);
    for (QwtPlot* p : {static_cast<QwtPlot*>(s.plots[0]), static_cast<QwtPlot*>(s.plots[1]), static_cast<QwtPlot*>(&flags)}) {
        ChartPlotLook::timeEngine(*p, QwtPlot::xBottom)->appendPoint(4000);
        ChartPlotLook::refreshTimeAxes(*p);
        p->replot();
    }
    s.plots[1]->setDivisor(100);
    s.plots[1]->replot();
    QTest::qWait(50);
    s.window.grab().save(dir + "/chart_plots.png");
    static_cast<QVBoxLayout*>(s.window.layout())->removeWidget(&flags);
    flags.setParent(nullptr);
}

QTEST_MAIN(TestChartPlots)
#include "tst_chart_plots.moc"
