#ifndef FIRMWAREUPDATETHREAD_H
#define FIRMWAREUPDATETHREAD_H

#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

class DeviceInterface;
class UpdateThread;

// Sends a firmware image file to the axis's controller in a thread of its own, reopens the
// controller through the polling thread's reconnection and reports the result.
class FirmwareUpdateThread : public QThread
{
    Q_OBJECT

public:
    // The file is missing, unreadable, empty or too large; the controller was not touched.
    static constexpr int fileError = -123;
    static constexpr qint64 maxImageSize = 16 * 1024 * 1024;

    // The parent argument is ignored: the thread has no QObject parent. The polling thread
    // and the gateway must outlive this object.
    FirmwareUpdateThread(QObject* parent, UpdateThread* pollingThread, DeviceInterface* gateway);
    // Waits for a run under way.
    ~FirmwareUpdateThread() override;

    // The image file of the next run.
    void setFirmwareFileName(const QString& fileName);
    QString firmwareFileName() const;
    // How long the controller is given to restart after a good upload before the reconnection
    // starts (1000 ms); tests shorten it.
    void setRestartWait(int ms);
    // Gives up waiting for the controller after the upload; the run ends with result_nodevice
    // and the axis' polling reconnects it by itself.
    void cancelWait();
    // What was wrong with the last run's file, in words: why it could not be read, or why the
    // controller refused it when the library said so. Empty otherwise.
    QString failureReason() const;

signals:
    // The image was sent (or refused); the run now waits for the controller to come back.
    void awaitingController();
    // Once per run: a failed upload at once, a good one once the controller is open again; a
    // failed run ends once the controller is open again (or the wait is given up).
    void update_finished(int result);

protected:
    void run() override;

private:
    // Reads the whole image; fileError, with the reason, when it cannot be used.
    static int readImage(const QString& fileName, QByteArray* image, QString* reason);
    void setFailureReason(const QString& reason);

    UpdateThread* const pollingThread;
    DeviceInterface* const gateway;
    // Guards the file name and the reason, which the GUI thread reads.
    mutable QMutex fileNameMutex;
    QString fileName;
    QString reason;
    std::atomic<int> restartWaitMs{1000};
    std::atomic<bool> cancelRequested{false};
};

#endif // FIRMWAREUPDATETHREAD_H
