#ifndef CONTROLWINDOW_H
#define CONTROLWINDOW_H

#include <QList>
#include <QStringList>

#include <memory>

#include "trov.h"

class DeviceInterface;
class MessageLog;
class QWidget;

// A control window as start-up sees it: built, wired to the log, initialised, shown, and in the
// end deleted, which runs the window's whole shut-down (threads stopped, controllers closed).
class ControlWindow
{
public:
    enum class Init {
        Ready,
        // No configuration file at all; the window has warned in front of messageParent.
        NoConfigurationFile,
        // A library call failed during the set-up (deviceInitOk cleared, lastFailedFunction).
        Failed
    };

    virtual ~ControlWindow() = default;
    virtual QWidget* widget() = 0;
    // Lines the window logs go to the program log from now on.
    virtual void connectLog(MessageLog* log) = 0;
    virtual Init init(QWidget* messageParent) = 0;
};

// What start-up builds on the user's choice; tests put doubles in its place.
class ControlWindowMaker
{
public:
    virtual ~ControlWindowMaker() = default;
    // One controller, opened through the program-wide gateway.
    virtual std::unique_ptr<ControlWindow> makeSingleAxis(device_t handle, const QString& name,
                                                          DeviceInterface* gateway) = 0;
    // Several controllers, each opened through its own gateway, which the window takes over;
    // null when this build has no window for several axes.
    virtual std::unique_ptr<ControlWindow> makeMultiAxis(const QList<int>& handles, const QStringList& names,
                                                         const QList<DeviceInterface*>& gateways) = 0;
};

#endif // CONTROLWINDOW_H
