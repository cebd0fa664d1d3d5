#include "settingsdlg/RestoreErrorsDialog.h"

#include "ui_restoreerrorsdialog.h"

#include "settingsdlg/CompareSettingsDialog.h"
#include "common/WindowPlacement.h"

#include <algorithm>

RestoreErrorsDialog::RestoreErrorsDialog(QWidget* parent, const QStringList& lines)
    : QDialog(parent), ui(new Ui::RestoreErrorsDialogClass)
{
    ui->setupUi(this);
    keepOnScreen(this);
    setAttribute(Qt::WA_DeleteOnClose);
    const QFont font = sansSerifArial(8);
    for (QWidget* widget : {static_cast<QWidget*>(this), static_cast<QWidget*>(ui->listWidget),
                            static_cast<QWidget*>(ui->buttonBox)})
        widget->setFont(font);
    // QListWidget items never interpret markup, so a line is shown as it was read.
    ui->listWidget->addItems(lines);
    resize(std::max(width(), widthForTitle(*this)), height());
}

RestoreErrorsDialog::~RestoreErrorsDialog()
{
    delete ui;
}
