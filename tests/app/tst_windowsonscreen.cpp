// Every window of the program on the laptop screens it is used on: each opens wholly on its
// screen, title bar included, and the multi-axis window can be used whole on the smallest one.

#include <QtTest>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>

#include <climits>
#include <memory>

#include "app/StartWindow.h"
#include "chartdlg/ChartDlg.h"
#include "common/IniSettings.h"
#include "common/WindowPlacement.h"
#include "device/ControllerSettings.h"
#include "mainwindow/MainWindow.h"
#include "multiaxis/DimensionalUnitsDlg.h"
#include "multiaxis/Multiaxis.h"
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

// The smallest frame of a window, with the borders and title bar an X window manager adds.
QSize smallestFrame(const QWidget& window)
{
    return window.minimumSize().expandedTo(window.minimumSizeHint()) + QSize(8, 32);
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Whether a group box's title is drawn whole: its ink in the title row is as wide as the text
// (a cut title loses its last glyph or more).
bool titleWhole(QGroupBox* box)
{
    const QImage shot = box->grab().toImage();
    const QRgb ground = shot.pixel(shot.width() - 1, 1);
    int first = shot.width(), last = -1;
    for (int y = 0; y < box->fontMetrics().height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (shot.pixel(x, y) != ground) {
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

} // namespace

class tst_windowsonscreen : public QObject
{
    Q_OBJECT

private:
    MotionWindowHarness harness;

private slots:
    void initTestCase();
    void cleanupTestCase() { harness.tearDownHome(); }
    void framePlaces_data();
    void framePlaces();
    void everyWindowFitsEveryScreen_data();
    void everyWindowFitsEveryScreen();
    void storedPlaceOpensOnTheScreen();
    void multiaxisWholeOnTheSmallestScreen_data();
    void multiaxisWholeOnTheSmallestScreen();
    void axisSettingsOpenApartAndNamed();
};

void tst_windowsonscreen::initTestCase()
{
    // The font an X desktop without a theme of its own gives, which the laptops have.
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    QVERIFY(harness.setUpHome());
    harness.home->setAutoRemove(!qEnvironmentVariableIsSet("TOLMO_KEEP_SCREENSHOTS"));
}

void tst_windowsonscreen::framePlaces_data()
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

void tst_windowsonscreen::framePlaces()
{
    QFETCH(QRect, frame);
    QFETCH(QSize, minimum);
    QFETCH(QRect, placed);
    QCOMPARE(frameOnScreen(frame, minimum, {QRect(0, 0, 1024, 728), QRect(1024, 0, 1366, 968)}), placed);
}

void tst_windowsonscreen::everyWindowFitsEveryScreen_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("screen");  // less a 40-pixel panel
    for (const char* window : {"main", "settings", "chart", "script", "units", "compare", "restore report",
                               "wait box", "search", "multiaxis", "multiaxis settings", "multiaxis script"}) {
        for (const QSize& screen : {QSize(1024, 728), QSize(1366, 728), QSize(1920, 1040)})
            QTest::addRow("%s at %dx%d", window, screen.width(), screen.height() + 40) << QString::fromLatin1(window)
                                                                                    << screen;
    }
}

// Each window at its smallest fits the screen with its frame, so it can be put wholly on it.
void tst_windowsonscreen::everyWindowFitsEveryScreen()
{
    QFETCH(QString, window);
    QFETCH(QSize, screen);
    std::unique_ptr<MultiaxisWindowRig> rig;
    std::unique_ptr<QWidget> own;
    QWidget* shown = nullptr;
    if (window.startsWith(QLatin1String("multiaxis"))) {
        rig = std::make_unique<MultiaxisWindowRig>(3, mixed);
        const Multiaxis* w = rig->window.get();
        shown = window.endsWith(QLatin1String("settings")) ? static_cast<QWidget*>(w->settingsDlgs[0])
                : window.endsWith(QLatin1String("script")) ? static_cast<QWidget*>(w->scriptDlg)
                                                           : rig->window.get();
    } else if (QStringList{"main", "settings", "chart", "script"}.contains(window)) {
        QVERIFY(harness.openWindow());
        const MainWindow* main = harness.window;
        shown = window == QLatin1String("main")       ? static_cast<QWidget*>(harness.window.data())
                : window == QLatin1String("settings") ? static_cast<QWidget*>(main->settingsDialog())
                : window == QLatin1String("chart")    ? static_cast<QWidget*>(main->chartDialog())
                                                      : main->scriptDialog();
    } else {
        if (window == QLatin1String("units"))
            own.reset(new DimensionalUnitsDlg(nullptr, QStringLiteral("Dimensional unit setup"), true,
                                              QStringLiteral("mm"), 200, 1, 2, {"10001", "10002", "10003"}));
        else if (window == QLatin1String("compare"))
            own.reset(new CompareSettingsDialog(nullptr, {QStringLiteral("a.cfg"), QStringLiteral("b.cfg")}));
        else if (window == QLatin1String("restore report"))
            own.reset(new RestoreErrorsDialog(nullptr, {QStringLiteral("Engine_settings NomVoltage key not found")}));
        else if (window == QLatin1String("wait box"))
            own.reset(new InfoBox());
        else
            own.reset(new StartWindow(0));
        shown = own.get();
    }
    shown->show();
    settle();
    const QSize smallest = smallestFrame(*shown);
    QVERIFY2(smallest.width() <= screen.width() && smallest.height() <= screen.height(),
             qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
    if (screen.width() == 1024) {
        shown->resize(shown->size().boundedTo(screen - QSize(8, 32)));
        QVERIFY(keepScreenshot(*shown, window + QStringLiteral(".png")));
    }
    shown->hide();
    if (harness.window)
        harness.closeWindow();
}

// The place the configuration file holds is applied before the dialog is shown; once shown,
// at its real size, it lies on the (800x600) screen, title bar first where it is too wide.
void tst_windowsonscreen::storedPlaceOpensOnTheScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(harness.openWindow());
    IniSettings places(QDir::home().filePath(QStringLiteral("places.cfg")));
    places.setValue(QStringLiteral("settingsWindow_params/position"), QPoint(300, -40));
    places.setValue(QStringLiteral("settingsWindow_params/size"), QSize(600, 920));
    SettingsDlg* settings = harness.window->settingsDialog();
    settings->FromSettingsToUi(&places, nullptr);
    settings->show();
    settle();
    const QRect frame = settings->frameGeometry();
    QVERIFY(screen.contains(frame.topLeft()) && frame.bottom() <= screen.bottom());
    QVERIFY(frame.right() <= screen.right() || frame.left() == screen.left());
    harness.closeWindow();
}

void tst_windowsonscreen::multiaxisWholeOnTheSmallestScreen_data()
{
    QTest::addColumn<QString>("controllers");
    QTest::addColumn<bool>("units");
    QTest::addColumn<int>("yMode");  // 0 lost, 1 bootloader, 2 working
    QTest::addColumn<int>("zMode");
    QTest::newRow("steppers") << steppers << false << 2 << 2;
    QTest::newRow("stepper, DC, brushless") << mixed << false << 2 << 2;
    QTest::newRow("user units") << mixed << true << 2 << 2;
    QTest::newRow("Y lost, Z in its bootloader") << mixed << false << 0 << 1;
    QTest::newRow("units, Y in its bootloader, Z lost") << steppers << true << 1 << 0;
}

// At its smallest the window fits 1024x768 less a panel, frame included, with every control
// and the message line inside it and every slot title and value whole.
void tst_windowsonscreen::multiaxisWholeOnTheSmallestScreen()
{
    QFETCH(QString, controllers);
    QFETCH(bool, units);
    QFETCH(int, yMode);
    QFETCH(int, zMode);
    MultiaxisWindowRig rig(3, qPrintable(controllers));
    Multiaxis& w = *rig.window;
    w.refreshTimer->stop();
    for (UpdateThread* thread : w.updateThreads)
        QObject::disconnect(thread, nullptr, &w, nullptr);
    w.receiveUnits(units, QStringLiteral("mm"), 3, 1, 2);
    const int modes[] = {2, yMode, zMode};
    for (int a = 0; a < 3; ++a)
        feed(w, a, -1234 * (a + 1), modes[a]);
    w.settingsDlgs[2]->controllerSettings->bootloaderMajor = 1;
    w.settingsDlgs[2]->controllerSettings->bootloaderMinor = 2;
    w.show();
    w.UpdateState();
    w.resize(w.minimumSize());
    settle();

    const QSize smallest = smallestFrame(w);
    QVERIFY2(smallest.width() <= 1024 && smallest.height() <= 728,
             qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
    for (const char* name : {"pushButton_exit", "pushButton_scripting", "pushButton_calibration", "pushButton_settings_1",
                             "pushButton_settings_2", "pushButton_settings_3", "pushButton_joyDec_1",
                             "pushButton_joyInc_1", "pushButton_joyDec_2", "pushButton_joyInc_2", "pushButton_joyDec_3",
                             "pushButton_joyInc_3", "pushButton_STOP", "pushButton_softStop", "pushButton_moveTo",
                             "pushButton_shiftOn", "pushButton_home", "pushButton_zero", "messageLine"}) {
        auto* control = w.findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(control->isVisible() && w.rect().contains(QRect(control->mapTo(&w, QPoint()), control->size())), name);
        if (auto* button = qobject_cast<QPushButton*>(control); button && !button->text().isEmpty())
            QVERIFY2(button->width() >= button->minimumSizeHint().width(), name);
    }
    for (int s = 0; s < 3; ++s) {
        QVERIFY2(titleWhole(w.groupBox[s]), qPrintable(w.groupBox[s]->title()));
        for (QLabel* value : {w.voltageValue[s], w.currentValue[s], w.speedValue[s], w.commandValue[s], w.powerValue[s]})
            QVERIFY2(value->width() >= value->sizeHint().width(), qPrintable(value->text()));
        auto* position = qobject_cast<ElidingLabel*>(w.curPos[s]);
        QVERIFY2(position && !position->isElided(), qPrintable(w.curPos[s]->text()));
        // A DC or brushless motor counts: no microstep part, in the label or in the boxes.
        const bool counts = controllers == QLatin1String(mixed) && s > 0;
        if (!units && modes[s] == 2) {
            QCOMPARE(position->text().contains(QLatin1Char('/')), !counts);
            QCOMPARE(w.spinBox_moveTo[s]->text().contains(QLatin1Char('/')), !counts);
        }
        if (!units && counts)
            QVERIFY(w.spinBox_shiftOn[s]->text().endsWith(QLatin1String(" counts")));
    }
    QVERIFY(keepScreenshot(w, QStringLiteral("multiaxis-%1.png").arg(QTest::currentDataTag()).replace(' ', '_')));

    // Units switched and a far position keep the width; that position is cut, and whole on hover.
    const int width = w.width();
    feed(w, 0, INT_MIN);
    w.receiveUnits(!units, QStringLiteral("mm"), 3, 1, 2);
    w.UpdateState();
    settle();
    QCOMPARE(w.width(), width);
    auto* far = qobject_cast<ElidingLabel*>(w.curPos[0]);
    QVERIFY(far->isElided());
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), far->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(far, &hover);
    QCOMPARE(QToolTip::text(), far->text());
}

// Settings X, then Z and Y, all from one stored place: each opens clear of the others, named.
void tst_windowsonscreen::axisSettingsOpenApartAndNamed()
{
    MultiaxisWindowRig rig(3, mixed);
    Multiaxis& w = *rig.window;
    w.refreshTimer->stop();
    for (SettingsDlg* dialog : w.settingsDlgs)
        dialog->move(120, 40);
    w.OnSettings1BtnClicked();
    w.OnSettings3BtnClicked();
    w.OnSettings2BtnClicked();
    settle();
    QList<QPoint> places;
    for (int a = 0; a < 3; ++a) {
        const SettingsDlg* dialog = w.settingsDlgs[a];
        QVERIFY2(dialog->isVisible() && !places.contains(dialog->pos()), qPrintable(dialog->windowTitle()));
        places << dialog->pos();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Settings %1, SN %2")
                                            .arg(QLatin1String(Multiaxis::slotLetters[a]))
                                            .arg(dialog->controllerSettings->serialNumber));
    }
}

QTEST_MAIN(tst_windowsonscreen)
#include "tst_windowsonscreen.moc"
