#include "common/MessagePrompter.h"

#include <QCloseEvent>
#include <QTimer>

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

bool MessagePrompter::closeGoesOn(QWidget* window, QCloseEvent* event, bool exitFailed, void (*runExit)(QWidget*))
{
    // The program's own close (the end of its exit) goes on.
    if (!event->spontaneous())
        return true;
    const QMessageBox::StandardButton choice =
        exitFailed ? current()->prompt(window, QMessageBox::Warning, QStringLiteral("Tolmo"),
                                       QObject::tr("Exit could not stop the controllers. Once the window is closed, "
                                                   "nothing stops a controller that is still moving.\nRetry the "
                                                   "exit, or close the window anyway?"),
                                       QMessageBox::Retry | QMessageBox::Close | QMessageBox::Cancel,
                                       QMessageBox::Retry)
                   : QMessageBox::Retry;
    if (choice == QMessageBox::Close)
        return true;
    event->ignore();
    if (choice == QMessageBox::Retry)
        QTimer::singleShot(0, window, [window, runExit] { runExit(window); });
    return false;
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
