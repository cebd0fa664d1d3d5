#include <QtTest>

#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

#include "device/DeviceInterface.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "mainwindow/LatestSample.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "support/SimulatedAxis.h"

namespace {

const char* const stepperAxis = "sim:axis1";

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<DeviceInterface> gateway;
    std::unique_ptr<MessageLog> log;

    // A window on a fresh simulated stepper, built and set up; null when the device did not open.
    MainWindow* openWindow(MainWindow::InitStatus* status = nullptr)
    {
        const device_t handle = openOnFreshSimulator(gateway, stepperAxis);
        if (handle == -1)
            return nullptr;
        auto* window = new MainWindow(nullptr, handle, QString::fromLatin1(stepperAxis), gateway.get());
        connect(window, &MainWindow::InsertLineSgn, log.get(),
                qOverload<const QDateTime&, const QString&, const QString&, int, const LogSettings&>(
                    &MessageLog::InsertLine),
                Qt::DirectConnection);
        const MainWindow::InitStatus result = window->init();
        if (status)
            *status = result;
        return window;
    }

private slots:
    void initTestCase()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        qputenv("HOME", QFile::encodeName(home->path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home->filePath(QStringLiteral("share"))));
        QVERIFY(QDir().mkpath(home->filePath(QStringLiteral("share"))));
        QFile defaults(home->filePath(QStringLiteral("share/tolmodefault.cfg")));
        QVERIFY(defaults.open(QIODevice::WriteOnly));
        defaults.close();
        log = std::make_unique<MessageLog>();
        messageLog = log.get();
    }

    void cleanupTestCase()
    {
        messageLog = nullptr;
        log.reset();
    }

    void buildsAndShutsDown()
    {
        MainWindow::InitStatus status = MainWindow::InitStatus::NoConfigurationFile;
        MainWindow* window = openWindow(&status);
        QVERIFY(window);
        QCOMPARE(status, MainWindow::InitStatus::Ready);
        QVERIFY(window->isInitialized());
        QCOMPARE(window->form()->positionValue->text(), QStringLiteral("No device"));
        QTRY_VERIFY_WITH_TIMEOUT(!window->form()->moveBtn->isEnabled() || deviceConnected, 5000);
        delete window;
        QVERIFY(QFileInfo::exists(home->filePath(QStringLiteral(".config/Tolmo.conf/settings.ini"))));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
