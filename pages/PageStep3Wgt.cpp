#include "pages/PageStep3Wgt.h"

#include "common/Formatting.h"
#include "common/MessagePrompter.h"
#include "common/Waits.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "ui_pagestep3wgt.h"

#include <QCoreApplication>
#include <QEvent>

#include <cctype>
#include <cmath>
#include <vector>

PageStep3Wgt::PageStep3Wgt(QWidget* parent, UpdateThread* thread, ControllerSettings* identity,
                           DeviceInterface* gateway)
    : QWidget(parent), infoBox(nullptr), form(new Ui::PageStep3WgtClass), thread(thread), identity(identity),
      gateway(gateway)
{
    form->setupUi(this);
    form->snBox->setMaximum(4294967295.0);
    if (identity) {
        form->snBox->setValue(identity->serialNumber);
    }
    key.fill(0);
    connect(form->setBtn, &QPushButton::clicked, this, &PageStep3Wgt::OnSetBtnPressed);
    connect(form->writeSnBtn, &QPushButton::clicked, this, &PageStep3Wgt::OnWriteSNBtnPressed);
    connect(form->rebootToBoot, &QPushButton::clicked, this, &PageStep3Wgt::OnRebootToBoot);
}

PageStep3Wgt::~PageStep3Wgt()
{
    delete form;
}

void PageStep3Wgt::setWaits(const Waits& w)
{
    waits = w;
}

bool PageStep3Wgt::parseKey(const QString& text, std::array<uint8_t, keySize>* bytes)
{
    if (text.size() != 2 * keySize) {
        return false;
    }
    for (QChar c : text) {
        const char latin = c.toLatin1();
        if (c.unicode() > 0x7F || !std::isxdigit(static_cast<unsigned char>(latin))) {
            return false;
        }
    }
    std::vector<uint8_t> converted(keySize, 0);
    hexToBytes(text, converted);
    std::copy(converted.begin(), converted.end(), bytes->begin());
    return true;
}

bool PageStep3Wgt::setKey(const QString& text)
{
    form->keyBox->setText(text);
    return parseKey(text, &key);
}

QString PageStep3Wgt::keyText() const
{
    QString hex;
    bytesToHex(std::vector<uint8_t>(key.begin(), key.end()), hex);
    return hex;
}

QString PageStep3Wgt::resultText(int result)
{
    switch (result) {
    case result_error:
        return QStringLiteral("generic error");
    case result_not_implemented:
        return QStringLiteral("function is not implemented");
    case result_nodevice:
        return QStringLiteral("device is lost");
    default:
        return QStringLiteral("unknown error");
    }
}

bool PageStep3Wgt::takeKey()
{
    if (parseKey(form->keyBox->text(), &key)) {
        return true;
    }
    MessagePrompter::current()->prompt(this, QMessageBox::Warning, tr("Key"),
                                       tr("The key must be exactly 64 hexadecimal digits (0-9, A-F). "
                                          "Nothing was written."),
                                       QMessageBox::Ok, QMessageBox::Ok);
    return false;
}

void PageStep3Wgt::readIdentity()
{
    if (!identity) {
        return;
    }
    // A service read must not mark the program's own set-up as failed.
    const bool initOk = deviceInitOk.load();
    const char* failed = lastFailedFunction.load();
    identity->readDeviceIdentity();
    deviceInitOk.store(initOk);
    lastFailedFunction.store(failed);
    form->snBox->setValue(identity->serialNumber);
}

void PageStep3Wgt::OnSetBtnPressed()
{
    if (!thread || !gateway || !takeKey()) {
        return;
    }
    infoBox.setIconType(1);
    infoBox.setButtonsVisible(false);
    infoBox.setMovieVisible(true);
    infoBox.setText(QStringLiteral("Prepare to key update"));
    infoBox.showNow();

    int result = result_error;
    bool back = false;
    {
        // Taken before polling is silenced, as the firmware upload does.
        std::unique_lock<std::mutex> held = thread->holdReconnection();
        PollingSilencer silencer;
        waitProcessingEvents(waits.prepareMs);
        thread->closeDevice();
        infoBox.setText(QStringLiteral("Please wait while key is updating"));
        waitProcessingEvents(waits.beforeWriteMs);
        result = gateway->write_key(thread->deviceName, key.data());
        waitProcessingEvents(waits.restartMs);
        back = thread->reconnectHeld(held, nullptr, waits.reconnectLimitMs);
    }
    QString text = result == result_ok ? QStringLiteral("Key was updated succesfully")
                                       : QStringLiteral("Key updating error.\nReturned value: ") + resultText(result);
    if (!back) {
        text += QStringLiteral("\nThe controller did not come back within %1 s; it is reconnected when it does.")
                    .arg(waits.reconnectLimitMs / 1000);
    }
    infoBox.showResult(result == result_ok && back, text);
}

void PageStep3Wgt::OnWriteSNBtnPressed()
{
    if (!thread || !gateway || !takeKey()) {
        return;
    }
    const uint32_t target = uint32_t(std::llround(form->snBox->value()));
    const QString present = identity ? QString::number(identity->serialNumber) : QStringLiteral("?");
    if (MessagePrompter::current()->prompt(this, QMessageBox::Question, tr("Serial number"),
                                           tr("Change the serial number %1 to %2?").arg(present).arg(target),
                                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes) {
        return;
    }
    infoBox.setIconType(1);
    infoBox.setButtonsVisible(false);
    infoBox.setMovieVisible(true);
    infoBox.setText(QStringLiteral("Please wait while serial number is updating"));
    infoBox.showNow();
    QCoreApplication::processEvents();

    int result = result_nodevice;
    {
        PollingSilencer silencer;
        const device_t id = thread->deviceHandle->load();
        if (id != -1) {
            result = gateway->set_serial_number(id, target, key.data());
        }
    }
    if (result != result_ok) {
        infoBox.showResult(false,
                           QStringLiteral("Serial number updating error.\nReturned value: ") + resultText(result));
        return;
    }
    readIdentity();
    const uint32_t now = identity ? identity->serialNumber : target;
    if (now != target) {
        infoBox.showResult(false, QStringLiteral("Command was executed succesfully, but SN doesn't changed.\n"
                                                 "Target serial: %1, current serial: %2")
                                      .arg(target)
                                      .arg(now));
        return;
    }
    infoBox.showResult(true, QStringLiteral("Serial number was updated succesfully"));
}

void PageStep3Wgt::OnRebootToBoot()
{
    if (!thread || !gateway) {
        return;
    }
    PollingSilencer silencer;
    const device_t id = thread->deviceHandle->load();
    if (id != -1) {
        gateway->service_command_updf(id);
    }
    thread->closeDevice();
}

void PageStep3Wgt::showEvent(QShowEvent* event)
{
    if (identity) {
        form->snBox->setValue(identity->serialNumber);
    }
    QWidget::showEvent(event);
}

void PageStep3Wgt::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        // The typed key stays: only the form's own texts change.
        const QString typed = form->keyBox->text();
        form->retranslateUi(this);
        form->keyBox->setText(typed);
    }
    QWidget::changeEvent(event);
}
