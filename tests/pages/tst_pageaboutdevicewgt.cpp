#include <QtTest>
#include "support/TestTime.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include <cstring>

#include "common/FileChooser.h"
#include "common/Paths.h"
#include "device/ControllerSettings.h"
#include "device/FirmwareUpdateThread.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "log/LibraryLog.h"
#include "pages/PageAboutDeviceWgt.h"
#include "settings_model/MotorSettings.h"
#include "support/PageRender.h"
#include "support/SimulatedAxis.h"

namespace {

const char* const axis = "sim:axis1";

// Answers the file dialog with a fixed path and notes the folder it was opened in.
class FixedChooser : public FileChooser
{
public:
    QString openFileName(QWidget*, const QString&, const QString& folder, const QString&) override
    {
        folders << folder;
        return answer;
    }
    QString answer;
    QStringList folders;
};

} // namespace

class TestPageAboutDeviceWgt : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FileChooser::install(&chooser);
        chooser.folders.clear();
        folder.clear();
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        poller = std::make_unique<UpdateThread>(0, nullptr, &handle, axis, gateway.get());
        poller->setReconnectInterval(UpdateThread::minReconnectIntervalMs);
        firmware = std::make_unique<FirmwareUpdateThread>(nullptr, poller.get(), gateway.get());
        firmware->setRestartWait(0);
        settings = std::make_unique<MotorSettings>(&handle, gateway.get());
        static const QString name = QString::fromLatin1(axis);
        identity = std::make_unique<ControllerSettings>(&handle, gateway.get(), &name, false);
        page = std::make_unique<PageAboutDeviceWgt>(nullptr, settings.get(), identity.get(), firmware.get(), &folder);
    }

    void cleanup()
    {
        // A run still waiting for the controller (a failed test) ends instead of hanging the next.
        if (firmware)
            firmware->cancelWait();
        if (poller)
            poller->stopRequest = true;
        page.reset();
        firmware.reset();
        poller.reset();
        closeAndRelease(gateway, handle);
        FileChooser::install(nullptr);
    }

    void resultTexts_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        const QString error = QStringLiteral("Firmware update error.\nReturned value: ");
        QTest::newRow("0") << 0 << "Firmware updated succesfully.";
        QTest::newRow("-1") << -1 << error + "generic error";
        QTest::newRow("-2") << -2 << error + "function is not implemented";
        QTest::newRow("-4") << -4 << error + "device is lost";
        QTest::newRow("-3") << -3 << error + "microcode file not found";
        QTest::newRow("-123") << -123 << error + "microcode file not found";
    }

    void resultTexts()
    {
        QFETCH(int, result);
        QFETCH(QString, text);
        QCOMPARE(PageAboutDeviceWgt::resultText(result), text);
    }

    // Never the configuration folder, never a file name filled in: a folder ending in a slash.
    void startFolder_data()
    {
        QTest::addColumn<bool>("useDefault");
        QTest::addColumn<QString>("remembered");    // "files": the test's folder
        QTest::addColumn<bool>("inHome");
        QTest::newRow("default, folder remembered") << true << "files" << true;
        QTest::newRow("not default, none remembered") << false << "" << true;
        QTest::newRow("not default, remembered") << false << "files" << false;
        QTest::newRow("not default, remembered folder gone") << false << "/no/such/folder" << true;
    }

    void startFolder()
    {
        QFETCH(bool, useDefault);
        QFETCH(QString, remembered);
        QFETCH(bool, inHome);
        if (remembered == "files")
            remembered = files.path();
        folder = remembered;
        page->defaultLocationChanged(useDefault);
        page->OnUpdateFirmwareBtnClicked();    // cancelled: nothing starts
        QCOMPARE(chooser.folders, QStringList{(inHome ? QDir::homePath() : remembered) + "/"});
        QVERIFY(!firmware->isRunning());
        QCOMPARE(folder, remembered);
    }

    void friendlyName_data()
    {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<QString>("typed");    // null: not edited
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("16 ASCII") << QByteArray("ABCDEFGHIJKLMNOP") << QString() << QByteArray("ABCDEFGHIJKLMNOP");
        QTest::newRow("not UTF-8, untouched") << QByteArray("Caf\xE9 X") << QString() << QByteArray("Caf\xE9 X");
        QTest::newRow("Cafe typed") << QByteArray("x") << QStringLiteral("Caf\u00E9") << QByteArray("Caf\xC3\xA9");
        QTest::newRow("emptied") << QByteArray("x") << QStringLiteral("") << QByteArray("");
    }

    void friendlyName()
    {
        QFETCH(QByteArray, loaded);
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        std::memset(&settings->controllerName, 0, sizeof settings->controllerName);
        std::memcpy(settings->controllerName.ControllerName, loaded.constData(), size_t(loaded.size()));
        page->FromClassToUi();
        if (!typed.isNull())
            page->findChild<QLineEdit*>("friendlyName")->setText(typed);
        MotorSettings target = *settings;
        std::memset(target.controllerName.ControllerName, 0x55, sizeof target.controllerName.ControllerName);
        page->FromUiToClass(&target);
        QCOMPARE(QByteArray(target.controllerName.ControllerName, 17), stored.leftJustified(17, '\0'));
    }

    void identityWithoutNul()
    {
        identity->serialNumber = 4294967295u;
        identity->firmwareMajor = 2;
        std::memcpy(identity->deviceInformation.Manufacturer, "ABCDE", 5);
        std::memcpy(identity->deviceInformation.ManufacturerId, "XYZ", 3);
        std::memcpy(identity->deviceInformation.ProductDescription, "123456789", 9);
        page->FromClassToUi();
        QStringList shown;
        for (const char* name : {"snEdit", "majorEdit", "manufacturerEdit", "manidEdit", "descEdit"})
            shown << page->findChild<QLineEdit*>(name)->text();
        QCOMPARE(shown, (QStringList{"4294967295", "2", "ABCDE", "XY", "123456789"}));
    }

    void unusableFileNeverClosesTheDevice_data()
    {
        QTest::addColumn<QByteArray>("content");    // null: no file at all
        QTest::addColumn<QString>("told");
        QTest::newRow("empty") << QByteArray("") << "The file image.cod is empty.";
        QTest::newRow("missing") << QByteArray() << "The file image.cod does not exist.";
    }

    void unusableFileNeverClosesTheDevice()
    {
        QFETCH(QByteArray, content);
        QDir(files.path()).mkpath("sub");
        chooser.answer = files.filePath("sub/image.cod");
        QFile::remove(chooser.answer);
        if (!content.isNull()) {
            QFile file(chooser.answer);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        page->defaultLocationChanged(false);
        const device_t before = handle;
        QSignalSpy done(firmware.get(), &FirmwareUpdateThread::update_finished);
        page->OnUpdateFirmwareBtnClicked();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, scaledMs(5000));
        QCOMPARE(done.at(0).at(0).toInt(), FirmwareUpdateThread::fileError);
        QCOMPARE(handle.load(), before);
        QCOMPARE(trovsim_call_count(axis, "close_device"), 0);
        QCOMPARE(chooser.folders.size(), 1);
        // The box tells why, and the next dialog opens where that file was.
        auto* buttons = page->waitBox().findChild<QDialogButtonBox*>();
        QTRY_VERIFY_WITH_TIMEOUT(buttons->button(QDialogButtonBox::Ok), scaledMs(2000));
        QFETCH(QString, told);
        QCOMPARE(page->waitBox().findChild<QLabel*>("textLabel")->text(), "Firmware update error.\n" + told);
        page->waitBox().hide();
        chooser.answer.clear();
        page->OnUpdateFirmwareBtnClicked();
        QCOMPARE(chooser.folders.last(), files.filePath("sub/"));
    }

    // The controller refuses a damaged image: the box gives the library's reason. One that is
    // not there at all is said to be lost.
    void refusedImageSaysWhy_data()
    {
        QTest::addColumn<bool>("unplugged");
        QTest::addColumn<QString>("told");
        QTest::newRow("damaged image") << false << "sim:axis1: firmware image rejected: not a firmware image";
        QTest::newRow("controller unplugged") << true << "Returned value: device is lost";
        // Told as soon as the upload failed, while the run still waits for the controller.
        QTest::newRow("controller unplugged, back after the box") << true << "Returned value: device is lost";
    }

    void refusedImageSaysWhy()
    {
        QFETCH(bool, unplugged);
        QFETCH(QString, told);
        set_logging_callback(libraryLogCallback);
        chooser.answer = files.filePath("damaged.cod");
        QFile file(chooser.answer);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(64, 'x')) == 64);
        file.close();
        const bool backLater = QByteArray(QTest::currentDataTag()).endsWith("after the box");
        if (unplugged) {
            QCOMPARE(trovsim_unplug(axis), 0);
            // Back while the run waits for it.
            if (!backLater)
                connect(firmware.get(), &FirmwareUpdateThread::awaitingController, firmware.get(),
                        [] { trovsim_plug(axis, 0); }, Qt::DirectConnection);
        }
        page->OnUpdateFirmwareBtnClicked();
        auto* buttons = page->waitBox().findChild<QDialogButtonBox*>();
        QTRY_VERIFY_WITH_TIMEOUT(buttons->button(QDialogButtonBox::Ok), scaledMs(10000));
        set_logging_callback(nullptr);
        QCOMPARE(page->waitBox().findChild<QLabel*>("textLabel")->text(), "Firmware update error.\n" + told);
        if (backLater) {
            QVERIFY(firmware->isRunning());
            QCOMPARE(trovsim_plug(axis, 0), 0);
            QVERIFY(firmware->wait(10000));
        }
        page->waitBox().windowHandle()->close();  // as the window manager's close does
        QCOMPARE(page->waitBox().result(), int(QDialog::Accepted));
    }

    void controllerThatNeverReturns()
    {
        QByteArray image(4096, '\0');
        const QByteArray payload(1000, 'p');
        image.resize(int(trovsim_make_firmware_image(1, 2, 3, reinterpret_cast<const uint8_t*>(payload.constData()),
                                                     uint32_t(payload.size()), reinterpret_cast<uint8_t*>(image.data()),
                                                     size_t(image.size()))));
        chooser.answer = files.filePath("good.cod");
        QFile file(chooser.answer);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();
        // The controller goes away as soon as the image is out.
        connect(firmware.get(), &FirmwareUpdateThread::awaitingController, firmware.get(), [] { trovsim_unplug(axis); },
                Qt::DirectConnection);
        QSignalSpy done(firmware.get(), &FirmwareUpdateThread::update_finished);
        page->OnUpdateFirmwareBtnClicked();
        auto* buttons = page->waitBox().findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QTRY_VERIFY_WITH_TIMEOUT(buttons->button(QDialogButtonBox::Cancel) && buttons->isVisible(), scaledMs(5000));
        QVERIFY(pollingAllowed);    // the other axes poll while this one is awaited
        page->OnUpdateFirmwareBtnClicked();    // while it runs: nothing
        QCOMPARE(chooser.folders.size(), 1);
        buttons->button(QDialogButtonBox::Cancel)->click();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, scaledMs(5000));
        QCOMPARE(done.at(0).at(0).toInt(), int(result_nodevice));
        QVERIFY(pollingAllowed);
        QCOMPARE(handle.load(), device_t(-1));
        QTRY_VERIFY_WITH_TIMEOUT(page->waitBox().isVisible(), scaledMs(2000));
        QVERIFY(buttons->button(QDialogButtonBox::Ok));
        QTest::keyClick(page->waitBox().windowHandle(), Qt::Key_Return);  // the Ok that replaced Cancel
        QVERIFY(!page->waitBox().isVisible());
        QCOMPARE(page->waitBox().result(), int(QDialog::Accepted));
        trovsim_plug(axis, 0);
    }

    void setNameKeepsTheRecord()
    {
        controller_name_t name;
        std::memset(&name, 0, sizeof name);
        std::memcpy(name.ControllerName, "old", 3);
        std::memset(name.Reserved, 0x5A, sizeof name.Reserved);
        QCOMPARE(gateway->set_controller_name(handle, &name), result_ok);
        settings->controllerName = name;
        page->FromClassToUi();
        page->findChild<QLineEdit*>("friendlyName")->setText(QStringLiteral("Caf\u00E9"));
        // As the dialog's courier writes it.
        page->setNameWriter([this](const controller_name_t& record) { gateway->set_controller_name(handle, &record); });
        page->OnSetNameBtnClicked();
        controller_name_t back;
        QCOMPARE(gateway->get_controller_name(handle, &back), result_ok);
        QCOMPARE(QByteArray(back.ControllerName), QByteArray("Caf\xC3\xA9"));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(back.Reserved), 7), QByteArray(7, 0x5A));
        // Without a controller there is no call.
        const int calls = trovsim_call_count(axis, "set_controller_name");
        handle = -1;
        page->OnSetNameBtnClicked();
        QCOMPARE(trovsim_call_count(axis, "set_controller_name"), calls);
    }

    void form()
    {
        QCOMPARE(missingObjectNames(page.get(), {"PageAboutDeviceWgtClass", "snEdit", "majorEdit_b", "minorEdit_b",
                                                 "releaseEdit_b", "majorEdit", "minorEdit", "releaseEdit",
                                                 "updateFirmwareBtn", "friendlyName", "setNameBtn", "manufacturerEdit",
                                                 "manidEdit", "descEdit"}),
                 QString());
        QCOMPARE(focusOrderMismatch(page.get(), {"snEdit", "majorEdit", "minorEdit", "releaseEdit", "updateFirmwareBtn",
                                                 "manufacturerEdit", "manidEdit", "descEdit"}),
                 QString());
        identity->serialNumber = 12345;
        page->FromClassToUi();
        QVERIFY(!renderPage(page.get(), "pageaboutdevicewgt").isEmpty());
        QVERIFY(!page->findChild<QPushButton*>("setNameBtn")->isVisible());
    }

private:
    QTemporaryDir files;
    FixedChooser chooser;
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
    std::unique_ptr<UpdateThread> poller;
    std::unique_ptr<FirmwareUpdateThread> firmware;
    std::unique_ptr<MotorSettings> settings;
    std::unique_ptr<ControllerSettings> identity;
    QString folder;
    std::unique_ptr<PageAboutDeviceWgt> page;
};

QTEST_MAIN(TestPageAboutDeviceWgt)
#include "tst_pageaboutdevicewgt.moc"
