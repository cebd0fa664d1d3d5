#include <QtTest>

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>

#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "settingsdlg/PageSliderSetupWgt.h"
#include "settings_model/SliderSettings.h"
#include "support/PageRender.h"

namespace {

QString state(const QWidget& page)
{
    QStringList shown;
    for (const char* name : {"leftPointValue", "rightPointValue"})
        shown << QString::number(page.findChild<QSpinBox*>(name)->value());
    for (const char* name : {"LoadFromDeviceChk", "WatchOverLimitsChk", "showSecondaryChk", "probeChk", "enumChk"})
        shown << QString::number(page.findChild<QCheckBox*>(name)->isChecked());
    return shown.join(QLatin1Char(' '));
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QString notFound(const char* key)
{
    return QStringLiteral("\"%1\" key is not found\n").arg(QLatin1String(key));
}

QString wrong(const char* key)
{
    return QStringLiteral("\"%1\" value is wrong\n").arg(QLatin1String(key));
}

} // namespace

class TestPageSliderSetupWgt : public QObject
{
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        QVERIFY(createConfigDir());
    }

    void cleanup() { QFile::remove(settingsIniPath()); }

    void restore_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("defaults");    // null: no defaults file
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("shown");          // starting from "7 8 0 0 0 0 0"
        const QByteArray none;
        const QByteArray noGroup("[Other]\nx=1\n");
        QTest::newRow("no group, no defaults")
            << noGroup << none << QByteArray()
            << notFound("Left_point") + notFound("Right_point") + notFound("LoadFromDevice_enable")
                   + notFound("WatchOverLimits_enable") + notFound("ShowSecondaryPosition_enable")
            << "7 8 0 0 0 1 0";
        QTest::newRow("defaults without the group") << noGroup << QByteArray("") << QByteArray() << QString()
                                                    << "0 0 1 1 1 1 0";
        QTest::newRow("only Right_point")
            << QByteArray("[Slider_setup]\nRight_point=42\n") << none << QByteArray()
            << notFound("Left_point") + notFound("LoadFromDevice_enable") + notFound("WatchOverLimits_enable")
                   + notFound("ShowSecondaryPosition_enable")
            << "7 42 0 0 0 1 0";
        QTest::newRow("from the defaults")
            << noGroup << QByteArray("[Slider_setup]\nLeft_point=-5\nWatchOverLimits_enable=false\n") << QByteArray()
            << QString() << "-5 0 1 0 1 1 0";
        QTest::newRow("wrong bounds")
            << QByteArray("[Slider_setup]\nLeft_point=abc\nRight_point=1e12\nLoadFromDevice_enable=true\n"
                          "WatchOverLimits_enable=maybe\nShowSecondaryPosition_enable=1\n")
            << none << QByteArray("[Device_search_options]\nEnumerate_probe=false\nEnumerate_all_com=true\n")
            << wrong("Left_point") + wrong("Right_point") + wrong("WatchOverLimits_enable") << "7 8 1 0 1 0 1";
        QTest::newRow("below the box")
            << QByteArray("[Slider_setup]\nLeft_point=-2147483648\nRight_point=2147483647\nLoadFromDevice_enable=false\n"
                          "WatchOverLimits_enable=true\nShowSecondaryPosition_enable=false\n")
            << none << QByteArray() << wrong("Left_point") << "7 2147483647 0 1 0 1 0";
    }

    void restore()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, defaults);
        QFETCH(QByteArray, ini);
        QFETCH(QString, report);
        QFETCH(QString, shown);
        SliderSettings record(7, 8, false, false, false);
        PageSliderSetupWgt page(nullptr, &record);
        page.FromClassToUi();
        page.findChild<QCheckBox*>("probeChk")->setChecked(false);
        if (!ini.isNull())
            writeFile(settingsIniPath(), ini);
        writeFile(home.filePath("f.cfg"), file);
        writeFile(home.filePath("d.cfg"), defaults);
        IniSettings fileStore(home.filePath("f.cfg"));
        IniSettings defaultsStore(home.filePath("d.cfg"));
        QCOMPARE(page.RestoreFromFile(&fileStore, defaults.isNull() ? nullptr : &defaultsStore), report);
        QCOMPARE(state(page), shown);
        QCOMPARE(record.leftPoint, 7);    // the record waits for FromUiToClass
    }

    // The search boxes start from settings.ini, so a first save keeps its options; a save into
    // a configuration file never touches settings.ini.
    void searchOptionsKeptUntilChanged_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no file") << QByteArray() << "1 0";
        QTest::newRow("probe on") << QByteArray("[Device_search_options]\nEnumerate_probe=true\n") << "1 0";
        QTest::newRow("probe off, all on")
            << QByteArray("[Device_search_options]\nEnumerate_probe=false\nEnumerate_all_com=true\n") << "0 1";
        QTest::newRow("not boolean") << QByteArray("[Device_search_options]\nEnumerate_probe=abc\n") << "1 0";
    }

    void searchOptionsKeptUntilChanged()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, saved);
        if (!ini.isNull())
            writeFile(settingsIniPath(), ini);
        SliderSettings record;
        PageSliderSetupWgt page(nullptr, &record);
        {
            IniSettings profile(home.filePath("profile.cfg"));
            page.SaveToFile(&profile);
        }
        QCOMPARE(QFile::exists(settingsIniPath()), !ini.isNull());
        page.saveSearchOptions();
        IniSettings written(settingsIniPath());
        const ProgramSettingsFile::SearchOptions options = ProgramSettingsFile::readSearchOptions(written);
        QCOMPARE(QStringLiteral("%1 %2").arg(options.probe).arg(options.allPorts), saved);
        QCOMPARE(QFile::exists(settingsIniPath()), !ini.isNull());    // nothing changed, nothing written
        IniSettings profile(home.filePath("profile.cfg"));
        QCOMPARE(profile.childGroups(), QStringList{"Slider_setup"});
    }

    void boundsEnablingAndChangeSignal()
    {
        SliderSettings record(3, 4, false, true, false);
        PageSliderSetupWgt page(nullptr, &record);
        QSignalSpy changed(&page, &PageSliderSetupWgt::SgnChangeValues);
        page.FromClassToUi();
        QCOMPARE(changed.count(), 2);
        page.FromClassToUi();
        QCOMPARE(changed.count(), 2);
        auto* left = page.findChild<QSpinBox*>("leftPointValue");
        left->setValue(3);
        QCOMPARE(changed.count(), 2);
        left->setValue(-9);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(page.leftPoint(), -9);
        QCOMPARE(record.leftPoint, 3);

        page.findChild<QCheckBox*>("LoadFromDeviceChk")->setChecked(true);
        QVERIFY(!left->isEnabled() && !page.findChild<QSpinBox*>("rightPointValue")->isEnabled());
        page.findChild<QCheckBox*>("LoadFromDeviceChk")->setChecked(false);
        QVERIFY(left->isEnabled() && page.findChild<QSpinBox*>("rightPointValue")->isEnabled());

        QCOMPARE(missingObjectNames(&page, {"PageSliderSetupWgtClass", "leftPointValue", "rightPointValue",
                                            "LoadFromDeviceChk", "WatchOverLimitsChk", "UpdateBtn", "showSecondaryChk",
                                            "probeChk", "enumChk"}),
                 QString());
        QVERIFY(!renderPage(&page, QStringLiteral("slider")).isEmpty());
    }
};

QTEST_MAIN(TestPageSliderSetupWgt)
#include "tst_pageslidersetupwgt.moc"
