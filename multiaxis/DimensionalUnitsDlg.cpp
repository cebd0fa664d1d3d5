#include "multiaxis/DimensionalUnitsDlg.h"

#include <QPushButton>

#include "common/WindowPlacement.h"
#include "ui_dimensionalunitsdlg.h"

DimensionalUnitsDlg::DimensionalUnitsDlg(QWidget* parent, const QString& title, bool enabled,
                                         const QString& unitName, uint steps, uint units, uint precision,
                                         const QStringList& serials)
    : QDialog(parent), ui(new Ui::DimensionalUnitsDlgClass)
{
    ui->setupUi(this);
    keepOnScreen(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DimensionalUnitsDlg::onOKPressed);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DimensionalUnitsDlg::onCancelPressed);
    connect(ui->pushButton_up, &QPushButton::clicked, this, &DimensionalUnitsDlg::onBtnUpPressed);
    connect(ui->pushButton_down, &QPushButton::clicked, this, &DimensionalUnitsDlg::onBtnDownPressed);
    // The axis letters are shown whole beside the serials.
    ui->letterWidget->setMinimumWidth(ui->letterWidget->sizeHintForColumn(0) + 2 * ui->letterWidget->frameWidth() + 8);
    setWindowTitle(title);
    ui->checkBox->setChecked(enabled);
    // Twice, so that the dependent widgets follow the box even when its state did not change.
    ui->checkBox->toggle();
    ui->checkBox->toggle();
    // The spin boxes clamp what a hand-edited settings.ini held.
    ui->stepSpin->setValue(int(qMin(steps, uint(ui->stepSpin->maximum()))));
    ui->unitSpin->setValue(int(qMin(units, uint(ui->unitSpin->maximum()))));
    ui->precSpin->setValue(int(qMin(precision, uint(ui->precSpin->maximum()))));
    ui->unitname->setText(unitName);
    ui->listWidget->addItems(serials);
}

DimensionalUnitsDlg::~DimensionalUnitsDlg()
{
    delete ui;
}

void DimensionalUnitsDlg::onOKPressed()
{
    emit sendUnits(ui->checkBox->isChecked(), ui->unitname->text(), uint(ui->stepSpin->value()),
                   uint(ui->unitSpin->value()), uint(ui->precSpin->value()));
    QStringList serials;
    for (int row = 0; row < ui->listWidget->count(); ++row)
        serials.append(ui->listWidget->item(row)->text());
    emit sendSerials(serials);
    accept();
}

void DimensionalUnitsDlg::onCancelPressed()
{
    reject();
}

void DimensionalUnitsDlg::onBtnUpPressed()
{
    moveCurrentRow(-1);
}

void DimensionalUnitsDlg::onBtnDownPressed()
{
    moveCurrentRow(1);
}

void DimensionalUnitsDlg::moveCurrentRow(int by)
{
    QListWidget* list = ui->listWidget;
    if (list->selectedItems().size() != 1)
        return;
    const int row = list->currentRow();
    const int target = row + by;
    if (row < 0 || target < 0 || target >= list->count())
        return;
    QListWidgetItem* item = list->takeItem(row);
    list->insertItem(target, item);
    list->setCurrentRow(target);
}
