#include <QtTest>
#include "support/TestTime.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "support/FullDisk.h"
#include "support/RecordingPrompter.h"
#include "app/ControlWindow.h"
#include "app/ProgramStartup.h"
#include "app/ProgramWindowMaker.h"
#include "multiaxis/Multiaxis.h"
#include "app/StartWindow.h"
#include "device/StartupGlobals.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "device/DeviceInterface.h"
#include "device/SharedFlags.h"
#include "log/MessageLog.h"
#include "trovsim.h"

namespace {

struct Made
{
    int windows = 0;
    int destroyed = 0;
    bool logBeforeInit = false;
    bool warnsOverSearch = false;
};

// Stands in for a control window: its init reads the serial as the real one does, and deleting
// it closes its controllers.
class DoubleWindow : public ControlWindow
{
public:
    DoubleWindow(Made& made, ControlWindow::Init result, QList<int> handles, QList<DeviceInterface*> gateways,
                 bool ownsGateways)
        : made(made), result(result), handles(handles), gateways(gateways), ownsGateways(ownsGateways)
    {
        ++made.windows;
        widget_.setObjectName(QStringLiteral("doubleWindow"));
    }
    ~DoubleWindow() override
    {
        for (int i = 0; i < handles.size(); ++i)
            gateways[i]->close_device(handles[i]);
        if (ownsGateways)
            qDeleteAll(gateways);
        ++made.destroyed;
    }
    QWidget* widget() override { return &widget_; }
    void connectLog(MessageLog* log) override { logConnected = log != nullptr; }
    Init init(QWidget* messageParent) override
    {
        made.logBeforeInit = logConnected;
        made.warnsOverSearch = qobject_cast<StartWindow*>(messageParent) != nullptr;
        unsigned int serial = 0;
        if (gateways[0]->get_serial_number(handles[0], &serial) != 0) {
            deviceInitOk = false;
            lastFailedFunction = "get_serial_number";
            return Init::Failed;
        }
        return result;
    }

private:
    Made& made;
    Init result;
    QList<int> handles;
    QList<DeviceInterface*> gateways;
    bool ownsGateways;
    bool logConnected = false;
    QWidget widget_;
};

class DoubleMaker : public ControlWindowMaker
{
public:
    Made made;
    ControlWindow::Init result = ControlWindow::Init::Ready;
    bool multiAxisWindow = false;

    std::unique_ptr<ControlWindow> makeSingleAxis(device_t handle, const QString&, DeviceInterface* gateway) override
    {
        return std::make_unique<DoubleWindow>(made, result, QList<int>{handle}, QList<DeviceInterface*>{gateway},
                                              false);
    }
    std::unique_ptr<ControlWindow> makeMultiAxis(const QList<int>& handles, const QStringList&,
                                                 const QList<DeviceInterface*>& gateways) override
    {
        if (!multiAxisWindow)
            return nullptr;
        return std::make_unique<DoubleWindow>(made, result, handles, gateways, true);
    }
};

// Plays the user: for each new search window the next choice ("auto": leave it to the window,
// "cancel", or the rows to select such as "0,1"), made when the window says its list is shown;
// a control window shown ends the event loop, unless it is gone before the loop runs.
class User : public QObject
{
public:
    explicit User(QStringList choices) : choices(choices) { qApp->installEventFilter(this); }
    ~User() override { qApp->removeEventFilter(this); }
    QStringList choices;
    int searches = 0;
    bool autoSelectAtSearch[4] = {};

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::Show || !object->isWidgetType())
            return false;
        auto* shown = static_cast<QWidget*>(object);
        if (shown->objectName() == QLatin1String("doubleWindow") || qobject_cast<Multiaxis*>(shown)) {
            QTimer::singleShot(0, shown, [shown] {
                if (shown->isVisible())
                    QApplication::exit(7);
            });
            return false;
        }
        auto* search = qobject_cast<StartWindow*>(shown);
        if (!search || seen.contains(search))
            return false;
        seen << search;
        if (searches < 4)
            autoSelectAtSearch[searches] = autoSelectSingleDevice;
        ++searches;
        const QString choice = choices.isEmpty() ? QStringLiteral("cancel") : choices.takeFirst();
        if (choice == QLatin1String("auto"))
            return false;
        // Queued: the window finishes showing the list before the click.
        connect(search, &StartWindow::deviceListShown, search, [this, search, choice] {
            if (acted.contains(search))
                return;
            acted << search;
            if (choice == QLatin1String("cancel")) {
                search->findChild<QPushButton*>(QStringLiteral("cancelBtn"))->click();
                return;
            }
            auto* list = search->findChild<QListWidget*>(QStringLiteral("deviceList"));
            for (const QString& row : choice.split(QLatin1Char(',')))
                list->item(row.toInt())->setSelected(true);
            search->findChild<QPushButton*>(QStringLiteral("selectBtn"))->click();
        }, Qt::QueuedConnection);
        return false;
    }

private:
    QList<QPointer<StartWindow>> seen;
    QList<QPointer<StartWindow>> acted;
};

} // namespace

class TestProgramStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void passes_data();
    void passes();
    void realWindow_data();
    void realWindow();
    void realMultiAxisWindow();
    void unusableConfigFolderIsSaidAtStart_data();
    void unusableConfigFolderIsSaidAtStart();
};

void TestProgramStartup::init()
{
    autoSelectSingleDevice = true;
    trovsim_clock_manual(1);
    trovsim_clear_faults();
    trovsim_journal_clear();
}

void TestProgramStartup::cleanup()
{
    MessagePrompter::install(nullptr);
    trovsim_clear_faults();
}

void TestProgramStartup::passes_data()
{
    QTest::addColumn<QByteArray>("controllers");
    QTest::addColumn<QByteArray>("faultDevice");   // its function forced to -1 for good
    QTest::addColumn<QByteArray>("faultFunction");
    QTest::addColumn<int>("initResult");           // ControlWindow::Init of the double
    QTest::addColumn<bool>("multiAxisWindow");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("windows");              // made, and all deleted in the end
    QTest::addColumn<QList<int>>("closes");        // close_device per axis1, axis2
    QTest::addColumn<int>("searches");

    const int ready = int(ControlWindow::Init::Ready);
    const QByteArray two = "axis1:10001:stepper;axis2:10002:stepper";
    const QByteArray one = "axis1:10001:stepper";
    QTest::newRow("cancel") << two << QByteArray() << QByteArray() << ready << false << QStringList{"cancel"} << 0
                            << QStringList() << 0 << QList<int>{0, 0} << 1;
    QTest::newRow("single ready") << one << QByteArray() << QByteArray() << ready << false << QStringList{"auto"}
                                  << 7 << QStringList() << 1 << QList<int>{1, 0} << 1;
    QTest::newRow("no configuration file")
        << one << QByteArray() << QByteArray() << int(ControlWindow::Init::NoConfigurationFile) << false
        << QStringList{"auto"} << 0 << QStringList() << 1 << QList<int>{1, 0} << 1;
    QTest::newRow("serial read fails")
        << one << QByteArray("sim:axis1") << QByteArray("get_serial_number") << ready << false
        << QStringList{"auto", "cancel"} << 0
        << QStringList{"Error initializing controller: function <b>get_serial_number</b> failed."} << 1
        << QList<int>{1, 0} << 2;
    QTest::newRow("single does not open")
        << one << QByteArray("sim:axis1") << QByteArray("open_device") << ready << false
        << QStringList{"auto", "cancel"} << 0 << QStringList{"Could not open controller sim:axis1."} << 0
        << QList<int>{0, 0} << 2;
    QTest::newRow("second of two does not open")
        << two << QByteArray("sim:axis2") << QByteArray("open_device") << ready << true
        << QStringList{"0,1", "cancel"} << 0 << QStringList{"Could not open controller sim:axis2."} << 0
        << QList<int>{1, 0} << 2;
    QTest::newRow("two without a multi-axis window")
        << two << QByteArray() << QByteArray() << ready << false << QStringList{"0,1", "0"} << 7
        << QStringList{"This version controls one controller at a time. Choose one controller."} << 1
        << QList<int>{2, 1} << 2;
    QTest::newRow("two ready") << two << QByteArray() << QByteArray() << ready << true << QStringList{"0,1"} << 7
                               << QStringList() << 1 << QList<int>{1, 1} << 1;
    QTest::newRow("two, set-up fails")
        << two << QByteArray("sim:axis1") << QByteArray("get_serial_number") << ready << true
        << QStringList{"0,1", "cancel"} << 0
        << QStringList{"Error initializing controller: function <b>get_serial_number</b> failed."} << 1
        << QList<int>{1, 1} << 2;
}

void TestProgramStartup::passes()
{
    QFETCH(QByteArray, controllers);
    QFETCH(QByteArray, faultDevice);
    QFETCH(QByteArray, faultFunction);
    QFETCH(int, initResult);
    QFETCH(bool, multiAxisWindow);
    QFETCH(QStringList, choices);
    QFETCH(int, exitCode);
    QFETCH(QStringList, messages);
    QFETCH(int, windows);
    QFETCH(QList<int>, closes);
    QFETCH(int, searches);

    QTemporaryDir data;
    QCOMPARE(trovsim_reset(controllers.constData(), data.path().toUtf8().constData()), 0);
    trovsim_clock_manual(1);
    if (!faultDevice.isEmpty())
        QCOMPARE(trovsim_force_result(faultDevice.constData(), faultFunction.constData(), -1, -1), 0);
    RecordingPrompter prompter;
    MessagePrompter::install(&prompter);
    DoubleMaker maker;
    maker.result = ControlWindow::Init(initResult);
    maker.multiAxisWindow = multiAxisWindow;
    User user(choices);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(runProgram(maker), exitCode);
    QVERIFY(clock.elapsed() < scaledMs(20000));

    QCOMPARE(prompter.texts, messages);
    QCOMPARE(user.searches, searches);
    QCOMPARE(maker.made.windows, windows);
    QCOMPARE(maker.made.destroyed, windows);
    if (windows > 0) {
        QVERIFY(maker.made.logBeforeInit);
        QVERIFY(maker.made.warnsOverSearch);
    }
    // Every controller opened was closed once; a second search never chooses by itself.
    QCOMPARE(trovsim_call_count("sim:axis1", "close_device"), closes.value(0));
    QCOMPARE(qMax(0, trovsim_call_count("sim:axis2", "close_device")), closes.value(1));
    if (searches > 1)
        QVERIFY(!user.autoSelectAtSearch[1]);
    if (faultFunction == "open_device" && controllers == "axis1:10001:stepper") {
        // About 400 ms of attempts, 100 ms apart.
        QVERIFY(trovsim_call_count("sim:axis1", "open_device") >= 4);
        QVERIFY(trovsim_call_count("sim:axis1", "open_device") <= 6);
    }
    // The log and its thread ended on this way out too; no window or gateway is left.
    QCOMPARE(messageLog, nullptr);
    QCOMPARE(deviceInterface, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::topLevelWidgets().size(), 0, scaledMs(5000));
}

// The program's own window: a failed identity read and a missing defaults file.
void TestProgramStartup::realWindow_data()
{
    QTest::addColumn<bool>("serialFails");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("searches");
    QTest::newRow("serial read fails")
        << true
        << QStringList{"Error initializing controller: function <b>get_serial_number</b> failed."} << 2;
    QTest::newRow("no configuration file")
        << false << QStringList{"Couldn't find either saved or default configuration file."} << 1;
}

void TestProgramStartup::realWindow()
{
    QFETCH(bool, serialFails);
    QFETCH(QStringList, messages);
    QFETCH(int, searches);
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    // The defaults file beside the program, or an empty folder.
    qputenv("TOLMO_SHARE_DIR", QFile::encodeName(serialFails ? QCoreApplication::applicationDirPath() + "/.."
                                                             : home.path()));
    QCOMPARE(trovsim_reset("axis1:10001:stepper:stage", home.filePath("trovsim").toUtf8().constData()), 0);
    trovsim_clock_manual(1);
    trovsim_journal_clear();
    if (serialFails)
        QCOMPARE(trovsim_force_result("sim:axis1", "get_serial_number", -1, -1), 0);
    RecordingPrompter prompter;
    MessagePrompter::install(&prompter);
    ProgramWindowMaker maker;
    User user({"auto", "cancel"});
    QCOMPARE(runProgram(maker), 0);
    qunsetenv("TOLMO_SHARE_DIR");
    QCOMPARE(prompter.texts, messages);
    QCOMPARE(user.searches, searches);
    QCOMPARE(trovsim_call_count("sim:axis1", "close_device"), 1);
    // A window that did not set up writes no configuration.
    QCOMPARE(QDir(configDirPath()).entryList({"*.cfg", "settings.ini"}, QDir::Files), QStringList());
    QCOMPARE(messageLog, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::topLevelWidgets().size(), 0, scaledMs(5000));
}

// Two controllers chosen: the window for several axes opens; at the end it closes each
// controller once, and its gateways go with it.
void TestProgramStartup::realMultiAxisWindow()
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QCOMPARE(trovsim_reset("axis1:10001:stepper;axis2:10002:stepper", home.filePath("trovsim").toUtf8().constData()), 0);
    trovsim_clock_manual(1);
    trovsim_journal_clear();
    RecordingPrompter prompter;
    MessagePrompter::install(&prompter);
    ProgramWindowMaker maker;
    User user({"0,1"});
    QCOMPARE(runProgram(maker), 7);
    QCOMPARE(prompter.texts, QStringList());
    QCOMPARE(trovsim_call_count("sim:axis1", "close_device"), 1);
    QCOMPARE(trovsim_call_count("sim:axis2", "close_device"), 1);
    QCOMPARE(messageLog, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::topLevelWidgets().size(), 0, scaledMs(5000));
}

// A file where the configuration folder should be: one message at the start, and the program
// runs on; the real windows' savers only log their failures there. On a full disk the message
// says so, and the daily log keeps what fits.
void TestProgramStartup::unusableConfigFolderIsSaidAtStart_data()
{
    QTest::addColumn<bool>("realWindow");
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("window doubles") << false << false;
    QTest::newRow("multi-axis window") << true << false;
    QTest::newRow("full disk") << false << true;
}

void TestProgramStartup::unusableConfigFolderIsSaidAtStart()
{
    QFETCH(bool, realWindow);
    QFETCH(bool, fullDisk);
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    QFile blocker(configDirPath());
    QVERIFY(QDir().mkpath(home.filePath(".config")));
    QVERIFY(fullDisk ? QDir().mkpath(configDirPath()) : blocker.open(QIODevice::WriteOnly));
    QCOMPARE(trovsim_reset(realWindow ? "axis1:10001:stepper;axis2:10002:stepper" : "axis1:10001:stepper",
                           home.filePath("trovsim").toUtf8().constData()), 0);
    trovsim_clock_manual(1);
    RecordingPrompter prompter;
    MessagePrompter::install(&prompter);
    DoubleMaker maker;
    ProgramWindowMaker real;
    User user({realWindow ? QStringLiteral("0,1") : QStringLiteral("auto")});
    int code = 0;
    {
        // Room for a few lines in any one file, none for a block.
        std::unique_ptr<FullDisk> disk(fullDisk ? new FullDisk(3000) : nullptr);
        code = realWindow ? runProgram(real) : runProgram(maker);
    }
    const QString folder = configDirPath();
    const QStringList logs = QDir(folder).entryList({QStringLiteral("tolmo_log_*.csv")}, QDir::Files);
    QFile log(logs.isEmpty() ? QString() : folder + '/' + logs.first());
    const bool logKept = log.open(QIODevice::ReadOnly) && log.readAll().contains("\"Starting\"");
    qputenv("HOME", savedHome);
    QCOMPARE(code, 7);  // the window came up
    if (fullDisk) {
        QCOMPARE(prompter.texts, QStringList{"The disk of the configuration folder " + folder
                                             + " is full: File too large.\n"
                                               "Settings and the log are kept only while it has room: free some "
                                               "space on it."});
    } else {
        QCOMPARE(prompter.texts, QStringList{"The configuration folder " + folder
                                             + " cannot be used: a file has its name.\n"
                                               "Settings and the log will not be kept this session."});
    }
    QCOMPARE(logKept, fullDisk);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::topLevelWidgets().size(), 0, scaledMs(5000));
}

QTEST_MAIN(TestProgramStartup)
#include "tst_programstartup.moc"
