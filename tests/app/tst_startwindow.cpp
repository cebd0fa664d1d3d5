#include <QtTest>
#include "support/TestTime.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QPushButton>

#include "app/StartWindow.h"
#include "device/StartupGlobals.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "support/Screenshot.h"
#include "trovsim.h"

namespace {

// settings.ini entries: "group/key" and value, written in this order.
using SettingsEntries = QList<QPair<QString, QString>>;

// The three controllers of the tests, with their serials.
const char* const threeControllers = "axis1:10001:stepper;axis2:10002:stepper;axis3:10003:dc";

template <typename T>
T* child(StartWindow& window, const char* name)
{
    T* widget = window.findChild<T*>(QLatin1String(name));
    if (!widget) {
        qFatal("no widget %s", name);
    }
    return widget;
}

QListWidget* list(StartWindow& window)
{
    return child<QListWidget>(window, "deviceList");
}

// Writes settings.ini afresh: each entry is "group/key" = value, in the order given.
void writeSettings(const SettingsEntries& entries)
{
    QFile::remove(settingsIniPath());
    QVERIFY(createConfigDir());
    IniSettings file(settingsIniPath());
    for (const auto& entry : entries) {
        file.setValue(entry.first, entry.second);
    }
}

// Answers the search window's waiting message: Retry while retries remain, then Cancel; with
// escapes, Escape first, into what has the focus: a message still there after it ignored it.
class MessageAnswerer : public QObject
{
public:
    MessageAnswerer(StartWindow& window, int retries, int escapes = 0)
        : window(window), retries(retries), escapes(escapes)
    {
        startTimer(5);
    }
    int messages = 0;
    QString lastText;
    bool firstShotKept = false;
    bool escapeIgnored = false;

protected:
    void timerEvent(QTimerEvent*) override
    {
        QLabel* question = child<QLabel>(window, "questionLbl");
        if (!question->isVisible() || question->text().isEmpty() || !child<QPushButton>(window, "retryBtn")->isVisible()) {
            return;
        }
        if (escapes > 0) {
            if (!sinceEscape.isValid()) {
                sinceEscape.start();
                if (QWidget* focus = window.focusWidget())
                    QTest::keyClick(focus, Qt::Key_Escape);
            }
            if (sinceEscape.elapsed() < scaledMs(500))
                return;
            escapes = 0;
            escapeIgnored = true;
        }
        ++messages;
        lastText = question->text();
        if (messages == 1)
            firstShotKept = keepScreenshot(window, QStringLiteral("startwindow_message.png"));
        question->clear();
        if (retries-- > 0) {
            child<QPushButton>(window, "retryBtn")->click();
        } else {
            child<QPushButton>(window, "cancelBtn")->click();
        }
    }

private:
    StartWindow& window;
    int retries;
    int escapes;
    QElapsedTimer sinceEscape;
};

} // namespace

class TestStartWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void formAndTexts();
    void singleUsableControllerIsChosenAlone();
    void clearedAutoSelectWaitsForTheUser();
    void unreadablePortCannotBeChosen();
    void noDevicesAsksRetryOrCancel();
    void retryWhileListedSearchesAgain();
    void cancelEndsWithNoDevices();
    void keysFromTheFocus_data();
    void keysFromTheFocus();
    void waitForResultEndsOnCancelInsideTheMessage_data();
    void waitForResultEndsOnCancelInsideTheMessage();
    void selectUsesRememberedOrderOnlyForTheSameSet_data();
    void selectUsesRememberedOrderOnlyForTheSameSet();
    void selectTakesOneToThree();
    void openLastFollowsTheRememberedSet();
    void openLastRefusesHostileSettings_data();
    void openLastRefusesHostileSettings();
    void animationEndsOnTheResultPicture();
    void newYearDates();
    void dragAndSecretKey();

private:
    // Runs a search and waits for the list.
    void searchUntilListed(StartWindow& window, int rows);
    // Selects the rows in this order.
    void selectRows(StartWindow& window, const QList<int>& rows);
};

void TestStartWindow::init()
{
    trovsim_clock_manual(1);
    trovsim_clear_faults();
    autoSelectSingleDevice = true;
    QFile::remove(settingsIniPath());
}

void TestStartWindow::searchUntilListed(StartWindow& window, int rows)
{
    window.startSearch();
    QTRY_VERIFY_WITH_TIMEOUT(list(window)->isVisibleTo(&window), scaledMs(5000));
    QCOMPARE(list(window)->count(), rows);
}

void TestStartWindow::selectRows(StartWindow& window, const QList<int>& rows)
{
    list(window)->clearSelection();
    for (int row : rows) {
        list(window)->item(row)->setSelected(true);
    }
}

void TestStartWindow::formAndTexts()
{
    QCOMPARE(trovsim_reset(threeControllers, ""), 0);
    autoSelectSingleDevice = false;
    StartWindow window(1);
    QCOMPARE(window.objectName(), QStringLiteral("StartWindowClass"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Tolmo"));
    QCOMPARE(window.minimumSize(), QSize(290, 144));
    QCOMPARE(window.windowFlags(), Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                       | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint);
    QCOMPARE(child<QLabel>(window, "titleLbl")->text(), QStringLiteral("Tolmo ") + programVersionText());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(programVersionText()).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^release date: \\d{4}-\\d{2}-\\d{2}$"))
                .match(child<QLabel>(window, "releaseDateLbl")->text())
                .hasMatch());
    QVERIFY(!child<QLabel>(window, "motorLbl")->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(child<QLabel>(window, "pixLbl")->movie()->isValid());
    QCOMPARE(window.palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    QCOMPARE(window.palette().color(QPalette::Inactive, QPalette::Window), QColor(240, 240, 241));
    QCOMPARE(window.palette().color(QPalette::Disabled, QPalette::Base), QColor(240, 240, 241));
    const QStringList names = {"motorLbl", "titleLbl", "releaseDateLbl", "pixLbl", "infoLbl", "questionLbl",
                               "deviceList", "buttonsFrame", "cancelBtn", "retryBtn", "selectBtn",
                               "openLastConfigBtn", "addFrame", "plusBtn"};
    for (const QString& name : names) {
        QVERIFY2(window.findChild<QWidget*>(name), qPrintable(name));
    }
    QCOMPARE(list(window)->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(child<QPushButton>(window, "cancelBtn")->text(), QStringLiteral("Cancel"));
    QCOMPARE(child<QPushButton>(window, "retryBtn")->text(), QStringLiteral("Retry"));
    QCOMPARE(child<QPushButton>(window, "selectBtn")->text(), QStringLiteral("Select"));
    QCOMPARE(child<QPushButton>(window, "openLastConfigBtn")->text(), QStringLiteral("Open last"));
    QCOMPARE(child<QPushButton>(window, "plusBtn")->text(), QStringLiteral("Add virtual controller"));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!child<QPushButton>(window, "plusBtn")->isVisible());
    QVERIFY(!child<QPushButton>(window, "selectBtn")->isVisible());
    QVERIFY(!list(window)->isVisible());
    QVERIFY(keepScreenshot(window, QStringLiteral("startwindow_searching.png")));

    searchUntilListed(window, 3);
    QCOMPARE(child<QLabel>(window, "infoLbl")->text(), QStringLiteral("Searching devices... 3 found"));
    const QListWidgetItem* first = list(window)->item(0);
    QCOMPARE(first->text(), QStringLiteral("1. TROV s/n: SM10001 on sim:axis1"));
    QCOMPARE(first->data(Qt::ToolTipRole).toString(), QStringLiteral("sim:axis1"));
    QCOMPARE(first->data(Qt::StatusTipRole).toUInt(), 10001u);
    for (int i = 0; i < 200; ++i) {
        window.timerUpdate();
    }
    QVERIFY(keepScreenshot(window, QStringLiteral("startwindow_list.png")));
    // The list and every button fit in the window.
    for (const char* name : {"deviceList", "openLastConfigBtn", "selectBtn"}) {
        const QWidget* widget = child<QWidget>(window, name);
        QVERIFY2(window.rect().contains(QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size())), name);
    }
}

void TestStartWindow::singleUsableControllerIsChosenAlone()
{
    QCOMPARE(trovsim_reset("axis1:10001:stepper", ""), 0);
    StartWindow window(1);
    window.startSearch();
    QTRY_COMPARE_WITH_TIMEOUT(window.getResultList(), QStringList{QStringLiteral("sim:axis1")}, scaledMs(5000));
    QVERIFY(!list(window)->isVisibleTo(&window));
    QCOMPARE(child<QLabel>(window, "infoLbl")->text(), QStringLiteral("Searching devices... 1 found"));
}

void TestStartWindow::clearedAutoSelectWaitsForTheUser()
{
    QCOMPARE(trovsim_reset("axis1:10001:stepper", ""), 0);
    autoSelectSingleDevice = false;
    StartWindow window(1);
    searchUntilListed(window, 1);
    QCOMPARE(list(window)->currentRow(), 0);
    QVERIFY(child<QPushButton>(window, "selectBtn")->isEnabled());
    QVERIFY(window.getResultList().isEmpty());
    child<QPushButton>(window, "selectBtn")->click();
    QCOMPARE(window.getResultList(), QStringList{QStringLiteral("sim:axis1")});

    // A double click chooses too.
    child<QPushButton>(window, "retryBtn")->click();
    QVERIFY(window.getResultList().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(list(window)->isVisibleTo(&window), scaledMs(5000));
    window.itemDoubleClicked(list(window)->item(0));
    QCOMPARE(window.getResultList(), QStringList{QStringLiteral("sim:axis1")});

    // And Enter in the list, Select being the default button.
    child<QPushButton>(window, "retryBtn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(list(window)->isVisibleTo(&window), scaledMs(5000));
    QTest::keyClick(list(window), Qt::Key_Return);
    QCOMPARE(window.getResultList(), QStringList{QStringLiteral("sim:axis1")});
}

void TestStartWindow::unreadablePortCannotBeChosen()
{
    QCOMPARE(trovsim_reset("axis1:10001:stepper:busy", ""), 0);
    StartWindow window(1);
    searchUntilListed(window, 1);   // listed, not chosen by itself
    QListWidgetItem* item = list(window)->item(0);
    QCOMPARE(item->flags(), Qt::NoItemFlags);
    QCOMPARE(item->text(), QStringLiteral("1. sim:axis1 (busy)"));   // why it is greyed
    window.itemDoubleClicked(item);
    child<QPushButton>(window, "selectBtn")->click();
    QVERIFY(window.getResultList().isEmpty());
}

void TestStartWindow::noDevicesAsksRetryOrCancel()
{
    QCOMPARE(trovsim_reset("none", ""), 0);
    StartWindow window(1);
    window.show();
    MessageAnswerer answerer(window, 1);
    window.startSearch();
    QTRY_COMPARE_WITH_TIMEOUT(window.getResultList().value(0), QStringLiteral("nodevices"), scaledMs(5000));
    QCOMPARE(answerer.messages, 2);   // Retry searched once more
    QVERIFY(answerer.firstShotKept);
    QCOMPARE(answerer.lastText, QStringLiteral("There are no devices seems to be valid.\n"
                                               "Press \"Retry\" to repeat search or \"Cancel\" to exit."));
    QVERIFY(!child<QWidget>(window, "buttonsFrame")->isVisible());
}

void TestStartWindow::retryWhileListedSearchesAgain()
{
    QCOMPARE(trovsim_reset(threeControllers, ""), 0);
    StartWindow window(1);
    window.show();
    searchUntilListed(window, 3);
    QCOMPARE(trovsim_unplug("sim:axis3"), 0);
    child<QPushButton>(window, "retryBtn")->click();
    QVERIFY(!list(window)->isVisible());
    QCOMPARE(child<QLabel>(window, "infoLbl")->text(), QStringLiteral("Searching devices..."));
    QTRY_VERIFY_WITH_TIMEOUT(list(window)->isVisible(), scaledMs(5000));
    QCOMPARE(list(window)->count(), 2);
    QVERIFY(window.getResultList().isEmpty());
}

void TestStartWindow::cancelEndsWithNoDevices()
{
    QCOMPARE(trovsim_reset(threeControllers, ""), 0);
    StartWindow window(1);
    searchUntilListed(window, 3);
    child<QPushButton>(window, "cancelBtn")->click();
    QCOMPARE(window.getResultList().value(0), QStringLiteral("nodevices"));
}

// The list has the focus as soon as it is shown: the arrows choose and Enter takes the choice;
// Escape cancels as the Cancel button does.
void TestStartWindow::keysFromTheFocus_data()
{
    QTest::addColumn<QList<Qt::Key>>("keys");
    QTest::addColumn<QString>("result");
    QTest::newRow("Enter: the first") << QList<Qt::Key>{Qt::Key_Return} << "sim:axis1";
    QTest::newRow("Down, Enter: the second") << QList<Qt::Key>{Qt::Key_Down, Qt::Key_Enter} << "sim:axis2";
    QTest::newRow("End, Up, Enter") << QList<Qt::Key>{Qt::Key_End, Qt::Key_Up, Qt::Key_Return} << "sim:axis2";
    QTest::newRow("Escape in the list") << QList<Qt::Key>{Qt::Key_Down, Qt::Key_Escape} << "nodevices";
    QTest::newRow("Escape on a button") << QList<Qt::Key>{Qt::Key_Tab, Qt::Key_Escape} << "nodevices";
}

void TestStartWindow::keysFromTheFocus()
{
    QFETCH(QList<Qt::Key>, keys);
    QCOMPARE(trovsim_reset(threeControllers, ""), 0);
    StartWindow window(1);
    window.show();
    searchUntilListed(window, 3);
    QCOMPARE(window.focusWidget(), list(window));
    for (Qt::Key key : keys)
        QTest::keyClick(window.focusWidget(), key);
    QTEST(window.getResultList().value(0), "result");
}

// Cancel, or Escape, in the message that waits inside start-up's wait ends both.
void TestStartWindow::waitForResultEndsOnCancelInsideTheMessage_data()
{
    QTest::addColumn<int>("escapes");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
}

void TestStartWindow::waitForResultEndsOnCancelInsideTheMessage()
{
    QCOMPARE(trovsim_reset("none", ""), 0);
    StartWindow window(1);
    window.show();
    QFETCH(int, escapes);
    MessageAnswerer answerer(window, 0, escapes);
    window.startSearch();
    QCOMPARE(window.waitForResult().value(0), QStringLiteral("nodevices"));
    QVERIFY(!answerer.escapeIgnored);
    QCOMPARE(answerer.messages, 1 - escapes);
}

void TestStartWindow::selectUsesRememberedOrderOnlyForTheSameSet_data()
{
    using Entries = SettingsEntries;
    QTest::addColumn<Entries>("settings");
    QTest::addColumn<QStringList>("result");
    const QStringList remembered = {"sim:axis2", "sim:axis1"};
    const QStringList selection = {"sim:axis1", "sim:axis2"};
    QTest::newRow("remembered") << Entries{{"SN_10001-10002/0", "10002"}, {"SN_10001-10002/1", "10001"}}
                                << remembered;
    QTest::newRow("keys out of file order") << Entries{{"SN_10001-10002/1", "10001"}, {"SN_10001-10002/0", "10002"}}
                                            << remembered;
    QTest::newRow("no group") << Entries{} << selection;
    QTest::newRow("group of other serials") << Entries{{"SN_10001-10002/0", "10002"}, {"SN_10001-10002/1", "10003"}}
                                            << selection;
    QTest::newRow("duplicate serial") << Entries{{"SN_10001-10002/0", "10002"}, {"SN_10001-10002/1", "10002"}}
                                      << selection;
    QTest::newRow("third serial") << Entries{{"SN_10001-10002/0", "10002"}, {"SN_10001-10002/1", "10001"},
                                             {"SN_10001-10002/2", "10003"}}
                                  << selection;
    QTest::newRow("not a number") << Entries{{"SN_10001-10002/0", "ten"}, {"SN_10001-10002/1", "10001"}}
                                  << selection;
    QTest::newRow("extra keys ignored") << Entries{{"SN_10001-10002/x", "7"}, {"SN_10001-10002/0", "10002"},
                                                   {"SN_10001-10002/1", "10001"}, {"SN_10001-10002/5", "10003"}}
                                        << remembered;
}

void TestStartWindow::selectUsesRememberedOrderOnlyForTheSameSet()
{
    QFETCH(SettingsEntries, settings);
    QFETCH(QStringList, result);
    writeSettings(settings);
    QCOMPARE(trovsim_reset(threeControllers, ""), 0);
    StartWindow window(1);
    searchUntilListed(window, 3);
    selectRows(window, {0, 1});
    child<QPushButton>(window, "selectBtn")->click();
    QCOMPARE(window.getResultList(), result);
}

void TestStartWindow::selectTakesOneToThree()
{
    QCOMPARE(trovsim_reset("a:1:stepper;b:2:stepper;c:3:stepper;d:4:dc", ""), 0);
    StartWindow window(1);
    searchUntilListed(window, 4);
    selectRows(window, {0, 1, 2, 3});
    child<QPushButton>(window, "selectBtn")->click();
    QVERIFY(window.getResultList().isEmpty());
    list(window)->clearSelection();
    child<QPushButton>(window, "selectBtn")->click();
    QVERIFY(window.getResultList().isEmpty());
    selectRows(window, {3, 0, 2});
    child<QPushButton>(window, "selectBtn")->click();
    QCOMPARE(window.getResultList(), (QStringList{"sim:d", "sim:a", "sim:c"}));
}

void TestStartWindow::openLastFollowsTheRememberedSet()
{
    writeSettings({{"Multiaxis/last_group", "SN_10001-10003"},
                   {"SN_10001-10003/0", "10003"},
                   {"SN_10001-10003/1", "10001"}});
    QCOMPARE(trovsim_reset(threeControllers, ""), 0);
    StartWindow window(1);
    searchUntilListed(window, 3);
    QPushButton* openLast = child<QPushButton>(window, "openLastConfigBtn");
    QVERIFY(openLast->isEnabled());
    openLast->click();
    QCOMPARE(window.getResultList(), (QStringList{"sim:axis3", "sim:axis1"}));

    // Once a controller of the set is gone, the set is no longer offered.
    QCOMPARE(trovsim_unplug("sim:axis1"), 0);
    child<QPushButton>(window, "retryBtn")->click();
    QTRY_COMPARE_WITH_TIMEOUT(list(window)->count(), 2, scaledMs(5000));
    QVERIFY(!openLast->isEnabled());
}

void TestStartWindow::openLastRefusesHostileSettings_data()
{
    using Entries = SettingsEntries;
    QTest::addColumn<QString>("controllers");
    QTest::addColumn<Entries>("settings");
    QTest::newRow("no file") << QString(threeControllers) << Entries{};
    QTest::newRow("missing group") << QString(threeControllers) << Entries{{"Multiaxis/last_group", "SN_10001"}};
    QTest::newRow("duplicate serials") << QString(threeControllers)
                                       << Entries{{"Multiaxis/last_group", "SN_10001-10002"},
                                                  {"SN_10001-10002/0", "10001"},
                                                  {"SN_10001-10002/1", "10001"}};
    QTest::newRow("unknown serial") << QString(threeControllers)
                                    << Entries{{"Multiaxis/last_group", "SN_10001-99999"},
                                               {"SN_10001-99999/0", "10001"},
                                               {"SN_10001-99999/1", "99999"}};
    QTest::newRow("not a number") << QString(threeControllers)
                                  << Entries{{"Multiaxis/last_group", "SN_10001"}, {"SN_10001/0", "axis"}};
    QTest::newRow("names itself") << QString(threeControllers)
                                  << Entries{{"Multiaxis/last_group", "Multiaxis"}, {"Multiaxis/0", "10001"},
                                             {"Multiaxis/1", "10001"}};
    QTest::newRow("names the top level") << QString(threeControllers)
                                         << Entries{{"Multiaxis/last_group", ""}, {"0", "10001"}};
    QTest::newRow("unreadable port's serial") << QString("axis1:10001:stepper;axis2:10002:stepper:busy")
                                              << Entries{{"Multiaxis/last_group", "SN_0"}, {"SN_0/0", "0"}};
    QTest::newRow("negative serial") << QString(threeControllers)
                                     << Entries{{"Multiaxis/last_group", "SN_10001"}, {"SN_10001/0", "-10001"}};
}

void TestStartWindow::openLastRefusesHostileSettings()
{
    QFETCH(QString, controllers);
    QFETCH(SettingsEntries, settings);
    writeSettings(settings);
    QCOMPARE(trovsim_reset(controllers.toLatin1().constData(), ""), 0);
    StartWindow window(1);
    window.startSearch();
    QTRY_VERIFY_WITH_TIMEOUT(list(window)->count() > 0, scaledMs(5000));
    QVERIFY(!child<QPushButton>(window, "openLastConfigBtn")->isEnabled());
    window.openLastConfigBtnClicked();
    QVERIFY(window.getResultList().isEmpty());
}

void TestStartWindow::animationEndsOnTheResultPicture()
{
    QCOMPARE(trovsim_reset(threeControllers, ""), 0);
    StartWindow window(1);
    QLabel* pix = child<QLabel>(window, "pixLbl");
    QMovie* movie = pix->movie();
    // The search ramps the animation up towards 200 %.
    window.startSearch();
    for (int i = 0; i < 20; ++i) {
        window.timerUpdate();
    }
    QVERIFY(movie->speed() > 15);
    QTRY_VERIFY_WITH_TIMEOUT(list(window)->count() == 3, scaledMs(5000));
    // Its end ramps it down until it stops, and the list picture takes its place.
    for (int i = 0; i < 200 && movie->state() == QMovie::Running; ++i) {
        window.timerUpdate();
    }
    QCOMPARE(movie->state(), QMovie::NotRunning);
    QVERIFY(pix->movie() == nullptr);
    QVERIFY(!pix->pixmap(Qt::ReturnByValue).isNull());
}

void TestStartWindow::newYearDates()
{
    QVERIFY(!StartWindow::newYearSeason(QDate(2023, 12, 23)));
    QVERIFY(StartWindow::newYearSeason(QDate(2023, 12, 24)));
    QVERIFY(StartWindow::newYearSeason(QDate(2023, 12, 31)));
    QVERIFY(StartWindow::newYearSeason(QDate(2024, 1, 6)));
    QVERIFY(!StartWindow::newYearSeason(QDate(2024, 1, 7)));
    QVERIFY(!StartWindow::newYearSeason(QDate(2024, 12, 23)));   // leap year
    QVERIFY(StartWindow::newYearSeason(QDate(2024, 12, 24)));
    QVERIFY(!StartWindow::newYearSeason(QDate(2024, 6, 1)));
}

void TestStartWindow::dragAndSecretKey()
{
    QCOMPARE(trovsim_reset("none", ""), 0);
    StartWindow window(1);
    window.move(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(start + QPoint(10, 10)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 40), QPointF(start + QPoint(60, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &move);
    QCOMPARE(window.pos(), start + QPoint(50, 30));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(60, 40), QPointF(start + QPoint(60, 40)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &release);

    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(child<QLabel>(window, "titleLbl")->text().startsWith(QLatin1String("Tolmo ")));
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QCOMPARE(child<QLabel>(window, "titleLbl")->text(), QStringLiteral("Happy New Year!!!"));
}

QTEST_MAIN(TestStartWindow)
#include "tst_startwindow.moc"
