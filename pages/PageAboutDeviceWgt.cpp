#include "pages/PageAboutDeviceWgt.h"

#include "common/FieldText.h"
#include "common/FileChooser.h"
#include "common/Formatting.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/FirmwareUpdateThread.h"
#include "settings_model/MotorSettings.h"
#include "ui_pageaboutdevicewgt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

PageAboutDeviceWgt::PageAboutDeviceWgt(QWidget* parent, MotorSettings* settings, ControllerSettings* identity,
                                       FirmwareUpdateThread* firmwareThread, QString* firmwareFolder)
    : ControllerPageWgt(parent, settings), infoBox(nullptr), form(new Ui::PageAboutDeviceWgtClass),
      identity(identity), firmwareThread(firmwareThread), firmwareFolder(firmwareFolder), useDefaultLocation(true)
{
    form->setupUi(this);
    connect(form->updateFirmwareBtn, &QPushButton::clicked, this, &PageAboutDeviceWgt::OnUpdateFirmwareBtnClicked);
    connect(form->setNameBtn, &QPushButton::clicked, this, &PageAboutDeviceWgt::OnSetNameBtnClicked);
    form->setNameBtn->hide();
    if (firmwareThread) {
        connect(firmwareThread, &FirmwareUpdateThread::update_finished, this,
                &PageAboutDeviceWgt::OnUpdateFirmwareFinished);
        connect(firmwareThread, &FirmwareUpdateThread::awaitingController, this, &PageAboutDeviceWgt::offerCancel);
        // Cancel only hides the box: the result shows it again.
        infoBox.closeOnCancel = false;
        connect(&infoBox, &InfoBox::cancelled, firmwareThread, [firmwareThread] { firmwareThread->cancelWait(); },
                Qt::DirectConnection);
    }
    binder.text(form->friendlyName, settings->controllerName.ControllerName);
}

PageAboutDeviceWgt::~PageAboutDeviceWgt()
{
    delete form;
}

void PageAboutDeviceWgt::FromClassToUi()
{
    if (identity) {
        form->snEdit->setText(toPaddedString(uint(identity->serialNumber), 0));
        form->majorEdit->setText(toPaddedString(uint(identity->firmwareMajor), 0));
        form->minorEdit->setText(toPaddedString(uint(identity->firmwareMinor), 0));
        form->releaseEdit->setText(toPaddedString(uint(identity->firmwareRelease), 0));
        form->majorEdit_b->setText(toPaddedString(uint(identity->bootloaderMajor), 0));
        form->minorEdit_b->setText(toPaddedString(uint(identity->bootloaderMinor), 0));
        form->releaseEdit_b->setText(toPaddedString(uint(identity->bootloaderRelease), 0));
        const device_information_t& info = identity->deviceInformation;
        form->manufacturerEdit->setText(readFieldText(info.Manufacturer));
        form->manidEdit->setText(readFieldText(info.ManufacturerId));
        form->descEdit->setText(readFieldText(info.ProductDescription));
    }
    ControllerPageWgt::FromClassToUi();
}

void PageAboutDeviceWgt::defaultLocationChanged(bool isDefault)
{
    useDefaultLocation = isDefault;
}

QString PageAboutDeviceWgt::startFolder() const
{
    QString folder;
    if (!useDefaultLocation && firmwareFolder) {
        folder = *firmwareFolder;
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    // An existing folder, ending in a slash: the chooser then fills in no file name.
    return QDir(folder).absolutePath() + QLatin1Char('/');
}

QString PageAboutDeviceWgt::resultText(int result)
{
    if (result == result_ok) {
        return QStringLiteral("Firmware updated succesfully.");
    }
    const char* reason = "microcode file not found";
    switch (result) {
    case result_not_implemented:
        reason = "function is not implemented";
        break;
    case result_error:
        reason = "generic error";
        break;
    case result_nodevice:
        reason = "device is lost";
        break;
    default:
        break;
    }
    return QStringLiteral("Firmware update error.\nReturned value: ") + QLatin1String(reason);
}

void PageAboutDeviceWgt::OnUpdateFirmwareBtnClicked()
{
    // One upload at a time.
    if (!firmwareThread || firmwareThread->isRunning()) {
        return;
    }
    const QString path = FileChooser::current()->openFileName(this, tr("Open firmware file"), startFolder(),
                                                              tr("Firmware files (*.cod)"));
    if (path.isEmpty()) {
        return;
    }
    QCoreApplication::processEvents();
    firmwareThread->setFirmwareFileName(path);
    firmwareThread->start(QThread::InheritPriority);

    infoBox.setIconType(1);
    infoBox.setButtonsVisible(false);
    infoBox.setMovieVisible(true);
    infoBox.setText(QStringLiteral("Please wait while firmware is updating"));
    infoBox.showNow();
    if (firmwareFolder) {
        *firmwareFolder = QFileInfo(path).absolutePath();
    }
}

void PageAboutDeviceWgt::offerCancel()
{
    infoBox.setButtons(QDialogButtonBox::Cancel);
    infoBox.setButtonsVisible(true);
}

void PageAboutDeviceWgt::OnUpdateFirmwareFinished(int result)
{
    if (result == result_ok) {
        FromClassToUi();
    }
    // What was wrong with the file, when that is known, rather than the bare result.
    const QString reason = result == result_ok || !firmwareThread ? QString() : firmwareThread->failureReason();
    infoBox.showResult(result == result_ok,
                       reason.isEmpty() ? resultText(result) : QStringLiteral("Firmware update error.\n") + reason);
}

void PageAboutDeviceWgt::OnSetNameBtnClicked()
{
    if (!nameWriter || !settings->handle || settings->handle->load() == -1) {
        return;
    }
    // The record as read, its reserved bytes kept, with the name typed.
    controller_name_t name = settings->controllerName;
    writeFieldText(form->friendlyName->text(), name.ControllerName);
    nameWriter(name);
}
