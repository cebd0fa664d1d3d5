#include <QtTest>
#include "support/TestTime.h"

#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QDialogButtonBox>
#include <QSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <memory>
#include <set>

#include "common/WindowPlacement.h"
#include "device/AxisCourier.h"
#include "device/ControllerSettings.h"
#include "device/FirmwareUpdateThread.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "pages/ControllerPageWgt.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settingsdlg/PageSliderSetupWgt.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/PageEdits.h"
#include "support/PageRender.h"
#include "support/RandomRecords.h"
#include "support/DialogCalls.h"
#include "support/LogAndBoxes.h"
#include "support/SimulatedAxis.h"
#include "support/TypeInto.h"
#include "../settings_model/SettingsTestSupport.h"

namespace {

const char* const stepperAxis = "sim:axis1";
const char* const dcAxis = "sim:axis3";

// The controller records with their types, for field-by-field writes.
#define DLG_RECORDS(X)                                                                                     \
    X(edges, edges_settings_t, EdgesRecord) X(secure, secure_settings_t, SecureRecord)                     \
    X(engine, engine_settings_t, EngineRecord) X(entype, entype_settings_t, EntypeRecord)                   \
    X(move, move_settings_t, MoveRecord) X(feedback, feedback_settings_t, FeedbackRecord)                   \
    X(power, power_settings_t, PowerRecord) X(brake, brake_settings_t, BrakeRecord)                         \
    X(control, control_settings_t, ControlRecord) X(joystick, joystick_settings_t, JoystickRecord)          \
    X(ctp, ctp_settings_t, CtpRecord) X(home, home_settings_t, HomeRecord) X(pid, pid_settings_t, PidRecord) \
    X(syncIn, sync_in_settings_t, SyncInRecord) X(syncOut, sync_out_settings_t, SyncOutRecord)              \
    X(uart, uart_settings_t, UartRecord) X(extio, extio_settings_t, ExtioRecord)

void setWord(uint32_t& field, uint32_t value) { field = value; }
void setWord(int32_t& field, uint32_t value) { field = int32_t(value); }
template <typename Other>
void setWord(Other&, uint32_t) {}

// Pushes value into every integer field of every record, one field per write, so that the
// controller keeps what it accepts of each (corrected flag words, values at its limits).
void pushEveryField(MotorSettings& s, uint32_t value)
{
#define DLG_FIELD(name, kind, compare)                      \
    setWord(record.name, value);                            \
    s.writeRecordToDevice(index);                           \
    s.reRead[index] = true;                                 \
    s.readFromDevice(false);
#define DLG_RECORD(member, type, recordIndex)               \
    {                                                       \
        auto& record = s.member;                            \
        const int index = MotorSettings::recordIndex;       \
        TROV_FIELDS_##type(DLG_FIELD)                       \
    }
    DLG_RECORDS(DLG_RECORD)
#undef DLG_RECORD
#undef DLG_FIELD
}

int settingCalls()
{
    int count = 0;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0
            && (qstrncmp(call.function, "set_", 4) == 0 || qstrncmp(call.function, "command_", 8) == 0))
            ++count;
    }
    return count;
}

QString unusable(const SettingsDlg& dialog)
{
    QStringList off;
    for (int i = 0; i < dialog.treeItems.size(); ++i) {
        if (dialog.treeItems.at(i)->flags() != (Qt::ItemIsSelectable | Qt::ItemIsEnabled))
            off << QString::number(i);
    }
    return off.join(QLatin1Char(' '));
}

// What the page's input widgets show.
QString widgetState(QWidget* page)
{
    QStringList state;
    for (QSpinBox* box : page->findChildren<QSpinBox*>())
        state << QString::number(box->value());
    for (QComboBox* box : page->findChildren<QComboBox*>())
        state << QString::number(box->currentIndex());
    for (QAbstractButton* box : page->findChildren<QAbstractButton*>())
        state << QString::number(box->isChecked());
    return state.join(QLatin1Char(','));
}

// "3 17-19" -> "3 17 18 19"
QString expandRanges(const QString& text)
{
    QStringList out;
    for (const QString& part : text.split(QLatin1Char(' '))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        for (int i = ends.first().toInt(); i <= ends.last().toInt(); ++i)
            out << QString::number(i);
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestSettingsDlg : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> poller;
    const char* axis = stepperAxis;
    LogAndBoxes logged;
    RecordingPrompter& prompter = logged.prompter;
    MessageLog& log = logged.log;

    void open(const char* name)
    {
        axis = name;
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
    }

    std::unique_ptr<SettingsDlg> dialog(bool multiaxis = false)
    {
        auto built = std::make_unique<SettingsDlg>(nullptr, poller.get(), gateway.get(), multiaxis);
        built->AllPagesFromDeviceToClassToUi(true, true);
        settled(*built);
        return built;
    }

private slots:
    void init()
    {
        deviceInitOk = true;
        prompter.texts.clear();
        takeLogMessages(log);
    }

    void cleanup() { closeAndRelease(poller, gateway, handle); }

    // Whatever pages the factory builds: a controller at any state its records accept, shown
    // and applied unchanged, is written nothing and signals no critical change.
    void unchangedApplyWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<int>("draw");
        QTest::addColumn<uint>("pushed");
        for (const char* device : {stepperAxis, dcAxis}) {
            const QByteArray name(device);
            QTest::newRow((name + " defaults").constData()) << name << -1 << 0u;
            for (uint word : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x7Fu})
                QTest::newRow((name + " every field " + QByteArray::number(word, 16)).constData()) << name << -1 << word;
            for (int draw = 0; draw < 4; ++draw)
                QTest::newRow((name + " draw " + QByteArray::number(draw)).constData()) << name << draw << 0u;
        }
    }

    void unchangedApplyWritesNothing()
    {
        QFETCH(QByteArray, device);
        QFETCH(int, draw);
        QFETCH(uint, pushed);
        open(device == stepperAxis ? stepperAxis : dcAxis);
        {
            MotorSettings s(&handle, gateway.get());
            QCOMPARE(s.readFromDevice(true), result_ok);
            const unsigned int engineType = s.entype.EngineType;
            if (pushed)
                pushEveryField(s, pushed);
            if (draw >= 0) {
                QRandomGenerator rng(quint32(draw + 11));
                fillRandom(s, rng);
                if (draw % 2 == 0)
                    s.entype.EngineType = engineType;
                for (int index = 0; index < MotorSettings::RecordCount; ++index)
                    s.writeRecordToDevice(index);
            }
        }
        auto shown = dialog();
        QSignalSpy critical(shown.get(), &SettingsDlg::SgnChangeCritSettings);
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(setCalls(), QStringList());
        QCOMPARE(critical.count(), 0);
    }

    void criticalChangeWritesOnlyTheChangedRecord_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("signalCount");
        QTest::newRow("engine type") << "dcMotorBtn" << 1;
        QTest::newRow("same type") << "stepperMotorBtn" << 0;
    }

    void criticalChangeWritesOnlyTheChangedRecord()
    {
        QFETCH(QString, button);
        QFETCH(int, signalCount);
        open(stepperAxis);
        auto shown = dialog();
        QSignalSpy critical(shown.get(), &SettingsDlg::SgnChangeCritSettings);
        QSignalSpy changed(shown.get(), &SettingsDlg::SgnChangeSettings);
        shown->page(SettingsPage::MotorType)->findChild<QRadioButton*>(button)->click();
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(critical.count(), signalCount);
        QCOMPARE(setCalls(), signalCount ? QStringList{"set_entype_settings"} : QStringList());
        QVERIFY(changed.count() >= 1);
    }

    void criticalFields_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("critical");
        const char* names[] = {"engine type", "driver type", "microstep mode", "feedback type", "reverse bit",
                               "two at once", "speed alone", "other engine flag"};
        const bool critical[] = {true, true, true, true, true, true, false, false};
        for (int i = 0; i < 8; ++i)
            QTest::newRow(names[i]) << i << critical[i];
    }

    void criticalFields()
    {
        QFETCH(int, change);
        QFETCH(bool, critical);
        MotorSettings before(nullptr, nullptr);
        before.entype.EngineType = 3;
        before.engine.EngineFlags = ENGINE_REVERSE;
        MotorSettings after(before);
        switch (change) {
        case 0: after.entype.EngineType = 1; break;
        case 1: after.entype.DriverType = 3; break;
        case 2: after.engine.MicrostepMode = 9; break;
        case 3: after.feedback.FeedbackType = 1; break;
        case 4: after.engine.EngineFlags = 0; break;
        case 5: after.engine.MicrostepMode = 9, after.feedback.FeedbackType = 1; break;
        case 6: after.move.Speed = 5000; break;
        default: after.engine.EngineFlags |= ENGINE_ACCEL_ON; break;
        }
        QCOMPARE(SettingsDlg::isCriticalChange(before, after), critical);
    }

    void failedWriteStaysUnappliedUntilWritten()
    {
        open(stepperAxis);
        auto shown = dialog();
        QSignalSpy critical(shown.get(), &SettingsDlg::SgnChangeCritSettings);
        shown->page(SettingsPage::MotorType)->findChild<QRadioButton*>("dcMotorBtn")->click();
        QCOMPARE(trovsim_force_result(axis, "set_entype_settings", -1, 1), 0);
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(shown->motorSettings->entype.EngineType, 3u);
        QCOMPARE(critical.count(), 0);
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(setCalls(), QStringList{"set_entype_settings"});
        QCOMPARE(critical.count(), 1);
    }

    void noApplyWhileTheControllerCannotTakeIt()
    {
        open(stepperAxis);
        auto shown = dialog();
        shown->page(SettingsPage::MotorType)->findChild<QRadioButton*>("dcMotorBtn")->click();
        QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        // As polling tells it.
        emit poller->finished(0, QDateTime(), status_t{}, chart_data_t{}, analog_data_t{}, true, 1);
        const MotorSettings before(*shown->motorSettings);
        shown->show();
        QVERIFY(!shown->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply)->isEnabled());
        trovsim_journal_clear();
        QSignalSpy changed(shown.get(), &SettingsDlg::SgnChangeSettings);
        shown->AllPagesFromUiToClassToDevice();
        click(*shown, QDialogButtonBox::Ok);
        QCOMPARE(settingCalls(), 0);
        QCOMPARE(changed.count(), 0);
        QVERIFY(shown->motorSettings->sameRecord(before, MotorSettings::EntypeRecord));
        QVERIFY(shown->isVisible());
        QCOMPARE(prompter.texts.size(), 2);
        QVERIFY(prompter.texts[1].startsWith("Nothing was applied: the controller is in its bootloader.\n\n"));

        // A reload whose identity read fails reports it and leaves the start-up verdict alone.
        QCOMPARE(trovsim_plug(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        QCOMPARE(trovsim_force_result(axis, "get_serial_number", -1, 1), 0);
        SettingsDlg::ReadEnd end = SettingsDlg::ReadEnd::Whole;
        shown->readForShowing([&end](SettingsDlg::ReadEnd read) { end = read; });
        QVERIFY(settled(*shown));
        QCOMPARE(end, SettingsDlg::ReadEnd::Failed);
        QVERIFY(deviceInitOk);
    }

    void treeStateFollowsModeTypeAndKind_data()
    {
        QTest::addColumn<bool>("bootloader");
        QTest::addColumn<bool>("multiaxis");
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QString>("off");
        QTest::newRow("stepper") << false << false << QList<int>{} << "3 4 5 12 45";
        QTest::newRow("dc") << false << false << QList<int>{1} << "3 5 6 46";
        QTest::newRow("bldc") << false << false << QList<int>{5} << "3 4 6 46";
        QTest::newRow("2 after dc") << false << false << QList<int>{1, 2} << "3 4 5 6 46";
        QTest::newRow("0 after stepper") << false << false << QList<int>{0} << "3 4 5 6 12 45";
        QTest::newRow("multi-axis dc") << false << true << QList<int>{1} << "3 5 6 17-41 46";
        QTest::newRow("bootloader") << true << false << QList<int>{} << "1-15 17-41 42-48";
        // A damaged image leaves the controller in its bootloader: its pages only.
        QTest::newRow("bootloader after a failed update") << true << false << QList<int>{} << "1-15 17-41 42-48";
    }

    void treeStateFollowsModeTypeAndKind()
    {
        QFETCH(bool, bootloader);
        QFETCH(bool, multiaxis);
        QFETCH(QList<int>, types);
        QFETCH(QString, off);
        open(stepperAxis);
        const bool failedUpdate = QByteArray(QTest::currentDataTag()).contains("failed update");
        if (bootloader && !failedUpdate) {
            QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
            gateway->close_device(handle);
            handle = gateway->open_device(axis);
        }
        auto shown = dialog(multiaxis);
        QTemporaryDir folder;
        if (failedUpdate) {
            QFile image(folder.filePath("damaged.cod"));
            QVERIFY(image.open(QIODevice::WriteOnly) && image.write(QByteArray(64, 'x')) == 64);
            image.close();
            shown->findChild<QTreeWidget*>()->setCurrentItem(shown->treeItem(SettingsPage::Power));
            poller->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
            shown->firmwareThread->setRestartWait(0);
            shown->firmwareThread->setFirmwareFileName(image.fileName());
            QSignalSpy done(shown->firmwareThread, &FirmwareUpdateThread::update_finished);
            shown->firmwareThread->start();
            QVERIFY(shown->firmwareThread->wait(10000));
            QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, scaledMs(2000));
            QCOMPARE(done.at(0).at(0).toInt(), int(result_error));
            QCoreApplication::processEvents();
            QVERIFY(settled(*shown));
        }
        for (int type : types) {
            shown->motorSettings->entype.EngineType = uint(type);
            shown->setEngineType();
            shown->motorTypeChanged(uint(type));
        }
        QCOMPARE(unusable(*shown), expandRanges(off));
        if (bootloader)
            QCOMPARE(shown->treeItems.indexOf(shown->findChild<QTreeWidget*>()->currentItem()), 16);
        if (bootloader && !failedUpdate) {
            // Back in the firmware after a power cycle: the reload opens every page again.
            QCOMPARE(trovsim_plug(axis, 1), 0);
            gateway->close_device(handle);
            handle = gateway->open_device(axis);
            QVERIFY(shown->AllPagesFromDeviceToClassToUi(true, true));
            QVERIFY(settled(*shown));
            QCOMPARE(unusable(*shown), QStringLiteral("3 4 5 12 45"));
        }
    }

    void unusableCurrentItemGivesWayToItsTopLevelItem()
    {
        open(stepperAxis);
        auto shown = dialog();
        auto* tree = shown->findChild<QTreeWidget*>();
        tree->setCurrentItem(shown->treeItem(SettingsPage::StepperMotor));
        shown->motorTypeChanged(1);
        QCOMPARE(tree->currentItem(), shown->treeItem(SettingsPage::DeviceConfiguration));
        QCOMPARE(shown->unitTexts().position, QStringLiteral(" counts"));
        shown->OnCurItemChanged(nullptr, nullptr);
        QTreeWidgetItem stranger;
        shown->OnCurItemChanged(&stranger, nullptr);
        QCOMPARE(tree->currentItem(), shown->treeItem(SettingsPage::DeviceConfiguration));
    }

    void updateBordersGoesThroughTheBordersPage()
    {
        open(stepperAxis);
        edges_settings_t edges;
        QCOMPARE(gateway->get_edges_settings(handle, &edges), result_ok);
        edges.uLeftBorder = 17;
        edges.uRightBorder = 33;
        QCOMPARE(gateway->set_edges_settings(handle, &edges), result_ok);
        auto shown = dialog();
        auto* slider = qobject_cast<PageSliderSetupWgt*>(shown->page(SettingsPage::ProgramConfiguration));
        QVERIFY(slider);
        // Typed, not applied: the page's shown bounds are what the button copies.
        slider->findChild<QSpinBox*>("leftPointValue")->setValue(100);
        slider->findChild<QSpinBox*>("rightPointValue")->setValue(200);
        QVERIFY(slider->UpdateBtn->isEnabled());
        slider->UpdateBtn->click();
        QVERIFY(!slider->UpdateBtn->isEnabled());
        QCOMPARE(shown->motorSettings->edges.LeftBorder, edges.LeftBorder);
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Ok);
        QCOMPARE(setCalls(), QStringList{"set_edges_settings"});
        QCOMPARE(gateway->get_edges_settings(handle, &edges), result_ok);
        QCOMPARE(edges.LeftBorder, 100);
        QCOMPARE(edges.RightBorder, 200);
        QCOMPARE(edges.uLeftBorder, 17);
        QCOMPARE(edges.uRightBorder, 33);
    }

    void cancelShowsTheProgramRecordsAgain()
    {
        open(stepperAxis);
        auto shown = dialog();
        shown->cyclicSettings->type = 1;
        shown->AllPagesFromDeviceToClassToUi(false, true);
        const SettingsPage edited[] = {SettingsPage::Cyclic, SettingsPage::LogSettings};
        QStringList before;
        for (SettingsPage position : edited) {
            QWidget* page = shown->page(position);
            before << widgetState(page);
            for (QSpinBox* box : page->findChildren<QSpinBox*>())
                box->setValue(box->value() == box->maximum() ? box->minimum() : box->maximum());
            for (QComboBox* box : page->findChildren<QComboBox*>())
                box->setCurrentIndex(box->count() - 1 - box->currentIndex());
            for (QAbstractButton* box : page->findChildren<QAbstractButton*>())
                box->setChecked(!box->isChecked());
            QVERIFY(widgetState(page) != before.last());
        }
        shown->show();
        click(*shown, QDialogButtonBox::Cancel);
        QVERIFY(shown->isHidden());
        for (int i = 0; i < 2; ++i)
            QCOMPARE(widgetState(shown->page(edited[i])), before.at(i));
    }

    void uploadWaitingForAnAbsentControllerDoesNotHoldTheDialog()
    {
        open(stepperAxis);
        QTemporaryDir folder;
        QFile image(folder.filePath("fw.cod"));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(QByteArray(64, 'x'));
        image.close();
        auto shown = dialog();
        QCOMPARE(trovsim_unplug(axis), 0);
        shown->firmwareThread->setFirmwareFileName(image.fileName());
        shown->firmwareThread->start();
        QVERIFY(!shown->takesSettings());
        poller->stopRequest = true;
        QElapsedTimer clock;
        clock.start();
        shown.reset();
        QVERIFY(clock.elapsed() < scaledMs(5000));
    }

    void placementStaysOnTheScreen_data()
    {
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("desktop example") << QPoint(100, 50) << QSize(5000, 5000) << QRect(0, 0, 1920, 1080);
        QTest::newRow("fits") << QPoint(0, 0) << QSize(600, 920) << QRect(0, 0, 600, 920);
        QTest::newRow("off screen") << QPoint(-4000, 9000) << QSize(600, 920) << QRect(300, 0, 600, 920);
        QTest::newRow("second screen") << QPoint(2000, 100) << QSize(5000, 5000) << QRect(1920, 0, 1280, 768);
        // Moved, not shrunk: the chart window stored near the edge of a 1366x768 screen.
        QTest::newRow("near the corner") << QPoint(1900, 1070) << QSize(600, 920) << QRect(1320, 160, 600, 920);
        QTest::newRow("near the right edge") << QPoint(2900, 300) << QSize(800, 600) << QRect(2400, 168, 800, 600);
        QTest::newRow("huge") << QPoint(0, 0) << QSize(INT_MAX, INT_MAX) << QRect(0, 0, 1920, 1080);
    }

    void placementStaysOnTheScreen()
    {
        QFETCH(QPoint, position);
        QFETCH(QSize, size);
        QFETCH(QRect, placed);
        const QVector<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 768)};
        QCOMPARE(placeWindow(position, size, QSize(200, 150), screens), placed);
    }

    void configFileNameKeepsOnlySafeCharacters()
    {
        open(stepperAxis);
        auto shown = dialog();
        QVERIFY(shown->getDeviceConfigFileName().endsWith(QStringLiteral("/SM10001.cfg")));
        char* id = shown->controllerSettings->deviceInformation.ManufacturerId;
        qstrncpy(id, "./", sizeof shown->controllerSettings->deviceInformation.ManufacturerId);
        QVERIFY(shown->getDeviceConfigFileName().endsWith(QStringLiteral("/10001.cfg")));
        qstrncpy(id, "_\xC3", sizeof shown->controllerSettings->deviceInformation.ManufacturerId);
        QVERIFY(shown->getDeviceConfigFileName().endsWith(QStringLiteral("/_10001.cfg")));
    }

    // Positioner records are read only when one is attached: without it each read fails, an error.
    void positionerRecordsOnlyWithAPositioner()
    {
        for (const char* name : {stepperAxis, dcAxis}) {
            open(name);
            dialog();
            int reads = 0;
            for (const char* record : {"stage_name", "stage_information", "stage_settings", "dc_information",
                                       "dc_settings", "step_information", "step_settings", "encoder_information",
                                       "encoder_settings", "gear_information", "gear_settings"})
                reads += trovsim_call_count(axis, QByteArray("get_").append(record).constData());
            QCOMPARE(reads, name == stepperAxis ? 11 : 0);
            cleanup();
        }
    }

    // Visiting every page leaves the dialog's size, and so its buttons, where they were.
    void visitingThePagesKeepsTheSize()
    {
        open(stepperAxis);
        auto shown = dialog();
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        const QSize size = shown->size();
        QStringList grown;
        for (QTreeWidgetItem* item : shown->treeItems) {
            shown->findChild<QTreeWidget*>()->setCurrentItem(item);
            QCoreApplication::processEvents();
            if (shown->size() != size)
                grown << item->text(0);
        }
        QCOMPARE(grown, QStringList());
    }

    void formRendersWithItsNames()
    {
        open(stepperAxis);
        auto shown = dialog();
        QCOMPARE(shown->windowTitle(), QStringLiteral("Settings SM10001"));
        QCOMPARE(shown->treeItems.size(), 49);
        QCOMPARE(shown->treeItem(SettingsPage::AboutDevice)->text(0), QStringLiteral("About device"));
        QCOMPARE(shown->treeItem(SettingsPage::PotCurve)->parent(), shown->treeItem(SettingsPage::GraphSetup));
        QVERIFY(!shown->windowIcon().isNull());
        QVERIFY(!shown->findChild<QWidget*>(QStringLiteral("reconnectDelaySpin"))->isVisibleTo(shown.get()));
        shown->findChild<QTreeWidget*>()->setCurrentItem(shown->treeItem(SettingsPage::Cyclic));
        QCOMPARE(shown->page(SettingsPage::Cyclic)->parentWidget(),
                 shown->findChild<QWidget*>(QStringLiteral("scrollAreaWidgetContents")));
        QVERIFY(shown->page(SettingsPage::AboutDevice)->isHidden());
        QVERIFY(!renderPage(shown.get(), QStringLiteral("settingsdlg")).isEmpty());
        QCOMPARE(missingObjectNames(shown.get(),
                                    {"SettingsDlg", "treeWgt", "scrollArea", "scrollAreaWidgetContents", "configLbl",
                                     "reconnectDelaySpin", "restoreFlashBtn", "restoreFileBtn", "defaultLocationChk",
                                     "saveFlashBtn", "saveFileBtn", "compareFileBtn", "line", "buttonBox"}),
                 QString());
        const auto* box = shown->findChild<QDialogButtonBox*>();
        QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply
                                             | QDialogButtonBox::Reset);
    }

    // Each page's record refused in turn, in the dialog of either window: one box names the
    // page and why, as the log does (naming the axis in the multi-axis window); the edit stays
    // on the page, marked, and the next press writes it. Ok closes, and Save to flash saves,
    // only once everything is applied.
    void refusedRecordIsNamedAndKept_data()
    {
        QTest::addColumn<bool>("multiaxis");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("press");
        using P = SettingsPage;
        const P pages[] = {P::Borders, P::MaximumRatings, P::MotorType,    P::StepperMotor, P::Power,
                           P::Brake,   P::Control,        P::PositionControl, P::HomePosition, P::TtlSync,
                           P::Uart,    P::Extio,          P::AboutDevice,  P::DcMotor,      P::Pid};
        for (bool multiaxis : {false, true}) {
            for (P position : pages)
                QTest::addRow("%s %s", multiaxis ? "multi-axis" : "single-axis",
                              qPrintable(SettingsPageFactory::treeText(settingsPageIndex(position))))
                    << multiaxis << int(position) << "Apply";
        }
        QTest::newRow("Ok") << false << int(P::Uart) << "Ok";
        QTest::newRow("Save to flash") << false << int(P::Uart) << "Save to flash";
    }

    void refusedRecordIsNamedAndKept()
    {
        QFETCH(bool, multiaxis);
        QFETCH(int, page);
        QFETCH(QString, press);
        const auto position = SettingsPage(page);
        open(position == SettingsPage::DcMotor || position == SettingsPage::Pid ? dcAxis : stepperAxis);
        auto shown = dialog(multiaxis);
        shown->show();
        const int index = editPage(*shown, position);
        QVERIFY2(index >= 0, "no field of the page changes a record");
        const char* call = MotorSettings::recordSetName(index);
        const bool apply = press == "Apply";
        QCOMPARE(trovsim_force_result(axis, call, apply ? result_error : result_not_implemented, 1), 0);
        takeLogMessages(log);
        for (int attempt = 0; attempt < 2; ++attempt) {
            trovsim_journal_clear();
            if (press == "Save to flash")
                pressButton(*shown, "saveFlashBtn");
            else
                click(*shown, apply ? QDialogButtonBox::Apply : QDialogButtonBox::Ok);
            QVERIFY2(setCalls().contains(QLatin1String(call)), call);
            QCOMPARE(prompter.texts.size(), 1);
            QCOMPARE(marked(*shown, position), attempt == 0);
            QCOMPARE(editedRecord(*shown, position), attempt == 0 ? index : -1);
            QCOMPARE(shown->isVisible(), attempt == 0 || press != "Ok");
            QCOMPARE(trovsim_call_count(axis, "command_save_settings"), attempt == 1 && press == "Save to flash");
        }
        const QString why = apply ? ": the controller refused the settings (result -1)"
                                  : ": the controller does not support these settings (result -2)";
        const QStringList named = prompter.texts[0].split('\n').filter(shown->treeItem(position)->text(0));
        QVERIFY2(named.size() == 1 && named[0].endsWith(why), qPrintable(prompter.texts[0]));
        QCOMPARE(prompter.texts[0].contains("Nothing was saved to flash."), press == "Save to flash");
        const QString axisName = multiaxis ? QString("SN %1: ").arg(shown->controllerSettings->serialNumber) : "";
        QCOMPARE(takeLogMessages(log), QStringList{axisName + named[0] + "; not applied"}
                                           + (press == "Save to flash" ? QStringList{"Settings saved to flash."} : QStringList()));
    }

    // While the controller takes no settings, Ok keeps the dialog and the edit; a box and the log say why.
    void okKeepsTheEditsWhileTheControllerTakesNoSettings_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("why");
        // The controller comes back as the main window reloads the pages then; the typed right
        // border stays on its page, marked, and the next Ok writes it.
        QTest::addColumn<bool>("back");
        QTest::newRow("lost") << "lost" << "the controller is lost" << false;
        QTest::newRow("being reopened") << "reopening" << "the controller is lost" << false;
        QTest::newRow("firmware update") << "firmware" << "a firmware update is running" << false;
        QTest::newRow("unplugged, back") << "lost" << "the controller is lost" << true;
        QTest::newRow("in its bootloader, back") << "bootloader" << "the controller is in its bootloader" << true;
    }

    void okKeepsTheEditsWhileTheControllerTakesNoSettings()
    {
        QFETCH(QString, state);
        QFETCH(QString, why);
        QFETCH(bool, back);
        open(stepperAxis);
        auto shown = dialog(!back);
        shown->show();
        const SettingsPage edited = back ? SettingsPage::Borders : SettingsPage::HomePosition;
        auto* rightBorder = shown->page(SettingsPage::Borders)->findChild<StepSpinBox*>("rightBorderBox");
        const auto rightBorderShown = [&] { return rightBorder->getStep(); };
        int index = int(MotorSettings::EdgesRecord);
        if (back) {
            shown->findChild<QTreeWidget*>()->setCurrentItem(shown->treeItem(SettingsPage::Borders));
            QVERIFY(rightBorderShown() != 8000);
            typeInto(rightBorder, "8000");
            QTest::keyClick(rightBorder, Qt::Key_Tab);
            QCOMPARE(rightBorderShown(), 8000);
        } else {
            index = editPage(*shown, edited);
        }
        QTemporaryDir folder;
        QFile image(folder.filePath("fw.cod"));
        if (state == "lost") {
            QCOMPARE(trovsim_unplug(axis), 0);
            emit poller->finished(0, QDateTime(), status_t{}, chart_data_t{}, analog_data_t{}, false, 0);
        } else if (state == "reopening") {
            handle = -1;
        } else if (state == "bootloader") {
            QCOMPARE(trovsim_enter_bootloader(axis, 1), 0);
            gateway->close_device(handle);
            handle = gateway->open_device(axis);
            emit poller->finished(0, QDateTime(), status_t{}, chart_data_t{}, analog_data_t{}, true, 1);
        } else {
            QVERIFY(image.open(QIODevice::WriteOnly) && image.write(QByteArray(64, 'x')) == 64 && image.flush());
            QCOMPARE(trovsim_hold_call(axis, "command_update_firmware"), 0);
            poller->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
            shown->firmwareThread->setRestartWait(0);
            shown->firmwareThread->setFirmwareFileName(image.fileName());
            shown->firmwareThread->start();
            QCOMPARE(trovsim_wait_held(axis, "command_update_firmware", 5000), 0);
        }
        takeLogMessages(log);
        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Ok);
        if (state == "firmware") {
            QCOMPARE(trovsim_release_call(axis, "command_update_firmware"), 0);
            QVERIFY(shown->firmwareThread->wait(10000));
        }
        QCOMPARE(setCalls(), QStringList());
        QVERIFY(shown->isVisible());
        QCOMPARE(editedRecord(*shown, edited), index);
        const QString line = "Nothing was applied: " + why + ".";
        QVERIFY2(prompter.texts.size() == 1 && prompter.texts[0].startsWith(line + "\n\n"), qPrintable(prompter.texts.join('|')));
        QVERIFY(takeLogMessages(log).contains((back ? "" : "SN 10001: ") + line));
        if (!back)
            return;
        QVERIFY(marked(*shown, SettingsPage::Borders) && !marked(*shown, SettingsPage::HomePosition));

        // Back, as the main window takes it at its first good sample.
        QCOMPARE(trovsim_plug(axis, 1), 0);
        gateway->close_device(handle);
        handle = gateway->open_device(axis);
        QVERIFY(handle != -1);
        emit poller->finished(0, QDateTime(), status_t{}, chart_data_t{}, analog_data_t{}, true, 2);
        shown->motorSettings->readBasicFromDevice();
        QVERIFY(shown->AllPagesFromDeviceToClassToUi(false, false));
        QCOMPARE(rightBorderShown(), 8000);
        QVERIFY(marked(*shown, SettingsPage::Borders) && !marked(*shown, SettingsPage::HomePosition));
        // A reload that reads the controller again keeps it too.
        QVERIFY(shown->AllPagesFromDeviceToClassToUi(true, true));
        QVERIFY(settled(*shown));
        QCOMPARE(rightBorderShown(), 8000);
        QVERIFY(marked(*shown, SettingsPage::Borders));

        trovsim_journal_clear();
        click(*shown, QDialogButtonBox::Ok);
        QCOMPARE(setCalls(), QStringList{"set_edges_settings"});
        edges_settings_t edges;
        QCOMPARE(gateway->get_edges_settings(handle, &edges), result_ok);
        QCOMPARE(edges.RightBorder, 8000);
        QVERIFY(!shown->isVisible());
        QVERIFY(!marked(*shown, SettingsPage::Borders));
    }

    // A refused Restore or Save to flash is named in a box with its reason; the pages show what
    // the controller holds (its memory, here unlike its flash).
    void flashCommandsSayWhetherTheyWorked_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("said");
        QTest::newRow("restore refused") << "restoreFlashBtn" << int(result_error)
                                         << "Restore from flash: the controller refused the settings (result -1).";
        QTest::newRow("save refused") << "saveFlashBtn" << int(result_error)
                                      << "Save to flash: the controller refused the settings (result -1).";
        QTest::newRow("restore works") << "restoreFlashBtn" << int(result_ok) << "";
    }

    void flashCommandsSayWhetherTheyWorked()
    {
        QFETCH(QString, button);
        QFETCH(int, result);
        QFETCH(QString, said);
        open(stepperAxis);
        auto shown = dialog();
        shown->show();
        const bool restored = button == "restoreFlashBtn" && result == result_ok;
        const char* call = button == "restoreFlashBtn" ? "command_read_settings" : "command_save_settings";
        home_settings_t home;
        QCOMPARE(gateway->get_home_settings(handle, &home), result_ok);
        home.FastHome += 7;
        QCOMPARE(gateway->set_home_settings(handle, &home), result_ok);
        if (result != result_ok)
            QCOMPARE(trovsim_force_result(axis, call, result, 1), 0);
        takeLogMessages(log);
        pressButton(*shown, qPrintable(button));
        QCOMPARE(trovsim_call_count(axis, call), 1);
        QCOMPARE(shown->motorSettings->home.FastHome == home.FastHome, !restored);
        QCOMPARE(editedRecord(*shown, SettingsPage::HomePosition), -1);
        QCOMPARE(shown->findChild<QLabel*>("configLbl")->text(), restored ? "*" : "");
        QCOMPARE(takeLogMessages(log).contains(said), !restored);
        QCOMPARE(prompter.texts.size(), restored ? 0 : 1);
        QVERIFY(restored || prompter.texts[0].startsWith(said + "\n\n"));
    }

    // A STOP during a transfer of the dialog goes as soon as the call under way is in: a read cut
    // short leaves the pages as they were and says so, with the read offered again; a write cut
    // short names what it wrote and what not; a flash command after the cut does not go.
    void stopCutsATransfer_data()
    {
        QTest::addColumn<QString>("transfer");
        QTest::addColumn<QByteArray>("held");
        QTest::newRow("opening read") << "read" << QByteArray("get_move_settings");
        QTest::newRow("Apply") << "Apply" << QByteArray("set_edges_settings");
        QTest::newRow("Save to flash") << "saveFlashBtn" << QByteArray("get_move_settings");
        QTest::newRow("Restore from flash") << "restoreFlashBtn" << QByteArray("get_move_settings");
    }

    void stopCutsATransfer()
    {
        QFETCH(QString, transfer);
        QFETCH(QByteArray, held);
        open(stepperAxis);
        AxisCourier courier(gateway.get(), &handle, QStringLiteral("SN 10001"));
        SettingsDlg shown(nullptr, poller.get(), gateway.get(), false, &courier);
        shown.show();
        shown.findChild<QTreeWidget*>()->setCurrentItem(shown.treeItem(SettingsPage::HomePosition));
        shown.AllPagesFromDeviceToClassToUi(true, true);
        QVERIFY(settled(shown));
        // What a whole read would show on the Home position page.
        home_settings_t home;
        QCOMPARE(gateway->get_home_settings(handle, &home), result_ok);
        home.FastHome += 7;
        QCOMPARE(gateway->set_home_settings(handle, &home), result_ok);
        const uint32_t fastHomeShown = shown.motorSettings->home.FastHome;
        const bool apply = transfer == "Apply";
        if (apply) {
            QCOMPARE(editPage(shown, SettingsPage::Borders), int(MotorSettings::EdgesRecord));
            QCOMPARE(editPage(shown, SettingsPage::Pid), int(MotorSettings::PidRecord));
        }
        takeLogMessages(log);
        trovsim_journal_clear();
        QCOMPARE(trovsim_hold_call(axis, held.constData()), 0);
        if (transfer == "read")
            shown.AllPagesFromDeviceToClassToUi(true, true);
        else if (apply)
            shown.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply)->click();
        else
            shown.findChild<QPushButton*>(transfer)->click();
        QCOMPARE(trovsim_wait_held(axis, held.constData(), 5000), 0);
        // Meanwhile the pages take no edits and nothing else can be set going; Cancel can.
        QVERIFY(!shown.page(SettingsPage::HomePosition)->isEnabled());
        for (const char* name : {"saveFlashBtn", "restoreFlashBtn", "saveFileBtn", "restoreFileBtn"})
            QVERIFY2(!shown.findChild<QPushButton*>(name)->isEnabled(), name);
        auto* buttons = shown.findChild<QDialogButtonBox*>();
        QVERIFY(!buttons->button(QDialogButtonBox::Ok)->isEnabled() && buttons->button(QDialogButtonBox::Cancel)->isEnabled());
        courier.send(AxisCourier::Kind::Stop, QStringLiteral("Stop"),
                     [](DeviceInterface& device, device_t id) { return device.command_stop(id); });
        QCOMPARE(trovsim_release_call(axis, held.constData()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(trovsim_call_count(axis, "command_stop"), 1, 5000);
        QVERIFY(settled(shown));
        QCOMPARE(trovsim_call_count(axis, "command_save_settings"), 0);
        auto* line = shown.findChild<QLabel*>(QStringLiteral("transferLbl"));
        if (apply) {
            // The write under way went; the one after it did not.
            QCOMPARE(setCalls(), QStringList{"set_edges_settings"});
            QCOMPARE(prompter.texts.size(), 1);
            QVERIFY2(prompter.texts[0].contains("PID control: cut short before it was written")
                         && prompter.texts[0].contains("These were applied: Borders."),
                     qPrintable(prompter.texts[0]));
            QVERIFY(marked(shown, SettingsPage::Pid) && !marked(shown, SettingsPage::Borders));
            QCOMPARE(editedRecord(shown, SettingsPage::Pid), int(MotorSettings::PidRecord));
            QCOMPARE(editedRecord(shown, SettingsPage::Borders), -1);
            return;
        }
        QCOMPARE(prompter.texts, QStringList());
        // The page shows what it showed: the records read before.
        QCOMPARE(shown.motorSettings->home.FastHome, fastHomeShown);
        QCOMPARE(editedRecord(shown, SettingsPage::HomePosition), -1);
        QVERIFY2(line->isVisible() && line->text().contains("was cut short; the pages show the settings read before."),
                 qPrintable(line->text()));
        QVERIFY(!buttons->button(QDialogButtonBox::Apply)->isEnabled());
        QCOMPARE(shown.findChild<QLabel*>("configLbl")->text(), transfer == "restoreFlashBtn" ? "*" : "");
        // Read again: the controller's settings, and the dialog takes edits again.
        pressButton(shown, "readAgainBtn");
        // The controller took its flash back before the cut: it holds what it held at the start.
        QCOMPARE(shown.motorSettings->home.FastHome, transfer == "restoreFlashBtn" ? fastHomeShown : home.FastHome);
        QCOMPARE(editedRecord(shown, SettingsPage::HomePosition), -1);
        QVERIFY(!line->isVisible() && buttons->button(QDialogButtonBox::Apply)->isEnabled());
        QVERIFY(shown.page(SettingsPage::HomePosition)->isEnabled());
    }

    // Refused beside a critical change, which reads everything back: the refused page shows the
    // operator's value again, the others what the controller holds; Reset drops it.
    void refusedEditSurvivesTheReloadOfACriticalChange()
    {
        open(stepperAxis);
        auto shown = dialog(true);
        shown->page(SettingsPage::MotorType)->findChild<QRadioButton*>("dcMotorBtn")->click();
        QCOMPARE(editPage(*shown, SettingsPage::HomePosition), int(MotorSettings::HomeRecord));
        QCOMPARE(trovsim_force_result(axis, "set_home_settings", result_nodevice, 1), 0);
        QSignalSpy critical(shown.get(), &SettingsDlg::SgnChangeCritSettings);
        click(*shown, QDialogButtonBox::Apply);
        QCOMPARE(critical.count(), 1);
        QCOMPARE(shown->motorSettings->entype.EngineType, 1u);
        QCOMPARE(editedRecord(*shown, SettingsPage::HomePosition), int(MotorSettings::HomeRecord));
        QVERIFY(marked(*shown, SettingsPage::HomePosition) && !marked(*shown, SettingsPage::MotorType));
        QCOMPARE(prompter.texts.size(), 1);
        QVERIFY2(prompter.texts[0].contains("Home position: the controller is lost (result -4)"),
                 qPrintable(prompter.texts[0]));
        click(*shown, QDialogButtonBox::Reset);
        QCOMPARE(editedRecord(*shown, SettingsPage::HomePosition), -1);
        QVERIFY(!marked(*shown, SettingsPage::HomePosition));
    }
};

QTEST_MAIN(TestSettingsDlg)
#include "tst_settingsdlg.moc"
