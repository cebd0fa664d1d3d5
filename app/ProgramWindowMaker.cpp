#include "app/ProgramWindowMaker.h"

#include "log/MessageLog.h"
#include "mainwindow/MainWindow.h"

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

} // namespace

std::unique_ptr<ControlWindow> ProgramWindowMaker::makeSingleAxis(device_t handle, const QString& name,
                                                                  DeviceInterface* gateway)
{
    return std::make_unique<SingleAxisWindow>(handle, name, gateway);
}

std::unique_ptr<ControlWindow> ProgramWindowMaker::makeMultiAxis(const QList<int>&, const QStringList&,
                                                                 const QList<DeviceInterface*>&)
{
    // The multi-axis window is not part of this build yet.
    return nullptr;
}
