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
    // WentOn: the question was ended from the program (endQuestion): the exit went on by itself.
    enum class Choice { Retry, Close, Cancel, WentOn };

    // From closeEvent. The program's own close (the end of its exit) goes on: true. Any other
    // close is ignored and runs runExit on the next turn of the event loop (Qt ignores a close
    // made inside a close).
    static bool closeGoesOn(QWidget* window, QCloseEvent* event, void (*runExit)(QWidget*));

    // After an exit that could not stop the axes named in stillMoving: retry the exit, close all
    // the same, or keep the window.
    static Choice askAfterFailedExit(QWidget* window, const QString& stillMoving);
    // An exit whose soft stop for stillMoving has not gone yet (why says what it waits for): wait
    // on (Retry), close all the same, or keep the window. When the soft stop goes meanwhile, the
    // window ends the question with endQuestion and goes on with the exit.
    static Choice askWhileStopWaits(QWidget* window, const QString& stillMoving, const QString& why);
    static void endQuestion();
    // The log line of a close that goes on after a failed exit.
    static QString closedAnywayText(const QString& stillMoving);
};

#endif // EXITONCLOSE_H
