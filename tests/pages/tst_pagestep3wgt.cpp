#include <QtTest>

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>

#include "common/MessagePrompter.h"
#include "device/ControllerSettings.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "pages/PageStep3Wgt.h"
#include "support/PageRender.h"
#include "support/SimulatedAxis.h"

namespace {

const char* const axis = "sim:axis1";
const QString goodKey = QStringLiteral("00112233445566778899aabbccddeeffFFEEDDCCBBAA99887766554433221100");

// Answers every message with Yes and keeps what it was asked.
class RecordingPrompter : public MessagePrompter
{
public:
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon icon, const QString&, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        asked << text;
        icons << icon;
        return QMessageBox::Yes;
    }
    QStringList asked;
    QList<QMessageBox::Icon> icons;
};

int calls(const char* function) { return trovsim_call_count(axis, function); }

} // namespace

class TestPageStep3Wgt : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        MessagePrompter::install(&prompter);
        prompter.asked.clear();
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
        poller->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
        static const QString name = QString::fromLatin1(axis);
        identity = std::make_unique<ControllerSettings>(&handle, gateway.get(), &name, true);
        page = std::make_unique<PageStep3Wgt>(nullptr, poller.get(), identity.get(), gateway.get());
        PageStep3Wgt::Waits waits;
        waits.prepareMs = waits.beforeWriteMs = waits.restartMs = 0;
        waits.reconnectLimitMs = 300;
        page->setWaits(waits);
    }

    void cleanup()
    {
        page.reset();
        poller.reset();
        closeAndRelease(gateway, handle);
        MessagePrompter::install(nullptr);
    }

    void keys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("64 digits, either case") << goodKey << true;
        QTest::newRow("63 digits") << goodKey.left(63) << false;
        QTest::newRow("0x prefix") << "0x" + goodKey.left(62) << false;
        QTest::newRow("blank inside") << goodKey.left(31) + " " + goodKey.mid(32) << false;
        QTest::newRow("not ASCII") << goodKey.left(63) + QChar(0x00E9) << false;
        QTest::newRow("the initial 0") << "0" << false;
    }

    void keys()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        writeKey(text);
        QCOMPARE(calls("write_key"), accepted ? 1 : 0);
        QCOMPARE(prompter.asked.size(), accepted ? 0 : 1);
        QVERIFY(pollingAllowed);
        if (!accepted)
            return;
        QCOMPARE(page->keyText(), goodKey.toUpper());
        QCOMPARE(boxText(), QStringLiteral("Key was updated succesfully"));
        QVERIFY(handle != -1);    // reopened
    }

    void serialNumber_data()
    {
        QTest::addColumn<QString>("key");       // written to the controller first; empty: none
        QTest::addColumn<QString>("typed");     // in the key box when the serial goes
        QTest::addColumn<int>("forced");        // 0: none
        QTest::addColumn<double>("target");
        QTest::addColumn<QString>("text");      // empty: only a message asking for a key
        const QString error = QStringLiteral("Serial number updating error.\nReturned value: ");
        QTest::newRow("before any key") << "" << "0" << 0 << 5.0 << "";
        QTest::newRow("largest serial") << goodKey << goodKey << 0 << 4294967295.0
                                        << "Serial number was updated succesfully";
        QTest::newRow("wrong key: kept") << goodKey << QString(64, '0') << 0 << 77.0
                                         << "Command was executed succesfully, but SN doesn't changed.\n"
                                            "Target serial: 77, current serial: %1";
        QTest::newRow("-1") << "" << goodKey << -1 << 5.0 << error + "generic error";
        QTest::newRow("-2") << "" << goodKey << -2 << 5.0 << error + "function is not implemented";
        QTest::newRow("-3") << "" << goodKey << -3 << 5.0 << error + "unknown error";
        QTest::newRow("-4") << "" << goodKey << -4 << 5.0 << error + "device is lost";
    }

    void serialNumber()
    {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(int, forced);
        QFETCH(double, target);
        QFETCH(QString, text);
        if (!key.isEmpty())
            writeKey(key);
        const uint32_t before = identity->serialNumber;
        if (forced)
            trovsim_force_result(axis, "set_serial_number", forced, 1);
        prompter.asked.clear();
        page->findChild<QLineEdit*>("keyBox")->setText(typed);
        page->findChild<QDoubleSpinBox*>("snBox")->setValue(target);
        page->OnWriteSNBtnPressed();
        if (text.isEmpty()) {
            QCOMPARE(calls("set_serial_number"), 0);
            QCOMPARE(prompter.asked.size(), 1);
            QCOMPARE(prompter.icons.last(), QMessageBox::Warning);
            return;
        }
        // Asked first, naming both numbers.
        QVERIFY(prompter.asked.value(0).contains(QString::number(before)));
        QVERIFY(prompter.asked.value(0).contains(QString::number(uint32_t(target))));
        QCOMPARE(calls("set_serial_number"), 1);
        QCOMPARE(boxText(), text.contains("%1") ? text.arg(before) : text);
        if (!forced)
            QCOMPARE(page->findChild<QDoubleSpinBox*>("snBox")->value(), double(identity->serialNumber));
        if (text.startsWith("Serial number was"))
            QCOMPARE(identity->serialNumber, 0xFFFFFFFFu);
    }

    void unpluggedDuringKeyWrite()
    {
        QCOMPARE(trovsim_unplug(axis), 0);
        writeKey(goodKey);
        QVERIFY(boxText().startsWith("Key updating error.\nReturned value: "));
        QVERIFY(boxText().contains("did not come back"));
        QVERIFY(pollingAllowed);
        QCOMPARE(handle.load(), device_t(-1));
        trovsim_plug(axis, 0);
    }

    void identityReadLeavesSetUpState()
    {
        writeKey(goodKey);
        deviceInitOk = true;
        QCOMPARE(trovsim_force_result(axis, "get_serial_number", -1, 1), 0);
        page->findChild<QDoubleSpinBox*>("snBox")->setValue(9);
        page->OnWriteSNBtnPressed();
        QCOMPARE(calls("set_serial_number"), 1);
        QVERIFY(deviceInitOk);
    }

    void form()
    {
        QCOMPARE(missingObjectNames(page.get(), {"PageStep3WgtClass", "keyBox", "setBtn", "snBox", "writeSnBtn",
                                                 "rebootToBoot"}),
                 QString());
        auto* sn = page->findChild<QDoubleSpinBox*>("snBox");
        QCOMPARE(sn->maximum(), 4294967295.0);
        QCOMPARE(sn->minimum(), 0.0);
        // Shown afresh each time the page comes up.
        identity->serialNumber = 424242;
        QVERIFY(!renderPage(page.get(), "pagestep3wgt").isEmpty());
        QCOMPARE(sn->value(), 424242.0);
    }

private:
    QString boxText() const { return page->waitBox().findChild<QLabel*>("textLabel")->text(); }
    void writeKey(const QString& text)
    {
        page->findChild<QLineEdit*>("keyBox")->setText(text);
        page->OnSetBtnPressed();
    }

    RecordingPrompter prompter;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> poller;
    std::unique_ptr<ControllerSettings> identity;
    std::unique_ptr<PageStep3Wgt> page;
};

QTEST_MAIN(TestPageStep3Wgt)
#include "tst_pagestep3wgt.moc"
