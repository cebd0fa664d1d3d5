#ifndef JOYSTICKCALIBRATIONDLG_H
#define JOYSTICKCALIBRATIONDLG_H

#include <QDateTime>
#include <QDialog>

#include <cstdint>
#include <deque>

#include "device/TrovMetaTypes.h"
#include "trov.h"

class DeadZoneSlider;
class MotorSettings;
namespace Ui { class JoystickCalibrationDlgClass; }

// Measures a joystick from the live samples: the extremes seen since the dialog opened, and
// after "Start" the zero and a dead zone of five deviations each side over the next 50 samples.
// It never talks to the controller; its proposal goes out through sendJoySettings.
class JoystickCalibrationDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int windowSize = 50;

    JoystickCalibrationDlg(QWidget* parent, MotorSettings* settings, const QString& titleSuffix);
    ~JoystickCalibrationDlg() override;

    // One reading, as a sample carries it.
    void takeReading(int32_t value);

    bool rangeKnown() const { return haveRange; }
    bool zeroKnown() const { return haveZero; }
    int32_t zero() const { return zeroValue; }
    int32_t minimum() const { return minValue; }
    int32_t maximum() const { return maxValue; }
    int32_t deadLow() const { return deadZoneLow; }
    int32_t deadHigh() const { return deadZoneHigh; }
    int64_t deviation() const { return sigma; }
    bool isCalibrating() const { return calibrating; }

signals:
    // The extremes, and when a calibration ran, the zero and the dead zone in percent;
    // centerKnown false leaves the zero and the dead zone to the receiver.
    void sendJoySettings(int low, int center, int high, double deadZone, bool centerKnown);

public slots:
    void RefreshWindow(int number, QDateTime msrTime, status_t state, chart_data_t chartData,
                       analog_data_t analogData, bool connect);
    void onStartPressed();
    void onApplyPressed();
    void onOKPressed();
    void onCancelPressed();

private:
    void showStatistics();

    Ui::JoystickCalibrationDlgClass* form;
    DeadZoneSlider* slider;
    std::deque<int32_t> readings;
    int32_t zeroValue = 0;
    int32_t minValue = 0;
    int32_t maxValue = 0;
    int32_t deadZoneLow = 0;
    int32_t deadZoneHigh = 0;
    bool haveZero = false;
    bool haveRange = false;
    int64_t sigma = 0;
    int samplesLeft = 0;
    bool calibrating = false;
};

#endif // JOYSTICKCALIBRATIONDLG_H
