#include "device/FirmwareUpdateThread.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/UpdateThread.h"
#include "log/LibraryErrorCapture.h"

FirmwareUpdateThread::FirmwareUpdateThread(QObject* /*parent*/, UpdateThread* pollingThread, DeviceInterface* gateway)
    : QThread(nullptr), pollingThread(pollingThread), gateway(gateway)
{
}

FirmwareUpdateThread::~FirmwareUpdateThread()
{
    wait();
}

void FirmwareUpdateThread::setFirmwareFileName(const QString& name)
{
    QMutexLocker lock(&fileNameMutex);
    fileName = name;
}

QString FirmwareUpdateThread::firmwareFileName() const
{
    QMutexLocker lock(&fileNameMutex);
    return fileName;
}

void FirmwareUpdateThread::setRestartWait(int ms)
{
    restartWaitMs.store(std::clamp(ms, 0, 60000));
}

int FirmwareUpdateThread::readImage(const QString& name, QByteArray* image, QString* reason)
{
    QFile file(name);
    const QString shown = QFileInfo(name).fileName();
    if (name.isEmpty() || !file.exists()) {
        *reason = QStringLiteral("The file %1 does not exist.").arg(shown);
        return fileError;
    }
    const qint64 size = file.size();
    if (size <= 0) {
        *reason = QStringLiteral("The file %1 is empty.").arg(shown);
        return fileError;
    }
    if (size > maxImageSize) {
        *reason = QStringLiteral("The file %1 is too large for a firmware image (%2 bytes).").arg(shown).arg(size);
        return fileError;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("The file %1 cannot be read: %2.").arg(shown, file.errorString());
        return fileError;
    }
    *image = file.read(size);
    if (image->size() != size || file.error() != QFileDevice::NoError) {
        *reason = QStringLiteral("The file %1 cannot be read: %2.").arg(shown, file.errorString());
        return fileError;
    }
    return result_ok;
}

QString FirmwareUpdateThread::failureReason() const
{
    QMutexLocker lock(&fileNameMutex);
    return reason;
}

void FirmwareUpdateThread::setFailureReason(const QString& text)
{
    QMutexLocker lock(&fileNameMutex);
    reason = text;
}

void FirmwareUpdateThread::cancelWait()
{
    cancelRequested.store(true);
}

void FirmwareUpdateThread::run()
{
    cancelRequested.store(false);
    setFailureReason(QString());
    // A file that cannot be used leaves the controller and the polling alone.
    QByteArray image;
    QString why;
    int result = readImage(firmwareFileName(), &image, &why);
    if (result == result_ok) {
        // The polling thread's own reconnection waits until this one is done. Taken before
        // polling is silenced, so that a reconnection already waiting for a missing
        // controller never keeps every axis silent.
        std::unique_lock<std::mutex> held = pollingThread->holdReconnection();
        {
            // No polling tick of any axis is under way while the image goes out.
            PollingSilencer silencer;
            pollingThread->closeDevice();
            // The library says why it refuses an image only in its log.
            const LibraryErrorCapture refusal;
            result = gateway->command_update_firmware(pollingThread->deviceName,
                                                      reinterpret_cast<const uint8_t*>(image.constData()),
                                                      uint32_t(image.size()));
            if (result == result_error)
                why = refusal.lastError();
            // The library refuses an image for a controller that is not there with a bare
            // error: said as the loss it is.
            if (result == result_error && why.isEmpty() && gateway->probe_device(pollingThread->deviceName) != result_ok)
                result = result_nodevice;
        }
        image.clear();
        // The other axes poll again while this one restarts; the held lock keeps a second
        // reconnection of this axis out.
        emit awaitingController();
        if (result == result_ok) {
            // A stopping polling thread ends the wait too: the window's shut-down joins this thread.
            for (int left = restartWaitMs.load();
                 left > 0 && !cancelRequested.load() && !pollingThread->stopRequest.load(); left -= 20)
                QThread::msleep(unsigned(std::min(left, 20)));
        }
        if (result != result_ok) {
            // Failed: told at once, not once the controller is back; the run still has it
            // reopened, in whatever mode it comes back, before it ends.
            setFailureReason(why);
            emit update_finished(result);
            pollingThread->reconnectHeld(held, &cancelRequested);
            return;
        }
        if (!pollingThread->reconnectHeld(held, &cancelRequested))
            result = result_nodevice;
    }
    setFailureReason(result == result_ok ? QString() : why);
    emit update_finished(result);
}
