#include <QtTest>

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include <memory>
#include <vector>

#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "mainwindow/StepSpinBox.h"
#include "multiaxis/Multiaxis.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "support/Screenshot.h"
#include "trovsim.h"

namespace {

const char* const axisNames[] = {"sim:axis1", "sim:axis2", "sim:axis3"};

// Two or three simulated controllers opened as start-up opens them, and the window on them.
struct Rig
{
    std::vector<std::unique_ptr<DeviceInterface>> gateways;
    std::unique_ptr<Multiaxis> window;

    explicit Rig(int axes, const char* controllers = nullptr)
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
    }
    ~Rig()
    {
        window.reset();
        gateways.clear();
    }
    // The display then changes only through samples the test hands in.
    void detachPolling()
    {
        window->refreshTimer->stop();
        for (UpdateThread* thread : window->updateThreads)
            QObject::disconnect(thread, nullptr, window.get(), nullptr);
    }
};

} // namespace

class tst_multiaxis : public QObject
{
    Q_OBJECT

private slots:
    void rendersWithTwoAndThreeAxes_data();
    void rendersWithTwoAndThreeAxes();
};

void tst_multiaxis::rendersWithTwoAndThreeAxes_data()
{
    QTest::addColumn<int>("axes");
    QTest::newRow("two") << 2;
    QTest::newRow("three") << 3;
}

void tst_multiaxis::rendersWithTwoAndThreeAxes()
{
    QFETCH(int, axes);
    Rig rig(axes);
    Multiaxis& w = *rig.window;
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.samples[0].connected && w.samples[axes - 1].connected, 5000);
    QTest::qWait(200);
    QVERIFY(keepScreenshot(w, QStringLiteral("multiaxis_%1.png").arg(axes)));
    w.close();
}

QTEST_MAIN(tst_multiaxis)
#include "tst_multiaxis.moc"
