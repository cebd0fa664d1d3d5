#include <QtTest>

#include <QCheckBox>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>

#include <qwt_plot_curve.h>

#include <memory>

#include "support/RecordingPrompter.h"
#include "chartdlg/ChartDlg.h"
#include "chartdlg/GraphPlot.h"
#include "chartdlg/GraphPlotMulti.h"
#include "common/IniSettings.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/UpdateThread.h"
#include "mainwindow/MainWindow.h"
#include "scriptdlg/ScriptDlg.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsPageIndex.h"
#include "support/DialogCalls.h"
#include "support/SimulatedAxis.h"

namespace {

using Entries = QList<QPair<QString, QVariant>>;

void write(const QString& path, const Entries& entries, bool fresh)
{
    if (fresh)
        QFile::remove(path);
    IniSettings file(path);
    for (const auto& entry : entries)
        file.setValue(entry.first, entry.second);
}

QString controllerFile()
{
    return configDirPath() + QStringLiteral("/SM10001.cfg");
}

bool onAScreen(const QWidget& w, QSize minimum)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // Cut to the screen, but never below the form's minimum.
    return screen.contains(w.geometry().topLeft()) && w.width() <= std::max(screen.width(), minimum.width())
           && w.height() <= std::max(screen.height(), minimum.height()) && w.width() >= minimum.width()
           && w.height() >= minimum.height();
}

} // namespace

// The per-controller configuration file at the window's start and end.
class TestMainWindowConfig : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    std::unique_ptr<DeviceInterface> gateway;
    RecordingPrompter prompter;

    MainWindow* openWindow()
    {
        const device_t handle = openOnFreshSimulator(gateway, "sim:axis1");
        if (handle == -1)
            return nullptr;
        auto* window = new MainWindow(nullptr, handle, QStringLiteral("sim:axis1"), gateway.get());
        if (window->init() != MainWindow::InitStatus::Ready) {
            delete window;
            return nullptr;
        }
        return window;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home.filePath(QStringLiteral("share"))));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("share"))));
        QVERIFY(createConfigDir());
        MessagePrompter::install(&prompter);
    }

    void init()
    {
        prompter.texts.clear();
        QFile::remove(controllerFile());
        QFile::remove(settingsIniPath());
        QFile::remove(sharePath() + QStringLiteral("tolmodefault.cfg"));
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/../tolmodefault.cfg"),
                            sharePath() + QStringLiteral("tolmodefault.cfg")));
    }

    void cleanupTestCase() { MessagePrompter::install(nullptr); }

    void geometry_data()
    {
        QTest::addColumn<Entries>("controller");
        QTest::addColumn<Entries>("defaults");
        QTest::addColumn<QPoint>("mainPosition");
        QTest::addColumn<QPoint>("toolPosition");  // chart and script windows
        const QPoint far(5000, 3000);
        QTest::newRow("places on no screen")
            << Entries{{"mainWindow_params/fullScreen", false}, {"mainWindow_params/position", far},
                       {"mainWindow_params/size", QSize(700, 450)}, {"graphWindow_params/position", far},
                       {"graphWindow_params/size", QSize(5000, 5000)}, {"scriptWindow_params/position", far},
                       {"scriptWindow_params/size", QSize(5000, 5000)}}
            << Entries() << QPoint(100, 150) << QPoint(0, 0);  // moved up onto the screen; the others fill it
        // Without "fullScreen" the whole geometry of the main window comes from the defaults.
        QTest::newRow("no fullScreen")
            << Entries{{"mainWindow_params/position", QPoint(300, 300)}, {"mainWindow_params/size", QSize(700, 450)},
                       {"graphWindow_params/position", QPoint(10, 20)}, {"graphWindow_params/size", QSize(600, 400)},
                       {"scriptWindow_params/position", QPoint(10, 20)}, {"scriptWindow_params/size", QSize(600, 400)}}
            << Entries{{"mainWindow_params/fullScreen", false}, {"mainWindow_params/position", QPoint(20, 30)},
                       {"mainWindow_params/size", QSize(700, 450)}}
            << QPoint(20, 30) << QPoint(10, 20);
    }

    void geometry()
    {
        QFETCH(Entries, controller);
        QFETCH(Entries, defaults);
        QFETCH(QPoint, mainPosition);
        QFETCH(QPoint, toolPosition);
        write(controllerFile(), controller, true);
        write(sharePath() + QStringLiteral("tolmodefault.cfg"), defaults, false);
        std::unique_ptr<MainWindow> window(openWindow());
        QVERIFY(window);
        QCOMPARE(window->pos(), mainPosition);
        QVERIFY(onAScreen(*window, window->minimumSize()));
        for (QWidget* tool : {static_cast<QWidget*>(window->chartDialog()), static_cast<QWidget*>(window->scriptDialog())}) {
            QCOMPARE(tool->pos(), toolPosition);
            QVERIFY2(onAScreen(*tool, tool->minimumSize()), qPrintable(tool->objectName()));
        }
        window->chartDialog()->show();  // frame and status bar on the screen
        QVERIFY(window->chartDialog()->screen()->availableGeometry().contains(window->chartDialog()->frameGeometry()));
    }

    // The chart as the main window wires it: every field of a polled sample reaches a curve of its
    // own, and what the settings dialog applies reaches the chart.
    void chartWiring()
    {
        std::unique_ptr<MainWindow> window(openWindow());
        QVERIFY(window);
        ChartDlg* chart = window->chartDialog();
        for (int i = 0; i < ChartDlg::plotCount; ++i)
            chart->checkBox(i)->setChecked(true);
        chart->OnStartBtnClicked();
        status_t s{};
        chart_data_t c{};
        analog_data_t a{};
        s.CurPosition = 1001, s.uCurPosition = 3, s.EncPosition = 2002, s.CurSpeed = 303, s.uCurSpeed = 5;
        s.Ipwr = 404, s.Upwr = 1205, s.Iusb = 506, s.Uusb = 507, s.curT = 258, s.MoveSts = MOVE_STATE_MOVING;
        c.WindingVoltageA = 609, c.WindingVoltageB = 710, c.WindingVoltageC = 811, c.WindingCurrentA = 912;
        c.WindingCurrentB = 1013, c.WindingCurrentC = 1114, c.Joy = 1215, c.Pot = 1316, a.DutyCycle = 4217;
        const double d = window->settingsDialog()->motorSettings->microstepDivisor();
        const double plotted[ChartDlg::valuePlotCount] = {1001 + 3 / d, 303 + 5 / d, 2002, 12.05, 404, 12.05, 404,
                                                          5.07, 506, 6.09, 7.1, 8.11, 912, 1013, 1114, 42.17, 25.8,
                                                          1215, 1316};
        const unsigned flags[] = {0, STATE_RIGHT_EDGE, STATE_LEFT_EDGE, STATE_BUTTON_RIGHT, STATE_BUTTON_LEFT,
                                  STATE_GPIO_LEVEL, STATE_BRAKE, STATE_REV_SENSOR, STATE_SYNC_INPUT, STATE_SYNC_OUTPUT};
        PollingSilencer silencer;  // only these samples, each with one flag set, reach the chart
        for (int on = 0; on < 10; ++on) {
            s.GPIOFlags = flags[on];
            emit window->pollingThread()->finished(0, QDateTime::currentDateTimeUtc(), s, c, a, true, 2);
            chart->update();
            for (int i = 0; on > 0 && i < ChartDlg::valuePlotCount; ++i)
                QVERIFY2(qFuzzyCompare(chart->plot(i)->curve()->sample(0).y(), plotted[i]), ChartDlg::plotRows[i].text);
            for (int k = 0; on > 0 && k < GraphPlotMulti::flagCount; ++k)
                QCOMPARE(chart->flagPlot()->curve(k)->sample(0).y(), k + (k == on - 1 ? 1.9 : 1.0));
        }
        SettingsDlg* settings = window->settingsDialog();
        settings->page(SettingsPage::GraphSetup)->findChild<QSpinBox*>(QStringLiteral("datapointsValue"))->setValue(7);
        settings->page(SettingsPage::MotorType)->findChild<QRadioButton*>(QStringLiteral("dcMotorBtn"))->click();
        click(*settings, QDialogButtonBox::Apply);
        QCOMPARE(chart->windowSamples(), 70);
        QVERIFY(!chart->checkBox(9)->isEnabled() && chart->checkBox(15)->isEnabled());  // winding A, PWM
    }

    // An edit left unapplied in the open dialog is not what the exit stores.
    void exitSavesTheAppliedValues()
    {
        MainWindow* window = openWindow();
        QVERIFY(window);
        window->OnSettingsBtnPressed();
        auto* left = window->settingsDialog()->page(SettingsPage::Cyclic)->findChild<QSpinBox*>(QStringLiteral("leftPointValue"));
        QVERIFY(left);
        QCOMPARE(left->value(), 0);
        left->setValue(1234);
        delete window;
        IniSettings saved(controllerFile());
        QCOMPARE(saved.value(QStringLiteral("Cyclic/Left_point")).toInt(), 0);
        QCOMPARE(saved.value(QStringLiteral("Cyclic/Right_point")).toInt(), 2000);
        IniSettings ini(settingsIniPath());
        QCOMPARE(ini.value(QStringLiteral("Multiaxis/last_group")).toString(), QStringLiteral("SN_10001"));
        QCOMPARE(ini.value(QStringLiteral("SN_10001/0")).toUInt(), 10001u);
        QVERIFY(prompter.texts.isEmpty());
    }

    // Files that cannot be written (here a folder stands in their place) are reported, in the
    // log at level 1 and to the user, and the window still goes.
    void unwritableFilesAreReported()
    {
        MainWindow* window = openWindow();
        QVERIFY(window);
        QSignalSpy lines(window, &MainWindow::InsertLineSgn);
        QVERIFY(QDir().mkpath(controllerFile()));
        QVERIFY(QDir().mkpath(settingsIniPath()));
        delete window;
        QDir(controllerFile()).removeRecursively();
        QDir(settingsIniPath()).removeRecursively();
        QCOMPARE(prompter.texts,
                 QStringList({"The configuration could not be written to " + controllerFile() + ".\n"
                                  + controllerFile() + " is a folder",
                              "The configuration could not be written to " + settingsIniPath() + ".\n"
                                  + settingsIniPath() + " is a folder"}));
        int errors = 0;
        for (const QList<QVariant>& line : lines)
            errors += line.at(3).toInt() == 1 && line.at(1).toString().startsWith(QLatin1String("The configuration"));
        QCOMPARE(errors, 2);
    }
};

QTEST_MAIN(TestMainWindowConfig)
#include "tst_mainwindowconfig.moc"
