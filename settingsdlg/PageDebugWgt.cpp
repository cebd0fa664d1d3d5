#include "settingsdlg/PageDebugWgt.h"

#include "ui_pagedebugwgt.h"

#include <QtEndian>

#include <cmath>
#include <limits>

#include "common/Formatting.h"
#include "common/MessagePrompter.h"
#include "device/DeviceInterface.h"
#include "settings_model/MotorSettings.h"

PageDebugWgt::PageDebugWgt(QWidget* parent, MotorSettings* settings, DeviceInterface* device)
    : QWidget(parent), ui(new Ui::PageDebugWgtClass), settings(settings), device(device)
{
    ui->setupUi(this);
    const double largest = std::numeric_limits<double>::max();
    for (QDoubleSpinBox* box : {ui->doubleSpinBoxA, ui->doubleSpinBoxB})
        box->setRange(-largest, largest);
    connect(ui->pushButtonReceiveData, &QPushButton::clicked, this, &PageDebugWgt::OnDebugPressed);
    connect(ui->sposBtn, &QPushButton::clicked, this, &PageDebugWgt::OnSpos);
    connect(ui->gposBtn, &QPushButton::clicked, this, &PageDebugWgt::OnGpos);
    connect(ui->scalBtn, &QPushButton::clicked, this, &PageDebugWgt::OnScal);
    connect(ui->gcalBtn, &QPushButton::clicked, this, &PageDebugWgt::OnGcal);
    connect(ui->loftBtn, &QPushButton::clicked, this, &PageDebugWgt::OnLoft);
    connect(ui->pwofBtn, &QPushButton::clicked, this, &PageDebugWgt::OnPwof);
    connect(ui->eesvBtn, &QPushButton::clicked, this, &PageDebugWgt::OnEesv);
    connect(ui->eerdBtn, &QPushButton::clicked, this, &PageDebugWgt::OnEerd);
    connect(ui->restBtn, &QPushButton::clicked, this, &PageDebugWgt::OnRest);
    connect(ui->clfrBtn, &QPushButton::clicked, this, &PageDebugWgt::OnClfr);
}

PageDebugWgt::~PageDebugWgt()
{
    delete ui;
}

int PageDebugWgt::handle() const
{
    return settings->handle->load();
}

bool PageDebugWgt::confirmed(const QString& command)
{
    return MessagePrompter::current()->prompt(this, QMessageBox::Question, tr("Confirm"),
                                              tr("Send %1 to the controller?").arg(command),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

void PageDebugWgt::OnDebugPressed()
{
    debug_read_t data{};
    device->get_debug_read(handle(), &data);
    takeDebugRead(data);
}

void PageDebugWgt::takeDebugRead(const debug_read_t& data)
{
    for (int i = 0; i < 128; ++i)
        buffer[i] = uint8_t(data.DebugData[i] & 0xFF);
    redraw();
}

void PageDebugWgt::redraw()
{
    for (int row = 1; row <= 4; ++row) {
        const uint8_t* bytes = buffer + 32 * (row - 1);
        const QString text = QStringLiteral("%1 %2 %3 %4 %5 %6 ")
                                 .arg(qFromLittleEndian<qint64>(bytes))
                                 .arg(qFromLittleEndian<qint64>(bytes + 8))
                                 .arg(qFromLittleEndian<quint32>(bytes + 16))
                                 .arg(qFromLittleEndian<quint32>(bytes + 20))
                                 .arg(qFromLittleEndian<qint32>(bytes + 24))
                                 .arg(qFromLittleEndian<qint32>(bytes + 28));
        if (auto* label = findChild<QLabel*>(QStringLiteral("label_%1").arg(row)))
            label->setText(text);
    }
}

void PageDebugWgt::OnSpos()
{
    set_position_t position{};
    position.Position = ui->posSpinBox->getStep();
    position.uPosition = ui->posSpinBox->getUStep();
    position.EncPosition = ui->encSpinBox->value();
    position.PosFlags = (ui->ignorePosCheckBox->isChecked() ? SETPOS_IGNORE_POSITION : 0)
                        | (ui->ignoreEncCheckBox->isChecked() ? SETPOS_IGNORE_ENCODER : 0);
    device->set_position(handle(), position);
}

void PageDebugWgt::OnGpos()
{
    get_position_t position{};
    if (device->get_position(handle(), &position) != result_ok) {
        ui->label_pos->clear();
        ui->label_enc->clear();
        return;
    }
    ui->label_pos->setText(QStringLiteral("%1 %2/%3").arg(position.Position).arg(position.uPosition)
                               .arg(settings->microstepDivisor()));
    ui->label_enc->setText(QString::number(position.EncPosition));
}

void PageDebugWgt::OnScal()
{
    calibration_coefficients_t coefficients{ui->doubleSpinBoxA->value(), ui->doubleSpinBoxB->value()};
    if (!std::isfinite(coefficients.A) || !std::isfinite(coefficients.B) || !confirmed(QStringLiteral("SCAL")))
        return;
    device->set_calibration_coefficients(handle(), &coefficients);
}

void PageDebugWgt::OnGcal()
{
    calibration_coefficients_t coefficients{};
    if (device->get_calibration_coefficients(handle(), &coefficients) != result_ok) {
        ui->label_A->clear();
        ui->label_B->clear();
        return;
    }
    ui->label_A->setText(doubleToString(false, coefficients.A));
    ui->label_B->setText(doubleToString(false, coefficients.B));
}

void PageDebugWgt::OnLoft()
{
    device->command_loft(handle());
}

void PageDebugWgt::OnPwof()
{
    device->command_power_off(handle());
}

void PageDebugWgt::OnEesv()
{
    if (!confirmed(QStringLiteral("EESV")))
        return;
    emit EESV();
    device->command_eesave_settings(handle());
}

void PageDebugWgt::OnEerd()
{
    device->command_eeread_settings(handle());
    emit EERD();
}

void PageDebugWgt::OnRest()
{
    if (confirmed(QStringLiteral("REST")))
        device->command_reset(handle());
}

void PageDebugWgt::OnClfr()
{
    if (confirmed(QStringLiteral("CLFR")))
        device->command_clear_fram(handle());
}
