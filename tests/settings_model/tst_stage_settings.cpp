#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>
#include <thread>

#include "device/DeviceInterface.h"
#include "device/SharedFlags.h"
#include "settings_model/StageSettings.h"
#include "tests/settings_model/SettingsTestSupport.h"
#include "support/SimulatedAxis.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

const QStringList readOrder = {"get_stage_name",          "get_stage_information",   "get_stage_settings",
                               "get_dc_information",      "get_dc_settings",         "get_step_information",
                               "get_step_settings",       "get_encoder_information", "get_encoder_settings",
                               "get_gear_information",    "get_gear_settings"};

template <size_t N>
bool endsInside(const char (&text)[N])
{
    return strnlen(text, N) < N;
}

} // namespace

class TestStageSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dataDir.isValid());
        handle = openOnFreshSimulator(gateway, axis, dataDir.path().toUtf8().constData());
        QVERIFY(handle != -1);
        QCOMPARE(gateway->getMode(handle), 2);
        trovsim_journal_clear();
    }

    void cleanup()
    {
        closeAndRelease(gateway, handle);
        messageLog = nullptr;
        QVERIFY(pollingAllowed);
    }

    void startsEmpty()
    {
        StageSettings stage(&handle, gateway.get());
        QCOMPARE(stage.stageName.PositionerName[0], '\0');
        QCOMPARE(stage.stageInformation.Description[0], '\0');
        QCOMPARE(stage.stageSettings.TravelRange, 0.0f);
        QCOMPARE(stage.gearSettings.Reduction1, 0u);
        QCOMPARE(stage.encoderSettings.OutputType[0], '\0');
        QVERIFY(!stage.stageReloadPending);
        for (int i = 0; i < StageSettings::RecordCount; ++i) {
            QVERIFY(!stage.toWrite[i]);
            QVERIFY(!stage.valid[i]);
        }
        QVERIFY(stage.saveToDevice());
        QCOMPARE(journalCalls(), QStringList());
    }

    void loadsTheElevenRecordsOnce()
    {
        StageSettings stage(&handle, gateway.get());
        QCOMPARE(stage.loadFromDevice(), result_ok);
        QCOMPARE(journalCalls(), readOrder);
        QCOMPARE(QByteArray(stage.stageName.PositionerName), QByteArray("LS-100"));
        QCOMPARE(QByteArray(stage.stageInformation.ArticleNumber), QByteArray("LS-100-01"));
        QCOMPARE(QByteArray(stage.stageSettings.Units), QByteArray("mm"));
        QCOMPARE(stage.stageSettings.TravelRange, 100.0f);
        for (bool valid : stage.valid)
            QVERIFY(valid);
        for (bool flag : stage.toWrite)
            QVERIFY(!flag);
    }

    void textsEndInsideTheirFieldsWhateverTheReadAnswered()
    {
        StageSettings stage(&handle, gateway.get());
        std::memset(&stage.stageInformation, 'x', sizeof stage.stageInformation);
        std::memset(&stage.stageSettings, 'y', sizeof stage.stageSettings);
        std::memset(stage.stageName.PositionerName, 'z', sizeof stage.stageName.PositionerName);
        QCOMPARE(trovsim_force_result(axis, "get_stage_information", -1, 1), 0);
        QCOMPARE(trovsim_force_result(axis, "get_stage_settings", -4, 1), 0);
        QCOMPARE(stage.loadFromDevice(), result_nodevice);
        QCOMPARE(trovsim_call_count(axis, "get_stage_information"), 1);  // no retry
        QVERIFY(endsInside(stage.stageInformation.Manufacturer));
        QVERIFY(endsInside(stage.stageInformation.Series));
        QVERIFY(endsInside(stage.stageInformation.ArticleNumber));
        QVERIFY(endsInside(stage.stageInformation.Description));
        QVERIFY(endsInside(stage.stageSettings.Units));
        QCOMPARE(QByteArray(stage.stageName.PositionerName), QByteArray("LS-100"));
        QVERIFY(!stage.valid[StageSettings::StageInformationRecord]);
        QVERIFY(!stage.valid[StageSettings::StageSettingsRecord]);
        QVERIFY(stage.valid[StageSettings::DcInformationRecord]);
        // The records after the failures were read all the same.
        QVERIFY(stage.valid[StageSettings::GearSettingsRecord]);
        QCOMPARE(journalCalls().size(), 11);
    }

    void writesOnlyTheFlaggedRecordsThatWereRead()
    {
        StageSettings stage(&handle, gateway.get());
        QCOMPARE(stage.loadFromDevice(), result_ok);
        trovsim_journal_clear();
        QVERIFY(stage.saveToDevice());
        QCOMPARE(journalCalls(), QStringList());

        stage.toWrite[StageSettings::DcSettingsRecord] = true;
        stage.dcSettings.NominalVoltage = 24.0f;
        QVERIFY(stage.saveToDevice());
        QCOMPARE(journalCalls(), QStringList({"set_dc_settings"}));
        QVERIFY(stage.toWrite[StageSettings::DcSettingsRecord]);

        trovsim_journal_clear();
        for (bool& flag : stage.toWrite)
            flag = true;
        QVERIFY(stage.saveToDevice());
        QStringList writes;
        for (const QString& get : readOrder)
            writes << "set_" + get.mid(4);
        QCOMPARE(journalCalls(), writes);

        // A failed write is not a success.
        QCOMPARE(trovsim_force_result(axis, "set_gear_settings", -1, 1), 0);
        QVERIFY(!stage.saveToDevice());
    }

    void aRecordNeverReadIsNotWritten()
    {
        MessageLog log;
        messageLog = &log;
        StageSettings stage(&handle, gateway.get());
        QCOMPARE(trovsim_force_result(axis, "get_stage_settings", -1, 1), 0);
        QCOMPARE(stage.loadFromDevice(), result_error);
        takeLogMessages(log);
        trovsim_journal_clear();
        stage.toWrite[StageSettings::StageNameRecord] = true;
        stage.toWrite[StageSettings::StageSettingsRecord] = true;
        QVERIFY(!stage.saveToDevice());
        QCOMPARE(journalCalls(), QStringList({"set_stage_name"}));
        const QStringList lines = takeLogMessages(log);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().startsWith("set_stage_settings skipped"));
    }

    void nothingHappensOutsideTheFirmware()
    {
        StageSettings stage(&handle, gateway.get());
        QCOMPARE(stage.loadFromDevice(), result_ok);
        for (bool& flag : stage.toWrite)
            flag = true;
        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
        QCOMPARE(gateway->getMode(handle), 1);
        trovsim_journal_clear();
        std::strcpy(stage.stageName.PositionerName, "mine");

        QCOMPARE(stage.loadFromDevice(), result_error);
        QVERIFY(!stage.saveToDevice());
        QCOMPARE(journalCalls(true), QStringList());
        QCOMPARE(QByteArray(stage.stageName.PositionerName), QByteArray("mine"));

        gateway->close_device(handle);
        handle = -1;
        trovsim_journal_clear();
        QCOMPARE(stage.loadFromDevice(), result_error);
        QVERIFY(!stage.saveToDevice());
        QCOMPARE(journalCalls(true), QStringList());
    }

    void pollingIsSilencedWhileLoading()
    {
        StageSettings stage(&handle, gateway.get());
        QCOMPARE(trovsim_hold_call(axis, "get_gear_settings"), 0);
        result_t result = result_error;
        std::thread reader([&] { result = stage.loadFromDevice(); });
        const int held = trovsim_wait_held(axis, "get_gear_settings", 10000);
        const bool silenced = !pollingAllowed;
        trovsim_release_call(axis, "get_gear_settings");
        reader.join();
        QCOMPARE(held, 0);
        QVERIFY(silenced);
        QCOMPARE(result, result_ok);
    }

    void copiesAreWhole()
    {
        StageSettings stage(&handle, gateway.get());
        QCOMPARE(stage.loadFromDevice(), result_ok);
        stage.stageReloadPending = true;
        stage.toWrite[3] = true;
        StageSettings copy = stage;
        std::strcpy(copy.stageName.PositionerName, "other");
        QCOMPARE(QByteArray(stage.stageName.PositionerName), QByteArray("LS-100"));
        QVERIFY(copy.stageReloadPending);
        QVERIFY(copy.toWrite[3]);
        QVERIFY(copy.valid[10]);
        QCOMPARE(copy.handle, &handle);
        QCOMPARE(copy.gateway, gateway.get());
    }

private:
    QTemporaryDir dataDir;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
};

QTEST_GUILESS_MAIN(TestStageSettings)
#include "tst_stage_settings.moc"
