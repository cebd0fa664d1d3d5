#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTemporaryDir>

#include "common/IniSettings.h"
#include "log/LogSettings.h"
#include "settingsdlg/PageLogSettingsWgt.h"
#include "support/Screenshot.h"

#include <memory>

namespace {

struct Page
{
    LogSettings record;
    PageLogSettingsWgt page{nullptr, &record};

    QComboBox* program() { return page.findChild<QComboBox*>(QStringLiteral("comboBoxXLL")); }
    QComboBox* library() { return page.findChild<QComboBox*>(QStringLiteral("comboBoxLLL")); }
    QComboBox* script() { return page.findChild<QComboBox*>(QStringLiteral("comboBoxSLL")); }
    QCheckBox* autosave() { return page.findChild<QCheckBox*>(QStringLiteral("AutosaveChk")); }
    QLineEdit* folder() { return page.findChild<QLineEdit*>(QStringLiteral("AutosavePath")); }
};

// The widget that Tab moves to from this one.
QWidget* nextTabStop(QWidget* widget)
{
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) {
        next = next->nextInFocusChain();
    }
    return next;
}

const QString allMissing = QStringLiteral("\"Tolmo_loglevel\" key is not found\n"
                                          "\"script_loglevel\" key is not found\n"
                                          "\"library_loglevel\" key is not found\n"
                                          "\"Autosave_enabled\" key is not found\n"
                                          "\"Autosave_path\" key is not found\n");

} // namespace

class TestPageLogSettingsWgt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void form();
    void startsFromTheDefaultRecord();
    void recordTransfers();
    void fileRoundTrip();
    void wrongValuesAreReportedAndKept_data();
    void wrongValuesAreReportedAndKept();
    void noLevelIsNeverStored();

private:
    std::unique_ptr<QTemporaryDir> folder;
    QString path(const QString& name) const { return folder->filePath(name); }
};

void TestPageLogSettingsWgt::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
}

void TestPageLogSettingsWgt::form()
{
    Page p;
    QCOMPARE(p.page.windowTitle(), QStringLiteral("PageLogSettingsWgt"));
    QCOMPARE(p.page.findChild<QGroupBox*>(QStringLiteral("loglevelBox"))->title(),
             QStringLiteral("Display messages by loglevel"));
    const QStringList entries = {"None", "Error", "Warning, error", "Info, warning, error"};
    for (QComboBox* box : {p.program(), p.library(), p.script()}) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i) {
            texts << box->itemText(i);
        }
        QCOMPARE(texts, entries);
    }
    QCOMPARE(p.autosave()->text(), QStringLiteral("Enable log autosave"));
    QVERIFY(!p.folder()->isEnabled());
    p.autosave()->setChecked(true);
    QVERIFY(p.folder()->isEnabled());
    // Focus order.
    QCOMPARE(nextTabStop(p.program()), p.library());
    QCOMPARE(nextTabStop(p.library()), p.script());
    QCOMPARE(nextTabStop(p.script()), p.autosave());
    QCOMPARE(nextTabStop(p.autosave()), p.folder());
    p.page.resize(400, 240);
    p.page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.page));
    QVERIFY(keepScreenshot(p.page, QStringLiteral("pagelogsettings.png")));
}

void TestPageLogSettingsWgt::startsFromTheDefaultRecord()
{
    // Start-up: settings.ini exists but has no "Log_setup"; the record must keep 3, 3, 3.
    Page p;
    for (QComboBox* box : {p.program(), p.library(), p.script()}) {
        QCOMPARE(box->currentIndex(), 3);
    }
    IniSettings settingsIni(path("settings.ini"));
    settingsIni.setValue("Multiaxis/last_group", "SN_1");
    QCOMPARE(p.page.RestoreFromFile(&settingsIni), allMissing);
    QCOMPARE(settingsIni.group(), QString());
    p.page.FromUiToClass();
    QCOMPARE(p.record.programLevel, 3);
    QCOMPARE(p.record.scriptLevel, 3);
    QCOMPARE(p.record.libraryLevel, 3);
    QVERIFY(!p.record.autosave);
    QCOMPARE(p.record.autosaveFolder, QDir(QString()));   // the working directory
}

void TestPageLogSettingsWgt::recordTransfers()
{
    Page p;
    p.record = LogSettings(0, 1, 2, true, QDir(QStringLiteral("/var/tmp/logs")));
    p.page.FromClassToUi();
    QCOMPARE(p.program()->currentIndex(), 0);
    QCOMPARE(p.script()->currentIndex(), 1);
    QCOMPARE(p.library()->currentIndex(), 2);
    QVERIFY(p.autosave()->isChecked());
    QVERIFY(p.folder()->isEnabled());
    QCOMPARE(p.folder()->text(), QStringLiteral("/var/tmp/logs"));

    LogSettings before = p.record;
    p.record = LogSettings();
    p.page.FromUiToClass();
    QCOMPARE(p.record.programLevel, before.programLevel);
    QCOMPARE(p.record.scriptLevel, before.scriptLevel);
    QCOMPARE(p.record.libraryLevel, before.libraryLevel);
    QCOMPARE(p.record.autosave, true);
    QCOMPARE(p.record.autosaveFolder, before.autosaveFolder);

    // A level the list does not have leaves the combo box as it was.
    p.record.programLevel = 9;
    p.record.scriptLevel = -1;
    p.page.FromClassToUi();
    QCOMPARE(p.program()->currentIndex(), 0);
    QCOMPARE(p.script()->currentIndex(), 1);
}

void TestPageLogSettingsWgt::fileRoundTrip()
{
    {
        Page p;
        p.program()->setCurrentIndex(1);
        p.script()->setCurrentIndex(0);
        p.library()->setCurrentIndex(2);
        p.autosave()->setChecked(true);
        p.folder()->setText(QStringLiteral("/home/user/tolmo logs"));
        IniSettings file(path("profile.cfg"));
        p.page.SaveToFile(&file);
        QCOMPARE(file.group(), QString());
        QCOMPARE(file.value("Log_setup/Tolmo_loglevel").toInt(), 1);
        QCOMPARE(file.value("Log_setup/script_loglevel").toInt(), 0);
        QCOMPARE(file.value("Log_setup/library_loglevel").toInt(), 2);
        QCOMPARE(file.value("Log_setup/Autosave_enabled").toString(), QStringLiteral("true"));
    }
    IniSettings file(path("profile.cfg"));
    Page q;
    QCOMPARE(q.page.RestoreFromFile(&file), QString());
    QCOMPARE(q.program()->currentIndex(), 1);
    QCOMPARE(q.script()->currentIndex(), 0);
    QCOMPARE(q.library()->currentIndex(), 2);
    QVERIFY(q.autosave()->isChecked());
    QVERIFY(q.folder()->isEnabled());   // ticked by the file
    QCOMPARE(q.folder()->text(), QStringLiteral("/home/user/tolmo logs"));
    q.page.FromUiToClass();
    QCOMPARE(q.record.programLevel, 1);
    QCOMPARE(q.record.scriptLevel, 0);
    QCOMPARE(q.record.autosaveFolder, QDir(QStringLiteral("/home/user/tolmo logs")));
}

void TestPageLogSettingsWgt::wrongValuesAreReportedAndKept_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("report");
    QTest::newRow("above") << "4" << "true" << "\"Tolmo_loglevel\" value is wrong\n";
    QTest::newRow("negative") << "-1" << "false" << "\"Tolmo_loglevel\" value is wrong\n";
    QTest::newRow("text") << "info" << "1" << "\"Tolmo_loglevel\" value is wrong\n";
    QTest::newRow("bad flag") << "2" << "maybe" << "\"Autosave_enabled\" value is wrong\n";
    QTest::newRow("good") << "0" << "true" << "";
}

void TestPageLogSettingsWgt::wrongValuesAreReportedAndKept()
{
    QFETCH(QString, level);
    QFETCH(QString, flag);
    QFETCH(QString, report);
    {
        QFile raw(path("hand.ini"));
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(QStringLiteral("[Log_setup]\nTolmo_loglevel=%1\nscript_loglevel=2\nlibrary_loglevel=1\n"
                                 "Autosave_enabled=%2\nAutosave_path=/logs\n")
                      .arg(level, flag)
                      .toUtf8());
    }
    IniSettings file(path("hand.ini"));
    Page p;
    QCOMPARE(p.page.RestoreFromFile(&file), report);
    QCOMPARE(p.program()->currentIndex(), report.startsWith(QLatin1String("\"Tolmo")) ? 3 : level.toInt());
    QCOMPARE(p.script()->currentIndex(), 2);
    QCOMPARE(p.library()->currentIndex(), 1);
    QCOMPARE(p.folder()->text(), QStringLiteral("/logs"));
    p.page.FromUiToClass();
    QVERIFY(p.record.programLevel >= 0 && p.record.programLevel <= 3);
}

void TestPageLogSettingsWgt::noLevelIsNeverStored()
{
    Page p;
    p.record.programLevel = 2;
    p.program()->setCurrentIndex(-1);
    p.page.FromUiToClass();
    QCOMPARE(p.record.programLevel, 2);
}

QTEST_MAIN(TestPageLogSettingsWgt)
#include "tst_pagelogsettingswgt.moc"
