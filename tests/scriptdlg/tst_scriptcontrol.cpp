// The wiring of a script window to its engine, the one both the single-axis and the multi-axis
// window use: what a script error shows in the window, and the buttons once the run has ended.
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "scriptdlg/ScriptAxisHost.h"
#include "scriptdlg/ScriptControl.h"
#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "scriptdlg/ScriptThreadMulti.h"
#include "support/Screenshot.h"
#include "support/SimulatedAxis.h"

namespace {

constexpr int boundMs = 5000;
const char* const axis = "sim:axis1"; // serial number 10001

// The same axis as the multi-axis engine's only one.
class OneAxisHost : public ScriptAxisHost
{
public:
    DeviceInterface* gateway = nullptr;
    std::atomic<device_t>* handle = nullptr;
    int scriptAxisCount() const override { return 1; }
    DeviceInterface* scriptAxisGateway(int) const override { return gateway; }
    std::atomic<device_t>* scriptAxisHandle(int) const override { return handle; }
};

struct Rig
{
    QTemporaryDir home;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    OneAxisHost host;
    std::unique_ptr<ScriptDlg> dialog;
    std::unique_ptr<ScriptControl> control;

    explicit Rig(bool multiaxis)
    {
        handle = openOnFreshSimulator(gateway, axis);
        host.gateway = gateway.get();
        host.handle = &handle;
        dialog = std::make_unique<ScriptDlg>(nullptr, nullptr, QStringLiteral("axis1"),
                                             home.filePath(QStringLiteral("scratch.txt")), QString());
        dialog->InitUI();
        dialog->show();
        std::unique_ptr<ScriptEngineThread> engine;
        if (multiaxis)
            engine = std::make_unique<ScriptThreadMulti>(&host);
        else
            engine = std::make_unique<ScriptThread>(gateway.get(), &handle);
        control = std::make_unique<ScriptControl>(dialog.get(), std::move(engine),
                                                  multiaxis ? ScriptControl::LineMarks::ExceptionsOnly
                                                            : ScriptControl::LineMarks::Running);
    }
    ~Rig()
    {
        control.reset();
        closeAndRelease(gateway, handle);
    }
    // Start, Stop, Load and Save, "+" enabled, "-" not; then "e" when the editor takes input.
    QString controls() const
    {
        QString shown;
        for (const char* name : {"startBtn", "stopBtn", "loadBtn", "saveBtn"})
            shown += dialog->findChild<QPushButton*>(QLatin1String(name))->isEnabled() ? '+' : '-';
        if (dialog->editor()->textInteractionFlags() & Qt::TextEditable)
            shown += 'e';
        return shown;
    }
};

} // namespace

class TestScriptControl : public QObject
{
    Q_OBJECT
private slots:
    void errors_data()
    {
        QTest::addColumn<bool>("multiaxis");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line"); // marked afterwards, 0 = none
        QTest::newRow("reference") << false << "\nfoo();" << "Line 2: ReferenceError: Can't find variable: foo" << 2;
        QTest::newRow("syntax") << true << "var a = 1;\n\nvar b = ;" << "Line 3: SyntaxError: Parse error" << 3;
        QTest::newRow("thrown text, no line of its own") << false << "msleep(1);\n\nthrow 'halt'" << "Line 3: halt" << 3;
        QTest::newRow("wrong arguments") << true << "var a = newaxis(10001);\n\na.move('abc', {x: 1})"
                                         << "Line 3: TypeError: move(): the target must be finite and within the "
                                            "32-bit range"
                                         << 3;
        QTest::newRow("missing argument") << true << "var a = newaxis(10001);\na.move()"
                                          << "Line 2: SyntaxError: too few arguments in call to move(); candidates "
                                             "are\n    move(int)\n    move(int,int)"
                                          << 2;
        // Its text cannot be had: reports nested in the report would never end.
        QTest::newRow("toString that throws") << false << "\nthrow {toString: function() { throw this }}"
                                              << "Line 2: exception with no text" << 2;
    }

    // The error reaches the window whole: its text with the line in the status bar (cut visibly
    // when too long, whole on hover), the line marked, script_exception for the owner's log; the
    // buttons go idle.
    void errors()
    {
        QFETCH(bool, multiaxis);
        QFETCH(QString, script);
        QFETCH(QString, message);
        QFETCH(int, line);
        Rig rig(multiaxis);
        QSignalSpy exceptions(rig.dialog.get(), &ScriptDlg::script_exception);
        rig.dialog->editor()->setPlainText(script);
        rig.dialog->findChild<QPushButton*>("startBtn")->click();
        QCOMPARE(rig.controls(), QStringLiteral("-+--"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.controls(), QStringLiteral("+-++e"), boundMs);
        QTRY_VERIFY_WITH_TIMEOUT(!exceptions.isEmpty(), boundMs);
        QCOMPARE(exceptions.last()[0].toString(), message);
        QCOMPARE(rig.dialog->errorMessage(), message);
        QCOMPARE(rig.dialog->findChild<QStatusBar*>("statusBar")->toolTip(), message);
        const QString bar = rig.dialog->statusMessage();
        QVERIFY2(bar == message.simplified()
                     || (bar.endsWith(QChar(0x2026)) && message.simplified().startsWith(bar.chopped(1))),
                 qPrintable(bar));
        const QList<QTextEdit::ExtraSelection> marks = rig.dialog->editor()->extraSelections();
        QCOMPARE(marks.size(), line > 0 ? 1 : 0);
        if (line > 0)
            QCOMPARE(marks[0].cursor.blockNumber(), line - 1);
        QVERIFY(keepScreenshot(*rig.dialog, QStringLiteral("error %1.png").arg(QTest::currentDataTag())));
        // The error stays until the next message.
        rig.dialog->findChild<QPushButton*>("startBtn")->click();
        QCOMPARE(rig.dialog->statusMessage(), QStringLiteral("Script started"));
        QCOMPARE(rig.dialog->findChild<QStatusBar*>("statusBar")->toolTip(), QString());
    }
};

QTEST_MAIN(TestScriptControl)
#include "tst_scriptcontrol.moc"
