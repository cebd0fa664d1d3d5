#include <QtTest>

#include <QRadioButton>

#include <memory>

#include "device/ControllerSettings.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/DialogCalls.h"
#include "support/PageEdits.h"
#include "support/RecordingPrompter.h"
#include "support/SimulatedAxis.h"

// An Apply that the controller does not take all of is told in one message box naming the pages,
// and leaves their edits on them, marked, for the next Apply; corrected values are warned of.

namespace {

using P = SettingsPage;

const char* const stepperAxis = "sim:axis1";
const char* const dcAxis = "sim:axis3";

// "level: message" of every line the log holds, emptied.
QStringList takeLines(MessageLog& log)
{
    QStringList lines;
    LogItem item;
    while (log.takeItem(&item) == 1)
        lines << QStringLiteral("%1: %2").arg(item.loglevel).arg(item.message);
    return lines;
}

} // namespace

class TestSettingsApply : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> poller;
    const char* axis = stepperAxis;
    RecordingPrompter prompter;
    MessageLog log;

    std::unique_ptr<SettingsDlg> dialog(const char* name, bool multiaxis)
    {
        axis = name;
        handle = openOnFreshSimulator(gateway, axis);
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
        auto built = std::make_unique<SettingsDlg>(nullptr, poller.get(), gateway.get(), multiaxis);
        built->AllPagesFromDeviceToClassToUi(true, true);
        takeLines(log);
        prompter.texts.clear();
        return built;
    }

private slots:
    void initTestCase()
    {
        messageLog = &log;
        MessagePrompter::install(&prompter);
    }

    void cleanupTestCase()
    {
        MessagePrompter::install(nullptr);
        messageLog = nullptr;
    }

    void init() { deviceInitOk = true; }

    void cleanup() { closeAndRelease(poller, gateway, handle); }

    // Each page's record refused in turn, in the dialog of either window: one box names the
    // page and the reason, the edit stays on the page, marked, and the next Apply writes it.
    void eachRefusedRecordIsNamedAndKept_data()
    {
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<bool>("multiaxis");
        QTest::addColumn<int>("page");
        const P stepperPages[] = {P::Borders,      P::MaximumRatings, P::MotorType, P::StepperMotor,
                                  P::Power,        P::Brake,          P::Control,   P::PositionControl,
                                  P::HomePosition, P::TtlSync,        P::Uart,      P::Extio,
                                  P::AboutDevice};
        for (bool multiaxis : {false, true}) {
            const QByteArray kind = multiaxis ? "multi-axis " : "single-axis ";
            for (P position : stepperPages)
                QTest::newRow((kind + SettingsPageFactory::treeText(settingsPageIndex(position))).constData())
                    << QByteArray(stepperAxis) << multiaxis << int(position);
            for (P position : {P::DcMotor, P::Pid})
                QTest::newRow((kind + SettingsPageFactory::treeText(settingsPageIndex(position))).constData())
                    << QByteArray(dcAxis) << multiaxis << int(position);
        }
    }

    void eachRefusedRecordIsNamedAndKept()
    {
        QFETCH(QByteArray, device);
        QFETCH(bool, multiaxis);
        QFETCH(int, page);
        const P position = P(page);
        auto shown = dialog(device == stepperAxis ? stepperAxis : dcAxis, multiaxis);
        const int index = editPage(*shown, position);
        QVERIFY2(index >= 0, "no field of the page changes a record");
        const char* call = MotorSettings::recordSetName(index);
        QCOMPARE(trovsim_force_result(axis, call, result_error, 1), 0);
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Apply);

        QVERIFY2(setCalls().contains(QLatin1String(call)), call);
        QCOMPARE(prompter.texts.size(), 1);
        const QString title = shown->treeItem(position)->text(0);
        const QStringList named = prompter.texts[0].split(QLatin1Char('\n')).filter(title);
        QVERIFY2(named.size() == 1 && named[0].endsWith(QStringLiteral(": the controller refused the settings (result -1)")),
                 qPrintable(prompter.texts[0]));
        QVERIFY(holdsEdit(*shown, position, index));
        QVERIFY(marked(*shown, position));
        // The multi-axis window's log names the axis.
        const QString axisName =
            multiaxis ? QStringLiteral("SN %1: ").arg(shown->controllerSettings->serialNumber) : QString();
        QVERIFY(takeLines(log).contains(QStringLiteral("1: %1%2; not applied").arg(axisName, named[0])));

        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Apply);
        QVERIFY(setCalls().contains(QLatin1String(call)));
        QCOMPARE(prompter.texts.size(), 1);
        QVERIFY(!marked(*shown, position));
        QVERIFY(!holdsEdit(*shown, position, index));
    }

    // A refused record beside a change that makes the dialog read everything back: the refused
    // page shows the operator's value again, the others what the controller holds.
    void refusedEditSurvivesTheReloadOfACriticalChange()
    {
        auto shown = dialog(stepperAxis, true);
        shown->page(P::MotorType)->findChild<QRadioButton*>(QStringLiteral("dcMotorBtn"))->click();
        const int index = editPage(*shown, P::HomePosition);
        QCOMPARE(index, int(MotorSettings::HomeRecord));
        QCOMPARE(trovsim_force_result(axis, "set_home_settings", result_nodevice, 1), 0);
        QSignalSpy critical(shown.get(), &SettingsDlg::SgnChangeCritSettings);
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(critical.count(), 1);
        QCOMPARE(shown->motorSettings->entype.EngineType, 1u);
        QVERIFY(holdsEdit(*shown, P::HomePosition, index));
        QVERIFY(marked(*shown, P::HomePosition) && !marked(*shown, P::MotorType));
        QCOMPARE(prompter.texts.size(), 1);
        QVERIFY2(prompter.texts[0].contains(QStringLiteral("Home position: the controller is lost (result -4)")),
                 qPrintable(prompter.texts[0]));

        // Reset shows the controller's values: nothing is pending any more.
        click(*shown, QDialogButtonBox::Reset);
        QVERIFY(!holdsEdit(*shown, P::HomePosition, index));
        QVERIFY(!marked(*shown, P::HomePosition));
    }

    // Ok with a refused record keeps the dialog open; Save to flash saves nothing.
    void okAndSaveToFlashStopAtARefusal_data()
    {
        QTest::addColumn<bool>("flash");
        QTest::newRow("Ok") << false;
        QTest::newRow("Save to flash") << true;
    }

    void okAndSaveToFlashStopAtARefusal()
    {
        QFETCH(bool, flash);
        auto shown = dialog(stepperAxis, false);
        shown->show();
        QCOMPARE(editPage(*shown, P::Uart), int(MotorSettings::UartRecord));
        QCOMPARE(trovsim_force_result(axis, "set_uart_settings", result_not_implemented, 1), 0);
        const auto press = [&] {
            if (flash)
                shown->findChild<QPushButton*>(QStringLiteral("saveFlashBtn"))->click();
            else
                click(*shown, QDialogButtonBox::Ok);
        };
        press();
        QVERIFY(shown->isVisible());
        QCOMPARE(prompter.texts.size(), 1);
        QVERIFY(prompter.texts[0].contains("UART settings: the controller does not support these settings (result -2)"));
        QCOMPARE(prompter.texts[0].contains("Nothing was saved to flash."), flash);
        QCOMPARE(trovsim_call_count(axis, "command_save_settings"), 0);
        QVERIFY(holdsEdit(*shown, P::Uart, MotorSettings::UartRecord));
        press();  // the controller takes it now
        QCOMPARE(prompter.texts.size(), 1);
        QCOMPARE(shown->isVisible(), flash);
        QCOMPARE(trovsim_call_count(axis, "command_save_settings"), flash ? 1 : 0);
    }
};

QTEST_MAIN(TestSettingsApply)
#include "tst_settingsapply.moc"
