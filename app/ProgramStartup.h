#ifndef PROGRAMSTARTUP_H
#define PROGRAMSTARTUP_H

#include "app/StartWindow.h"
#include "common/Timer.h"

#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <memory>

class ControlWindow;
class ControlWindowMaker;

// The program's start and end: the log and its thread, the library's log callback, the search
// passes until a control window stands, the event loop, and on every way out the windows
// deleted and the log ended in order.
class ProgramStartup
{
public:
    enum class Pass {
        WindowReady,  // a control window stands
        Again,        // nothing usable was made: search again
        Quit          // end the program with code 0
    };

    explicit ProgramStartup(ControlWindowMaker& maker);
    // Whatever is still standing goes, the log last.
    ~ProgramStartup();

    // Everything after the application object; returns the process's exit code.
    int run();

    // The log, the callback and the search options; run() calls it first.
    void start();
    // One search: the user's choice, the controllers opened, the window built.
    Pass searchPass();
    // Deletes the control window and the search window, ends the log. Safe to call twice.
    void finish();

    ControlWindow* controlWindow() const { return window.get(); }
    StartWindow* searchWindow() const { return search.data(); }

    // Start-up gives a controller this long to open.
    static constexpr double openWindowMs = 400.0;

private:
    Pass singleAxis(const QString& name);
    Pass multiAxis(const QStringList& names);
    // A pass that built nothing: the search window goes, the user is told, the next pass waits.
    Pass failedPass(const QString& message);
    void dropSearchWindow();

    ControlWindowMaker& maker;
    Timer stopwatch;
    uint32_t enumerationFlags = 0;
    QPointer<StartWindow> search;
    std::unique_ptr<ControlWindow> window;
};

// main's body, for the program's window maker or a test's.
int runProgram(ControlWindowMaker& maker);

#endif // PROGRAMSTARTUP_H
