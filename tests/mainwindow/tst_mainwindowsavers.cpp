#include <QtTest>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include <memory>

#include "chartdlg/ChartDlg.h"
#include "common/FileChooser.h"
#include "common/Paths.h"
#include "common/SettingsWriteReport.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "mainwindow/MainWindow.h"
#include "scriptdlg/ScriptDlg.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsPageIndex.h"
#include "support/DialogCalls.h"
#include "support/FullDisk.h"
#include "support/RecordingPrompter.h"
#include "support/SimulatedAxis.h"

namespace {

class FixedChooser : public FileChooser
{
public:
    QString answer;
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return answer; }
    QString saveFileNameWithSuffix(QWidget*, const QString&, const QString&, const QString&, const QString&) override
    {
        return answer;
    }
};

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
}

// Files of a few kilobytes, as a user has them: the new bytes fit in part, which is where
// buffered writers fail without a word.
QByteArray oldBytes(bool ini)
{
    QByteArray bytes = ini ? "[Old]\n" : "";
    for (int i = 0; bytes.size() < 2000; ++i)
        bytes += (ini ? "kept" + QByteArray::number(i) + "=" : QByteArray()) + "old text of the file\n";
    return bytes;
}

} // namespace

// Every save of the program over an existing file, on a disk that refuses the new bytes: the
// old file stays as it was and the user is told why.
class TestMainWindowSavers : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    std::unique_ptr<DeviceInterface> gateway;
    std::unique_ptr<MessageLog> log;
    std::unique_ptr<MainWindow> window;
    FixedChooser chooser;
    RecordingPrompter prompter;

    QString controllerFile() const { return configDirPath() + QStringLiteral("/SM10001.cfg"); }

    void act(const QString& action)
    {
        SettingsDlg* settings = window->settingsDialog();
        if (action == "script Save") {
            window->scriptDialog()->findChild<QPushButton*>("saveBtn")->click();
        } else if (action == "scratch") {
            window->scriptDialog()->saveScratch();
        } else if (action == "chart Save") {
            window->chartDialog()->findChild<QPushButton*>("saveBtn")->click();
        } else if (action == "log Save") {
            window->findChild<QPushButton*>("saveLogBtn")->click();
        } else if (action == "profile") {
            settings->findChild<QPushButton*>("saveFileBtn")->click();
        } else if (action == "search options") {
            auto* probe = settings->page(SettingsPage::ProgramConfiguration)->findChild<QCheckBox*>("probeChk");
            probe->setChecked(!probe->isChecked());
            click(*settings, QDialogButtonBox::Apply);
        } else if (action == "settings window") {
            window->OnSettingsBtnPressed();
            click(*settings, QDialogButtonBox::Cancel);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home.filePath("share")));
        QVERIFY(QDir().mkpath(home.filePath("share")) && createConfigDir());
        put(home.filePath("share/tolmodefault.cfg"), QByteArray());
        log = std::make_unique<MessageLog>();
        messageLog = log.get();
        FileChooser::install(&chooser);
        MessagePrompter::install(&prompter);
        const device_t handle = openOnFreshSimulator(gateway, "sim:axis1");
        QVERIFY(handle != -1);
        window = std::make_unique<MainWindow>(nullptr, handle, QStringLiteral("sim:axis1"), gateway.get());
        QVERIFY(window->init() == MainWindow::InitStatus::Ready);
        window->pollingThread()->stopRequest = true;
        window->pollingThread()->wait();
        window->OnSettingsBtnPressed();
        // Something to save in every window, more than the files below hold.
        window->scriptDialog()->editor()->setPlainText(QString(3000, QLatin1Char('x')));
        ChartDlg* chart = window->chartDialog();
        chart->OnStartBtnClicked();
        status_t moving{};
        moving.MoveSts = MOVE_STATE_MOVING;
        for (int i = 0; i < 20; ++i)
            chart->InsertMeasure(0, QDateTime::currentDateTime().addMSecs(100 * i), moving, {}, {}, true);
        QVERIFY(!chart->log().isEmpty());
        for (int i = 0; i < 100; ++i)
            log->InsertLine(QDateTime::currentDateTime(), QStringLiteral("a line of the log"), QStringLiteral("Tolmo"), 1);
        window->UpdateState();
    }

    void init()
    {
        prompter.texts.clear();
        SettingsWriteReport::forget();
    }

    void cleanupTestCase()
    {
        window.reset();
        std::atomic<device_t> none{-1};
        closeAndRelease(gateway, none);
        FileChooser::install(nullptr);
        MessagePrompter::install(nullptr);
        messageLog = nullptr;
        log.reset();
    }

    void failedSaveKeepsTheFile_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("file");    // under the home folder; "config/" stands for the configuration folder
        QTest::addColumn<QString>("told");    // the start of what the user sees
        QTest::addColumn<int>("prompts");     // message boxes after two attempts
        QTest::newRow("script Save") << "script Save" << "old.js" << "Saving failed: " << 0;
        QTest::newRow("scratch autosave") << "scratch" << "config/scratch.txt" << "Saving failed: " << 0;
        QTest::newRow("chart Save") << "chart Save" << "old.grf" << "Could not save " << 2;
        QTest::newRow("log Save") << "log Save" << "old.csv" << "The log could not be saved to " << 2;
        QTest::newRow("profile Save to file") << "profile" << "old.cfg" << "The settings could not be written to " << 2;
        // The settings files are written over and over: said once a session.
        QTest::newRow("search options") << "search options" << "config/settings.ini"
                                        << "The configuration could not be written to " << 1;
        QTest::newRow("settings window state") << "settings window" << "config/SM10001.cfg"
                                               << "The configuration could not be written to " << 1;
    }

    void failedSaveKeepsTheFile()
    {
        QFETCH(QString, action);
        QFETCH(QString, file);
        QFETCH(QString, told);
        QFETCH(int, prompts);
        const QString path = file.startsWith("config/") ? configDirPath() + file.mid(6) : home.filePath(file);
        const QByteArray old = oldBytes(path.endsWith(".cfg") || path.endsWith(".ini"));
        put(path, old);
        chooser.answer = path;
        const QStringList before = QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden);
        { // two attempts
            FullDisk disk(old.size() + 16);
            act(action);
            act(action);
        }
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(prompter.texts.size(), prompts);
        const QString seen = prompts ? prompter.texts.value(0) : window->scriptDialog()->statusMessage();
        QVERIFY2(seen.startsWith(told) && seen.contains("File too large"), qPrintable(seen));
        // With room the same save goes through.
        act(action);
        QVERIFY(bytesOf(path) != old);
    }

    // The exit writes the controller's file and settings.ini: neither is cut, both are said.
    void exitKeepsTheSettingsFiles()
    {
        const QByteArray old = oldBytes(true);
        put(controllerFile(), old);
        put(settingsIniPath(), old);
        {
            FullDisk disk(old.size() + 16);
            window.reset();
        }
        QCOMPARE(bytesOf(controllerFile()), old);
        QCOMPARE(bytesOf(settingsIniPath()), old);
        QCOMPARE(prompter.texts,
                 QStringList({"The configuration could not be written to " + controllerFile() + ".\nFile too large",
                              "The configuration could not be written to " + settingsIniPath() + ".\nFile too large"}));
    }
};

QTEST_MAIN(TestMainWindowSavers)
#include "tst_mainwindowsavers.moc"
