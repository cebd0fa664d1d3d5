#include "common/MessagePrompter.h"

#include <QPointer>

namespace {

MessagePrompter* installed = nullptr;
// The innermost box on show, for dismiss.
QPointer<QMessageBox> shown;

} // namespace

QMessageBox::StandardButton MessagePrompter::prompt(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                    const QString& text, QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    const QPointer<QMessageBox> outer = shown;
    shown = &box;
    const int answer = box.exec();
    shown = outer;
    return QMessageBox::StandardButton(answer);
}

void MessagePrompter::dismiss()
{
    if (shown)
        shown->done(QMessageBox::NoButton);
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
