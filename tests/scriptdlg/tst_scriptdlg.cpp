// The script window: start text, scratch file, loading and saving, line marks, window settings,
// the form and its rendering.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include "common/FileChooser.h"
#include "widgets/ProgramResources.h"
#include "scriptdlg/ScriptDlg.h"
#include "support/FullDisk.h"
#include "support/PageRender.h"
#include "support/LogAndBoxes.h"
#include "tests/settings_model/SettingsTestSupport.h"

namespace {

// Answers the file dialogs with a fixed path.
class FixedChooser : public FileChooser
{
public:
    QString answer;
    QString lastFolder;
    QString openFileName(QWidget*, const QString&, const QString& folder, const QString&) override
    {
        lastFolder = folder;
        return answer;
    }
    QString saveFileName(QWidget*, const QString&, const QString& folder, const QString&) override
    {
        lastFolder = folder;
        return answer;
    }
};

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Line numbers (from 1) of the marked lines.
QList<int> markedLines(const ScriptDlg& dialog)
{
    QList<int> lines;
    for (const QTextEdit::ExtraSelection& mark : dialog.editor()->extraSelections())
        lines << mark.cursor.block().blockNumber() + 1;
    return lines;
}

} // namespace

class TestScriptDlg : public QObject
{
    Q_OBJECT

    LogAndBoxes logged;
    RecordingPrompter& prompter = logged.prompter;
    MessageLog& log = logged.log;

private slots:
    void initTestCase() { loadProgramResources(); }
    void init()
    {
        prompter.texts.clear();
        takeLogMessages(log);
    }
    void cleanup() { FileChooser::install(nullptr); }
    void startText_data()
    {
        QTest::addColumn<QByteArray>("scratch"); // "-" = no file
        QTest::addColumn<QByteArray>("defaultScript");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message");
        QTest::newRow("scratch") << QByteArray("move(1)\n\xc2\xb5") << QByteArray("x") << QString::fromUtf8("move(1)\n\xc2\xb5") << "";
        QTest::newRow("default") << QByteArray("-") << QByteArray("rigt()") << "rigt()" << "";
        QTest::newRow("neither") << QByteArray("-") << QByteArray("-") << "" << "";
        QTest::newRow("scratch not UTF-8") << QByteArray("caf\xe9") << QByteArray("x") << ""
                                           << "Loading failed: %1/scratch.txt is not UTF-8 text";
    }

    void startText()
    {
        QFETCH(QByteArray, scratch);
        QFETCH(QByteArray, defaultScript);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QString scratchPath = folder.filePath("scratch.txt");
        if (scratch != "-")
            writeBytes(scratchPath, scratch);
        if (defaultScript != "-")
            writeBytes(folder.filePath("cyclic.txt"), defaultScript);
        {
            ScriptDlg dialog(nullptr, nullptr, "axis1", scratchPath, folder.filePath("cyclic.txt"));
            dialog.InitUI();
            QCOMPARE(dialog.editor()->toPlainText(), shown);
            QCOMPARE(dialog.statusMessage(), message.arg(folder.path()));
        }
        // Closing writes the scratch back, except over a file it could not read.
        QCOMPARE(readBytes(scratchPath), message.isEmpty() ? shown.toUtf8() : scratch);
    }

    void startWritesScratchFirst()
    {
        QTemporaryDir folder;
        const QString scratchPath = folder.filePath("sub/scratch.txt");
        ScriptDlg dialog(nullptr, nullptr, "axis1", scratchPath, QString());
        dialog.InitUI();
        dialog.editor()->setPlainText(QString::fromUtf8("log('é')"));
        dialog.OnScriptExecPositionChanged(1);
        QByteArray atStart;
        connect(&dialog, &ScriptDlg::start, this, [&] { atStart = readBytes(scratchPath); });
        dialog.findChild<QPushButton*>("startBtn")->click();
        QCOMPARE(atStart, QByteArray("log('\xc3\xa9')"));
        QCOMPARE(dialog.statusMessage(), QStringLiteral("Script started"));
        QVERIFY(markedLines(dialog).isEmpty());
    }

    void badLoadsKeepText_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("cancelled") << "" << "Loading cancelled";
        QTest::newRow("missing") << "missing.txt" << "Loading failed: No such file or directory";
        QTest::newRow("folder") << "." << "Loading failed: %1/. is a folder";
        QTest::newRow("oversized") << "big.txt" << "Loading failed: %1/big.txt is larger than 10 MB";
        QTest::newRow("not UTF-8") << "latin1.txt" << "Loading failed: %1/latin1.txt is not UTF-8 text";
    }

    void badLoadsKeepText()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        QTemporaryDir folder;
        writeBytes(folder.filePath("big.txt"), QByteArray(ScriptDlg::maxScriptBytes + 1, 'a'));
        writeBytes(folder.filePath("latin1.txt"), "move(\xb5)");
        FixedChooser chooser;
        chooser.answer = file.isEmpty() ? QString() : folder.filePath(file);
        FileChooser::install(&chooser);
        ScriptDlg dialog(nullptr, nullptr, "axis1", folder.filePath("scratch.txt"), QString());
        dialog.InitUI();
        dialog.editor()->setPlainText("kept");
        dialog.findChild<QPushButton*>("loadBtn")->click();
        QCOMPARE(dialog.editor()->toPlainText(), QStringLiteral("kept"));
        QCOMPARE(dialog.statusMessage(), message.arg(folder.path()));
        QVERIFY(!chooser.lastFolder.isEmpty()); // scriptsPath() while nothing is remembered
        // A failure is told in a box naming the file and the reason, and logged.
        const QString told =
            "The script could not be read from " + chooser.answer + ".\n" + message.arg(folder.path()).mid(16);
        QCOMPARE(prompter.texts, file.isEmpty() ? QStringList() : QStringList{told});
        QCOMPARE(takeLogMessages(log), file.isEmpty() ? QStringList() : QStringList{told.simplified()});
    }

    void saveFailureReports()
    {
        QTemporaryDir folder;
        writeBytes(folder.filePath("plain"), "x");
        FixedChooser chooser;
        chooser.answer = folder.filePath("plain/script.txt"); // a file where a folder should be
        FileChooser::install(&chooser);
        ScriptDlg dialog(nullptr, nullptr, "axis1", folder.filePath("plain/scratch.txt"), QString());
        dialog.InitUI();
        dialog.findChild<QPushButton*>("saveBtn")->click();
        QVERIFY2(dialog.statusMessage().startsWith("Saving failed: "), qPrintable(dialog.statusMessage()));
        QVERIFY(prompter.texts.value(0).startsWith("The script could not be written to " + chooser.answer + ".\n"));
        QCOMPARE(takeLogMessages(log), QStringList{prompter.texts[0].simplified()});
        QVERIFY(!dialog.saveScratch());
        QVERIFY(dialog.statusMessage().startsWith("Saving failed: "));
        QCOMPARE(readBytes(folder.filePath("plain")), QByteArray("x"));
        chooser.answer = folder.filePath("ok.txt");
        dialog.editor()->setPlainText(QString::fromUtf8("ü"));
        dialog.findChild<QPushButton*>("saveBtn")->click();
        QCOMPARE(readBytes(folder.filePath("ok.txt")), QByteArray("\xc3\xbc"));
    }

    // Closing on a full disk tells of each text once, in a box and the log; the window's end
    // only logs what it could not keep.
    void scratchFailureAtCloseIsToldOncePerText()
    {
        QTemporaryDir folder;
        const QString scratchPath = folder.filePath("scratch.txt");
        const QString told = "The script could not be written to " + scratchPath + ".\nFile too large";
        auto dialog = std::make_unique<ScriptDlg>(nullptr, nullptr, "axis1", scratchPath, QString());
        dialog->InitUI();
        FullDisk disk(1000);
        for (const char fill : {'x', 'x', 'y'}) {
            dialog->editor()->setPlainText(QString(5000, QLatin1Char(fill)));
            dialog->show();
            dialog->reject();
        }
        QCOMPARE(prompter.texts, (QStringList{told, told}));
        QCOMPARE(takeLogMessages(log), (QStringList{told.simplified(), told.simplified()}));
        dialog->editor()->setPlainText(QString(5000, QLatin1Char('z')));
        dialog.reset();
        QCOMPARE(prompter.texts.size(), 2);
        QCOMPARE(takeLogMessages(log), QStringList{told.simplified()});
    }

    void marks()
    {
        QTemporaryDir folder;
        ScriptDlg dialog(nullptr, nullptr, "axis1", folder.filePath("scratch.txt"), QString());
        dialog.editor()->setPlainText("a\nb\nc\nd\ne\nf");
        const QList<QPair<int, QList<int>>> steps = {{1, {1}}, {0, {}}, {99, {6}}, {3, {3}}, {5, {5}}, {-4, {1}}};
        for (const auto& step : steps) {
            dialog.OnScriptExecPositionChanged(step.first);
            QCOMPARE(markedLines(dialog), step.second);
        }
        QCOMPARE(dialog.editor()->extraSelections()[0].format.background().color(), QColor(Qt::lightGray));
    }

    void marksAddNoUndoStep()
    {
        QTemporaryDir folder;
        ScriptDlg dialog(nullptr, nullptr, "axis1", folder.filePath("scratch.txt"), QString());
        dialog.editor()->setPlainText("a\nb");
        dialog.editor()->textCursor().insertText("x");
        const int steps = dialog.editor()->document()->availableUndoSteps();
        dialog.editor()->document()->setModified(false);
        for (int i = 0; i < 1000; ++i)
            dialog.OnScriptExecPositionChanged(i % 3);
        QCOMPARE(dialog.editor()->document()->availableUndoSteps(), steps);
        QVERIFY(!dialog.editor()->document()->isModified());
        dialog.OnExceptionThrown("ReferenceError: x", 0);
        QVERIFY(markedLines(dialog).isEmpty());
    }

    void windowSettings_data()
    {
        QTest::addColumn<QString>("own");      // INI text of the window's file
        QTest::addColumn<QString>("defaults"); // "-" = no defaults file
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("loadPath");
        const QString group = "[scriptWindow_params]\n";
        QTest::newRow("own size") << group + "size=@Size(500 300)\nload_path=/a\n" << "-" << QSize(500, 300) << "/a";
        QTest::newRow("size from defaults") << group << group + "size=@Size(480 280)\nload_path=/d\n" << QSize(480, 280) << "";
        QTest::newRow("defaults lack it") << group << group << QSize(615, 260) << "";
        QTest::newRow("no defaults file") << group << "-" << QSize(532, 450) << "";
        QTest::newRow("not a size") << group + "size=abc\n" << "-" << QSize(615, 260) << "";
        QTest::newRow("larger than the screen") << group + "size=@Size(99999 99999)\n" << "-" << QSize(800, 600) << "";
    }

    void windowSettings()
    {
        QFETCH(QString, own);
        QFETCH(QString, defaults);
        QFETCH(QSize, size);
        QFETCH(QString, loadPath);
        QTemporaryDir folder;
        writeBytes(folder.filePath("own.ini"), own.toUtf8());
        writeBytes(folder.filePath("defaults.ini"), defaults.toUtf8());
        QSettings ownFile(folder.filePath("own.ini"), QSettings::IniFormat);
        QSettings defaultsFile(folder.filePath("defaults.ini"), QSettings::IniFormat);
        ScriptDlg dialog(nullptr, nullptr, "axis1", folder.filePath("scratch.txt"), QString());
        dialog.FromSettingsToUi(&ownFile, defaults == "-" ? nullptr : &defaultsFile);
        QCOMPARE(dialog.size(), size);
        QCOMPARE(dialog.load_path, loadPath);

        QSettings written(folder.filePath("written.ini"), QSettings::IniFormat);
        dialog.FromUiToSettings(&written);
        QCOMPARE(written.value("scriptWindow_params/size").toSize(), size);
        QCOMPARE(written.value("scriptWindow_params/load_path").toString(), loadPath);
    }

    void formAndRender()
    {
        QTemporaryDir folder;
        writeBytes(folder.filePath("scratch.txt"), "// cyclic\nint n = 5;\nwhile (true) {\n  move(100, 0); msleep(250);\n"
                                                   "  get_move_settings(); /* back */ movr(-100)\n}\n");
        ScriptDlg dialog(nullptr, nullptr, "axis1", folder.filePath("scratch.txt"), QString());
        dialog.InitUI();
        QCOMPARE(dialog.objectName(), QStringLiteral("ScriptDlgClass"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Scripting axis1"));
        QCOMPARE(dialog.minimumWidth(), 460);
        QVERIFY(!dialog.windowIcon().isNull());
        QCOMPARE(missingObjectNames(&dialog, {"mainVLayout", "horizontalLayout", "verticalLayout_2", "codeEdit",
                                              "gridLayout_2", "groupBox", "verticalLayout", "startBtn", "stopBtn",
                                              "loadBtn", "saveBtn", "statusLabel"}),
                 QString());
        QStringList texts;
        for (const char* name : {"startBtn", "stopBtn", "loadBtn", "saveBtn"})
            texts << dialog.findChild<QPushButton*>(name)->text();
        QCOMPARE(texts, QStringList({"Start", "Stop", "Load", "Save"}));
        QVERIFY(!dialog.findChild<QPushButton*>("stopBtn")->isEnabled());
        QCOMPARE(dialog.findChild<QWidget*>("groupBox")->maximumWidth(), 145);
        dialog.OnScriptExecPositionChanged(4);
        QVERIFY(!renderPage(&dialog, "scriptdlg").isEmpty());
    }
};

QTEST_MAIN(TestScriptDlg)
#include "tst_scriptdlg.moc"
