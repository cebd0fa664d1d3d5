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

MessagePrompter* MessagePrompter::current()
{
    static MessagePrompter standard;
    return installed ? installed : &standard;
}

void MessagePrompter::install(MessagePrompter* prompter)
{
    installed = prompter;
}
