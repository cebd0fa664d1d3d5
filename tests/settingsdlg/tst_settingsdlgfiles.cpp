#include <QtTest>

#include <QLineEdit>

#include <QApplication>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidgetItem>

#include <algorithm>
#include <functional>
#include <memory>

#include "common/FileChooser.h"
#include "common/IniSettings.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "device/FirmwareUpdateThread.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/CompareSettingsDialog.h"
#include "settingsdlg/SettingsDlg.h"
#include "pages/ControllerPageWgt.h"
#include "device/ControllerSettings.h"
#include "support/DialogCalls.h"
#include "support/PageRender.h"
#include "support/RecordingPrompter.h"
#include "support/SimulatedAxis.h"

namespace {

// Answers in place of the user, in order; counts the questions.
class ScriptedChooser : public FileChooser
{
public:
    QStringList answers;
    QStringList multiple;
    int asked = 0;
    // Runs while the chooser is "open", as the user's event loop would.
    std::function<void()> whileOpen;
    QString next()
    {
        if (whileOpen)
            whileOpen();
        return ++asked, answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return next(); }
    QString saveFileNameWithSuffix(QWidget*, const QString&, const QString&, const QString&, const QString&) override
    {
        return next();
    }
    QStringList openFileNames(QWidget*, const QString&, const QString&, const QString&) override
    {
        if (whileOpen)
            whileOpen();
        return ++asked, multiple;
    }
};

QByteArray hashOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

QStringList journalFunctions()
{
    QStringList calls;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0)
            calls << QString::fromLatin1(call.function);
    }
    return calls;
}

// Runs when the next modal dialog opens: hands it to inspect, then closes it.
void whenModal(std::function<void(QDialog*)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog) {
            inspect(dialog);
            dialog->accept();
        }
    });
}

} // namespace

class TestSettingsDlgFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir home, share, work;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> poller;
    ScriptedChooser chooser;
    RecordingPrompter prompter;
    const char* axis = "sim:axis1";

    std::unique_ptr<SettingsDlg> open(const char* name, bool multiaxis = false, bool bootloader = false)
    {
        axis = name;
        handle = openOnFreshSimulator(gateway, axis);
        if (bootloader) {
            trovsim_enter_bootloader(axis, 1);
            gateway->close_device(handle);
            handle = gateway->open_device(axis);
        }
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
        auto built = std::make_unique<SettingsDlg>(nullptr, poller.get(), gateway.get(), multiaxis);
        built->AllPagesFromDeviceToClassToUi(true, true);
        settled(*built);
        return built;
    }
    QLabel* label(SettingsDlg& d) { return d.findChild<QLabel*>("configLbl"); }
    void click(SettingsDlg& d, QDialogButtonBox::StandardButton which)
    {
        d.findChild<QDialogButtonBox*>("buttonBox")->button(which)->click();
        settled(d);
    }
    // What the program pages show, as their profile groups.
    QStringList programState(SettingsDlg& d)
    {
        QTemporaryDir scratch;
        IniSettings file(scratch.filePath("p.ini"));
        d.ProgramSettingsToFile(&file);
        QStringList state;
        for (const QString& key : file.allKeys())
            state << key + '=' + settingsValueText(file.value(key));
        return state;
    }
    QString path(const QString& name) { return work.filePath(name); }

private slots:
    void initTestCase()
    {
        qputenv("HOME", home.path().toUtf8());
        qputenv("TOLMO_SHARE_DIR", share.path().toUtf8());
        QDir::setCurrent(work.path());
        FileChooser::install(&chooser);
        MessagePrompter::install(&prompter);
    }
    void init()
    {
        // A modal helper that the previous test left waiting goes off here, not at this test's dialog.
        QCoreApplication::processEvents();
        deviceInitOk = true;
        chooser = ScriptedChooser();
        prompter.texts.clear();
        prompter.whileOpen = nullptr;
    }
    void cleanup() { closeAndRelease(poller, gateway, handle); }

    void saveNamesTheFileAndRefusesProtectedOnes()
    {
        auto d = open("sim:axis1");
        chooser.answers = QStringList{path("setup"), path("KEEP.CFG")};
        d->OnSaveFileBtnClicked();
        d->OnSaveFileBtnClicked();
        QVERIFY(QFile::exists(path("setup.cfg")));
        QVERIFY(QFile::exists(path("KEEP.CFG")));
        QCOMPARE(label(*d)->text(), QString("KEEP.CFG"));

        {
            IniSettings guarded(path("factory.cfg"));
            guarded.setValue("Protection/original", true);
        }
        const QByteArray before = hashOf(path("factory.cfg"));
        chooser = ScriptedChooser();
        chooser.answers = QStringList{path("factory.cfg")};
        d->OnSaveFileBtnClicked();
        QCOMPARE(chooser.asked, 2);
        QCOMPARE(prompter.texts.size(), 1);
        QCOMPARE(hashOf(path("factory.cfg")), before);
        QCOMPARE(label(*d)->text(), QString("KEEP.CFG"));

        // A folder that cannot be written: a message, and nothing claims the save happened.
        d->saveConfigPath = "kept";
        chooser.answers = QStringList{path("setup.cfg/x")};
        d->OnSaveFileBtnClicked();
        QCOMPARE(prompter.texts.size(), 2);
        QCOMPARE(label(*d)->text(), QString("KEEP.CFG"));
        QCOMPARE(d->saveConfigPath, QString("kept"));

        // A container never read from the controller is never saved.
        std::fill(std::begin(d->motorSettings->valid), std::end(d->motorSettings->valid), false);
        chooser = ScriptedChooser();
        chooser.answers = QStringList{path("unread.cfg")};
        d->OnSaveFileBtnClicked();
        QCOMPARE(chooser.asked, 0);
        QCOMPARE(prompter.texts.size(), 3);
        QVERIFY(!QFile::exists(path("unread.cfg")));

        // In the bootloader no file operation runs.
        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        // As polling tells it.
        emit poller->finished(0, QDateTime(), status_t{}, chart_data_t{}, analog_data_t{}, true, 1);
        d->show();
        for (const char* name : {"saveFileBtn", "restoreFileBtn", "saveFlashBtn", "restoreFlashBtn"})
            QVERIFY2(!d->findChild<QPushButton*>(name)->isEnabled(), name);
        QVERIFY(d->findChild<QPushButton*>("compareFileBtn")->isEnabled());
        chooser = ScriptedChooser();
        d->OnSaveFileBtnClicked();
        d->OnRestoreFileBtnClicked();
        QCOMPARE(chooser.asked, 0);
        trovsim_journal_clear();
        d->OnSaveFlashBtnClicked();
        d->OnRestoreFlashBtnClicked();
        QCOMPARE(journalFunctions().filter("command_"), QStringList());
    }

    void restoreShowsTheFileButKeepsTheController()
    {
        QString dcProfile = path("dc.cfg");
        {
            auto dc = open("sim:axis3");
            chooser.answers = QStringList{dcProfile};
            dc->OnSaveFileBtnClicked();
            // Two controller keys go missing.
            QTemporaryDir scratch;
            IniSettings controllerOnly(scratch.filePath("c.cfg"));
            QVERIFY(dc->motorSettings->saveToFile(controllerOnly));
            IniSettings file(dcProfile);
            file.remove(controllerOnly.allKeys().at(0));
            file.remove(controllerOnly.allKeys().at(1));
        }
        cleanup();
        auto d = open("sim:axis1");
        const MotorSettings before(*d->motorSettings);
        QList<unsigned int> observed;
        connect(d.get(), &SettingsDlg::SgnChangeSettings, [&] { observed << d->motorSettings->entype.EngineType; });
        int rows = -1;
        whenModal([&](QDialog* report) {
            rows = report->findChild<QListWidget*>("listWidget")->count();
            renderPage(report, "restoreerrorsdialog");
        });
        chooser.answers = QStringList{dcProfile};
        d->OnRestoreFileBtnClicked();
        QCOMPARE(rows, 3);
        QVERIFY(!observed.isEmpty());
        QCOMPARE(observed.last(), 3u);
        for (int i = 0; i < MotorSettings::RecordCount; ++i)
            QVERIFY2(d->motorSettings->sameRecord(before, i), MotorSettings::recordSetName(i));
        QCOMPARE(label(*d)->text(), QString("dc.cfg"));

        trovsim_journal_clear();
        click(*d, QDialogButtonBox::Ok);
        QVERIFY(journalFunctions().contains("set_entype_settings"));
        QCOMPARE(d->motorSettings->entype.EngineType, 1u);
    }

    // A file holding no controller group is no profile: one report line, and nothing changes.
    void noControllerGroupChangesNothing()
    {
        auto d = open("sim:axis1");
        d->show();
        const QStringList program = programState(*d);
        label(*d)->setText("applied.cfg");
        QSignalSpy changed(d.get(), &SettingsDlg::SgnChangeSettings);
        // At 11 pt, shown twice: the box has room for its title, over the dialog each time.
        const QFont font = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 11));
        for (const char* content : {"[Cyclic]\nLeft_point=-99\n[Log_setup]\n", "just some text\n"}) {
            QFile file(path("other.cfg"));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) > 0);
            file.close();
            QStringList shown;
            whenModal([&](QDialog* report) {
                auto* list = report->findChild<QListWidget*>("listWidget");
                QFont bold = QApplication::font();
                bold.setBold(true);
                QVERIFY(report->width() >= QFontMetrics(bold).horizontalAdvance(report->windowTitle()) + 60);
                QVERIFY(d->frameGeometry().contains(report->geometry().center()));
                shown << report->windowTitle();
                for (int i = 0; i < list->count(); ++i)
                    shown << list->item(i)->text();
            });
            chooser.answers = QStringList{path("other.cfg")};
            d->OnRestoreFileBtnClicked();
            QCOMPARE(shown, (QStringList{"Restore from file: what was not restored", "other.cfg is not a settings file.",
                                         "No controller settings groups found in the file", ""}));
        }
        QApplication::setFont(font);
        QCOMPARE(label(*d)->text(), QString("applied.cfg"));
        QCOMPARE(programState(*d), program);
        QCOMPARE(changed.count(), 0);
    }

    void modifiedMarkFollowsTheLoadedFile()
    {
        auto d = open("sim:axis1");
        QStringList files = QDir(work.path()).entryList(QDir::Files) << "mark.cfg";
        files.sort();
        d->updateModifiedMark();
        QCOMPARE(label(*d)->text(), QString());
        label(*d)->setText("a.cfg");
        d->updateModifiedMark();
        QCOMPARE(label(*d)->text(), QString("*a.cfg"));

        chooser.answers = QStringList{path("mark"), path("mark.cfg")};
        d->OnSaveFileBtnClicked();
        whenModal([](QDialog*) {});
        d->OnRestoreFileBtnClicked();
        click(*d, QDialogButtonBox::Apply);
        QCOMPARE(label(*d)->text(), QString("mark.cfg"));
        // Nothing but the profile itself reached the working folder.
        QStringList after = QDir(work.path()).entryList(QDir::Files);
        after.sort();
        QCOMPARE(after, files);
    }

    void cancelAfterARestoreShowsTheProgramRecords()
    {
        auto d = open("sim:axis1");
        const QStringList before = programState(*d);
        chooser.answers = QStringList{path("cyclic.cfg"), path("cyclic.cfg")};
        d->OnSaveFileBtnClicked();
        {
            IniSettings file(path("cyclic.cfg"));
            file.setValue("Cyclic/Left_point", -1234);
            file.setValue("Cyclic/Right_point", 4321);
        }
        d->OnRestoreFileBtnClicked();
        QVERIFY(programState(*d) != before);
        click(*d, QDialogButtonBox::Cancel);
        QCOMPARE(programState(*d), before);
        QCOMPARE(label(*d)->text(), QString());
    }

    void multiaxisRestoreReportsOnlyControllerKeys()
    {
        auto d = open("sim:axis1", true);
        chooser.answers = QStringList{path("axis.cfg"), path("axis.cfg")};
        d->OnSaveFileBtnClicked();
        {
            IniSettings file(path("axis.cfg"));
            QVERIFY(!file.childGroups().contains("Cyclic"));
            file.remove(file.allKeys().at(0));
            file.remove(file.allKeys().at(0));
        }
        int rows = -1;
        whenModal([&](QDialog* report) { rows = report->findChild<QListWidget*>("listWidget")->count(); });
        d->OnRestoreFileBtnClicked();
        QCOMPARE(rows, 3);
    }

    // Showing, Apply, Cancel and a profile save touch neither settings.ini nor the working folder.
    void onlyTheChosenProfileIsWritten()
    {
        QVERIFY(QDir().mkpath(QFileInfo(settingsIniPath()).absolutePath()));
        {
            QFile ini(settingsIniPath());
            QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write("[Log_setup]\nlog_level=2\n");
            QVERIFY(ini.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC),
                                    QFileDevice::FileModificationTime));
        }
        const QByteArray content = hashOf(settingsIniPath());
        const QDateTime time = QFileInfo(settingsIniPath()).lastModified();
        QStringList files = QDir(work.path()).entryList(QDir::Files) << "chosen.cfg";
        files.sort();

        auto d = open("sim:axis1");
        d->show();
        click(*d, QDialogButtonBox::Apply);
        click(*d, QDialogButtonBox::Cancel);
        d->show();
        chooser.answers = QStringList{path("chosen.cfg")};
        d->OnSaveFileBtnClicked();
        QCOMPARE(hashOf(settingsIniPath()), content);
        QCOMPARE(QFileInfo(settingsIniPath()).lastModified(), time);
        QStringList after = QDir(work.path()).entryList(QDir::Files);
        after.sort();
        QCOMPARE(after, files);
    }

    // A reload the owning window asks for while an operation waits for the user runs once,
    // after the operation.
    void reloadsWaitForTheOperation_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("askIn");
        QTest::newRow("save chooser") << "save" << "chooser";
        QTest::newRow("refusal") << "refused save" << "prompter";
        QTest::newRow("restore chooser") << "restore" << "chooser";
        QTest::newRow("restore report") << "restore" << "report";
        QTest::newRow("compare chooser") << "compare" << "chooser";
    }
    void reloadsWaitForTheOperation()
    {
        QFETCH(QString, operation);
        QFETCH(QString, askIn);
        auto d = open("sim:axis1");
        chooser.answers = QStringList{path("nested.cfg")};
        d->OnSaveFileBtnClicked();
        {
            IniSettings file(path("nested.cfg"));
            file.remove("Cyclic/Left_point");
            IniSettings guarded(path("guarded.cfg"));
            guarded.setValue("Protection/original", true);
        }
        QSignalSpy changed(d.get(), &SettingsDlg::SgnChangeSettings);
        int asked = 0;
        bool quietInside = false;
        const auto run = [&](bool askForReloads) {
            chooser = ScriptedChooser();
            if (operation == "refused save")
                chooser.answers = QStringList{path("guarded.cfg")};
            if (askIn == "report")
                chooser.answers = QStringList{path("nested.cfg")};
            const auto ask = [&, askForReloads] {
                if (!askForReloads || asked++)
                    return;
                const int calls = trovsim_journal_size();
                const int emitted = changed.count();
                d->AllPagesFromDeviceToClassToUi(true, true);
                d->AllPagesFromDeviceToClassToUi(false, false);
                d->StageSettingsFromDeviceToClassToUi();
                quietInside = trovsim_journal_size() == calls && changed.count() == emitted;
            };
            if (askIn == "chooser")
                chooser.whileOpen = ask;
            else if (askIn == "prompter")
                prompter.whileOpen = ask;
            else
                whenModal([&](QDialog*) { ask(); });
            changed.clear();
            if (operation.endsWith("save"))
                d->OnSaveFileBtnClicked();
            else if (operation == "restore")
                d->OnRestoreFileBtnClicked();
            else
                d->OnCompareFileBtnClicked();
            prompter.whileOpen = nullptr;
            settled(*d);
            return changed.count();
        };
        const int alone = run(false);
        trovsim_journal_clear();
        QCOMPARE(run(true), alone + 1);
        QCOMPARE(asked, 1);
        QVERIFY(quietInside);
        // The page reload and the stage reload read the positioner once each.
        QCOMPARE(journalFunctions().count("get_stage_name"), 2);
    }

    // An upload from the bootloader whose result arrives while a chooser is open: the hand-back
    // waits for the chooser, then leaves the dialog as if opened on the new firmware.
    void firmwareHandBackAfterARealUpload()
    {
        auto d = open("sim:axis3", false, true);
        QVERIFY(!d->takesSettings());
        const QString image = QCoreApplication::applicationDirPath() + "/../firmware/trov-4.2.0.cod";
        QVERIFY2(QFile::exists(image), qPrintable(image));
        QSignalSpy results(d->firmwareThread, &FirmwareUpdateThread::update_finished);
        poller->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
        d->firmwareThread->setRestartWait(0);
        d->firmwareThread->setFirmwareFileName(image);
        d->firmwareThread->start();
        for (int i = 0; i < 2000 && !d->firmwareThread->wait(5); ++i)
            trovsim_advance_ms(50);
        QVERIFY(d->firmwareThread->isFinished());
        QCOMPARE(results.value(0).value(0).toInt(), 0);

        bool waited = false;
        chooser.whileOpen = [&] {
            QCoreApplication::processEvents();
            waited = !(d->treeItem(SettingsPage::Borders)->flags() & Qt::ItemIsEnabled);
        };
        d->OnCompareFileBtnClicked();
        QVERIFY(waited);

        SettingsDlg fresh(nullptr, poller.get(), gateway.get(), false);
        fresh.AllPagesFromDeviceToClassToUi(true, true);
        QVERIFY(settled(fresh));
        for (int i = 0; i < d->treeItems.size(); ++i)
            QVERIFY2(d->treeItems.at(i)->flags() == fresh.treeItems.at(i)->flags(), qPrintable(QString::number(i)));
        QCOMPARE(d->motorSettings->entype.EngineType, 1u);
        for (int i = 0; i < MotorSettings::RecordCount; ++i)
            QVERIFY2(d->motorSettings->valid[i], MotorSettings::recordSetName(i));
        trovsim_journal_clear();
        click(*d, QDialogButtonBox::Ok);
        QCOMPARE(journalFunctions().filter(QRegularExpression("^set_")), QStringList());
    }

    // A rejected image leaves the controller in its bootloader: the About page no longer shows
    // the version of the firmware it ran.
    void rejectedImageLeavesNoFirmwareVersion()
    {
        auto d = open("sim:axis1", false, true);
        d->controllerSettings->firmwareMajor = 4;
        d->controllerSettings->firmwareMinor = 2;
        qobject_cast<ControllerPageWgt*>(d->page(SettingsPage::AboutDevice))->FromClassToUi();
        auto* major = d->page(SettingsPage::AboutDevice)->findChild<QLineEdit*>("majorEdit");
        QCOMPARE(major->text(), QString("4"));
        d->firmwareUploaded(-1);
        // The controller's mode is read on its courier before the pages follow it.
        QVERIFY(settled(*d));
        QCOMPARE(major->text(), QString("0"));
        QCOMPARE(d->page(SettingsPage::AboutDevice)->findChild<QLineEdit*>("minorEdit")->text(), QString("0"));
    }

    void flashCommandsComeInOrder()
    {
        auto d = open("sim:axis1");
        trovsim_journal_clear();
        d->OnRestoreFlashBtnClicked();
        QVERIFY(settled(*d));
        QStringList calls = journalFunctions();
        QCOMPARE(calls.value(0), QString("command_read_settings"));
        QVERIFY(calls.contains("get_entype_settings"));
        QCOMPARE(label(*d)->text(), QString("*"));

        trovsim_journal_clear();
        d->OnSaveFlashBtnClicked();
        QVERIFY(settled(*d));
        calls = journalFunctions();
        QCOMPARE(calls.value(calls.size() - 1), QString("command_save_settings"));
        QVERIFY(calls.indexOf("get_entype_settings") < calls.indexOf("command_save_settings"));

        QSignalSpy changed(d.get(), &SettingsDlg::SgnChangeSettings);
        d->firmwareUploaded(-1);
        QVERIFY(settled(*d));
        QCOMPARE(changed.count(), 0);
    }

    void compareTablesDifferences_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("same") << "[A]\nx=1\n" << "[A]\nx=1\n" << QStringList();
        QTest::newRow("window only") << "[mainWindow_params]\nsize=1\n" << "[mainWindow_params]\nsize=2\n"
                                     << QStringList();
        QTest::newRow("second only") << "[A]\nx=1\n" << "[A]\nx=1\ny=2\n" << QStringList{"A/y|<NO KEY>|2"};
        QTest::newRow("code-unit order") << "[alpha]\na=1\n[Zeta]\na=1\n" << ""
                                         << QStringList{"Zeta/a|1|<NO KEY>", "alpha/a|1|<NO KEY>"};
        QTest::newRow("list") << "[A]\nl=1, 2\n" << "[A]\nl=1\n" << QStringList{"A/l|1, 2|1"};
        QTest::newRow("text") << "[A]\nx=1.0\n" << "[A]\nx=1\n" << QStringList{"A/x|1.0|1"};
    }
    void compareTablesDifferences()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QStringList, rows);
        for (const auto& [name, text] : {std::pair{QString("1.cfg"), first}, std::pair{QString("2.cfg"), second}}) {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text.toUtf8());
        }
        QStringList found;
        for (const auto& row : CompareSettingsDialog::differences(path("1.cfg"), path("2.cfg")))
            found << row.key + '|' + row.first + '|' + row.second;
        QCOMPARE(found, rows);

        auto* shown = new CompareSettingsDialog(nullptr, {path("1.cfg"), path("2.cfg")});
        QCOMPARE(shown->findChild<QLabel*>("identicalLbl") != nullptr, rows.isEmpty());
        if (!rows.isEmpty())
            QCOMPARE(shown->findChild<QTableWidget*>("compareTable")->item(0, 0)->flags(), Qt::ItemIsEnabled);
        if (QTest::currentDataTag() == QByteArray("code-unit order"))
            QVERIFY(!renderPage(shown, "comparesettingsdialog").isEmpty());
        shown->close();
    }

    // The compare window is modal over the settings dialog: Escape closes it alone.
    void escapeClosesOnlyTheCompareWindow()
    {
        auto d = open("sim:axis1");
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        for (const char* name : {"1.cfg", "2.cfg"}) {
            QFile::remove(path(name));
            IniSettings file(path(name));
            QVERIFY(d->motorSettings->saveToFile(file));
        }
        chooser.multiple = QStringList{path("1.cfg"), path("2.cfg")};
        bool closed = false;
        QTimer::singleShot(0, [&] {
            QPointer<QWidget> compare = dynamic_cast<CompareSettingsDialog*>(QApplication::activeModalWidget());
            // As the window system delivers keys: first to the dialog beneath, then to Compare.
            QTest::keyClick(d->windowHandle(), Qt::Key_Escape);
            if (compare)
                QTest::keyClick(compare->windowHandle(), Qt::Key_Escape);
            closed = compare && !compare->isVisible();
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* open = dynamic_cast<CompareSettingsDialog*>(top))
                    open->reject();    // whatever the keys did, the compare loop ends
            }
        });
        d->OnCompareFileBtnClicked();
        QVERIFY(closed && d->isVisible());
    }

    void compareSurvivesJunkAndWrongCounts()
    {
        QFile junk(path("junk.cfg"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        QRandomGenerator rng(5);
        for (int i = 0; i < 65536; ++i)
            junk.putChar(char(rng.bounded(256)));
        junk.write("\n[A]\nlong=" + QByteArray(1 << 20, 'x') + "\n");
        junk.close();
        CompareSettingsDialog::differences(path("junk.cfg"), path("junk.cfg"));

        auto d = open("sim:axis1");
        bool tableShown = false;
        for (int count : {0, 1, 3, 2}) {
            chooser.multiple.clear();
            for (int i = 0; i < count; ++i)
                chooser.multiple << path("junk.cfg");
            if (count == 2)
                whenModal([&](QDialog* shown) { tableShown = shown->findChild<QTableWidget*>() != nullptr; });
            d->OnCompareFileBtnClicked();
        }
        // Two files, neither a settings file: said as Restore says it, and no table.
        const QString warning = "Please select exactly two settings files to compare.";
        QCOMPARE(prompter.texts, QStringList({warning, warning,
                                              "junk.cfg is not a settings file.\nNo controller settings groups found in the file"}));
        QVERIFY(!tableShown);
    }
};

QTEST_MAIN(TestSettingsDlgFiles)
#include "tst_settingsdlgfiles.moc"
