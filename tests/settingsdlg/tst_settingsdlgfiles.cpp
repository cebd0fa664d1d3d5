#include <QtTest>

#include <QApplication>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include <memory>

#include "common/FileChooser.h"
#include "common/IniSettings.h"
#include "common/MessagePrompter.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/CompareSettingsDialog.h"
#include "settingsdlg/SettingsDlg.h"
#include "support/PageRender.h"
#include "support/SimulatedAxis.h"

namespace {

// Answers in place of the user, in order; counts the questions.
class ScriptedChooser : public FileChooser
{
public:
    QStringList answers;
    QStringList multiple;
    int asked = 0;
    QString next() { return ++asked, answers.isEmpty() ? QString() : answers.takeFirst(); }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return next(); }
    QString saveFileNameWithSuffix(QWidget*, const QString&, const QString&, const QString&, const QString&) override
    {
        return next();
    }
    QStringList openFileNames(QWidget*, const QString&, const QString&, const QString&) override
    {
        return ++asked, multiple;
    }
};

class CountingPrompter : public MessagePrompter
{
public:
    QStringList texts;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        texts << text;
        return QMessageBox::Ok;
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
    CountingPrompter prompter;
    const char* axis = "sim:axis1";

    std::unique_ptr<SettingsDlg> open(const char* name)
    {
        axis = name;
        handle = openOnFreshSimulator(gateway, axis);
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
        auto built = std::make_unique<SettingsDlg>(nullptr, poller.get(), gateway.get(), false);
        built->AllPagesFromDeviceToClassToUi(true, true);
        return built;
    }
    QLabel* label(SettingsDlg& d) { return d.findChild<QLabel*>("configLbl"); }
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
        deviceInitOk = true;
        chooser = ScriptedChooser();
        prompter.texts.clear();
    }
    void cleanup()
    {
        if (poller)
            poller->stopRequest = true;
        poller.reset();
        closeAndRelease(gateway, handle);
    }

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

        // In the bootloader no file operation runs.
        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
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
        QCOMPARE(observed.last(), 3u);
        for (int i = 0; i < MotorSettings::RecordCount; ++i)
            QVERIFY2(d->motorSettings->sameRecord(before, i), MotorSettings::recordSetName(i));
        QCOMPARE(label(*d)->text(), QString("dc.cfg"));

        trovsim_journal_clear();
        d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
        QVERIFY(journalFunctions().contains("set_entype_settings"));
        QCOMPARE(d->motorSettings->entype.EngineType, 1u);
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
        d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Apply)->click();
        QCOMPARE(label(*d)->text(), QString("mark.cfg"));
        // Nothing but the profile itself reached the working folder.
        QStringList after = QDir(work.path()).entryList(QDir::Files);
        after.sort();
        QCOMPARE(after, files);
    }

    void flashCommandsComeInOrder()
    {
        auto d = open("sim:axis1");
        trovsim_journal_clear();
        d->OnRestoreFlashBtnClicked();
        QStringList calls = journalFunctions();
        QCOMPARE(calls.value(0), QString("command_read_settings"));
        QVERIFY(calls.contains("get_entype_settings"));
        QCOMPARE(label(*d)->text(), QString("*"));

        trovsim_journal_clear();
        d->OnSaveFlashBtnClicked();
        calls = journalFunctions();
        QCOMPARE(calls.last(), QString("command_save_settings"));
        QVERIFY(calls.indexOf("get_entype_settings") < calls.indexOf("command_save_settings"));

        QSignalSpy changed(d.get(), &SettingsDlg::SgnChangeSettings);
        d->firmwareUploaded(-1);
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
        for (int count : {0, 1, 3}) {
            chooser.multiple.clear();
            for (int i = 0; i < count; ++i)
                chooser.multiple << path("junk.cfg");
            d->OnCompareFileBtnClicked();
        }
        const QString warning = "Please select exactly two settings files to compare.";
        QCOMPARE(prompter.texts, QStringList({warning, warning}));
    }
};

QTEST_MAIN(TestSettingsDlgFiles)
#include "tst_settingsdlgfiles.moc"
