#include "common/MessagePrompter.h"

namespace {

MessagePrompter* installed = nullptr;

} // namespace

QMessageBox::StandardButton MessagePrompter::prompt(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                    const QString& text, QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

QMessageBox::StandardButton MessagePrompter::askAfterFailedExit(QWidget* parent)
{
    return current()->prompt(parent, QMessageBox::Warning, QStringLiteral("Tolmo"),
                             QObject::tr("Exit could not stop the controllers. Once the window is closed, nothing "
                                         "stops a controller that is still moving.\nRetry the exit, or close the "
                                         "window anyway?"),
                             QMessageBox::Retry | QMessageBox::Close | QMessageBox::Cancel, QMessageBox::Retry);
}

MessagePrompter* MessagePrompter::current()
{
    static MessagePrompter standard;
    return installed ? installed : &standard;
}

void MessagePrompter::install(MessagePrompter* prompter)
{
    installed = prompter;
}
