#include <QtTest>

#include <QPushButton>
#include <QTextEdit>

#include "common/Paths.h"
#include "device/UpdateThread.h"
#include "log/LibraryLog.h"
#include "log/MessageLog.h"
#include "multiaxis/Multiaxis.h"
#include "scriptdlg/ScriptDlg.h"
#include "settingsdlg/SettingsDlg.h"
#include "support/DialogCalls.h"
#include "support/FullDisk.h"
#include "support/MultiaxisWindowRig.h"
#include "support/PageEdits.h"
#include "support/RecordingPrompter.h"
#include "support/Screenshot.h"
#include "widgets/MessageLine.h"
#include "widgets/StepSpinBox.h"
#include "trovsim.h"

// The multi-axis window has no log table: its message line shows the newest warning or error of
// the program log, whatever part of the program wrote it.

namespace {

const char* const twoSteppers = "axis1:10001:stepper;axis2:10002:stepper";
const char* const axisY = "sim:axis2";

enum Failure { RefusedApply, CorrectedApply, BadTarget, RefusedCommand, Lost, HeldElsewhere, Back };

MessageLine* lineOf(Multiaxis& w)
{
    return w.findChild<MessageLine*>(QStringLiteral("messageLine"));
}

// Slot Y's settings dialog opened by its button, its Home position page edited, Apply pressed
// with the controller answering `result` to the write.
void applyRefusedHome(Multiaxis& w, int result)
{
    w.findChild<QPushButton*>(QStringLiteral("pushButton_settings_2"))->click();
    SettingsDlg& dialog = *w.settingsDlgs[w.axisOrder[1]];
    QCOMPARE(editPage(dialog, SettingsPage::HomePosition), int(MotorSettings::HomeRecord));
    QCOMPARE(trovsim_force_result(axisY, "set_home_settings", result, 1), 0);
    click(dialog, QDialogButtonBox::Apply);
}

void typeInto(StepSpinBox* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

} // namespace

class tst_multiaxis_messages : public QObject
{
    Q_OBJECT

    MessageLog log;
    RecordingPrompter prompter;

private slots:
    void initTestCase()
    {
        messageLog = &log;
        MessagePrompter::install(&prompter);
        set_logging_callback(libraryLogCallback);
    }

    void cleanupTestCase()
    {
        set_logging_callback(nullptr);
        MessagePrompter::install(nullptr);
        messageLog = nullptr;
    }

    void init()
    {
        LogItem item;
        while (log.takeItem(&item)) {
        }
        prompter.texts.clear();
    }

    // Each failure the operator must not miss, made through the window's own buttons, dialogs
    // and polling, reaches the line with its time; errors in red.
    void everyFailureReachesTheLine_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("level");
        QTest::newRow("refused Apply") << int(RefusedApply)
                                       << "SN 10002: Home position: the controller refused the settings (result -1); "
                                          "not applied"
                                       << 1;
        QTest::newRow("corrected Apply") << int(CorrectedApply)
                                         << "SN 10002: Home position: the controller corrected values it does not "
                                            "accept (result -3); the page shows what it holds"
                                         << 2;
        QTest::newRow("bad target") << int(BadTarget) << "Motor Y, Move to: \"-\" is not a target; nothing was sent."
                                    << 2;
        QTest::newRow("refused command") << int(RefusedCommand)
                                         << "SN 10002: Function command_home() failed, result = -1" << 1;
        QTest::newRow("axis lost") << int(Lost) << "SN 10002: Function get_status() failed, result = -4" << 1;
        QTest::newRow("axis held by another program")
            << int(HeldElsewhere) << "sim:axis2: open refused: busy, held by another program" << 2;
        // Back is information: the warning before it stays.
        QTest::newRow("axis back") << int(Back) << "sim:axis2: open refused: no device" << 2;
    }

    void everyFailureReachesTheLine()
    {
        QFETCH(int, failure);
        QFETCH(QString, shown);
        QFETCH(int, level);
        MultiaxisWindowRig rig(2, twoSteppers);
        Multiaxis& w = *rig.window;
        MessageLine* line = lineOf(w);
        QVERIFY(line);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY_WITH_TIMEOUT(w.samples[0].connected && w.samples[1].connected, 5000);
        UpdateThread* pollingY = w.updateThreads[w.axisOrder[1]];
        switch (failure) {
        case RefusedApply:
        case CorrectedApply:
            applyRefusedHome(w, failure == RefusedApply ? result_error : result_value_error);
            QCOMPARE(prompter.texts.size(), failure == RefusedApply ? 1 : 0);
            break;
        case BadTarget:
            typeInto(w.spinBox_moveTo[1], QStringLiteral("-"));
            w.findChild<QPushButton*>(QStringLiteral("pushButton_moveTo"))->click();
            break;
        case RefusedCommand:
            QCOMPARE(trovsim_force_result(axisY, "command_home", result_error, 1), 0);
            w.findChild<QPushButton*>(QStringLiteral("pushButton_home"))->click();
            break;
        case Lost:
            pollingY->setReconnectInterval(UpdateThread::maxReconnectIntervalMs);
            QCOMPARE(trovsim_unplug(axisY), 0);
            break;
        case HeldElsewhere:
            pollingY->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
            QCOMPARE(trovsim_set_busy(axisY, 1), 0);
            QCOMPARE(trovsim_unplug(axisY), 0);
            QCOMPARE(trovsim_plug(axisY, 0), 0);
            break;
        case Back: {
            pollingY->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
            QCOMPARE(trovsim_unplug(axisY), 0);
            QTRY_VERIFY_WITH_TIMEOUT(line->shownLine().endsWith(shown), 5000);
            const QString lost = line->shownLine();
            QCOMPARE(trovsim_plug(axisY, 0), 0);
            QTRY_VERIFY_WITH_TIMEOUT(w.groupBox[1]->isEnabled(), 5000);
            line->takeLogLines();
            QCOMPARE(line->shownLine(), lost);
            break;
        }
        }
        QTRY_VERIFY2_WITH_TIMEOUT(line->shownLine().endsWith(QStringLiteral("  ") + shown), qPrintable(line->shownLine()),
                                  5000);
        QVERIFY(QTime::fromString(line->shownLine().left(8), QStringLiteral("hh:mm:ss")).isValid());
        QCOMPARE(line->shownLevel(), level);
        QVERIFY(line->toolTip().endsWith(shown));
        const QColor red(QStringLiteral("#FF0000"));
        QCOMPARE(line->palette().color(QPalette::WindowText) == red, level == 1);
        if (failure == RefusedApply)
            QVERIFY(keepScreenshot(w, QStringLiteral("multiaxis_refused_apply.png")));
    }

    // After a refused Apply the Settings button brings the dialog forward with the operator's
    // values still on it, marked.
    void theSettingsButtonKeepsRefusedEdits()
    {
        MultiaxisWindowRig rig(2, twoSteppers);
        Multiaxis& w = *rig.window;
        w.show();
        applyRefusedHome(w, result_error);
        SettingsDlg& dialog = *w.settingsDlgs[w.axisOrder[1]];
        QCOMPARE(editedRecord(dialog, SettingsPage::HomePosition), int(MotorSettings::HomeRecord));
        const int reads = trovsim_call_count(axisY, "get_home_settings");
        w.findChild<QPushButton*>(QStringLiteral("pushButton_settings_2"))->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(trovsim_call_count(axisY, "get_home_settings"), reads);
        QCOMPARE(editedRecord(dialog, SettingsPage::HomePosition), int(MotorSettings::HomeRecord));
        QVERIFY(marked(dialog, SettingsPage::HomePosition));
    }

    // Information leaves the line as it is; a long warning is cut to the window, which keeps its
    // width, and is whole on hover.
    void aLongWarningIsCutAndWholeOnHover()
    {
        MultiaxisWindowRig rig(2, twoSteppers);
        Multiaxis& w = *rig.window;
        MessageLine* line = lineOf(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int width = w.width();
        const QDateTime at(QDate(2024, 5, 6), QTime(7, 8, 9));
        const QString longText = QStringLiteral("a warning that goes on ") + QString(300, QLatin1Char('x'));
        log.InsertLine(at, longText, QStringLiteral("Script"), 2);
        log.InsertLine(at.addSecs(1), QStringLiteral("information"), QStringLiteral("Tolmo"), 3);
        line->takeLogLines();
        QCOMPARE(line->shownLine(), "07:08:09  " + longText);
        QVERIFY(line->text().endsWith(QChar(0x2026)));
        QCOMPARE(line->toolTip(), "2024.05.06 07:08:09.000 Script: " + longText);
        QCoreApplication::processEvents();
        QCOMPARE(w.width(), width);
        QVERIFY(line->geometry().bottom() >= w.height() - 2);
        QVERIFY(keepScreenshot(w, QStringLiteral("multiaxis_message_line.png")));
    }

    // Exit on a full disk: the script that cannot go into the scratch file is named in one box
    // and one log line while the window is still there, and the window goes as it would.
    void exitOnAFullDiskTellsOfTheScript()
    {
        QVERIFY(createConfigDir());
        const QString scratch = ScriptDlg::defaultScratchPath();
        MultiaxisWindowRig rig(2, twoSteppers);
        Multiaxis& w = *rig.window;
        w.scriptDlg->editor()->setPlainText(QString(5000, QLatin1Char('s')));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList shownWhenTold;
        prompter.whileOpen = [&] { shownWhenTold << QString::number(w.isVisible()); };
        {
            FullDisk disk(1000);
            QVERIFY(w.close());
        }
        prompter.whileOpen = nullptr;
        const QString told = QStringLiteral("The script could not be written to %1.\nFile too large").arg(scratch);
        QCOMPARE(prompter.texts.filter(QStringLiteral("script")), QStringList{told});
        QCOMPARE(shownWhenTold.size(), prompter.texts.size());
        QVERIFY(!shownWhenTold.contains(QStringLiteral("0")));
        QVERIFY(w.isShutDown() && !w.isVisible());
        QStringList logged;
        LogItem item;
        while (log.takeItem(&item))
            logged << item.message;
        QCOMPARE(logged.filter(QStringLiteral("script")), QStringList{told.simplified()});
    }
};

QTEST_MAIN(tst_multiaxis_messages)
#include "tst_multiaxis_messages.moc"
