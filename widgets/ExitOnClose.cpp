#include "widgets/ExitOnClose.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTimer>

#include "common/MessagePrompter.h"

bool ExitOnClose::closeGoesOn(QWidget* window, QCloseEvent* event, bool askFirst, void (*runExit)(QWidget*),
                              const QString& stillMoving)
{
    if (!event->spontaneous())
        return true;
    const Choice choice = askFirst ? askAfterFailedExit(window, stillMoving) : Choice::Retry;
    if (choice == Choice::Close)
        return true;
    event->ignore();
    if (choice == Choice::Retry)
        QTimer::singleShot(0, window, [window, runExit] { runExit(window); });
    return false;
}

QString ExitOnClose::closedAnywayText(const QString& stillMoving)
{
    return QCoreApplication::translate("ExitOnClose", "The window was closed without stopping %1: Exit had failed.")
        .arg(stillMoving.isEmpty() ? QCoreApplication::translate("ExitOnClose", "the controllers") : stillMoving);
}

ExitOnClose::Choice ExitOnClose::askAfterFailedExit(QWidget* window, const QString& stillMoving)
{
    const QString moving = stillMoving.isEmpty()
                               ? QCoreApplication::translate("ExitOnClose", "the controllers")
                               : stillMoving;
    const QString text =
        QCoreApplication::translate("ExitOnClose",
                                    "Exit could not stop %1, which may still be moving. STOP stops it while the "
                                    "window is open; once the window is closed, nothing here stops it.\nRetry the "
                                    "exit, or close the window anyway?")
            .arg(moving);
    switch (MessagePrompter::current()->prompt(window, QMessageBox::Warning, QStringLiteral("Tolmo"), text,
                                               QMessageBox::Retry | QMessageBox::Close | QMessageBox::Cancel,
                                               QMessageBox::Retry)) {
    case QMessageBox::Retry:
        return Choice::Retry;
    case QMessageBox::Close:
        return Choice::Close;
    default:
        return Choice::Cancel;
    }
}
