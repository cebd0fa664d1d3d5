#ifndef SETTINGSJOBRUNNER_H
#define SETTINGSJOBRUNNER_H

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

#include "device/AxisCourier.h"
#include "trov.h"

class DeviceInterface;
class QLabel;
class QPushButton;
class QWidget;
class SettingsJob;

// Takes the settings dialog's transfers to the axis' courier, one job with its reply at a time
// in the courier's order, and says on the dialog's line what goes on: while a job runs, what it
// does and how far it is ("Reading the settings of SN 10001: 12 of 30"); after one that was cut
// short, that, with a button to read again.
class SettingsJobRunner : public QObject
{
    Q_OBJECT

public:
    using Reply = std::function<void(SettingsJob& job, AxisCourier::Outcome outcome)>;
    // How often the line shows the progress, and how long a job runs before the line shows it.
    static constexpr int progressMs = 100;

    // The gateway and handle are the dialog's; they give a courier of its own to a dialog that
    // is given none.
    SettingsJobRunner(QWidget* dialog, DeviceInterface* gateway, std::atomic<device_t>* handle);
    ~SettingsJobRunner() override;

    // The axis' courier (not owned), before the first job; the axis as its lines name it.
    void setCourier(AxisCourier* courier);
    void setAxisName(const QString& name);
    QLabel* line() const { return label; }
    QPushButton* readAgainButton() const { return readAgain; }

    // doing: what the line says while it runs; what: how the courier's lines name it.
    void start(std::shared_ptr<SettingsJob> job, const QString& what, const QString& doing, Reply reply);
    bool busy() const { return !running.empty(); }
    // Cancel and the close: the jobs under way send nothing more; their replies still come.
    void dropAll();
    // The line after a job: the text (empty: none), with the read offered again or not.
    void tell(const QString& text, bool offerRead);

signals:
    void busyChanged(bool busy);
    void readAgainClicked();

private:
    AxisCourier* courier();
    void showProgress();

    QWidget* const dialog;
    DeviceInterface* const gateway;
    std::atomic<device_t>* const handle;
    QString axisName;
    AxisCourier* given = nullptr;
    std::unique_ptr<AxisCourier> own;
    QLabel* label;
    QPushButton* readAgain;
    QTimer progress;
    struct Running
    {
        std::shared_ptr<SettingsJob> job;
        QString doing;
    };
    std::deque<Running> running;
    int ticks = 0;
};

#endif // SETTINGSJOBRUNNER_H
