// Every window of the program on the laptop screens it is used on.

#include <QtTest>

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QToolTip>

#include <climits>
#include <functional>
#include <memory>

#include "app/StartWindow.h"
#include "chartdlg/ChartDlg.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/WindowPlacement.h"
#include "device/ControllerSettings.h"
#include "mainwindow/MainWindow.h"
#include "multiaxis/DimensionalUnitsDlg.h"
#include "multiaxis/Multiaxis.h"
#include "multiaxis/PositionPlot.h"

#include <qwt_plot.h>
#include "scriptdlg/ScriptDlg.h"
#include "settingsdlg/CompareSettingsDialog.h"
#include "settingsdlg/RestoreErrorsDialog.h"
#include "settingsdlg/SettingsDlg.h"
#include "support/MotionWindowHarness.h"
#include "support/MultiaxisWindowRig.h"
#include "support/Screenshot.h"
#include "widgets/ElidingLabel.h"
#include "widgets/InfoBox.h"
#include "widgets/StepSpinBox.h"

namespace {

const char* const mixed = "axis1:10001:stepper;axis2:10002:dc;axis3:10003:bldc";
const char* const steppers = "axis1:10001:stepper;axis2:10002:stepper;axis3:10003:stepper";

void settle() { for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(); }

// The desktop's font for a while: 9 pt on the 1024x768 laptop, 11 pt on the 1366x768 one.
struct DesktopFont
{
    explicit DesktopFont(int points) { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), points)); }
    ~DesktopFont() { QApplication::setFont(before); }
    const QFont before = QApplication::font();
};

// Shows each window and keeps a picture of it; names those whose smallest frame, with the
// borders and title bar an X window manager adds, is larger than the screen (1024x768) less a panel.
QStringList tooBigForTheSmallestScreen(const QList<QPair<QString, QWidget*>>& windows, QSize screen = QSize(1024, 768))
{
    QStringList tooBig;
    for (const auto& window : windows) {
        window.second->show();
        settle();
        const QSize frame = window.second->minimumSize().expandedTo(window.second->minimumSizeHint()) + QSize(8, 32);
        if (frame.width() > screen.width() || frame.height() > screen.height() - 40)
            tooBig << QStringLiteral("%1 %2x%3").arg(window.first).arg(frame.width()).arg(frame.height());
        window.second->resize(window.second->size().boundedTo(screen - QSize(8, 72)));
        if (!keepScreenshot(*window.second, window.first + QStringLiteral(".png")))
            tooBig << window.first + QStringLiteral(" not drawn");
    }
    return tooBig;
}

// Whether a group box's title is drawn whole: its ink in the title row is as wide as the text.
bool titleWhole(QGroupBox* box)
{
    const QImage shot = box->grab().toImage();
    int first = shot.width(), last = -1;
    for (int y = 0; y < box->fontMetrics().height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (shot.pixel(x, y) != shot.pixel(shot.width() - 1, 1)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return box->width() >= box->minimumSizeHint().width()
           && last - first + 1 >= box->fontMetrics().horizontalAdvance(box->title()) - 3;
}

void feed(Multiaxis& w, int axis, int position, int mode = 2)
{
    status_t st{};
    st.CurPosition = position;
    st.MvCmdSts = 0x83;  // "Move left", running
    st.PWRSts = 3;
    st.CurSpeed = -12000;
    w.UpdateVars(axis, QDateTime(), st, chart_data_t{}, analog_data_t{}, mode != 0, mode);
}

// The frame lies on the screen; one wider or taller than the screen keeps its title bar's
// left end on it.
QString frameOffTheScreen(const QWidget& window)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry(), frame = window.frameGeometry();
    const bool on = screen.contains(frame.topLeft()) && (frame.right() <= screen.right() || frame.left() == screen.left())
                    && (frame.bottom() <= screen.bottom() || frame.top() == screen.top());
    return on ? QString()
              : QStringLiteral("%1 frame %2,%3 %4x%5").arg(window.objectName()).arg(frame.x()).arg(frame.y())
                    .arg(frame.width()).arg(frame.height());
}

} // namespace

class tst_windowsonscreen : public QObject
{
    Q_OBJECT

    MotionWindowHarness harness;

private slots:
    void initTestCase()
    {
        // The font an X desktop without a theme of its own gives, which the laptops have.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
        QVERIFY(harness.setUpHome());
        harness.home->setAutoRemove(!qEnvironmentVariableIsSet("TOLMO_KEEP_SCREENSHOTS"));
    }
    void cleanupTestCase() { harness.tearDownHome(); }

    void framePlaces_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QRect>("placed");
        const QSize small(300, 200);
        // On 1024x768 less a panel: the main window of 933 at x = 100, the settings dialog above it.
        QTest::newRow("fits: kept") << QRect(50, 60, 700, 500) << small << QRect(50, 60, 700, 500);
        QTest::newRow("right edge off") << QRect(100, 100, 941, 400) << small << QRect(83, 100, 941, 400);
        QTest::newRow("title bar above") << QRect(300, -30, 608, 600) << small << QRect(300, 0, 608, 600);
        QTest::newRow("taller than the screen") << QRect(300, 0, 608, 952) << small << QRect(300, 0, 608, 728);
        QTest::newRow("minimum taller: title bar kept") << QRect(300, 100, 608, 952) << QSize(608, 800)
                                                        << QRect(300, 0, 608, 800);
        QTest::newRow("on the second screen") << QRect(1500, 700, 400, 300) << small << QRect(1500, 668, 400, 300);
        QTest::newRow("on no screen") << QRect(5000, 5000, 400, 300) << small << QRect(624, 428, 400, 300);
    }
    void framePlaces()
    {
        QFETCH(QRect, frame);
        QFETCH(QSize, minimum);
        QFETCH(QRect, placed);
        QCOMPARE(frameOnScreen(frame, minimum, {QRect(0, 0, 1024, 728), QRect(1024, 0, 1366, 968)}), placed);
    }

    // Each window at its smallest fits the smallest screen; the settings dialog's stored place lies
    // on the (800x600) screen once the dialog has its real size, title bar first if too wide.
    void everyWindowFitsTheSmallestScreen()
    {
        QVERIFY(harness.openWindow());
        const MainWindow* main = harness.window;
        IniSettings places(QDir::home().filePath(QStringLiteral("places.cfg")));
        places.setValue(QStringLiteral("settingsWindow_params/position"), QPoint(300, -40));
        places.setValue(QStringLiteral("settingsWindow_params/size"), QSize(600, 920));
        main->settingsDialog()->FromSettingsToUi(&places, nullptr);
        main->settingsDialog()->show();
        settle();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry(), frame = main->settingsDialog()->frameGeometry();
        QVERIFY(screen.contains(frame.topLeft()) && frame.bottom() <= screen.bottom()
                && (frame.right() <= screen.right() || frame.left() == screen.left()));
        QCOMPARE(tooBigForTheSmallestScreen({{"main", harness.window.data()}, {"settings", main->settingsDialog()},
                                             {"chart", main->chartDialog()}, {"script", main->scriptDialog()}}),
                 QStringList());
        harness.closeWindow();
        // Settings X, Z, then Y, all from one stored place: each opens named, on the screen, clear of
        // the others where the screen has room beside it.
        MultiaxisWindowRig rig(3, mixed);
        Multiaxis& w = *rig.window;
        w.refreshTimer->stop();
        for (SettingsDlg* dialog : w.settingsDlgs)
            dialog->move(120, 40);
        w.OnSettings1BtnClicked();
        w.OnSettings3BtnClicked();
        w.OnSettings2BtnClicked();
        settle();
        for (int a = 0; a < 3; ++a) {
            const SettingsDlg* dialog = w.settingsDlgs[a];
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Settings %1, SN 1000%2").arg(QChar('X' + a)).arg(a + 1));
            const bool room = dialog->frameGeometry().width() + 64 <= screen.width();
            QVERIFY2(dialog->isVisible() && (!room || dialog->pos() != w.settingsDlgs[(a + 1) % 3]->pos())
                         && frameOffTheScreen(*dialog).isEmpty(),
                     qPrintable(dialog->windowTitle()));
        }
        DimensionalUnitsDlg units(nullptr, QStringLiteral("Dimensional unit setup"), true, QStringLiteral("mm"), 200, 1,
                                  2, {"10001", "10002", "10003"});
        CompareSettingsDialog compare(nullptr, {QStringLiteral("a.cfg"), QStringLiteral("b.cfg")});
        RestoreErrorsDialog restore(nullptr, {QStringLiteral("Engine_settings NomVoltage key not found")});
        InfoBox wait;
        StartWindow search(0);
        QCOMPARE(tooBigForTheSmallestScreen({{"multiaxis settings", w.settingsDlgs[0]}, {"multiaxis script", w.scriptDlg},
                                             {"units", &units}, {"compare", &compare}, {"restore report", &restore},
                                             {"wait box", &wait}, {"search", &search}}),
                 QStringList());
    }

    // Each window given a place off the (800x600) screen, by its stored place where it has
    // one, lands with its frame on the screen as it is shown; dragged off again, closed and
    // opened once more, it is back on the screen.
    void storedPlaceOffTheScreen_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QSize>("size");
        QTest::newRow("main, bottom right") << "main" << QPoint(500, 560) << QSize(633, 355);
        QTest::newRow("main, above the screen") << "main" << QPoint(-100, -300) << QSize(633, 355);
        QTest::newRow("settings, bottom right") << "settings" << QPoint(700, 500) << QSize(600, 920);
        QTest::newRow("chart, bottom right") << "chart" << QPoint(790, 590) << QSize(615, 260);
        QTest::newRow("chart, near the right edge") << "chart" << QPoint(300, 100) << QSize(700, 450);
        QTest::newRow("chart, too tall") << "chart" << QPoint(0, 100) << QSize(615, 2000);
        QTest::newRow("script, bottom right") << "script" << QPoint(790, 590) << QSize(615, 260);
        QTest::newRow("units") << "units" << QPoint(700, 550) << QSize();
        QTest::newRow("compare") << "compare" << QPoint(-300, 550) << QSize();
        QTest::newRow("restore report") << "restore" << QPoint(750, -100) << QSize();
        QTest::newRow("wait box") << "wait" << QPoint(790, 590) << QSize();
        QTest::newRow("search") << "search" << QPoint(700, 580) << QSize();
        QTest::newRow("multi-axis") << "multiaxis" << QPoint(600, 500) << QSize();
        QTest::newRow("multi-axis settings") << "multiaxis settings" << QPoint(700, 590) << QSize();
        QTest::newRow("multi-axis script") << "multiaxis script" << QPoint(700, 590) << QSize();
    }
    void storedPlaceOffTheScreen()
    {
        QFETCH(QString, window);
        QFETCH(QPoint, position);
        QFETCH(QSize, size);
        const bool single = QStringList{"main", "settings", "chart", "script"}.contains(window);
        if (single) {
            // Where the program reads the places from: the defaults, for a controller without a file of its own.
            IniSettings places(QDir::home().filePath(QStringLiteral("share/tolmodefault.cfg")));
            const QString group = window == QLatin1String("main")       ? QStringLiteral("mainWindow_params")
                                  : window == QLatin1String("settings") ? QStringLiteral("settingsWindow_params")
                                  : window == QLatin1String("chart")    ? QStringLiteral("graphWindow_params")
                                                                        : QStringLiteral("scriptWindow_params");
            places.clear();
            // Not the places a row before stored for the controller.
            for (const QString& stored : QDir(configDirPath()).entryList({QStringLiteral("*.cfg")}))
                QFile::remove(configDirPath() + QLatin1Char('/') + stored);
            places.setValue(QStringLiteral("mainWindow_params/fullScreen"), false);
            places.setValue(group + QStringLiteral("/position"), position);
            places.setValue(group + QStringLiteral("/size"), size);
        }
        std::unique_ptr<MultiaxisWindowRig> rig;
        std::unique_ptr<QWidget> own;
        QWidget* shown = nullptr;
        std::function<void()> open;
        // A failed row closes its main window too.
        const std::unique_ptr<MotionWindowHarness, void (*)(MotionWindowHarness*)> closer(
            single ? &harness : nullptr, [](MotionWindowHarness* h) { h->closeWindow(); });
        if (single) {
            QVERIFY(harness.openWindow());
            MainWindow* main = harness.window;
            const struct { const char* name; QWidget* window; QAbstractButton* button; } windows[] = {
                {"main", main, nullptr},
                {"settings", main->settingsDialog(), main->form()->settingsBtn},
                {"chart", main->chartDialog(), main->form()->chartBtn},
                {"script", main->scriptDialog(), main->form()->scriptBtn},
            };
            for (const auto& row : windows) {
                if (window == QLatin1String(row.name)) {
                    shown = row.window;
                    open = row.button ? std::function<void()>([row] { row.button->click(); })
                                      : std::function<void()>([row] { row.window->show(); });
                }
            }
        } else if (window.startsWith(QLatin1String("multiaxis"))) {
            rig = std::make_unique<MultiaxisWindowRig>(3, mixed);
            Multiaxis& w = *rig->window;
            w.refreshTimer->stop();
            shown = &w;
            open = [&w] { w.show(); };
            if (window == QLatin1String("multiaxis settings")) {
                shown = w.settingsDlgs[1];
                open = [&w] { w.OnSettings2BtnClicked(); };
            } else if (window == QLatin1String("multiaxis script")) {
                shown = w.scriptDlg;
                open = [&w] { w.OnScriptingBtnPressed(); };
            }
            if (shown != &w)
                w.show();
            shown->move(position);
        } else {
            if (window == QLatin1String("units"))
                own = std::make_unique<DimensionalUnitsDlg>(nullptr, QStringLiteral("Dimensional unit setup"), true,
                                                            QStringLiteral("mm"), 200, 1, 2,
                                                            QStringList{"10001", "10002", "10003"});
            else if (window == QLatin1String("compare"))
                own = std::make_unique<CompareSettingsDialog>(nullptr, QStringList{"a.cfg", "b.cfg"});
            else if (window == QLatin1String("restore"))
                own = std::make_unique<RestoreErrorsDialog>(nullptr, QStringList{"Engine_settings NomVoltage key not found"});
            else if (window == QLatin1String("wait"))
                own = std::make_unique<InfoBox>();
            else
                own = std::make_unique<StartWindow>(0);
            shown = own.get();
            shown->move(position);
            open = [&own] { own->show(); };
        }
        QVERIFY(shown);
        if (!shown->isVisible())
            open();
        settle();
        QVERIFY2(shown->isVisible(), qPrintable(window));
        QCOMPARE(frameOffTheScreen(*shown), QString());
        // The settings dialog keeps the most of its stored size that the screen has room for.
        if (window == QLatin1String("settings"))
            QCOMPARE(shown->frameGeometry().bottom(), QGuiApplication::primaryScreen()->availableGeometry().bottom());
        // A window moved onto the screen keeps its stored size where the screen has room for
        // it; the size it stores is that one, never the one a small screen cut it to.
        const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size() - QSize(8, 32);
        if (single && size.width() <= room.width() && size.height() <= room.height())
            QCOMPARE(shown->size(), size.expandedTo(shown->minimumSize().expandedTo(shown->minimumSizeHint())));
        if (window == QLatin1String("chart")) {
            IniSettings stored(QDir::home().filePath(QStringLiteral("stored.cfg")));
            harness.window->chartDialog()->FromUiToSettings(&stored);
            QCOMPARE(stored.value(QStringLiteral("graphWindow_params/size")).toSize(), size);
        }

        shown->move(position + QPoint(150, 150));
        shown->hide();
        settle();
        open();
        settle();
        QCOMPARE(frameOffTheScreen(*shown), QString());
    }

    // The single-axis window at its smallest, at the font sizes of the two laptops: the log
    // table has room for five lines, and a line cut at its end reads whole on hover.
    void singleAxisLogReads_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("9 pt") << 9;
        QTest::newRow("11 pt") << 11;
    }
    void singleAxisLogReads()
    {
        QFETCH(int, points);
        const DesktopFont font(points);
        QVERIFY(harness.openWindow());
        const std::unique_ptr<MotionWindowHarness, void (*)(MotionWindowHarness*)> closer(
            &harness, [](MotionWindowHarness* h) { h->closeWindow(); });
        MainWindow* main = harness.window;
        main->resize(main->minimumSizeHint());
        const QString cut = QStringLiteral("SN 10001, Move to: \"99999999999\" is beyond what the box can hold, "
                                           "-2147483648 to 2147483647 steps; nothing was sent.");
        for (int i = 0; i < 8; ++i)
            harness.log->InsertLine(QDateTime::currentDateTime(), i < 7 ? QStringLiteral("line %1").arg(i) : cut,
                                    QStringLiteral("Tolmo"), 2, main->currentLogSettings());
        QVERIFY(harness.tableShows(cut));
        settle();
        QTableWidget* table = main->form()->logEdit;
        QVERIFY2(table->viewport()->height() >= 5 * table->rowHeight(0), qPrintable(QString::number(table->viewport()->height())));
        const int last = table->rowCount() - 1;
        QCOMPARE(table->item(last, 3)->text(), cut);
        QCOMPARE(table->item(last, 3)->toolTip(), cut);
    }

    void multiaxisWholeOnTheSmallestScreen_data()
    {
        QTest::addColumn<QString>("controllers");
        QTest::addColumn<bool>("units");
        QTest::addColumn<QList<int>>("modes");  // of X, Y and Z: 0 lost, 1 bootloader, 2 working
        QTest::addColumn<int>("points");        // the desktop's font: 9 pt at 1024x768, 11 pt at 1366x768
        QTest::newRow("steppers") << steppers << false << QList<int>{2, 2, 2} << 9;
        QTest::newRow("steppers, 11 pt") << steppers << false << QList<int>{2, 2, 2} << 11;
        QTest::newRow("stepper, DC, brushless") << mixed << false << QList<int>{2, 2, 2} << 9;
        QTest::newRow("user units") << mixed << true << QList<int>{2, 2, 2} << 9;
        QTest::newRow("user units, 11 pt") << steppers << true << QList<int>{2, 2, 2} << 11;
        QTest::newRow("Y lost, Z in its bootloader") << mixed << false << QList<int>{2, 0, 1} << 9;
        QTest::newRow("units, Y in its bootloader, Z lost") << steppers << true << QList<int>{2, 1, 0} << 9;
    }

    // At its smallest every control and the message line lie inside the window, every slot title
    // and value whole; a DC or brushless position is in counts. Units switched and a far
    // position keep the width: that position is cut, and whole on hover.
    void multiaxisWholeOnTheSmallestScreen()
    {
        QFETCH(QString, controllers);
        QFETCH(bool, units);
        QFETCH(QList<int>, modes);
        QFETCH(int, points);
        const DesktopFont font(points);
        MultiaxisWindowRig rig(3, qPrintable(controllers));
        Multiaxis& w = *rig.window;
        w.refreshTimer->stop();
        for (UpdateThread* thread : w.updateThreads)
            QObject::disconnect(thread, nullptr, &w, nullptr);
        // Targets as wide as a table's travel: whole in every box.
        for (int s = 0; s < 3; ++s) {
            w.spinBox_moveTo[s]->setValue(-20000, -128);
            w.spinBox_shiftOn[s]->setValue(-3000, 0);
        }
        w.receiveUnits(units, QStringLiteral("mm"), 3, 1, 2);
        for (int a = 0; a < 3; ++a)
            feed(w, a, -1234 * (a + 1), modes[a]);
        w.settingsDlgs[2]->controllerSettings->bootloaderMajor = 1;
        w.settingsDlgs[2]->controllerSettings->bootloaderMinor = 2;
        w.show();
        w.UpdateState();
        w.resize(w.minimumSize());
        const QString picture = QStringLiteral("multiaxis-%1").arg(QTest::currentDataTag()).replace(' ', '_');
        QCOMPARE(tooBigForTheSmallestScreen({{picture, &w}}, points > 9 ? QSize(1366, 768) : QSize(1024, 768)), QStringList());
        for (QWidget* control : w.findChildren<QWidget*>()) {
            const auto* button = qobject_cast<QPushButton*>(control);
            if ((button && button->isVisible()) || control->objectName() == QLatin1String("messageLine"))
                QVERIFY2(w.rect().contains(QRect(control->mapTo(&w, QPoint()), control->size()))
                             && (!button || button->text().isEmpty() || button->width() >= button->minimumSizeHint().width()),
                         qPrintable(control->objectName()));
        }
        for (int s = 0; s < 3; ++s) {
            QVERIFY2(titleWhole(w.groupBox[s]), qPrintable(w.groupBox[s]->title()));
            for (StepSpinBox* box : {w.spinBox_moveTo[s], w.spinBox_shiftOn[s]}) {
                const QLineEdit* edit = box->findChild<QLineEdit*>();
                QVERIFY2(edit->fontMetrics().horizontalAdvance(box->text()) + 4 <= edit->contentsRect().width(),
                         qPrintable(QStringLiteral("%1 in %2 at %3 pt").arg(box->text()).arg(edit->contentsRect().width()).arg(points)));
            }
            for (QLabel* value : {w.voltageValue[s], w.currentValue[s], w.speedValue[s], w.commandValue[s], w.powerValue[s]})
                QVERIFY2(value->width() >= value->sizeHint().width(), qPrintable(value->text()));
            auto* position = qobject_cast<ElidingLabel*>(w.curPos[s]);
            QVERIFY2(position && !position->isElided(), qPrintable(w.curPos[s]->text()));
            const bool counts = controllers == QLatin1String(mixed) && s > 0;
            if (!units && modes[s] == 2)
                QCOMPARE(position->text().contains('/') + w.spinBox_moveTo[s]->text().contains('/'), counts ? 0 : 2);
            if (!units && counts)
                QVERIFY(w.spinBox_shiftOn[s]->text().endsWith(QLatin1String(" counts")));
        }

        // The Z plot is a plot, not a strip.
        QVERIFY2(w.plot->plotZ->canvas()->width() >= PositionPlot::zCanvasWidth, qPrintable(QString::number(w.plot->plotZ->canvas()->width())));

        const int width = w.width();
        feed(w, 0, INT_MIN);
        w.receiveUnits(!units, QStringLiteral("mm"), 3, 1, 2);
        w.UpdateState();
        settle();
        QCOMPARE(w.width(), width);
        auto* far = qobject_cast<ElidingLabel*>(w.curPos[0]);
        // At 11 pt the wider target boxes give its column the room.
        if (points > 9 && !far->isElided())
            return;
        QVERIFY(far->isElided());
        QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), far->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(far, &hover);
        QCOMPARE(QToolTip::text(), far->text());
    }
};

QTEST_MAIN(tst_windowsonscreen)
#include "tst_windowsonscreen.moc"
