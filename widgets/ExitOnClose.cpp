#include "widgets/ExitOnClose.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTimer>

#include "common/MessagePrompter.h"

namespace {

QString namesOr(const QString& stillMoving)
{
    return stillMoving.isEmpty() ? QCoreApplication::translate("ExitOnClose", "the controllers") : stillMoving;
}

ExitOnClose::Choice ask(QWidget* window, const QString& text)
{
    switch (MessagePrompter::current()->prompt(window, QMessageBox::Warning, QStringLiteral("Tolmo"), text,
                                               QMessageBox::Retry | QMessageBox::Close | QMessageBox::Cancel,
                                               QMessageBox::Retry)) {
    case QMessageBox::Retry:
        return ExitOnClose::Choice::Retry;
    case QMessageBox::Close:
        return ExitOnClose::Choice::Close;
    case QMessageBox::NoButton:
        return ExitOnClose::Choice::WentOn;
    default:
        return ExitOnClose::Choice::Cancel;
    }
}

} // namespace

bool ExitOnClose::closeGoesOn(QWidget* window, QCloseEvent* event, void (*runExit)(QWidget*))
{
    if (!event->spontaneous())
        return true;
    event->ignore();
    QTimer::singleShot(0, window, [window, runExit] { runExit(window); });
    return false;
}

QString ExitOnClose::closedAnywayText(const QString& stillMoving)
{
    return QCoreApplication::translate("ExitOnClose", "The window was closed without stopping %1: Exit had failed.")
        .arg(namesOr(stillMoving));
}

ExitOnClose::Choice ExitOnClose::askAfterFailedExit(QWidget* window, const QString& stillMoving)
{
    return ask(window, QCoreApplication::translate("ExitOnClose",
                                                   "Exit could not stop %1, which may still be moving. STOP stops it "
                                                   "while the window is open; once the window is closed, nothing here "
                                                   "stops it.\nRetry the exit, or close the window anyway?")
                           .arg(namesOr(stillMoving)));
}

ExitOnClose::Choice ExitOnClose::askWhileStopWaits(QWidget* window, const QString& stillMoving, const QString& why)
{
    return ask(window, why + QLatin1Char('\n')
                           + QCoreApplication::translate("ExitOnClose",
                                                         "%1 may still be moving. STOP stops it while the window is "
                                                         "open; once the window is closed, nothing here stops it.\n"
                                                         "Retry waits on and the exit goes on by itself once the soft "
                                                         "stop has gone; Close closes the window anyway.")
                                 .arg(namesOr(stillMoving)));
}

void ExitOnClose::endQuestion()
{
    MessagePrompter::current()->dismiss();
}
