#include <QtTest>

#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>

#include <memory>

#include "support/RecordingPrompter.h"
#include "chartdlg/ChartDlg.h"
#include "common/IniSettings.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "device/DeviceInterface.h"
#include "mainwindow/MainWindow.h"
#include "scriptdlg/ScriptDlg.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsPageIndex.h"
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
            << Entries() << QPoint(100, 200) << QPoint(100, 200);
        // Without "fullScreen" the whole geometry of the main window comes from the defaults.
        QTest::newRow("no fullScreen")
            << Entries{{"mainWindow_params/position", QPoint(300, 300)}, {"mainWindow_params/size", QSize(700, 450)},
                       {"graphWindow_params/position", QPoint(10, 20)}, {"scriptWindow_params/position", QPoint(10, 20)}}
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
