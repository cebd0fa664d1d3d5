#include "app/ProgramStartup.h"

#include "app/ControlWindow.h"
#include "app/StartWindow.h"
#include "device/StartupGlobals.h"
#include "common/IniSettings.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "common/SettingsWriteReport.h"
#include "common/Waits.h"
#include "device/DeviceInterface.h"
#include "device/LeftRunning.h"
#include "device/SharedFlags.h"
#include "log/LibraryLog.h"
#include "log/MessageLog.h"
#include "widgets/ProgramResources.h"

#include <QApplication>
#include <QDateTime>
#include <QThread>
#include <QWidget>

namespace {

QThread* logThread = nullptr;

QString couldNotOpen(const QString& name)
{
    return QApplication::translate("ProgramStartup", "Could not open controller %1.").arg(name);
}

// Reads the status once in firmware mode, as a first exchange before the window is built.
void firstStatusRead(DeviceInterface* gateway, device_t handle)
{
    if (gateway->getMode(handle) == 2) {
        status_t status;
        gateway->get_status(handle, &status);
    }
}

} // namespace

ProgramStartup::ProgramStartup(ControlWindowMaker& maker)
    : maker(maker)
{
}

ProgramStartup::~ProgramStartup()
{
    finish();
}

void ProgramStartup::start()
{
    loadProgramResources();
    stopwatch.start();
    // Made before the log opens its first file in it.
    const QString folderProblem = SettingsWriteReport::checkFolder(configDirPath());
    deviceInterface = new DeviceInterface;
    messageLog = new MessageLog;
    logThread = new QThread;
    messageLog->moveToThread(logThread);
    logThread->start(QThread::InheritPriority);
    messageLog->setSerial(0);
    messageLog->InsertLine(QDateTime::currentDateTime(), QStringLiteral("Starting"), QStringLiteral("main"), 0);
    if (!folderProblem.isEmpty()) {
        SettingsWriteReport::folderFailed(nullptr, configDirPath(), folderProblem, [](const QString& line) {
            messageLog->InsertLine(QDateTime::currentDateTime(), line, QStringLiteral("main"), 1);
        });
    }
    set_logging_callback(libraryLogCallback);
    IniSettings settings(settingsIniPath());
    enumerationFlags = uint32_t(ProgramSettingsFile::readSearchOptions(settings).enumerationFlags());
}

int ProgramStartup::run()
{
    start();
    Pass pass;
    do {
        pass = searchPass();
    } while (pass == Pass::Again);
    int code = 0;
    if (pass == Pass::WindowReady) {
        window->widget()->show();
        code = QApplication::exec();
    }
    finish();
    return code;
}

ProgramStartup::Pass ProgramStartup::searchPass()
{
    deviceInitOk = true;
    search = new StartWindow(enumerationFlags);
    search->show();
    search->startSearch();
    const QStringList chosen = search->waitForResult();
    if (chosen.first() == QLatin1String("nodevices"))
        return Pass::Quit;
    return chosen.size() > 1 ? multiAxis(chosen) : singleAxis(chosen.first());
}

ProgramStartup::Pass ProgramStartup::singleAxis(const QString& name)
{
    const QByteArray localName = name.toLocal8Bit();
    const double t0 = stopwatch.getElapsedTimeInMilliSec();
    device_t handle = deviceInterface->open_device(localName.constData());
    while (handle == -1) {
        sleepMs(100);
        if (stopwatch.getElapsedTimeInMilliSec() - t0 >= openWindowMs)
            break;
        handle = deviceInterface->open_device(localName.constData());
    }
    // No window on a controller that is not there: it would only fail its set-up.
    if (handle == -1)
        return failedPass(couldNotOpen(name));
    firstStatusRead(deviceInterface, handle);

    window = maker.makeSingleAxis(handle, name, deviceInterface);
    // Before init, so that the window's first lines ("Device found") reach the log.
    window->connectLog(messageLog);
    QCoreApplication::processEvents();
    const ControlWindow::Init status = window->init(search);
    QCoreApplication::processEvents();
    search->hide();
    if (status == ControlWindow::Init::NoConfigurationFile) {
        window.reset();
        return Pass::Quit;
    }
    if (status == ControlWindow::Init::Ready && deviceInitOk)
        return Pass::WindowReady;
    window.reset();
    return failedPass(QApplication::translate("ProgramStartup", "Error initializing controller: function <b>%1</b> failed.")
                          .arg(QString::fromLatin1(lastFailedFunction.load())));
}

ProgramStartup::Pass ProgramStartup::multiAxis(const QStringList& names)
{
    QList<int> handles;
    QList<DeviceInterface*> gateways;
    const auto closeAll = [&] {
        for (int i = 0; i < handles.size(); ++i)
            gateways[i]->close_device(handles[i]);
        qDeleteAll(gateways);
    };
    for (const QString& name : names) {
        auto* gateway = new DeviceInterface;
        gateways << gateway;
        const device_t handle = gateway->open_device(name.toLocal8Bit().constData());
        if (handle == -1) {
            closeAll();
            return failedPass(couldNotOpen(name));
        }
        handles << handle;
        firstStatusRead(gateway, handle);
        QCoreApplication::processEvents();
    }
    window = maker.makeMultiAxis(handles, names, gateways);
    if (!window) {
        closeAll();
        return failedPass(QApplication::translate("ProgramStartup",
                                                  "This version controls one controller at a time. Choose one controller."));
    }
    window->connectLog(messageLog);
    const ControlWindow::Init status = window->init(search);
    search->hide();
    window->widget()->show();
    if (status == ControlWindow::Init::Ready && deviceInitOk)
        return Pass::WindowReady;
    // Deleting the window closes its controllers.
    window.reset();
    return failedPass(QApplication::translate("ProgramStartup", "Error initializing controller: function <b>%1</b> failed.")
                          .arg(QString::fromLatin1(lastFailedFunction.load())));
}

ProgramStartup::Pass ProgramStartup::failedPass(const QString& message)
{
    dropSearchWindow();
    autoSelectSingleDevice = false;
    MessagePrompter::current()->prompt(nullptr, QMessageBox::Warning, QStringLiteral("Tolmo"), message,
                                       QMessageBox::Ok, QMessageBox::Ok);
    return Pass::Again;
}

void ProgramStartup::dropSearchWindow()
{
    delete search.data();
}

void ProgramStartup::finish()
{
    window.reset();
    dropSearchWindow();
    stopMessageLog(messageLog, logThread);
    // A thread left running may still call through the gateway.
    if (!LeftRunning::any())
        delete deviceInterface;
    deviceInterface = nullptr;
}

int runProgram(ControlWindowMaker& maker)
{
    ProgramStartup startup(maker);
    return startup.run();
}
