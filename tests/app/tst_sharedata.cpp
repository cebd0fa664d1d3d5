#include <QtTest>

#include <QScriptEngine>

#include "chartdlg/GraphSettings.h"
#include "common/IniSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/GraphPageTable.h"
#include "settingsdlg/PageCyclicWgt.h"
#include "settingsdlg/PageGraphCommonWgt.h"
#include "settingsdlg/PageGraphWgt.h"

namespace {

// The copies the build puts beside the program, one folder above the tests.
QString shared(const QString& file)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../") + file;
}

} // namespace

// The defaults file is the fallback of every key of a controller's configuration file: every
// reader must find all of its keys there, with usable values.
class TestShareData : public QObject
{
    Q_OBJECT

private slots:
    void defaultsFileHoldsEveryKey();
    void defaultScriptIsValid();
};

void TestShareData::defaultsFileHoldsEveryKey()
{
    QVERIFY(QFileInfo::exists(shared(QStringLiteral("tolmodefault.cfg"))));
    IniSettings file(shared(QStringLiteral("tolmodefault.cfg")));
    QCOMPARE(file.status(), QSettings::NoError);

    CyclicSettings cyclic;
    PageCyclicWgt cyclicPage(nullptr, &cyclic);
    QCOMPARE(cyclicPage.RestoreFromFile(&file, nullptr), QString());
    GraphSettings graphs;
    PageGraphCommonWgt commonPage(nullptr, &graphs.common);
    QCOMPARE(commonPage.RestoreFromFile(&file, nullptr), QString());
    for (const GraphPageRow& row : graphPageRows) {
        PageGraphWgt page(nullptr, &graphs.curves[row.slot], QString::fromLatin1(row.group));
        QCOMPARE(page.RestoreFromFile(&file, nullptr), QString());
    }

    // The groups whose readers take their keys without a report.
    QStringList keys{"Slider_setup/Left_point", "Slider_setup/Right_point", "Slider_setup/LoadFromDevice_enable",
                     "Slider_setup/WatchOverLimits_enable", "Slider_setup/ShowSecondaryPosition_enable",
                     "mainWindow_params/position", "mainWindow_params/size", "mainWindow_params/fullScreen",
                     "graphWindow_params/position", "graphWindow_params/size", "graphWindow_params/load_path",
                     "graphWindow_params/save_path", "scriptWindow_params/position", "scriptWindow_params/size",
                     "scriptWindow_params/last_visible", "scriptWindow_params/load_path",
                     "scriptWindow_params/save_path", "settingsWindow_params/position",
                     "settingsWindow_params/size", "default_path/defaultFileLocation",
                     "default_path/load_config_path", "default_path/save_config_path",
                     "default_path/update_firmware_path"};
    for (const char* plot : {"Position", "Speed", "Encoder", "EnVoltage", "PwrVoltage", "UsbVoltage", "VoltageA",
                             "VoltageB", "VoltageC", "EnCurrent", "PwrCurrent", "UsbCurrent", "CurrentA", "CurrentB",
                             "CurrentC", "PWM", "Temperature", "Joy", "Pot", "Flags"})
        keys << QStringLiteral("graphWindow_params/%1_graph_enable").arg(QLatin1String(plot));
    for (const QString& key : keys)
        QVERIFY2(file.contains(key), qPrintable(key));
    QVERIFY(file.value(QStringLiteral("Slider_setup/LoadFromDevice_enable")).toBool());
    QVERIFY(file.value(QStringLiteral("mainWindow_params/size")).toSize().isValid());
    QCOMPARE(file.value(QStringLiteral("mainWindow_params/position")).toPoint(), QPoint(100, 200));
}

void TestShareData::defaultScriptIsValid()
{
    QFile script(shared(QStringLiteral("scripts/cyclic.txt")));
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QScriptSyntaxCheckResult check = QScriptEngine::checkSyntax(QString::fromUtf8(script.readAll()));
    QVERIFY2(check.state() == QScriptSyntaxCheckResult::Valid, qPrintable(check.errorMessage()));
}

QTEST_MAIN(TestShareData)
#include "tst_sharedata.moc"
