#include "settingsdlg/PageCalibWgt.h"

#include "ui_pagecalibwgt.h"

#include <QTimer>

#include "device/LatestSample.h"

namespace {

struct CalibRow
{
    const char* codeLabel; // null: the input has no raw code
    uint32_t analog_data_t::*code;
    const char* valueLabel;
    int32_t analog_data_t::*value;
    int divisor; // 1: shown as an integer
};

const CalibRow calibRows[] = {
    {"adcA1VoltLbl", &analog_data_t::A1Voltage_ADC, "cdcA1VoltLbl", &analog_data_t::A1Voltage, 100},
    {"adcA2VoltLbl", &analog_data_t::A2Voltage_ADC, "cdcA2VoltLbl", &analog_data_t::A2Voltage, 100},
    {"adcB1VoltLbl", &analog_data_t::B1Voltage_ADC, "cdcB1VoltLbl", &analog_data_t::B1Voltage, 100},
    {"adcB2VoltLbl", &analog_data_t::B2Voltage_ADC, "cdcB2VoltLbl", &analog_data_t::B2Voltage, 100},
    {"adcVsupLbl", &analog_data_t::SupVoltage_ADC, "cdcVsupLbl", &analog_data_t::SupVoltage, 100},
    {"adcEngCurLbl", &analog_data_t::FullCurrent_ADC, "cdcEngCurLbl", &analog_data_t::FullCurrent, 1},
    {"adcACurrLbl", &analog_data_t::ACurrent_ADC, "cdcACurrLbl", &analog_data_t::ACurrent, 1},
    {"adcBCurrLbl", &analog_data_t::BCurrent_ADC, "cdcBCurrLbl", &analog_data_t::BCurrent, 1},
    {"adcPotLbl", &analog_data_t::Pot_ADC, "cdcPotLbl", &analog_data_t::Pot, 1},
    {"adcJoyLbl", &analog_data_t::Joy_ADC, "cdcJoyLbl", &analog_data_t::Joy, 1},
    {"adcL5Lbl", &analog_data_t::L5_ADC, "cdcL5Lbl", &analog_data_t::L5, 100},
    {"adcH5Lbl", &analog_data_t::H5_ADC, "cdcH5Lbl", &analog_data_t::H5, 100},
    {"adcTempKeyLbl", &analog_data_t::Temp_ADC, "cdcTempKeyLbl", &analog_data_t::Temp, 10},
    {nullptr, nullptr, "cdcPwmLevelLbl", &analog_data_t::DutyCycle, 100},
    {nullptr, nullptr, "R", &analog_data_t::R, 1},
    {nullptr, nullptr, "L", &analog_data_t::L, 1},
};

void setLabel(QWidget* page, const char* name, const QString& text)
{
    if (auto* label = page->findChild<QLabel*>(QLatin1String(name)))
        label->setText(text);
}

} // namespace

PageCalibWgt::PageCalibWgt(QWidget* parent) : QWidget(parent), ui(new Ui::PageCalibWgtClass), timer(new QTimer(this))
{
    ui->setupUi(this);
    connect(timer, &QTimer::timeout, this, &PageCalibWgt::UpdateCalibration);
    timer->start(100);
}

PageCalibWgt::~PageCalibWgt()
{
    delete ui;
}

void PageCalibWgt::UpdateCalibration()
{
    if (!deviceConnected || !isVisible())
        return;
    for (const CalibRow& row : calibRows) {
        if (row.codeLabel)
            setLabel(this, row.codeLabel, QString::number(lastAnalogData.*row.code));
        const int32_t value = lastAnalogData.*row.value;
        // Divided as reals, so -53 tenths show -5.3 rather than a truncated -5.
        setLabel(this, row.valueLabel,
                 row.divisor == 1 ? QString::number(value) : QString::number(double(value) / row.divisor, 'g', 6));
    }
}

void PageCalibWgt::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QWidget::changeEvent(event);
}
