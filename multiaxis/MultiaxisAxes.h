#ifndef MULTIAXISAXES_H
#define MULTIAXISAXES_H

#include <QList>
#include <QString>

#include <atomic>

#include "multiaxis/AxisSample.h"
#include "scriptdlg/ScriptAxisHost.h"
#include "trov.h"

class DeviceInterface;

// The multi-axis window's axes as its polling and script threads reach them: the shared handles
// and the gateways, apart from the window, so that a thread left running at shut-down still
// reads them after the window is gone.
class MultiaxisAxes : public ScriptAxisHost
{
public:
    static constexpr int maxAxes = 3;

    MultiaxisAxes();

    // The open axes only, by axis index.
    int scriptAxisCount() const override;
    DeviceInterface* scriptAxisGateway(int axis) const override;
    std::atomic<device_t>* scriptAxisHandle(int axis) const override;
    // Not while the window keeps the axis out of use; the first refusal of a spell is logged.
    // A motion command that goes clears the axis' shift carry.
    bool scriptAxisMayCall(int axis, bool motion) override;

    // The window's rule: commands go to an axis that works (or has sent no sample yet) and has
    // a handle; one without a handle counts as lost.
    static AxisUse commandUse(AxisUse sampled, device_t handle);
    // How the multi-axis log names axis `axis` ("SN 10002"): by its serial, which a log read
    // later still ties to the controller, whatever slot showed it then. From any thread.
    QString axisNamed(int axis) const;
    // The log line of a command skipped for `who` ("SN 10002", "Script call to SN 10002").
    static QString skipText(const QString& who, AxisUse use);
    // The latest sample of the axis, for the script thread.
    void sampled(int axis, AxisUse use);

    // Per axis index: the current handle, rewritten by the axis' polling thread when it
    // reconnects; -1 while closed.
    std::atomic<device_t> handles[maxAxes];
    // One per open axis; set before the threads start, not changed after.
    QList<DeviceInterface*> gateways;
    // Per axis index, set before the script thread starts: the serial number its lines name.
    unsigned int serials[maxAxes] = {0, 0, 0};
    // Per axis index, in full steps: what the relative moves of the shifts so far fell short of
    // the shifts typed, carried into the next one until the axis is commanded otherwise.
    std::atomic<double> shiftCarry[maxAxes];

private:
    std::atomic<AxisUse> sampledUse[maxAxes];
    std::atomic<bool> scriptSkipLogged[maxAxes];
};

#endif // MULTIAXISAXES_H
