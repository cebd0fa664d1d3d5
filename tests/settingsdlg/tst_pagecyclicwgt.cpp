#include <QtTest>

#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include "common/IniSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/PageCyclicWgt.h"
#include "settings_model/UnitTexts.h"
#include "support/Screenshot.h"

#include <limits>
#include <memory>

namespace {

struct Page
{
    CyclicSettings record;
    PageCyclicWgt page{nullptr, &record};

    QRadioButton* btb() { return page.findChild<QRadioButton*>(QStringLiteral("btbBtn")); }
    QRadioButton* ptp() { return page.findChild<QRadioButton*>(QStringLiteral("ptpFineBtn")); }
    QSpinBox* left() { return page.findChild<QSpinBox*>(QStringLiteral("leftPointValue")); }
    QSpinBox* right() { return page.findChild<QSpinBox*>(QStringLiteral("rightPointValue")); }
    QGroupBox* ptpBox() { return page.findChild<QGroupBox*>(QStringLiteral("ptpBox")); }
};

} // namespace

class TestPageCyclicWgt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void form();
    void recordTransfers();
    void fileRoundTrip();
    void missingGroupReportsThreeLines();
    void defaultsFillMissingKeys();
    void wrongValuesAreReportedAndKept_data();
    void wrongValuesAreReportedAndKept();
    void unitSuffix();

private:
    std::unique_ptr<QTemporaryDir> folder;
    QString path(const QString& name) const { return folder->filePath(name); }
};

void TestPageCyclicWgt::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
}

void TestPageCyclicWgt::form()
{
    Page p;
    QCOMPARE(p.page.windowTitle(), QStringLiteral("PageCyclicWgt"));
    QCOMPARE(p.page.findChild<QGroupBox*>(QStringLiteral("groupBox_4"))->title(), QStringLiteral("Cyclic motion setup"));
    QCOMPARE(p.ptpBox()->title(), QStringLiteral("Point to point setup"));
    QCOMPARE(p.btb()->text(), QStringLiteral("Border to border"));
    QCOMPARE(p.ptp()->text(), QStringLiteral("Point to point"));
    QVERIFY(p.btb()->isChecked());
    QVERIFY(!p.ptpBox()->isEnabled());
    QCOMPARE(p.left()->minimum(), -2147483647);
    QCOMPARE(p.left()->maximum(), 2147483647);
    QCOMPARE(p.right()->minimum(), -2147483647);
    p.left()->setValue(std::numeric_limits<int>::min());
    QCOMPARE(p.left()->value(), -2147483647);

    p.ptp()->setChecked(true);
    QVERIFY(p.ptpBox()->isEnabled());
    QCOMPARE(p.page.cyclicType(), 1);
    p.page.resize(400, 200);
    p.page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.page));
    QVERIFY(keepScreenshot(p.page, QStringLiteral("pagecyclic.png")));
    p.btb()->setChecked(true);
    QVERIFY(!p.ptpBox()->isEnabled());
    QCOMPARE(p.page.cyclicType(), 0);
}

void TestPageCyclicWgt::recordTransfers()
{
    Page p;
    QCOMPARE(p.record.type, -1);
    p.record.leftPoint = -300;
    p.record.rightPoint = 700;
    p.record.spare1 = 11;
    p.record.spare2 = 22;
    p.page.FromClassToUi();   // type -1: the buttons stay
    QVERIFY(p.btb()->isChecked());
    QCOMPARE(p.left()->value(), -300);
    QCOMPARE(p.right()->value(), 700);

    p.record.type = 1;
    p.page.FromClassToUi();
    QVERIFY(p.ptp()->isChecked());

    p.left()->setValue(-5);
    p.right()->setValue(5);
    p.page.FromUiToClass();
    QCOMPARE(p.record.type, 1);
    QCOMPARE(p.record.leftPoint, -5);
    QCOMPARE(p.record.rightPoint, 5);
    QCOMPARE(p.record.spare1, 11);
    QCOMPARE(p.record.spare2, 22);
}

void TestPageCyclicWgt::fileRoundTrip()
{
    {
        Page p;
        p.ptp()->setChecked(true);
        p.left()->setValue(-2147483647);
        p.right()->setValue(12345);
        IniSettings file(path("profile.cfg"));
        p.page.SaveToFile(&file);
        QCOMPARE(file.group(), QString());
    }
    IniSettings file(path("profile.cfg"));
    QCOMPARE(file.value("Cyclic/Left_point").toString(), QStringLiteral("-2147483647"));
    QCOMPARE(file.value("Cyclic/Right_point").toString(), QStringLiteral("12345"));
    QCOMPARE(file.value("Cyclic/Cyclic_type").toString(), QStringLiteral("ptp_fine"));

    Page q;
    QCOMPARE(q.page.RestoreFromFile(&file, nullptr), QString());
    QCOMPARE(file.group(), QString());
    QVERIFY(q.ptp()->isChecked());
    QCOMPARE(q.left()->value(), -2147483647);
    QCOMPARE(q.right()->value(), 12345);
    // The file reaches the record only through FromUiToClass.
    QCOMPARE(q.record.type, -1);
    q.page.FromUiToClass();
    QCOMPARE(q.record.type, 1);
    QCOMPARE(q.record.rightPoint, 12345);
}

void TestPageCyclicWgt::missingGroupReportsThreeLines()
{
    Page p;
    p.left()->setValue(9);
    IniSettings empty(path("empty.cfg"));
    QCOMPARE(p.page.RestoreFromFile(&empty, nullptr),
             QStringLiteral("\"Left_point\" key is not found\n"
                            "\"Right_point\" key is not found\n"
                            "\"Cyclic_type\" key is not found\n"));
    QCOMPARE(p.left()->value(), 9);
}

void TestPageCyclicWgt::defaultsFillMissingKeys()
{
    IniSettings file(path("user.cfg"));
    file.setValue("Cyclic/Right_point", 40);
    IniSettings defaults(path("default.cfg"));
    defaults.setValue("Cyclic/Left_point", -40);
    defaults.setValue("Cyclic/Cyclic_type", "ptp_fine");

    Page p;
    p.right()->setValue(1);
    QCOMPARE(p.page.RestoreFromFile(&file, &defaults), QString());
    QCOMPARE(p.left()->value(), -40);
    QCOMPARE(p.right()->value(), 40);
    QVERIFY(p.ptp()->isChecked());
    QCOMPARE(defaults.group(), QString());

    // In neither store: point 0 and border to border.
    IniSettings none(path("none.cfg"));
    IniSettings noDefaults(path("nodefaults.cfg"));
    QCOMPARE(p.page.RestoreFromFile(&none, &noDefaults), QString());
    QCOMPARE(p.left()->value(), 0);
    QCOMPARE(p.right()->value(), 0);
    QVERIFY(p.btb()->isChecked());
}

void TestPageCyclicWgt::wrongValuesAreReportedAndKept_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("report");
    QTest::newRow("texts") << "abc" << "12x" << "undefined"
                           << "\"Left_point\" value is wrong\n\"Right_point\" value is wrong\n"
                              "\"Cyclic_type\" value is wrong\n";
    QTest::newRow("out of range") << "-2147483648" << "4294967296" << "Ptp_fine"
                                  << "\"Left_point\" value is wrong\n\"Right_point\" value is wrong\n"
                                     "\"Cyclic_type\" value is wrong\n";
    QTest::newRow("empty and fraction") << "" << "1.5" << "border_to_border"
                                        << "\"Left_point\" value is wrong\n\"Right_point\" value is wrong\n";
    QTest::newRow("limits") << "-2147483647" << "2147483647" << "ptp_fine" << "";
}

void TestPageCyclicWgt::wrongValuesAreReportedAndKept()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, type);
    QFETCH(QString, report);
    {
        QFile raw(path("hand.cfg"));
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(QStringLiteral("[Cyclic]\nLeft_point=%1\nRight_point=%2\nCyclic_type=%3\n")
                      .arg(left, right, type)
                      .toUtf8());
    }
    IniSettings file(path("hand.cfg"));
    Page p;
    p.ptp()->setChecked(true);
    p.left()->setValue(-77);
    p.right()->setValue(77);
    QCOMPARE(p.page.RestoreFromFile(&file, nullptr), report);
    if (report.isEmpty()) {
        QCOMPARE(p.left()->value(), left.toInt());
        QCOMPARE(p.right()->value(), right.toInt());
        return;
    }
    QCOMPARE(p.left()->value(), -77);
    QCOMPARE(p.right()->value(), 77);
    QCOMPARE(p.ptp()->isChecked(), type != QLatin1String("border_to_border"));
    // A later apply keeps the mode chosen before.
    p.page.FromUiToClass();
    QCOMPARE(p.record.leftPoint, -77);
}

void TestPageCyclicWgt::unitSuffix()
{
    Page p;
    positionUnit = stepperPositionUnit;
    p.page.setEngineType(3);
    QCOMPARE(p.left()->suffix(), QStringLiteral(" steps"));
    QCOMPARE(p.right()->suffix(), QStringLiteral(" steps"));
    positionUnit = dcPositionUnit;
    p.page.setEngineType(0);
    QCOMPARE(p.left()->suffix(), QStringLiteral(" counts"));
    positionUnit.clear();
}

QTEST_MAIN(TestPageCyclicWgt)
#include "tst_pagecyclicwgt.moc"
