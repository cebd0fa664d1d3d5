#include "pages/JoystickCalibrationDlg.h"

#include "widgets/DeadZoneSlider.h"
#include "widgets/ProgramResources.h"
#include "ui_joystickcalibrationdlg.h"

#include <algorithm>
#include <cmath>

JoystickCalibrationDlg::JoystickCalibrationDlg(QWidget* parent, MotorSettings* settings, const QString& titleSuffix)
    : QDialog(parent), form(new Ui::JoystickCalibrationDlgClass)
{
    Q_UNUSED(settings);
    loadProgramResources();
    form->setupUi(this);
    setWindowTitle(tr("Joystick calibration ") + titleSuffix);
    slider = new DeadZoneSlider(Qt::Horizontal, this);
    slider->setObjectName(QStringLiteral("joySlider"));
    form->sliderLayout->addWidget(slider);
    // Enter in the dialog must not close it by accident: no button is the default.
    for (QPushButton* button : {form->okBtn, form->cancelBtn, form->applyBtn, form->startBtn}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(form->startBtn, &QPushButton::clicked, this, &JoystickCalibrationDlg::onStartPressed);
    connect(form->okBtn, &QPushButton::clicked, this, &JoystickCalibrationDlg::onOKPressed);
    connect(form->applyBtn, &QPushButton::clicked, this, &JoystickCalibrationDlg::onApplyPressed);
    connect(form->cancelBtn, &QPushButton::clicked, this, &JoystickCalibrationDlg::onCancelPressed);
}

JoystickCalibrationDlg::~JoystickCalibrationDlg()
{
    delete form;
}

void JoystickCalibrationDlg::RefreshWindow(int, QDateTime, status_t, chart_data_t chartData, analog_data_t, bool)
{
    takeReading(int32_t(chartData.Joy));
}

void JoystickCalibrationDlg::takeReading(int32_t value)
{
    form->currentValueLbl->setText(QString::number(value));
    readings.push_back(value);
    if (readings.size() > size_t(windowSize)) {
        readings.pop_front();
    }
    if (calibrating) {
        if (!haveZero) {
            zeroValue = deadZoneLow = deadZoneHigh = value;
            haveZero = true;
        } else {
            const int64_t n = int64_t(readings.size());
            int64_t sum = 0;
            for (int32_t reading : readings) {
                sum += reading;
            }
            zeroValue = int32_t(sum / n);
            // Squares of int32 differences overflow 64 bits only at the very ends; long double
            // holds the sum exactly for every joystick range.
            long double squares = 0;
            for (int32_t reading : readings) {
                const long double d = (long double)(int64_t(reading) - zeroValue);
                squares += d * d;
            }
            sigma = int64_t(std::sqrt(std::floor(squares / n)));
            deadZoneLow = int32_t(std::max<int64_t>(INT32_MIN, zeroValue - 5 * sigma));
            deadZoneHigh = int32_t(std::min<int64_t>(INT32_MAX, zeroValue + 5 * sigma));
        }
    }
    if (!haveRange) {
        minValue = maxValue = value;
        haveRange = true;
    } else {
        minValue = std::min(minValue, value);
        maxValue = std::max(maxValue, value);
    }
    showStatistics();
    slider->SetWholeRange(minValue, maxValue);
    if (haveZero) {
        slider->SetDeadZoneRange(deadZoneLow, deadZoneHigh);
    }
    slider->setValue(value);
    slider->repaint();

    if (calibrating) {
        --samplesLeft;
        form->startBtn->setText(QString::number(samplesLeft));
        if (samplesLeft <= 0) {
            calibrating = false;
            form->startBtn->setEnabled(true);
        }
    } else {
        form->startBtn->setText(tr("Start"));
    }
}

void JoystickCalibrationDlg::showStatistics()
{
    if (haveZero) {
        form->zeroValueLbl->setText(QString::number(zeroValue));
        form->deadLowValueLbl->setText(QString::number(deadZoneLow));
        form->deadHighValueLbl->setText(QString::number(deadZoneHigh));
    }
    form->minValueLbl->setText(QString::number(minValue));
    form->maxValueLbl->setText(QString::number(maxValue));
}

void JoystickCalibrationDlg::onStartPressed()
{
    samplesLeft = windowSize;
    calibrating = true;
    deadZoneLow = deadZoneHigh = zeroValue;
    form->startBtn->setEnabled(false);
}

void JoystickCalibrationDlg::onApplyPressed()
{
    // Nothing measured yet: nothing to hand over.
    if (!haveRange) {
        return;
    }
    if (!haveZero) {
        emit sendJoySettings(minValue, 0, maxValue, 0.0, false);
        return;
    }
    double deadZone = 0.0;
    if (maxValue != zeroValue && zeroValue != minValue) {
        const double low = double(int64_t(zeroValue) - deadZoneLow) / double(int64_t(zeroValue) - minValue);
        const double high = double(int64_t(deadZoneHigh) - zeroValue) / double(int64_t(maxValue) - zeroValue);
        deadZone = std::min(100.0 * std::max(low, high), 255.0);
    }
    emit sendJoySettings(minValue, zeroValue, maxValue, deadZone, true);
}

void JoystickCalibrationDlg::onOKPressed()
{
    onApplyPressed();
    accept();
}

void JoystickCalibrationDlg::onCancelPressed()
{
    reject();
}
