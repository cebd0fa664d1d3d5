#ifndef MULTIAXISWINDOWRIG_H
#define MULTIAXISWINDOWRIG_H

#include <QCoreApplication>
#include "TestTime.h"
#include <QElapsedTimer>

#include "device/AxisCourier.h"
#include "device/DeviceInterface.h"
#include "multiaxis/Multiaxis.h"
#include "trovsim.h"

#include <memory>
#include <vector>

const char* const axisNames[] = {"sim:axis1", "sim:axis2", "sim:axis3"};

// Two or three simulated controllers opened as start-up opens them, each through its own
// gateway, and the window on them; the window goes first, then the gateways.
struct MultiaxisWindowRig
{
    std::vector<std::unique_ptr<DeviceInterface>> gateways;
    std::unique_ptr<Multiaxis> window;

    explicit MultiaxisWindowRig(int axes, const char* controllers = nullptr)
    {
        trovsim_reset(controllers, "");
        trovsim_clear_faults();
        QList<int> handles;
        QStringList names;
        QList<DeviceInterface*> list;
        for (int i = 0; i < axes; ++i) {
            gateways.push_back(std::make_unique<DeviceInterface>());
            handles.append(gateways.back()->open_device(axisNames[i]));
            names.append(QString::fromLatin1(axisNames[i]));
            list.append(gateways.back().get());
        }
        window = std::make_unique<Multiaxis>(nullptr, Qt::WindowFlags(), handles, names, list);
        current() = this;
    }
    ~MultiaxisWindowRig()
    {
        current() = nullptr;
        window.reset();
        gateways.clear();
    }

    static MultiaxisWindowRig*& current()
    {
        static MultiaxisWindowRig* rig = nullptr;
        return rig;
    }
    // Until every axis' courier has handed over what it was given (or waits for polling to open
    // its lost controller again) and its replies are in, for at most ms.
    bool settle(int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            QCoreApplication::processEvents();
            bool idle = true;
            for (const AxisCourier* courier : window ? window->couriers : QList<AxisCourier*>())
                idle = idle && (courier->idle() || courier->awaitsController());
            if (idle || clock.elapsed() > scaledMs(ms)) {
                QCoreApplication::processEvents();
                return idle;
            }
            QThread::msleep(1);
        }
    }
};

#endif // MULTIAXISWINDOWRIG_H
