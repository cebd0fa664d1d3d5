#include <QtTest>

#include <cmath>
#include <memory>

#include "chartdlg/GraphSettings.h"
#include "log/LogSettings.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/GraphPageTable.h"
#include "settingsdlg/PageCyclicWgt.h"
#include "settingsdlg/PageGraphCommonWgt.h"
#include "settingsdlg/PageGraphWgt.h"
#include "settingsdlg/PageLogSettingsWgt.h"
#include "settingsdlg/PageSliderSetupWgt.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/PageRecords.h"

// Every program page of the factory shown a drawn record and stored back gives the record
// again, but for its widgets' clamps, and touches no other record.

namespace {

struct Records : PageRecords
{
    void draw(QRandomGenerator& rng)
    {
        auto any = [&rng] { return int(rng.generate()); };
        auto oneOf = [&rng](std::initializer_list<int> pool) { return *(pool.begin() + rng.bounded(int(pool.size()))); };
        cyclic.type = oneOf({-1, 0, 1, 2});
        cyclic.leftPoint = oneOf({std::numeric_limits<int>::min(), any()});
        cyclic.rightPoint = any();
        slider = SliderSettings(oneOf({std::numeric_limits<int>::min(), any()}), any(), rng.bounded(2), rng.bounded(2),
                                rng.bounded(2));
        log = LogSettings(oneOf({-1, 0, 3, 4}), oneOf({0, 1, 2}), oneOf({3, 7}), rng.bounded(2),
                          QDir(oneOf({0, 1}) ? QStringLiteral("/var/log/tolmo") : QString()));
        graph.common = GraphCommonSettings{oneOf({0, 60, 5000, any()}), oneOf({10, 100, 70000, any()}), bool(rng.bounded(2))};
        for (CurveSettings& curve : graph.curves) {
            curve.pen.setWidthF(oneOf({0, 1, 25, 1000}) / 10.0 + rng.bounded(0.05));
            curve.pen.setStyle(Qt::PenStyle(rng.bounded(7)));
            curve.pen.setColor(QColor::fromRgb(rng.generate() | 0xFF000000u));
            curve.antialiasing = rng.bounded(2);
            curve.autoscale = rng.bounded(2);
            curve.min = oneOf({std::numeric_limits<int>::min(), -5, any()});
            curve.max = oneOf({std::numeric_limits<int>::max(), 12, any()});
        }
    }
};

QString describe(const CyclicSettings& c)
{
    return QStringLiteral("cyclic %1 %2 %3 %4 %5").arg(c.type).arg(c.leftPoint).arg(c.spare1).arg(c.rightPoint).arg(c.spare2);
}
QString describe(const SliderSettings& s)
{
    return QStringLiteral("slider %1 %2 %3 %4 %5").arg(s.leftPoint).arg(s.rightPoint).arg(s.loadFromDevice)
        .arg(s.watchOverLimits).arg(s.showSecondaryPosition);
}
QString describe(const LogSettings& l)
{
    return QStringLiteral("log %1 %2 %3 %4 %5").arg(l.programLevel).arg(l.scriptLevel).arg(l.libraryLevel).arg(l.autosave).arg(l.autosaveFolder.path());
}
QString describe(const GraphCommonSettings& g)
{
    return QStringLiteral("common %1 %2 %3").arg(g.dataPoints).arg(g.updateInterval).arg(g.breakUpdateWhenStopped);
}
QString describe(const CurveSettings& c)
{
    return QStringLiteral("curve %1 %2 %3 %4 %5 %6 %7 %8 %9")
        .arg(c.pen.widthF()).arg(c.pen.style()).arg(c.pen.color().name()).arg(c.antialiasing).arg(c.autoscale)
        .arg(c.min).arg(c.max).arg(c.pen.capStyle()).arg(c.pen.joinStyle());
}
QStringList describe(const Records& r)
{
    QStringList all{describe(r.cyclic), describe(r.slider), describe(r.log), describe(r.graph.common)};
    for (const CurveSettings& curve : r.graph.curves)
        all << describe(curve);
    return all;
}

// The record as the page's widgets give it back: the widgets' own clamps, nothing else.
void clampCyclic(CyclicSettings& c)
{
    if (c.type != 0 && c.type != 1)
        c.type = 0;    // the buttons keep the form's choice
    c.leftPoint = std::max(c.leftPoint, -2147483647);
    c.rightPoint = std::max(c.rightPoint, -2147483647);
}
void clampSlider(SliderSettings& s)
{
    s.leftPoint = std::max(s.leftPoint, -2147483647);
    s.rightPoint = std::max(s.rightPoint, -2147483647);
}
void clampLog(LogSettings& l)
{
    for (int* level : {&l.programLevel, &l.scriptLevel, &l.libraryLevel})
        *level = *level >= 0 && *level <= 3 ? *level : 3;    // the combo keeps the default entry
}
void clampCommon(GraphCommonSettings& g)
{
    g.dataPoints = qBound(1, g.dataPoints, 3600);
    g.updateInterval = qBound(50, g.updateInterval, 60000);
}
void clampCurve(CurveSettings& c)
{
    c.pen.setWidthF(qBound(1.0, std::round(c.pen.widthF() * 10.0) / 10.0, 100.0));
    if (c.pen.style() < Qt::SolidLine || c.pen.style() > Qt::DashDotDotLine)
        c.pen.setStyle(Qt::NoPen);
    c.min = qBound(-2147480000, c.min, 2147480000);
    c.max = qBound(-2147480000, c.max, 2147480000);
}

} // namespace

class TestProgramPageRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void programPages_data()
    {
        QTest::addColumn<int>("position");
        for (int position = 0; position < SettingsPageFactory::pageCount; ++position) {
            Records records;
            std::unique_ptr<QWidget> page(SettingsPageFactory::create(position, records.context()));
            if (qobject_cast<ProgramPageWgt*>(page.get()))
                QTest::newRow(SettingsPageFactory::treeText(position)) << position;
        }
    }

    void programPages()
    {
        QFETCH(int, position);
        for (quint32 seed = 1; seed <= 12; ++seed) {
            Records records;
            QRandomGenerator rng(seed);
            records.draw(rng);
            std::unique_ptr<QWidget> widget(SettingsPageFactory::create(position, records.context()));
            auto* page = qobject_cast<ProgramPageWgt*>(widget.get());
            Records expected;
            expected.cyclic = records.cyclic;
            expected.slider = records.slider;
            expected.log = records.log;
            expected.graph = records.graph;
            if (qobject_cast<PageCyclicWgt*>(page))
                clampCyclic(expected.cyclic);
            else if (qobject_cast<PageSliderSetupWgt*>(page))
                clampSlider(expected.slider);
            else if (qobject_cast<PageLogSettingsWgt*>(page))
                clampLog(expected.log);
            else if (qobject_cast<PageGraphCommonWgt*>(page))
                clampCommon(expected.graph.common);
            else if (qobject_cast<PageGraphWgt*>(page))
                clampCurve(expected.graph.curves[graphPageRows[position - SettingsPageFactory::graphFirstCurvePage].slot]);
            page->FromClassToUi();
            page->FromUiToClass();
            QCOMPARE(describe(records), describe(expected));
        }
    }
};

QTEST_MAIN(TestProgramPageRoundTrip)
#include "tst_program_page_round_trip.moc"
