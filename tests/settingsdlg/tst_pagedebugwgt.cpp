#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "common/MessagePrompter.h"
#include "widgets/StepSpinBox.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/PageDebugWgt.h"
#include "support/PageRender.h"
#include "support/SimulatedAxis.h"

namespace {

class Answer : public MessagePrompter
{
public:
    QMessageBox::StandardButton reply = QMessageBox::No;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString&,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        return reply;
    }
};

int journalCount(const char* function)
{
    int count = 0;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && qstrcmp(call.function, function) == 0)
            ++count;
    }
    return count;
}

} // namespace

class TestPageDebugWgt : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    Answer answer;

private slots:
    void init()
    {
        handle = openOnFreshSimulator(gateway, "sim:axis1");
        QVERIFY(handle != -1);
        MessagePrompter::install(&answer);
    }
    void cleanup() { closeAndRelease(gateway, handle); }

    void dumpTakesLowBytesLittleEndian()
    {
        MotorSettings settings(&handle, gateway.get());
        PageDebugWgt page(nullptr, &settings, gateway.get());
        QVERIFY(!renderPage(&page, "pagedebugwgt").isEmpty());
        debug_read_t data{};
        data.DebugData[0] = 0x1F2;
        data.DebugData[1] = 0x9A;
        for (int i = 32; i < 40; ++i)
            data.DebugData[i] = 0xFF;
        data.DebugData[32 + 24] = 0x80; // a signed 32-bit word of 0x00000080
        page.takeDebugRead(data);
        QCOMPARE(page.debugBuffer()[0], uint8_t(0xF2));
        QCOMPARE(page.debugBuffer()[1], uint8_t(0x9A));
        QCOMPARE(page.debugBuffer()[2], uint8_t(0x00));
        QCOMPARE(page.findChild<QLabel*>("label_1")->text(), QString("39666 0 0 0 0 0 "));
        QCOMPARE(page.findChild<QLabel*>("label_2")->text(), QString("-1 0 0 0 128 0 "));
    }

    void commandsReachTheControllerOnlyWhenMeant()
    {
        MotorSettings settings(&handle, gateway.get());
        QCOMPARE(settings.readFromDevice(true), result_ok);
        PageDebugWgt page(nullptr, &settings, gateway.get());
        page.findChild<StepSpinBox*>("posSpinBox")->setValue(500, 0);
        page.findChild<QCheckBox*>("ignorePosCheckBox")->setChecked(true);
        page.findChild<QCheckBox*>("ignoreEncCheckBox")->setChecked(true);
        page.OnSpos();
        page.OnGpos();
        QVERIFY(!page.findChild<QLabel*>("label_pos")->text().startsWith("500 "));
        page.findChild<QCheckBox*>("ignorePosCheckBox")->setChecked(false);
        page.OnSpos();
        page.OnGpos();
        QVERIFY(page.findChild<QLabel*>("label_pos")->text().startsWith("500 0/"));

        QCOMPARE(trovsim_force_result("sim:axis1", "get_position", -1, 1), 0);
        page.OnGpos();
        QCOMPARE(page.findChild<QLabel*>("label_pos")->text(), QString());
        QCOMPARE(page.findChild<QLabel*>("label_enc")->text(), QString());

        trovsim_journal_clear();
        answer.reply = QMessageBox::No;
        for (const char* button : {"clfrBtn", "scalBtn", "eesvBtn", "restBtn"})
            page.findChild<QPushButton*>(button)->click();
        for (const char* call : {"command_clear_fram", "set_calibration_coefficients", "command_eesave_settings",
                                 "command_reset"})
            QVERIFY2(journalCount(call) == 0, call);
        answer.reply = QMessageBox::Yes;
        page.findChild<QPushButton*>("clfrBtn")->click();
        QCOMPARE(journalCount("command_clear_fram"), 1);
    }
};

QTEST_MAIN(TestPageDebugWgt)
#include "tst_pagedebugwgt.moc"
