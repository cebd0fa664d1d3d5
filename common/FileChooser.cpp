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

FileChooser* FileChooser::current()
{
    static FileChooser standard;
    return installed ? installed : &standard;
}

void FileChooser::install(FileChooser* chooser)
{
    installed = chooser;
}
