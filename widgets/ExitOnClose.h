#ifndef EXITONCLOSE_H
#define EXITONCLOSE_H

#include <QString>

class QCloseEvent;
class QWidget;

// A control window's close from the title bar or the window manager runs the window's Exit, so
// that no controller is left moving where nothing in the program can stop it.
class ExitOnClose
{
public:
    enum class Choice { Retry, Close, Cancel };

    // From closeEvent. The program's own close (the end of its exit) goes on: true. Any other
    // close is ignored and runs runExit on the next turn of the event loop (Qt ignores a close
    // made inside a close); askFirst: the exit has already failed on this same close, so the
    // operator is asked first (stillMoving names the axes). True when the close goes on.
    static bool closeGoesOn(QWidget* window, QCloseEvent* event, bool askFirst, void (*runExit)(QWidget*),
                            const QString& stillMoving = QString());

    // After an exit that could not stop the axes named in stillMoving: retry the exit, close all
    // the same, or keep the window.
    static Choice askAfterFailedExit(QWidget* window, const QString& stillMoving);
    // The log line of a close that goes on after a failed exit.
    static QString closedAnywayText(const QString& stillMoving);
};

#endif // EXITONCLOSE_H
