#ifndef SCRIPTCONTROL_H
#define SCRIPTCONTROL_H

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

#include "trov.h"

class DeviceInterface;
class ScriptDlg;
class ScriptThread;

// The single-axis window's side of scripting, so that the window only connects: it owns the
// engine thread (started at low priority), wires the script window to it and keeps the window's
// buttons and editor in step with the engine.
class ScriptControl : public QObject
{
    Q_OBJECT
public:
    // dialog: already built, not owned, must outlive this object; handle: the polling thread's.
    ScriptControl(ScriptDlg* dialog, DeviceInterface* gateway, std::atomic<device_t>* handle,
                  QObject* parent = nullptr);
    // Quits the engine thread and waits for it.
    ~ScriptControl() override;

    ScriptThread* thread() const { return engineThread.get(); }
    // Running, or a run requested and not yet started.
    bool isBusy() const;

    // Ends the engine thread; false when it did not end within ms.
    bool quit(int ms);

    // Every sample of the polling thread: a connected one releases commands held after a failure.
    void onSample(bool connected);
    // In place of onSample when the controller that came back is another one: a run waiting to
    // move the old controller is stopped instead of moving this one.
    void endWaitingRun();

public slots:
    // Runs a copy of the editor's text; false while busy.
    bool startScript();
    // Makes the stop request; the window's Stop and Soft stop call this before their command.
    void stopScript();
    // Buttons and editor after the engine's state.
    void refreshControls();

signals:
    // One log line of the script (text, "Script", level), delivered queued in the GUI thread.
    void logLine(const QString& text, const QString& source, int level);

private:
    ScriptDlg* const dialog;
    std::unique_ptr<ScriptThread> engineThread;
};

#endif // SCRIPTCONTROL_H
