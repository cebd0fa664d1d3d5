#include <QtTest>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>

#include <functional>

#include "device/SharedFlags.h"
#include "pages/JoystickCalibrationDlg.h"
#include "pages/PageCTLWgt.h"
#include "settings_model/MotorSettings.h"
#include "support/PageRender.h"

// The control page and its joystick calibration dialog, fed readings directly.

using Emitted = QList<QVariant>;

class TestPageCTLWgt : public QObject
{
    Q_OBJECT

private slots:
    void calibration_data()
    {
        QTest::addColumn<QList<int>>("before");    // readings before "Start"
        QTest::addColumn<int>("started");          // -1: "Start" never pressed, else readings after it
        QTest::addColumn<QList<int>>("after");     // cycled to fill `started` readings
        QTest::addColumn<QList<qint64>>("stats");  // min, max, zero, sigma, dead low, dead high (zero... only when started)
        QTest::addColumn<QVariantList>("emitted"); // empty: nothing emitted

        QTest::newRow("no sample") << QList<int>{} << -1 << QList<int>{} << QList<qint64>{}
                                   << QVariantList{};
        QTest::newRow("extremes without Start") << QList<int>{300, 9000, 5000} << -1 << QList<int>{}
                                                << QList<qint64>{300, 9000} << QVariantList{300, 0, 9000, 0.0, false};
        QTest::newRow("still stick") << QList<int>{0, 10000} << 50 << QList<int>{5000}
                                     << QList<qint64>{0, 10000, 5000, 0, 5000, 5000}
                                     << QVariantList{0, 5000, 10000, 0.0, true};
        QTest::newRow("swinging 0 to 10000") << QList<int>{} << 50 << QList<int>{0, 10000}
                                             << QList<qint64>{0, 10000, 5000, 5000, -20000, 30000}
                                             << QVariantList{0, 5000, 10000, 255.0, true};
        QTest::newRow("ratio above 1") << QList<int>{4990, 5010} << 50 << QList<int>{4990, 5010}
                                       << QList<qint64>{4990, 5010, 5000, 10, 4950, 5050}
                                       << QVariantList{4990, 5000, 5010, 255.0, true};
        QTest::newRow("half way") << QList<int>{1000, 9000} << 50 << QList<int>{4900, 5100}
                                  << QList<qint64>{1000, 9000, 5000, 100, 4500, 5500}
                                  << QVariantList{1000, 5000, 9000, 12.5, true};
        QTest::newRow("49 samples: still running") << QList<int>{} << 49 << QList<int>{5000}
                                                   << QList<qint64>{5000, 5000, 5000, 0, 5000, 5000}
                                                   << QVariantList{5000, 5000, 5000, 0.0, true};
    }

    void calibration()
    {
        QFETCH(QList<int>, before);
        QFETCH(int, started);
        QFETCH(QList<int>, after);
        QFETCH(QList<qint64>, stats);
        QFETCH(QVariantList, emitted);

        MotorSettings s(nullptr, nullptr);
        JoystickCalibrationDlg dialog(nullptr, &s, QString());
        QSignalSpy spy(&dialog, &JoystickCalibrationDlg::sendJoySettings);
        auto* start = dialog.findChild<QPushButton*>("startBtn");
        for (int v : before)
            dialog.takeReading(v);
        if (started >= 0) {
            start->click();
            QVERIFY(!start->isEnabled());
            for (int i = 0; i < started; ++i)
                dialog.takeReading(after[i % after.size()]);
            // The 50th sample after "Start" ends the calibration, and no other does.
            QCOMPARE(dialog.isCalibrating(), started < JoystickCalibrationDlg::windowSize);
            QCOMPARE(start->isEnabled(), started == JoystickCalibrationDlg::windowSize);
        }
        if (!stats.isEmpty())
            QCOMPARE(QList<qint64>({dialog.minimum(), dialog.maximum()}), stats.mid(0, 2));
        if (stats.size() > 2)
            QCOMPARE(QList<qint64>({dialog.zero(), dialog.deviation(), dialog.deadLow(), dialog.deadHigh()}), stats.mid(2));
        QCOMPARE(dialog.zeroKnown(), started > 0);

        dialog.findChild<QPushButton*>("okBtn")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(spy.size(), emitted.isEmpty() ? 0 : 1);
        if (emitted.isEmpty())
            return;
        const QList<QVariant> got = spy.at(0);
        for (int i = 0; i < emitted.size(); ++i)
            QCOMPARE(got.at(i).toString(), emitted.at(i).toString());

        // What the page makes of it: the readings, and the zero and dead zone only when measured.
        MotorSettings pageSettings(nullptr, nullptr);
        pageSettings.joystick.JoyCenter = 4321;
        pageSettings.joystick.DeadZone = 77;
        PageCTLWgt page(nullptr, &pageSettings, nullptr);
        page.FromClassToUi();
        page.receiveJoySettings(got.at(0).toInt(), got.at(1).toInt(), got.at(2).toInt(), got.at(3).toDouble(),
                                got.at(4).toBool());
        page.FromUiToClass(&pageSettings);
        QCOMPARE(int(pageSettings.joystick.JoyLowEnd), emitted.at(0).toInt());
        QCOMPARE(int(pageSettings.joystick.JoyCenter), got.at(4).toBool() ? emitted.at(1).toInt() : 4321);
        const double zone = emitted.at(3).toDouble();
        QCOMPARE(int(pageSettings.joystick.DeadZone), got.at(4).toBool() ? int(std::lround(qMin(zone, 25.5) * 10)) : 77);
    }

    void enterDoesNotPressOK()
    {
        MotorSettings s(nullptr, nullptr);
        JoystickCalibrationDlg dialog(nullptr, &s, QString());
        QSignalSpy spy(&dialog, &JoystickCalibrationDlg::sendJoySettings);
        dialog.takeReading(100);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Return);
        QTest::keyClick(&dialog, Qt::Key_Enter);
        QVERIFY(dialog.isVisible());
        QCOMPARE(spy.size(), 0);
    }

    void modeEnabling_data()
    {
        QTest::addColumn<uint>("flags");
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<bool>>("enabled");    // buttons and speeds, joystick, timeouts
        QTest::newRow("mode 3") << 0x3u << -1 << QList<bool>{false, false, false};
        QTest::newRow("off") << 0x0u << 0 << QList<bool>{false, false, false};
        QTest::newRow("joystick") << 0x1u << 1 << QList<bool>{true, true, false};
        QTest::newRow("buttons") << 0xEu << 2 << QList<bool>{true, false, true};
    }

    void modeEnabling()
    {
        QFETCH(uint, flags);
        QFETCH(int, index);
        QFETCH(QList<bool>, enabled);
        MotorSettings s(nullptr, nullptr);
        s.control.Flags = flags | 0x30;
        s.control.deprecated = 0xDEADBEEF;
        PageCTLWgt page(nullptr, &s, nullptr);
        page.FromClassToUi();
        QCOMPARE(page.findChild<QComboBox*>("modeCombo")->currentIndex(), index);
        QList<bool> shown;
        for (const char* name : {"leftGroup", "speedGroup", "joyGroup", "timeoutBox4"})
            shown << page.findChild<QWidget*>(name)->isEnabled();
        QCOMPARE(shown, (QList<bool>{enabled[0], enabled[0], enabled[1], enabled[2]}));
        MotorSettings target = s;
        page.FromUiToClass(&target);
        QCOMPARE(target.control.Flags, uint32_t(flags));    // unknown bits go, an unlisted mode stays
        QCOMPARE(target.control.deprecated, 0xDEADBEEFu);
    }

    void deadZoneEveryValue()
    {
        MotorSettings s(nullptr, nullptr);
        PageCTLWgt page(nullptr, &s, nullptr);
        auto* box = page.findChild<QDoubleSpinBox*>("deadZoneSpin");
        for (uint32_t value = 0; value <= 255; ++value) {
            s.joystick.DeadZone = value;
            page.FromClassToUi();
            QCOMPARE(box->text(), QString::number(value / 10.0, 'f', 1) + " %");
            // Typed, it is stored as shown.
            s.joystick.DeadZone = value == 0 ? 1 : 0;
            page.FromClassToUi();
            box->setValue(value / 10.0);
            MotorSettings target(nullptr, nullptr);
            page.FromUiToClass(&target);
            QCOMPARE(target.joystick.DeadZone, value);
        }
    }

    void runningTheDialog_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("center");
        QTest::newRow("Cancel") << "cancelBtn" << 10 << 5000;
        QTest::newRow("OK without Start") << "okBtn" << 200 << 5000;
    }

    void runningTheDialog()
    {
        QFETCH(QString, button);
        QFETCH(int, low);
        QFETCH(int, center);
        MotorSettings s(nullptr, nullptr);
        s.control.Flags = CONTROL_MODE_JOY;
        s.joystick.JoyLowEnd = 10;
        s.joystick.JoyCenter = 5000;
        s.joystick.JoyHighEnd = 9000;
        PageCTLWgt page(nullptr, &s, nullptr);
        page.FromClassToUi();
        bool flagWhileOpen = false;
        QTimer::singleShot(0, &page, [&] {
            auto* dialog = page.findChild<JoystickCalibrationDlg*>();
            QVERIFY(dialog);
            flagWhileOpen = joystickCalibrationOpen;
            dialog->takeReading(200);
            dialog->takeReading(8000);
            dialog->findChild<QPushButton*>(button)->click();
        });
        // A dialog left open fails the test instead of hanging it.
        QTimer::singleShot(5000, &page, [&] {
            if (auto* dialog = page.findChild<JoystickCalibrationDlg*>())
                dialog->reject();
        });
        page.OnJoyCalibBtnPressed();
        QVERIFY(flagWhileOpen);
        QVERIFY(!joystickCalibrationOpen);
        QVERIFY(!page.findChild<JoystickCalibrationDlg*>());
        MotorSettings target = s;
        page.FromUiToClass(&target);
        QCOMPARE(int(target.joystick.JoyLowEnd), low);
        QCOMPARE(int(target.joystick.JoyCenter), center);
        QCOMPARE(int(target.joystick.JoyHighEnd), button == "okBtn" ? 8000 : 9000);
    }

    void forms()
    {
        MotorSettings s(nullptr, nullptr);
        PageCTLWgt page(nullptr, &s, nullptr);
        QCOMPARE(missingObjectNames(&page, {"PageCTLWgtClass", "modeCombo", "leftCombo", "rightCombo", "speedGroup",
                                            "speedBox0", "speedBox9", "timeoutBox0", "timeoutBox8", "lowEndSpin",
                                            "centerSpin", "highEndSpin", "expFactorSpin", "deadZoneSpin", "reverseChk",
                                            "joyCalibBtn"}),
                 QString());
        s.control.Flags = CONTROL_MODE_LR;
        page.FromClassToUi();
        QVERIFY(!renderPage(&page, "pagectlwgt").isEmpty());

        JoystickCalibrationDlg dialog(nullptr, &s, QString());
        QCOMPARE(missingObjectNames(&dialog, {"JoystickCalibrationDlgClass", "zeroValueLbl", "currentValueLbl",
                                              "minValueLbl", "maxValueLbl", "deadLowValueLbl", "deadHighValueLbl",
                                              "startBtn", "joySlider", "instructionLbl", "okBtn", "cancelBtn",
                                              "applyBtn"}),
                 QString());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Joystick calibration "));
        QVERIFY(!dialog.windowIcon().isNull());
        for (int v : {1000, 9000, 5000})
            dialog.takeReading(v);
        QVERIFY(!renderPage(&dialog, "joystickcalibrationdlg").isEmpty());
    }
};

QTEST_MAIN(TestPageCTLWgt)
#include "tst_pagectlwgt.moc"
