#include "common/FileChooser.h"

#include <QFileDialog>

namespace {

FileChooser* installed = nullptr;

} // namespace

QString FileChooser::openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                  const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString FileChooser::saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                  const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, folder, filter);
}

QStringList FileChooser::openFileNames(QWidget* parent, const QString& caption, const QString& folder,
                                       const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, folder, filter);
}

QString FileChooser::saveFileNameWithSuffix(QWidget* parent, const QString& caption, const QString& folder,
                                            const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

FileChooser* FileChooser::current()
{
    static FileChooser standard;
    return installed ? installed : &standard;
}

void FileChooser::install(FileChooser* chooser)
{
    installed = chooser;
}
