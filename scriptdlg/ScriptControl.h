#ifndef SCRIPTCONTROL_H
#define SCRIPTCONTROL_H

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class ScriptDlg;
class ScriptEngineThread;

// Ties a script window to its engine thread, for the single-axis and the multi-axis window
// alike: Start, Stop and closing the window reach the engine, the agent's reports reach the
// window, and the window's buttons and editor follow the engine's own started and finished
// state, whatever the controller or its polling does.
class ScriptControl : public QObject
{
    Q_OBJECT
public:
    // Whether the window marks the line under execution, or only the line of an exception.
    enum class LineMarks { Running, ExceptionsOnly };

    // dialog: built, not owned; engine: not yet started, owned and started here
    // at low priority.
    ScriptControl(ScriptDlg* dialog, std::unique_ptr<ScriptEngineThread> engine, LineMarks marks,
                  QObject* parent = nullptr);
    // Quits the engine thread and waits for it: an owner that must not wait for ever calls
    // quit() first and, when that fails, leaves this object alive.
    ~ScriptControl() override;

    ScriptEngineThread* engine() const { return engineThread.get(); }
    // Running, or a run requested and not yet started.
    bool isBusy() const;
    // A library call of the script is under way and holds the controller.
    bool holdsController() const;
    // Ends the engine thread; false when it did not end within ms.
    bool quit(int ms);

public slots:
    // Runs a copy of the editor's text; false while busy.
    bool startScript();
    // The window's Stop; the owner's motion Stop, Soft stop and exit call it before their command.
    void stopScript();

signals:
    // One log line of the script (text, "Script", level), delivered in the GUI thread.
    void logLine(const QString& text, const QString& source, int level);

private:
    // Buttons and editor after the engine's state.
    void showState();

    // The window may go first at shut-down while a thread that did not end keeps this object.
    const QPointer<ScriptDlg> dialog;
    std::unique_ptr<ScriptEngineThread> engineThread;
};

#endif // SCRIPTCONTROL_H
