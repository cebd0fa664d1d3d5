#include <QtTest>

#include <QRadioButton>

#include "pages/PageMotorTypeWgt.h"
#include "settings_model/MotorSettings.h"
#include "support/PageRender.h"

class TestPageMotorTypeWgt : public QObject
{
    Q_OBJECT

private slots:
    void form()
    {
        MotorSettings s(nullptr, nullptr);
        PageMotorTypeWgt page(nullptr, &s);
        QCOMPARE(missingObjectNames(&page, {"PageMotorTypeWgtClass", "dcMotorBtn", "bldcMotorBtn", "stepperMotorBtn",
                                            "unknownMotorBtn", "discreteDriverBtn", "integrateDriverBtn", "extDriverBtn",
                                            "unknownDriverBtn"}),
                 QString());
        QVERIFY(!renderPage(&page, "pagemotortypewgt").isEmpty());
        auto button = [&page](const char* name) { return page.findChild<QRadioButton*>(name); };
        QVERIFY(button("dcMotorBtn")->isVisible() && button("stepperMotorBtn")->isVisible());
        QVERIFY(!button("bldcMotorBtn")->isVisible() && !button("unknownMotorBtn")->isVisible());
        QVERIFY(!button("unknownDriverBtn")->isVisible());
        QVERIFY(!button("discreteDriverBtn")->isEnabled() && !button("extDriverBtn")->isEnabled());
        QVERIFY(button("integrateDriverBtn")->isEnabled());
        QCOMPARE(button("extDriverBtn")->styleSheet(), QStringLiteral("QRadioButton { color : red; }"));
    }

    void loads_data()
    {
        QTest::addColumn<QList<int>>("engineLoads");    // engine types loaded one after the other
        QTest::addColumn<int>("driver");               // driver type of the last load
        QTest::addColumn<QList<int>>("emitted");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("storedEngine");         // into a target holding 99 and 99
        QTest::addColumn<int>("storedDriver");

        QTest::newRow("never loaded") << QList<int>{} << 1 << QList<int>{} << 1 << 1 << 1;
        QTest::newRow("type 2") << QList<int>{2} << 1 << QList<int>{} << 0 << 99 << 1;
        QTest::newRow("type 0") << QList<int>{0} << 2 << QList<int>{} << 0 << 99 << 2;
        QTest::newRow("1 then 5") << QList<int>{1, 5} << 3 << QList<int>{5} << 5 << 5 << 3;
        QTest::newRow("1 then 3, same again") << QList<int>{1, 3, 3} << 2 << QList<int>{3} << 3 << 3 << 2;
        QTest::newRow("unknown then 1") << QList<int>{7, 1} << 1 << QList<int>{1} << 1 << 1 << 1;
        QTest::newRow("driver 0") << QList<int>{3} << 0 << QList<int>{3} << 3 << 3 << 99;
        QTest::newRow("driver 4") << QList<int>{3} << 4 << QList<int>{3} << 3 << 3 << 99;
    }

    void loads()
    {
        QFETCH(QList<int>, engineLoads);
        QFETCH(int, driver);
        QFETCH(QList<int>, emitted);
        QFETCH(int, current);
        QFETCH(int, storedEngine);
        QFETCH(int, storedDriver);

        MotorSettings s(nullptr, nullptr);
        PageMotorTypeWgt page(nullptr, &s);
        QSignalSpy spy(&page, &PageMotorTypeWgt::SgnMotorTypeChanged);
        for (int type : engineLoads) {
            s.entype.EngineType = uint32_t(type);
            s.entype.DriverType = uint32_t(driver);
            page.FromClassToUi();
        }
        QList<int> got;
        for (const auto& call : spy)
            got << int(call.at(0).toUInt());
        QCOMPARE(got, emitted);
        QCOMPARE(int(page.currentMotorType()), current);

        MotorSettings target(nullptr, nullptr);
        target.entype.EngineType = 99;
        target.entype.DriverType = 99;
        page.FromUiToClass(&target);
        QCOMPARE(int(target.entype.EngineType), storedEngine);
        QCOMPARE(int(target.entype.DriverType), storedDriver);
    }
};

QTEST_MAIN(TestPageMotorTypeWgt)
#include "tst_pagemotortypewgt.moc"
