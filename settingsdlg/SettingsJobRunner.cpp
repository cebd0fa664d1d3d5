#include "settingsdlg/SettingsJobRunner.h"

#include <QLabel>
#include <QPushButton>

#include "device/DeviceInterface.h"
#include "settings_model/SettingsJob.h"

SettingsJobRunner::SettingsJobRunner(QWidget* dialog, DeviceInterface* gateway, std::atomic<device_t>* handle)
    : QObject(dialog), dialog(dialog), gateway(gateway), handle(handle), label(new QLabel(dialog)),
      readAgain(new QPushButton(tr("Read again"), dialog))
{
    label->setObjectName(QStringLiteral("transferLbl"));
    label->setWordWrap(true);
    label->hide();
    readAgain->setObjectName(QStringLiteral("readAgainBtn"));
    readAgain->hide();
    connect(readAgain, &QPushButton::clicked, this, &SettingsJobRunner::readAgainClicked);
    progress.setInterval(progressMs);
    connect(&progress, &QTimer::timeout, this, &SettingsJobRunner::showProgress);
}

SettingsJobRunner::~SettingsJobRunner()
{
    // A job of this dialog still under way goes no further.
    dropAll();
}

void SettingsJobRunner::setCourier(AxisCourier* courier)
{
    given = courier;
}

void SettingsJobRunner::setAxisName(const QString& name)
{
    axisName = name;
    if (own)
        own->setAxis(name);
}

AxisCourier* SettingsJobRunner::courier()
{
    if (given)
        return given;
    if (!own)
        own = std::make_unique<AxisCourier>(gateway, handle, axisName);
    return own.get();
}

void SettingsJobRunner::start(std::shared_ptr<SettingsJob> job, const QString& what, const QString& doing, Reply reply)
{
    const bool wasBusy = busy();
    running.push_back(Running{job, doing});
    tell(QString(), false);
    ticks = 0;
    progress.start();
    courier()->sendJob(
        AxisCourier::Kind::Command, what, [job](DeviceInterface& device, device_t) { return job->run(device); }, this,
        [this, job, reply](result_t, AxisCourier::Outcome outcome) {
            for (auto it = running.begin(); it != running.end(); ++it) {
                if (it->job == job) {
                    running.erase(it);
                    break;
                }
            }
            if (running.empty()) {
                progress.stop();
                label->hide();
            }
            // The controls come back before the reply runs: it may show a box, or start the next job.
            if (running.empty())
                emit busyChanged(false);
            reply(*job, outcome);
        });
    if (!wasBusy)
        emit busyChanged(true);
}

void SettingsJobRunner::dropAll()
{
    for (const Running& entry : running)
        entry.job->drop();
}

void SettingsJobRunner::tell(const QString& text, bool offerRead)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
    readAgain->setVisible(offerRead);
}

void SettingsJobRunner::showProgress()
{
    if (running.empty())
        return;
    const Running& shown = running.front();
    label->setText(tr("%1: %2 of %3").arg(shown.doing).arg(shown.job->done()).arg(shown.job->total()));
    // A job of a normal controller is in before the line would show.
    if (++ticks >= 2)
        label->show();
}
