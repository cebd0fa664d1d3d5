// The program's windows on a real X screen under a window manager, which frames each window
// only once it is mapped: every frame, title bar included, lies on the screen. Run by
// under-window-manager.sh at 1024x768 and 1366x768.

#include <QtTest>
#include "support/TestTime.h"

#include <QElapsedTimer>
#include <QScreen>

#include "app/StartWindow.h"
#include "common/FileChooser.h"
#include "chartdlg/ChartDlg.h"
#include "common/IniSettings.h"
#include "mainwindow/MainWindow.h"
#include "multiaxis/Multiaxis.h"
#include "scriptdlg/ScriptDlg.h"
#include "settingsdlg/SettingsDlg.h"
#include "support/MotionWindowHarness.h"
#include "support/MultiaxisWindowRig.h"

namespace {

// Waits until the window manager has framed the window (unless it has no frame) and the frame
// stays still. A window still unframed after 5 s counts as framed as it stands: openbox at
// times leaves a window of a busy program undecorated, and its place is checked all the same.
bool framedAndStill(const QWidget& window)
{
    QElapsedTimer waited;
    waited.start();
    QRect last;
    int still = 0;
    while (waited.elapsed() < scaledMs(5000)) {
        QTest::qWait(20);
        const QRect frame = window.frameGeometry();
        const bool framed = frame != window.geometry() || (window.windowFlags() & Qt::FramelessWindowHint);
        still = framed && window.isVisible() && frame == last ? still + 1 : 0;
        if (still >= 5)
            return true;
        last = frame;
    }
    return window.isVisible() && window.frameGeometry() == window.geometry();
}

// Empty when the window's frame lies wholly on the screen, else where it is.
QString whereOffTheScreen(const QString& name, const QWidget& window)
{
    if (!framedAndStill(window))
        return name + QStringLiteral(" never framed");
    const QRect screen = window.screen()->availableGeometry(), frame = window.frameGeometry();
    if (screen.contains(frame))
        return QString();
    return QStringLiteral("%1 frame %2,%3 %4x%5 on %6x%7").arg(name).arg(frame.x()).arg(frame.y()).arg(frame.width())
        .arg(frame.height()).arg(screen.width()).arg(screen.height());
}

void keepScreen(const QString& name)
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QDir::home().filePath(QStringLiteral("%1-%2.png").arg(name, qEnvironmentVariable("TOLMO_SCREEN_SIZE"))));
}

} // namespace

class tst_framesonscreen : public QObject
{
    Q_OBJECT

    MotionWindowHarness harness;

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("Needs an X screen under a window manager: run through under-window-manager.sh");
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
        QVERIFY(harness.setUpHome());
        harness.home->setAutoRemove(!qEnvironmentVariableIsSet("TOLMO_KEEP_SCREENSHOTS"));
    }
    void cleanupTestCase() { harness.tearDownHome(); }

    // The main, settings, script and chart windows, each from its stored place (none: the
    // program's own defaults), on their first show and again after a close.
    void singleAxisWindows_data()
    {
        QTest::addColumn<QPoint>("position");  // of every window; none: nothing stored
        QTest::newRow("nothing stored") << QPoint();
        QTest::newRow("at the top edge") << QPoint(100, 0);
        QTest::newRow("at the bottom right") << QPoint(1300, 700);
    }
    void singleAxisWindows()
    {
        QFETCH(QPoint, position);
        {
            IniSettings places(QDir::home().filePath(QStringLiteral("share/tolmodefault.cfg")));
            places.clear();
            if (!position.isNull()) {
                places.setValue(QStringLiteral("mainWindow_params/fullScreen"), false);
                for (const char* group : {"mainWindow_params", "settingsWindow_params", "scriptWindow_params", "graphWindow_params"}) {
                    places.setValue(QLatin1String(group) + QStringLiteral("/position"), position);
                    places.setValue(QLatin1String(group) + QStringLiteral("/size"), QSize(700, 920));
                }
            }
        }
        QVERIFY(harness.openWindow());
        const std::unique_ptr<MotionWindowHarness, void (*)(MotionWindowHarness*)> closer(
            &harness, [](MotionWindowHarness* h) { h->closeWindow(); });
        MainWindow* main = harness.window;
        QStringList off;
        off << whereOffTheScreen(QStringLiteral("main"), *main);
        main->form()->settingsBtn->click();
        off << whereOffTheScreen(QStringLiteral("settings"), *main->settingsDialog());
        main->form()->scriptBtn->click();
        off << whereOffTheScreen(QStringLiteral("script"), *main->scriptDialog());
        main->form()->chartBtn->click();
        off << whereOffTheScreen(QStringLiteral("chart"), *main->chartDialog());
        keepScreen(QStringLiteral("single-axis-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        main->settingsDialog()->reject();
        QTest::qWait(50);
        main->form()->settingsBtn->click();
        off << whereOffTheScreen(QStringLiteral("settings again"), *main->settingsDialog());
        off.removeAll(QString());
        QCOMPARE(off.join(QStringLiteral("; ")), QString());
    }

    // Settings X, Z, then Y from one stored place low on the screen, each stepped off the
    // others, lie on the screen; the window itself and the search window too. (Where each lands
    // is the window manager's to choose: openbox at times puts a window at its own place.)
    void multiaxisWindows()
    {
        MultiaxisWindowRig rig(3, "axis1:10001:stepper;axis2:10002:dc;axis3:10003:bldc");
        Multiaxis& w = *rig.window;
        w.refreshTimer->stop();
        QStringList off;
        w.move(200, 300);
        w.show();
        off << whereOffTheScreen(QStringLiteral("multi-axis"), w);
        const QRect screen = w.screen()->availableGeometry();
        for (SettingsDlg* dialog : w.settingsDlgs)
            dialog->move(screen.width() - 900, screen.height() - 700);
        w.OnSettings1BtnClicked();
        off << whereOffTheScreen(QStringLiteral("settings X"), *w.settingsDlgs[0]);
        w.OnSettings3BtnClicked();
        off << whereOffTheScreen(QStringLiteral("settings Z"), *w.settingsDlgs[2]);
        w.OnSettings2BtnClicked();
        off << whereOffTheScreen(QStringLiteral("settings Y"), *w.settingsDlgs[1]);
        keepScreen(QStringLiteral("multiaxis-settings"));
        for (SettingsDlg* dialog : w.settingsDlgs)
            dialog->hide();
        w.OnScriptingBtnPressed();
        off << whereOffTheScreen(QStringLiteral("multi-axis script"), *w.scriptDlg);
        StartWindow search(0);
        search.show();
        off << whereOffTheScreen(QStringLiteral("search"), search);
        keepScreen(QStringLiteral("multiaxis-script-search"));
        off.removeAll(QString());
        QCOMPARE(off.join(QStringLiteral("; ")), QString());
    }

    // Windows that nothing placed before, shown for the first time: the three axes' settings
    // opened at once land at three places, the units dialog, the script window and the restore
    // report (twice) over the window that opened them, never in the screen's corner.
    void firstShowsOverTheirWindow()
    {
        QStringList wrong;
        const auto over = [&wrong](const QString& name, const QWidget& window, const QWidget& owner) {
            if (!framedAndStill(window))
                wrong << name + QStringLiteral(" never framed");
            else if (!owner.frameGeometry().contains(window.frameGeometry().center()))
                wrong << QStringLiteral("%1 at %2,%3").arg(name).arg(window.frameGeometry().x()).arg(window.frameGeometry().y());
        };
        {
            MultiaxisWindowRig rig(3, "axis1:10001:stepper;axis2:10002:stepper;axis3:10003:stepper");
            Multiaxis& w = *rig.window;
            w.refreshTimer->stop();
            w.show();
            QVERIFY(framedAndStill(w));
            w.OnSettings1BtnClicked();
            w.OnSettings2BtnClicked();
            w.OnSettings3BtnClicked();
            QList<QPoint> places;
            for (SettingsDlg* dialog : w.settingsDlgs) {
                QVERIFY(framedAndStill(*dialog));
                places << dialog->frameGeometry().topLeft();
            }
            keepScreen(QStringLiteral("multiaxis-three-settings"));
            QVERIFY2(places[0] != places[1] && places[1] != places[2] && places[0] != places[2],
                     qPrintable(QStringLiteral("%1,%2 %3,%4 %5,%6").arg(places[0].x()).arg(places[0].y()).arg(places[1].x())
                                    .arg(places[1].y()).arg(places[2].x()).arg(places[2].y())));
            for (SettingsDlg* dialog : w.settingsDlgs)
                dialog->hide();
            QTimer::singleShot(0, [&] {
                QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget(), scaledMs(5000));
                QWidget* units = QApplication::activeModalWidget();
                over(QStringLiteral("units"), *units, w);
                units->close();
            });
            w.OnCalibrationBtnPressed();
            w.OnScriptingBtnPressed();
            over(QStringLiteral("script"), *w.scriptDlg, w);
        }
        QVERIFY(harness.openWindow());
        const std::unique_ptr<MotionWindowHarness, void (*)(MotionWindowHarness*)> closer(
            &harness, [](MotionWindowHarness* h) { h->closeWindow(); });
        SettingsDlg* settings = harness.window->settingsDialog();
        harness.window->form()->settingsBtn->click();
        QVERIFY(framedAndStill(*settings));
        QFile junk(QDir::home().filePath(QStringLiteral("junk.cfg")));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("just some text\n") > 0);
        junk.close();
        struct Junk : FileChooser
        {
            QString openFileName(QWidget*, const QString&, const QString&, const QString&) override
            {
                return QDir::home().filePath(QStringLiteral("junk.cfg"));
            }
        } chooser;
        FileChooser::install(&chooser);
        for (int i = 0; i < 2; ++i) {
            QTimer::singleShot(0, [&] {
                QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget(), scaledMs(5000));
                QWidget* report = QApplication::activeModalWidget();
                over(QStringLiteral("restore report %1").arg(i + 1), *report, *settings);
                report->close();
            });
            settings->OnRestoreFileBtnClicked();
        }
        FileChooser::install(nullptr);
        QCOMPARE(wrong.join(QStringLiteral("; ")), QString());
    }
};

QTEST_MAIN(tst_framesonscreen)
#include "wm_framesonscreen.moc"
