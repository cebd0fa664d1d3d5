#include "app/ProgramWindowMaker.h"

#include "log/MessageLog.h"
#include "device/DeviceInterface.h"
#include "device/LeftRunning.h"
#include "device/SharedFlags.h"
#include "mainwindow/MainWindow.h"
#include "multiaxis/Multiaxis.h"

#include <QPointer>

namespace {

// The single-axis window; deleting it runs the window's shut-down unless it is gone already.
class SingleAxisWindow : public ControlWindow
{
public:
    SingleAxisWindow(device_t handle, const QString& name, DeviceInterface* gateway)
        : window(new MainWindow(nullptr, handle, name, gateway))
    {
    }
    ~SingleAxisWindow() override { delete window.data(); }

    QWidget* widget() override { return window; }
    void connectLog(MessageLog* log) override
    {
        QObject::connect(window.data(), &MainWindow::InsertLineSgn, log,
                         qOverload<const QDateTime&, const QString&, const QString&, int, const LogSettings&>(
                             &MessageLog::InsertLine),
                         Qt::QueuedConnection);
    }
    Init init(QWidget* messageParent) override
    {
        switch (window->init(messageParent)) {
        case MainWindow::InitStatus::Ready:
            return Init::Ready;
        case MainWindow::InitStatus::NoConfigurationFile:
            return Init::NoConfigurationFile;
        case MainWindow::InitStatus::IdentityReadFailed:
            break;
        }
        return Init::Failed;
    }

private:
    QPointer<MainWindow> window;
};

// The window for two or three axes. It uses the gateways but does not own them: they are
// deleted after the window, whose shut-down still closes its controllers through them.
class MultiAxisWindow : public ControlWindow
{
public:
    MultiAxisWindow(const QList<int>& handles, const QStringList& names, const QList<DeviceInterface*>& gateways)
        : gateways(gateways)
        , window(new Multiaxis(nullptr, Qt::WindowFlags(), handles, names, gateways))
    {
    }
    ~MultiAxisWindow() override
    {
        delete window.data();
        // A thread left running may still call through them.
        if (!LeftRunning::any())
            qDeleteAll(gateways);
    }

    QWidget* widget() override { return window; }
    // The window logs nothing of its own.
    void connectLog(MessageLog*) override {}
    // The per-axis settings dialogs read each controller's identity while the window is built.
    Init init(QWidget*) override { return deviceInitOk ? Init::Ready : Init::Failed; }

private:
    const QList<DeviceInterface*> gateways;
    QPointer<Multiaxis> window;
};

} // namespace

std::unique_ptr<ControlWindow> ProgramWindowMaker::makeSingleAxis(device_t handle, const QString& name,
                                                                  DeviceInterface* gateway)
{
    return std::make_unique<SingleAxisWindow>(handle, name, gateway);
}

std::unique_ptr<ControlWindow> ProgramWindowMaker::makeMultiAxis(const QList<int>& handles, const QStringList& names,
                                                                 const QList<DeviceInterface*>& gateways)
{
    return std::make_unique<MultiAxisWindow>(handles, names, gateways);
}
