#include <QtTest>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <cmath>
#include <cstring>
#include <memory>

#include "common/IniSettings.h"
#include "common/Paths.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "device/LatestSample.h"
#include "settings_model/MotorSettings.h"
#include "pages/StagePageWgt.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "support/DialogCalls.h"
#include "support/LogAndBoxes.h"
#include "support/SimulatedAxis.h"
#include "../settings_model/SettingsTestSupport.h"

// The positioner's memory cannot be restored: an Apply writes a stage record only when the
// operator changed it on pages loaded from the positioner present now. And settings.ini is
// written only by Ok and Apply.

namespace {

const char* const axis = "sim:axis1";

const SettingsPage stagePages[] = {SettingsPage::PositionerName, SettingsPage::Stage, SettingsPage::StageDcMotor,
                                   SettingsPage::StageStepperMotor, SettingsPage::StageEncoder, SettingsPage::StageGear};

// What the control window does when the positioner's memory goes or comes.
void disableStagePages(SettingsDlg& dialog, bool set)
{
    if (set)
        dialog.stageSettings->stageName.PositionerName[0] = 0;
    for (SettingsPage position : stagePages)
        qobject_cast<StagePageWgt*>(dialog.page(position))->SetDisabled(set);
}

// An edit of the Borders page through "Update borders".
void editBorders(SettingsDlg& dialog, int left, int right)
{
    QWidget* slider = dialog.page(SettingsPage::ProgramConfiguration);
    slider->findChild<QSpinBox*>("leftPointValue")->setValue(left);
    slider->findChild<QSpinBox*>("rightPointValue")->setValue(right);
    slider->findChild<QPushButton*>("UpdateBtn")->click();
}

QLineEdit* nameEdit(SettingsDlg& dialog)
{
    return dialog.page(SettingsPage::PositionerName)->findChild<QLineEdit*>("positionerName");
}

// A record erased: all bytes 0xFF, as a fresh memory holds them.
template <typename Record>
void erase(Record& record)
{
    std::memset(static_cast<void*>(&record), 0xFF, sizeof record);
}

QByteArray fileState(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "missing";
    return file.readAll() + "@" + QByteArray::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
}

} // namespace

class TestStageSafety : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> poller;
    QTemporaryDir home;
    LogAndBoxes shared;
    MessageLog& log = shared.log;
    RecordingPrompter& prompter = shared.prompter;

    std::unique_ptr<SettingsDlg> dialog(bool multiaxis = false)
    {
        auto built = std::make_unique<SettingsDlg>(nullptr, poller.get(), gateway.get(), multiaxis);
        built->AllPagesFromDeviceToClassToUi(true, true);
        built->StageSettingsFromDeviceToClassToUi();
        settled(*built);
        return built;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
    }

    void init()
    {
        deviceInitOk = true;
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
        lastStatus = status_t();
        lastStatus.Flags = STATE_EEPROM_CONNECTED;
        deviceConnected = true;
        takeLogMessages(log);
    }

    void cleanup()
    {
        closeAndRelease(poller, gateway, handle);
        QFile::remove(settingsIniPath());
    }

    // No Apply writes a stage record that the operator did not change, nor any to a positioner
    // the pages were not loaded from.
    void noStageWriteWithoutAnEdit_data()
    {
        QTest::addColumn<int>("path");
        QTest::newRow("swapped while its name read fails") << 0;
        QTest::newRow("enabled again without a load") << 1;
        QTest::newRow("memory present, pages disabled") << 2;
        QTest::newRow("erased memory, two Applies") << 3;
        QTest::newRow("loaded, untouched") << 4;
        QTest::newRow("another positioner read by a full reload") << 5;
    }

    void noStageWriteWithoutAnEdit()
    {
        QFETCH(int, path);
        auto shown = dialog();
        if (path == 3) {
            // The simulated memory refuses NaN, so the erased records are read into the dialog
            // as the read would leave them.
            StageSettings& held = *shown->stageSettings;
            erase(held.stageInformation), erase(held.stageSettings), erase(held.dcInformation), erase(held.dcSettings);
            erase(held.stepInformation), erase(held.stepSettings), erase(held.encoderInformation);
            erase(held.encoderSettings), erase(held.gearInformation), erase(held.gearSettings);
            for (SettingsPage position : stagePages)
                qobject_cast<StagePageWgt*>(shown->page(position))->FromClassToUi();
            QVERIFY(std::isnan(held.stageSettings.LeadScrewPitch));
        }
        QVERIFY(shown->stagePagesCurrent());
        if (path <= 1) {
            QCOMPARE(trovsim_set_input(axis, TROVSIM_POSITIONER, 0), 0);
            disableStagePages(*shown, true);
            QCOMPARE(trovsim_set_input(axis, TROVSIM_POSITIONER, 1), 0);
            // The window reads the name again, fails, and keeps the positioner marked absent.
            QCOMPARE(trovsim_force_result(axis, "get_stage_name", -1, 1), 0);
            stage_name_t name;
            QVERIFY(gateway->get_stage_name(handle, &name) != result_ok);
            if (path == 1)
                disableStagePages(*shown, false);
        } else if (path == 2) {
            disableStagePages(*shown, true);
        } else if (path == 5) {
            // Swapped between two polls: the window saw the memory all along.
            stage_name_t other{};
            std::strcpy(other.PositionerName, "OTHER");
            QCOMPARE(gateway->set_stage_name(handle, &other), result_ok);
            shown->AllPagesFromDeviceToClassToUi(true, true);
            QVERIFY(settled(*shown));
            QCOMPARE(nameEdit(*shown)->text(), QStringLiteral("OTHER"));
        }
        editBorders(*shown, 100, 200);
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(setCalls(), QStringList{"set_edges_settings"});
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(setCalls(), QStringList());
        QCOMPARE(takeLogMessages(log), QStringList());
    }

    // A name edit: written once; one that fails or cannot be written stays on the page, told in
    // a box and a log line.
    void nameEdits_data()
    {
        QTest::addColumn<int>("failure");    // 0 none, 1 set_stage_name fails, 2 no memory
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("logged");
        QTest::newRow("written") << 0 << QStringList{"set_stage_name"} << "Stage 2" << "Stage 2" << QString();
        QTest::newRow("write fails") << 1 << QStringList{"set_stage_name"} << "LS-100" << "Stage 2"
                                     << "Stage configuration / Positioner name: the controller refused the settings "
                                        "(result -1)";
        QTest::newRow("no memory") << 2 << QStringList() << "LS-100" << "Stage 2"
                                   << "Stage configuration / Positioner name: no positioner memory was loaded and "
                                      "connected";
    }

    void nameEdits()
    {
        QFETCH(int, failure);
        QFETCH(QStringList, calls);
        QFETCH(QString, held);
        QFETCH(QString, shown);
        QFETCH(QString, logged);
        auto dialogShown = dialog();
        nameEdit(*dialogShown)->setText(QStringLiteral("Stage 2"));
        if (failure == 1)
            QCOMPARE(trovsim_force_result(axis, "set_stage_name", -1, 1), 0);
        if (failure == 2)
            lastStatus.Flags = 0;
        trovsim_journal_clear();
        click(*dialogShown, QDialogButtonBox::Apply);
        QCOMPARE(setCalls(), calls);
        stage_name_t name;
        QCOMPARE(gateway->get_stage_name(handle, &name), result_ok);
        QCOMPARE(QString::fromUtf8(name.PositionerName), held);
        QCOMPARE(nameEdit(*dialogShown)->text(), shown);
        QCOMPARE(takeLogMessages(log), logged.isEmpty() ? QStringList() : QStringList{logged + "; not applied"});
        QCOMPARE(prompter.texts.size(), logged.isEmpty() ? 0 : 1);
        if (!logged.isEmpty())
            QVERIFY2(prompter.texts[0].contains("\n" + logged + "\n"), qPrintable(prompter.texts[0]));
        prompter.texts.clear();
        if (failure == 0) {
            trovsim_journal_clear();
            click(*dialogShown, QDialogButtonBox::Apply);
            QCOMPARE(setCalls(), QStringList());
            // Applied, so nothing is pending once the memory goes.
            lastStatus.Flags = 0;
            click(*dialogShown, QDialogButtonBox::Apply);
            QCOMPARE(takeLogMessages(log), QStringList());
        }
    }

    void multiAxisDialogOffersNoNameEdit()
    {
        auto shown = dialog(true);
        QVERIFY(nameEdit(*shown)->isReadOnly());
    }

    // settings.ini: untouched by showing, Cancel, a profile save and the modified mark; Ok and
    // Apply write a changed option.
    void searchOptionsReachSettingsIniOnlyOnOkAndApply_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("written");
        QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << false;
        QTest::newRow("Ok") << int(QDialogButtonBox::Ok) << true;
        QTest::newRow("Apply") << int(QDialogButtonBox::Apply) << true;
    }

    void searchOptionsReachSettingsIniOnlyOnOkAndApply()
    {
        QFETCH(int, button);
        QFETCH(bool, written);
        QVERIFY(createConfigDir());
        {
            IniSettings ini(settingsIniPath());
            ini.setValue("Device_search_options/Enumerate_probe", false);
            ini.setValue("Other/kept", "yes");
        }
        const QByteArray before = fileState(settingsIniPath());
        auto shown = dialog();
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        QWidget* slider = shown->page(SettingsPage::ProgramConfiguration);
        QVERIFY(!slider->findChild<QCheckBox*>("probeChk")->isChecked());
        slider->findChild<QCheckBox*>("enumChk")->setChecked(true);
        {
            IniSettings profile(home.filePath("profile.cfg"));
            shown->ProgramSettingsToFile(&profile);
        }
        shown->loadedConfigFile = home.filePath("profile.cfg");
        shown->updateModifiedMark();
        QCOMPARE(fileState(settingsIniPath()), before);

        click(*shown, QDialogButtonBox::StandardButton(button));
        IniSettings ini(settingsIniPath());
        QCOMPARE(ini.value("Device_search_options/Enumerate_all_com").toBool(), written);
        QCOMPARE(ini.value("Device_search_options/Enumerate_probe").toBool(), false);
        QCOMPARE(ini.value("Other/kept").toString(), QStringLiteral("yes"));
        if (!written) {
            QCOMPARE(fileState(settingsIniPath()), before);
            QVERIFY(!slider->findChild<QCheckBox*>("enumChk")->isChecked());
        }
        // The bounds' suffix follows a change of engine type.
        QCOMPARE(slider->findChild<QSpinBox*>("leftPointValue")->suffix(), QStringLiteral(" steps"));
        shown->motorTypeChanged(1);
        QCOMPARE(slider->findChild<QSpinBox*>("leftPointValue")->suffix(), QStringLiteral(" counts"));
    }
};

QTEST_MAIN(TestStageSafety)
#include "tst_stagesafety.moc"
