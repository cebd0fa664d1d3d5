#ifndef RESTOREERRORSDIALOG_H
#define RESTOREERRORSDIALOG_H

#include <QDialog>
#include <QStringList>

namespace Ui { class RestoreErrorsDialogClass; }

// The lines a restore from a profile reported, one row each, as plain text.
class RestoreErrorsDialog : public QDialog
{
public:
    RestoreErrorsDialog(QWidget* parent, const QStringList& lines);
    ~RestoreErrorsDialog() override;

private:
    Ui::RestoreErrorsDialogClass* ui;
};

#endif // RESTOREERRORSDIALOG_H
