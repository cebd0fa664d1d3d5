#include <QtTest>

#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <thread>

#include "device/DeviceInterface.h"
#include "log/LibraryLog.h"
#include "log/MessageLog.h"
#include "mainwindow/MainWindow.h"
#include "support/SimulatedAxis.h"
#include "trovsim.h"

// Windows that are built and destroyed before their set-up: the shut-down must hold whatever
// state it finds, while the library logs from another thread.
class TestMainWindowLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void windowsComeAndGoWhileTheLibraryLogs()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        MessageLog log;
        messageLog = &log;
        std::unique_ptr<DeviceInterface> gateway;
        const device_t first = openOnFreshSimulator(gateway, "sim:axis1");
        QVERIFY(first != -1);
        QCOMPARE(gateway->close_device(first), 0);
        trovsim_clock_manual(0);
        set_logging_callback(libraryLogCallback);
        std::atomic<bool> done{false};
        std::thread logger([&] {
            while (!done) {
                trovsim_emit_log(3, "library line");
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        int closes = 0;
        for (int i = 0; i < 20; ++i) {
            const int before = trovsim_call_count(nullptr, "close_device");
            // A failed open leaves the window without a device, which it must survive too.
            const device_t handle = gateway->open_device("sim:axis1");
            auto* window = new MainWindow(nullptr, handle, QStringLiteral("sim:axis1"), gateway.get());
            QTest::qWait(30);
            delete window;
            closes += handle != -1 && trovsim_call_count(nullptr, "close_device") - before == 1;
        }
        done = true;
        logger.join();
        set_logging_callback(nullptr);
        messageLog = nullptr;
        QCOMPARE(closes, 20);
        QVERIFY(mainWindow == nullptr);
    }
};

QTEST_MAIN(TestMainWindowLifecycle)
#include "tst_mainwindowlifecycle.moc"
