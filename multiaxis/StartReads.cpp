#include "multiaxis/StartReads.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <vector>

#include "device/AxisCourier.h"
#include "device/ControllerSettings.h"
#include "device/SharedFlags.h"
#include "settings_model/ReconnectRead.h"
#include "settingsdlg/SettingsDlg.h"
#include "widgets/InfoBox.h"

void StartReads::run(const QList<AxisCourier*>& couriers, const QList<SettingsDlg*>& dialogs,
                     const QList<std::atomic<device_t>*>& handles, const QStringList& names)
{
    QEventLoop loop;
    InfoBox box;
    box.setIconType(0);
    box.setButtonsVisible(false);
    box.setMovieVisible(true);
    QStringList waiting = names;
    const auto showWaiting = [&] {
        box.setText(tr("Reading the identity and settings of %1").arg(waiting.join(QStringLiteral(", "))));
    };
    showWaiting();
    std::vector<std::shared_ptr<ReconnectRead>> reads;
    for (int i = 0; i < couriers.size(); ++i) {
        SettingsDlg* dialog = dialogs[i];
        // Copies: the courier's thread reads into them, this one hands them to the dialog.
        auto read = std::make_shared<ReconnectRead>(ReconnectRead::What::Both, *dialog->controllerSettings,
                                                    *dialog->motorSettings);
        reads.push_back(read);
        std::atomic<device_t>* handle = handles[i];
        const QString name = names[i];
        couriers[i]->sendJob(
            AxisCourier::Kind::Command, tr("Reading the controller identity"),
            [read, handle](DeviceInterface& gateway, device_t) { return read->run(gateway, *handle); }, &loop,
            [&, dialog, read, name](result_t, AxisCourier::Outcome outcome) {
                const char* failed = read->identityOutcome.failed;
                if (outcome != AxisCourier::Outcome::Done || failed) {
                    deviceInitOk.store(false);
                    lastFailedFunction.store(failed ? failed : "get_serial_number");
                }
                dialog->takeStartRead(*read);
                waiting.removeOne(name);
                if (!waiting.isEmpty()) {
                    showWaiting();
                    return;
                }
                box.hide();
                loop.quit();
            });
    }
    QTimer::singleShot(boxAfterMs, &loop, [&] {
        if (!waiting.isEmpty())
            box.show();
    });
    if (!waiting.isEmpty())
        loop.exec();
    box.hide();
}
