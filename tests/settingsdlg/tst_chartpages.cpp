#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QSpinBox>
#include <QTemporaryDir>

#include <memory>

#include "chartdlg/GraphSettings.h"
#include "common/IniSettings.h"
#include "widgets/ColorButton.h"
#include "settingsdlg/GraphPageTable.h"
#include "settingsdlg/PageGraphCommonWgt.h"
#include "settingsdlg/PageGraphWgt.h"
#include "settingsdlg/PageReports.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/PageRender.h"

namespace {

// The common page and the twenty curve pages as the factory builds them, in tree order.
struct ChartPages
{
    GraphSettings graph;
    PageGraphCommonWgt* common;
    std::vector<std::unique_ptr<PageGraphWgt>> curves;
    std::unique_ptr<QWidget> commonHolder;

    ChartPages()
    {
        SettingsPageContext context;
        context.graphSettings = &graph;
        commonHolder.reset(SettingsPageFactory::create(20, context));
        common = qobject_cast<PageGraphCommonWgt*>(commonHolder.get());
        for (int i = 0; i < 20; ++i)
            curves.emplace_back(qobject_cast<PageGraphWgt*>(SettingsPageFactory::create(21 + i, context)));
    }
};

template <typename T>
T* child(QWidget* page, const char* name)
{
    return page->findChild<T*>(QString::fromLatin1(name));
}

bool sameCurve(const CurveSettings& a, const CurveSettings& b)
{
    return a.pen == b.pen && a.antialiasing == b.antialiasing && a.autoscale == b.autoscale && a.min == b.min
        && a.max == b.max;
}

} // namespace

class TestChartPages : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
    }

    void newContainerHasRoundPens()
    {
        GraphSettings graph;
        for (const CurveSettings& curve : graph.curves) {
            QCOMPARE(curve.pen.capStyle(), Qt::RoundCap);
            QCOMPARE(curve.pen.joinStyle(), Qt::RoundJoin);
            QCOMPARE(curve.pen.widthF(), 1.0);
            QCOMPARE(curve.pen.style(), Qt::SolidLine);
        }
        QCOMPARE(graphPageGroupNames().size(), 20);
        QCOMPARE(graphPageGroupNames().first(), QStringLiteral("Graph_pot_setup"));
        QCOMPARE(graphPageGroupNames().last(), QStringLiteral("Graph_position_setup"));
    }

    void formsRender()
    {
        ChartPages pages;
        QCOMPARE(missingObjectNames(pages.common, {"PageGraphCommonWgtClass", "mainBox", "datapointsValue",
                                                   "intervalValue", "dataUpdateChk"}),
                 QString());
        PageGraphWgt* flags = pages.curves[3].get();
        QCOMPARE(missingObjectNames(flags, {"PageGraphWgtClass", "mainBox", "linewidthValue", "colorBox", "linestyleBox",
                                            "groupBox", "minScaleValue", "maxScaleValue", "autoscaleChk",
                                            "antialiasingChk"}),
                 QString());
        QVERIFY(!renderPage(pages.common, "pagegraphcommonwgt").isEmpty());
        QVERIFY(!renderPage(pages.curves[0].get(), "pagegraphwgt_position").isEmpty());
        QVERIFY(!renderPage(flags, "pagegraphwgt_flags").isEmpty());
        QCOMPARE(child<QGroupBox>(flags, "mainBox")->title(), QStringLiteral("Flags curve setup"));
        QVERIFY(!child<ColorButton>(flags, "colorBox")->isVisible());
        QVERIFY(child<ColorButton>(pages.curves[0].get(), "colorBox")->isVisible());
        QComboBox* style = child<QComboBox>(flags, "linestyleBox");
        QCOMPARE(style->count(), 5);
        QCOMPARE(style->itemText(4), QStringLiteral("Dash dot dot line"));
        QCOMPARE(style->itemData(4).toInt(), int(Qt::DashDotDotLine));
    }

    void eachPageWritesOnlyItsGroupAndSlot_data()
    {
        QTest::addColumn<int>("page");
        for (int i = 0; i < 20; ++i)
            QTest::newRow(graphPageRows[i].treeLabel) << i;
    }

    void eachPageWritesOnlyItsGroupAndSlot()
    {
        QFETCH(int, page);
        ChartPages pages;
        const GraphSettings before;
        for (auto& each : pages.curves)
            each->FromClassToUi();
        PageGraphWgt* p = pages.curves[size_t(page)].get();
        child<QDoubleSpinBox>(p, "linewidthValue")->setValue(2.5);
        child<ColorButton>(p, "colorBox")->setColor(QColor(0x12, 0x34, 0x56));
        child<QComboBox>(p, "linestyleBox")->setCurrentIndex(2);
        child<QDoubleSpinBox>(p, "minScaleValue")->setValue(-12.7);
        child<QDoubleSpinBox>(p, "maxScaleValue")->setValue(12.9);
        child<QCheckBox>(p, "autoscaleChk")->setChecked(false);
        child<QCheckBox>(p, "antialiasingChk")->setChecked(true);
        for (auto& each : pages.curves)
            each->FromUiToClass();

        const int slot = graphPageRows[page].slot;
        QCOMPARE(slot == GraphSettings::flagsCurve, QByteArray(graphPageRows[page].treeLabel) == "Flags");
        for (int i = 0; i < GraphSettings::curveCount; ++i) {
            if (i == slot)
                continue;
            // Every other page wrote back its own record unchanged.
            QVERIFY2(sameCurve(pages.graph.curves[i], before.curves[i]), qPrintable(QString::number(i)));
        }
        const CurveSettings& written = pages.graph.curves[slot];
        QCOMPARE(written.pen.widthF(), 2.5);
        QCOMPARE(written.pen.color(), QColor(0x12, 0x34, 0x56));
        QCOMPARE(written.pen.style(), Qt::DotLine);
        QCOMPARE(written.pen.capStyle(), Qt::RoundCap);
        QCOMPARE(written.min, -12);
        QCOMPARE(written.max, 12);
        QVERIFY(!written.autoscale && written.antialiasing);

        IniSettings file(folder->filePath("profile.cfg"));
        p->SaveToFile(&file);
        QCOMPARE(file.childGroups(), QStringList{QString::fromLatin1(graphPageRows[page].group)});
        file.beginGroup(QString::fromLatin1(graphPageRows[page].group));
        QCOMPARE(file.value("Line_color").toString(), QStringLiteral("#123456"));
        QCOMPARE(file.value("Line_style").toInt(), 2);
        QCOMPARE(file.childKeys().size(), 7);
    }

    void restoreWithoutGroupsReportsEveryKey()
    {
        ChartPages pages;
        IniSettings file(folder->filePath("empty.cfg"));
        QString report = pages.common->RestoreFromFile(&file, nullptr);
        for (auto& page : pages.curves)
            report += page->RestoreFromFile(&file, nullptr);
        QString expected = pageKeyNotFound("Datapoints") + pageKeyNotFound("Update_interval")
            + pageKeyNotFound("dataUpdate_enable");
        for (int i = 0; i < 20; ++i) {
            for (const char* key : {"Line_width", "Scale_min", "Scale_max", "Line_color", "Line_style",
                                    "Autoscale_enable", "Antialiasing_enable"})
                expected += pageKeyNotFound(key);
        }
        QCOMPARE(report, expected);
    }

    void defaultsLackingKeys()
    {
        ChartPages pages;
        IniSettings file(folder->filePath("empty.cfg"));
        IniSettings defaults(folder->filePath("defaults.cfg"));
        defaults.setValue("Unrelated/key", 1);
        PageGraphWgt* curve = pages.curves[0].get();
        child<QCheckBox>(curve, "autoscaleChk")->setChecked(false);
        QCOMPARE(pages.common->RestoreFromFile(&file, &defaults), QString());
        QCOMPARE(curve->RestoreFromFile(&file, &defaults), QString());
        QCOMPARE(file.group(), QString());
        QCOMPARE(defaults.group(), QString());
        QCOMPARE(child<QSpinBox>(pages.common, "datapointsValue")->value(), 1);
        QCOMPARE(child<QSpinBox>(pages.common, "intervalValue")->value(), 50);
        QVERIFY(child<QCheckBox>(pages.common, "dataUpdateChk")->isChecked());
        QCOMPARE(child<QDoubleSpinBox>(curve, "linewidthValue")->value(), 1.0);
        QVERIFY(child<QCheckBox>(curve, "autoscaleChk")->isChecked());
        QVERIFY(child<QCheckBox>(curve, "antialiasingChk")->isChecked());
    }

    void autoscaleDisablesLimits()
    {
        ChartPages pages;
        PageGraphWgt* page = pages.curves[1].get();
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page));
        auto* autoscale = child<QCheckBox>(page, "autoscaleChk");
        auto* limits = child<QGroupBox>(page, "groupBox");
        QVERIFY(limits->isEnabled());
        QTest::mouseClick(autoscale, Qt::LeftButton, {}, QPoint(5, autoscale->height() / 2));
        QVERIFY(autoscale->isChecked());
        QVERIFY(!limits->isEnabled());

        pages.graph.curves[1].autoscale = false;
        page->FromClassToUi();
        QVERIFY(limits->isEnabled());
        pages.graph.curves[1].autoscale = true;
        page->FromClassToUi();
        QVERIFY(!limits->isEnabled());

        IniSettings file(folder->filePath("profile.cfg"));
        file.setValue("Graph_speed_setup/Autoscale_enable", false);
        page->RestoreFromFile(&file, nullptr);
        QVERIFY(limits->isEnabled());
        file.setValue("Graph_speed_setup/Autoscale_enable", true);
        page->RestoreFromFile(&file, nullptr);
        QVERIFY(!limits->isEnabled());
    }

    void wrongValuesLeaveTheWidget_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("shown");    // what the widget holds afterwards (it starts at 3.0)
        QTest::addColumn<int>("stored");      // min and max as the record takes them
        for (const char* key : {"Scale_min", "Scale_max", "Line_width"}) {
            for (const char* text : {"abc", "nan", "inf", "-inf", ""})
                QTest::addRow("%s %s", key, text) << key << text << 3.0 << 3;
        }
        QTest::newRow("Scale_min 12.9") << "Scale_min" << "12.9" << 12.9 << 12;
        QTest::newRow("Scale_max -0.5") << "Scale_max" << "-0.5" << -0.5 << 0;
    }

    void wrongValuesLeaveTheWidget()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(double, shown);
        QFETCH(int, stored);
        ChartPages pages;
        PageGraphWgt* page = pages.curves[0].get();
        const char* widget = key == "Scale_min" ? "minScaleValue" : key == "Scale_max" ? "maxScaleValue" : "linewidthValue";
        child<QDoubleSpinBox>(page, widget)->setValue(3.0);
        IniSettings file(folder->filePath("profile.cfg"));
        file.setValue("Graph_position_setup/" + key, text);
        const QString report = page->RestoreFromFile(&file, nullptr);
        QCOMPARE(report.contains(pageValueWrong(key)), shown == 3.0);
        QCOMPARE(child<QDoubleSpinBox>(page, widget)->value(), shown);
        page->FromUiToClass();
        if (key != "Line_width")
            QCOMPARE(key == "Scale_min" ? pages.graph.curves[0].min : pages.graph.curves[0].max, stored);
    }

    void styleOutsideTheFiveDrawsNoLine()
    {
        ChartPages pages;
        PageGraphWgt* page = pages.curves[0].get();
        IniSettings file(folder->filePath("profile.cfg"));
        file.setValue("Graph_position_setup/Line_style", 7);
        page->RestoreFromFile(&file, nullptr);
        QCOMPARE(child<QComboBox>(page, "linestyleBox")->currentIndex(), -1);
        page->FromUiToClass();
        QCOMPARE(pages.graph.curves[0].pen.style(), Qt::NoPen);
    }

private:
    std::unique_ptr<QTemporaryDir> folder;
};

QTEST_MAIN(TestChartPages)
#include "tst_chartpages.moc"
