#include <QtTest>

#include <QLabel>

#include "device/LatestSample.h"
#include "settingsdlg/PageCalibWgt.h"
#include "support/PageRender.h"

class TestPageCalibWgt : public QObject
{
    Q_OBJECT

    static QString text(QWidget& page, const char* name) { return page.findChild<QLabel*>(name)->text(); }

private slots:
    void valuesAreDividedAsReals_data()
    {
        QTest::addColumn<int>("temp");
        QTest::addColumn<int>("a1");
        QTest::addColumn<QString>("tempText");
        QTest::addColumn<QString>("a1Text");
        QTest::newRow("tenths") << 253 << 1200 << "25.3" << "12";
        QTest::newRow("negative") << -53 << -1 << "-5.3" << "-0.01";
    }
    void valuesAreDividedAsReals()
    {
        QFETCH(int, temp);
        QFETCH(int, a1);
        PageCalibWgt page(nullptr);
        QVERIFY(!renderPage(&page, "pagecalibwgt").isEmpty());
        lastAnalogData = analog_data_t{};
        lastAnalogData.Temp = temp;
        lastAnalogData.A1Voltage = a1;
        lastAnalogData.Temp_ADC = 4095;
        lastAnalogData.R = 7;
        deviceConnected = true;
        page.UpdateCalibration();
        QTEST(text(page, "cdcTempKeyLbl"), "tempText");
        QTEST(text(page, "cdcA1VoltLbl"), "a1Text");
        QCOMPARE(text(page, "adcTempKeyLbl"), QString("4095"));
        QCOMPARE(text(page, "R"), QString("7"));

        // Disconnected or hidden, the last values stay.
        lastAnalogData.Temp = 999;
        deviceConnected = false;
        page.UpdateCalibration();
        deviceConnected = true;
        page.hide();
        page.UpdateCalibration();
        QTEST(text(page, "cdcTempKeyLbl"), "tempText");
    }
};

QTEST_MAIN(TestPageCalibWgt)
#include "tst_pagecalibwgt.moc"
