#include "chartdlg/ChartFile.h"
#include "chartdlg/ChartTimeline.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

using Breaks = QVector<QPair<double, double>>;  // {start, end}
Q_DECLARE_METATYPE(Breaks)

namespace {

ChartRecord at(double time)
{
    ChartRecord r{};
    r.Time = time;
    return r;
}

} // namespace

class TestChartTimeline : public QObject
{
    Q_OBJECT

private slots:
    void mapTime_data();
    void mapTime();
    void schedules_data();
    void schedules();
    void liveAfterLoad();
    void loadedTimesGoingBack_data();
    void loadedTimesGoingBack();
};

void TestChartTimeline::mapTime_data()
{
    QTest::addColumn<Breaks>("breaks");
    QTest::addColumn<double>("axis");
    QTest::addColumn<double>("elapsed");  // NaN: the elapsed time has no axis time
    QTest::addColumn<bool>("inverse");    // the row checks axisTime(elapsed) instead
    const double none = std::nan("");
    const Breaks live{{1000, 6000}}, loaded{{-3000, 2000}}, both{{1000, 6000}, {-3000, 2000}};
    QTest::newRow("none +") << Breaks{} << 123.0 << 123.0 << false;
    QTest::newRow("none -") << Breaks{} << -50.0 << -50.0 << false;
    QTest::newRow("live at start") << live << 1000.0 << 1000.0 << false;
    QTest::newRow("live after") << live << 1100.0 << 6000.0 << false;
    QTest::newRow("live later") << live << 1200.0 << 6100.0 << false;
    QTest::newRow("loaded after") << loaded << -2000.0 << -2000.0 << false;
    QTest::newRow("loaded at start") << loaded << -3000.0 << -7900.0 << false;
    QTest::newRow("loaded, positive") << loaded << 500.0 << 500.0 << false;
    QTest::newRow("two loaded, inner") << Breaks{{-3000, 2000}, {-2500, -1500}} << -2800.0 << -3700.0 << false;
    QTest::newRow("two loaded, both") << Breaks{{-3000, 2000}, {-2500, -1500}} << -3000.0 << -8800.0 << false;
    QTest::newRow("both, live") << both << 1200.0 << 6100.0 << false;
    QTest::newRow("both, loaded") << both << -2000.0 << -2000.0 << false;
    QTest::newRow("duplicate start ignored") << Breaks{{1000, 6000}, {1000, 10000}} << 1200.0 << 6100.0 << false;
    QTest::newRow("inverse live") << live << 1100.0 << 6000.0 << true;
    QTest::newRow("inverse live, pause") << live << none << 3000.0 << true;
    QTest::newRow("inverse live, start") << live << 1000.0 << 1000.0 << true;
    QTest::newRow("inverse loaded") << loaded << -3000.0 << -7900.0 << true;
    QTest::newRow("inverse loaded, pause") << loaded << none << -5000.0 << true;
    QTest::newRow("inverse loaded, after") << loaded << -2000.0 << -2000.0 << true;
}

void TestChartTimeline::mapTime()
{
    QFETCH(Breaks, breaks);
    QFETCH(double, axis);
    QFETCH(double, elapsed);
    QFETCH(bool, inverse);
    TimeGapMap map;
    for (const auto& b : breaks)
        map.addBreak(b.first, b.second);
    if (!inverse) {
        QCOMPARE(map.mapTime(axis), elapsed);
        return;
    }
    const std::optional<double> back = map.axisTime(elapsed);
    QCOMPARE(back.has_value(), !std::isnan(axis));
    if (back)
        QCOMPARE(*back, axis);
}

// Polls as a recording sees them: every 100 ms, with jitter, stalls, pauses and a clock step.
void TestChartTimeline::schedules_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("jitter");
    QTest::addColumn<int>("stallEvery");
    QTest::addColumn<int>("pauses");
    QTest::addColumn<bool>("pauseFirst");
    QTest::addColumn<bool>("stepBack");
    QTest::newRow("regular") << 600 << false << 0 << 0 << false << false;
    QTest::newRow("jitter") << 600 << true << 0 << 0 << false << false;
    QTest::newRow("stalls") << 600 << true << 7 << 0 << false << false;
    QTest::newRow("two pauses") << 600 << true << 0 << 2 << false << false;
    QTest::newRow("720 pauses") << 5000 << true << 13 << 720 << false << false;
    QTest::newRow("pause after first") << 300 << false << 0 << 1 << true << false;
    QTest::newRow("clock steps back") << 600 << true << 0 << 3 << false << true;
}

void TestChartTimeline::schedules()
{
    QFETCH(int, samples);
    QFETCH(bool, jitter);
    QFETCH(int, stallEvery);
    QFETCH(int, pauses);
    QFETCH(bool, pauseFirst);
    QFETCH(bool, stepBack);
    std::mt19937 rng(uint32_t(samples * 31 + pauses));
    std::vector<double> raw{0}, elapsed{0};
    int gaps = 0;
    for (int i = 1; i < samples; ++i) {
        double step = 100 + (jitter ? double(int(rng() % 3) - 1) : 0.0);
        if (stallEvery && i % stallEvery == 0)
            step += 300;
        if (pauses && (pauseFirst ? i == 1 : i % (samples / (pauses + 1)) == 0 && i / (samples / (pauses + 1)) <= pauses))
            step += 600 + double(rng() % 3600000);
        if (stepBack && i == samples / 3)
            step = -2000;
        raw.push_back(raw.back() + step);
        elapsed.push_back(std::max(elapsed.back(), raw.back()));  // the clock going back is clamped
        gaps += elapsed[size_t(i)] - elapsed[size_t(i) - 1] > 500;
    }
    QVERIFY(gaps >= pauses);

    ChartLog log;
    TimeGapMap map;
    ChartTimeline timeline;
    timeline.startTimeBase(0);
    for (size_t i = 0; i < raw.size();) {
        for (size_t n = 1 + rng() % 40; n > 0 && i < raw.size(); --n)
            log.append(at(raw[i++]));
        timeline.collapseGaps(log, map);  // refreshes come at any point
    }
    QCOMPARE(int(map.breaks().size()), gaps);
    for (int64_t i = 0; i < log.count(); ++i) {
        QCOMPARE(map.mapTime(log[i].Time), elapsed[size_t(i)]);
        QCOMPARE(map.axisTime(elapsed[size_t(i)]).value_or(-1e300), log[i].Time);
    }

    ChartFileContent saved = ChartFileParser::parse(ChartFile::serialise(log, map).data(),
                                                    size_t(16 + 192 * log.count()));
    QVERIFY(saved.ok);
    for (int64_t i = 0; i < saved.records.count(); ++i)
        QCOMPARE(saved.records[i].Time, elapsed[size_t(i)]);

    ChartFile::Loaded loaded;
    std::string error;
    QVERIFY(ChartFile::adopt(std::move(saved), loaded, &error));
    QCOMPARE(int(loaded.gaps.size()), gaps);
    QCOMPARE(loaded.log.newest().Time, -100.0);
    const std::string again = ChartFile::serialise(loaded.log, loaded.map);
    const ChartFileContent reloaded = ChartFileParser::parse(again.data(), again.size());
    QCOMPARE(reloaded.records.count(), int64_t(raw.size()));
    for (int64_t i = 0; i < reloaded.records.count(); ++i)
        QCOMPARE(reloaded.records[i].Time, elapsed[size_t(i)] - elapsed.back() - 100);
}

// A loaded chart with a 10 s pause, its last record 200 ms back in time, then a new time base
// of five samples.
void TestChartTimeline::liveAfterLoad()
{
    ChartLog file;
    for (int i = 0; i < 16; ++i)
        file.append(at(i <= 10 ? i * 100 : i < 15 ? 10000 + i * 100 : 11200));
    ChartFile::Loaded loaded;
    std::string error;
    QVERIFY(ChartFile::adopt(ChartFileParser::parse(ChartFile::serialise(file, TimeGapMap()).data(), 16 + 192 * 16),
                             loaded, &error));
    QCOMPARE(loaded.map.breaks().size(), size_t(1));
    QCOMPARE(loaded.log[14].Time, -100.0);  // the latest
    QCOMPARE(loaded.log.newest().Time, -300.0);
    std::vector<double> before;
    for (int64_t i = 0; i < loaded.log.count(); ++i)
        before.push_back(loaded.log[i].Time);

    QDateTime startTime;
    loaded.log.setStartTime(&startTime);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    loaded.timeline.startTimeBase(loaded.log.count());
    for (int i = 0; i < 5; ++i) {
        const QDateTime sample = now.addMSecs(100 * i);
        if (i == 0)
            startTime = sample;
        loaded.log.append(sample, 0, status_t{}, chart_data_t{}, analog_data_t{});
    }
    QVERIFY(loaded.timeline.collapseGaps(loaded.log, loaded.map).empty());
    QCOMPARE(loaded.map.breaks().size(), size_t(1));
    for (int64_t i = 0; i < loaded.log.count(); ++i)
        QCOMPARE(loaded.log[i].Time, i < 16 ? before[size_t(i)] : double(100 * (i - 16)));
    QCOMPARE(loaded.map.mapTime(-1100.0), 400.0 - 11400 - 100);  // elapsed, anchored at the latest
}

void TestChartTimeline::loadedTimesGoingBack_data()
{
    QTest::addColumn<QVector<double>>("stored");
    QTest::addColumn<int>("breaks");  // -1: refused, the times span too long
    QTest::newRow("forward") << QVector<double>{0, 100, 10100, 10200} << 1;
    QTest::newRow("back after the pause") << QVector<double>{0, 100, 10100, 10200, 10150} << 1;
    QTest::newRow("back into the pause") << QVector<double>{0, 100, 10100, 5000} << 0;
    QTest::newRow("back before the pause") << QVector<double>{0, 100, 10100, 50, 150} << 0;
    QTest::newRow("longest span") << QVector<double>{-4e12, 100, 4e12} << 2;
    QTest::newRow("too long, earliest inside") << QVector<double>{9e12, -9e12, 9e12 + 100} << -1;
}

// Loaded times stay as stored: a save of the loaded chart gives them back, anchored at the latest.
void TestChartTimeline::loadedTimesGoingBack()
{
    QFETCH(QVector<double>, stored);
    QFETCH(int, breaks);
    ChartLog file;
    for (double t : stored)
        file.append(at(t));
    ChartFile::Loaded loaded;
    std::string error;
    const std::string bytes = ChartFile::serialise(file, TimeGapMap());
    const bool adopted = ChartFile::adopt(ChartFileParser::parse(bytes.data(), bytes.size()), loaded, &error);
    QCOMPARE(error, std::string(breaks < 0 ? "The chart's times span too long a period" : ""));
    if (!adopted)
        return;
    const std::string again = ChartFile::serialise(loaded.log, loaded.map);
    const ChartFileContent reloaded = ChartFileParser::parse(again.data(), again.size());
    QCOMPARE(reloaded.records.count(), int64_t(stored.size()));
    const double anchor = *std::max_element(stored.begin(), stored.end()) + 100;
    for (int i = 0; i < stored.size(); ++i)
        QCOMPARE(reloaded.records[i].Time, stored[i] - anchor);
    QCOMPARE(int(loaded.map.breaks().size()), breaks);
}

QTEST_GUILESS_MAIN(TestChartTimeline)
#include "tst_chart_timeline.moc"
