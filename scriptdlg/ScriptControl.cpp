#include "scriptdlg/ScriptControl.h"

#include <QPushButton>
#include <QTextEdit>

#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptEngineThread.h"
#include "scriptdlg/scriptAgent.h"

ScriptControl::ScriptControl(ScriptDlg* scriptDialog, std::unique_ptr<ScriptEngineThread> engine, LineMarks marks,
                             QObject* parent)
    : QObject(parent), dialog(scriptDialog), engineThread(std::move(engine))
{
    // The agent and the thread emit in the script thread: queued into the GUI thread.
    if (marks == LineMarks::Running)
        connect(engineThread->agent(), &scriptAgent::positionChanged, scriptDialog,
                &ScriptDlg::OnScriptExecPositionChanged, Qt::QueuedConnection);
    connect(engineThread->agent(), &scriptAgent::exceptionThrown, scriptDialog, &ScriptDlg::OnExceptionThrown,
            Qt::QueuedConnection);
    connect(engineThread.get(), &ScriptEngineThread::logLine, this, &ScriptControl::logLine, Qt::QueuedConnection);
    // The buttons follow the end of a run, not the polling: a lost controller stops the polling's
    // refresh, not the engine.
    connect(engineThread.get(), &ScriptEngineThread::runFinished, this, &ScriptControl::showState,
            Qt::QueuedConnection);
    connect(scriptDialog, &ScriptDlg::start, this, &ScriptControl::startScript);
    connect(scriptDialog, &ScriptDlg::stop, this, &ScriptControl::stopScript);
    connect(scriptDialog, &QDialog::finished, this, &ScriptControl::stopScript);
    engineThread->startThread();
    showState();
}

ScriptControl::~ScriptControl() = default;

bool ScriptControl::isBusy() const
{
    return engineThread->isBusy();
}

bool ScriptControl::holdsController() const
{
    return engineThread->holdsController();
}

bool ScriptControl::quit(int ms)
{
    engineThread->requestQuit();
    return engineThread->waitFinished(ms);
}

bool ScriptControl::startScript()
{
    if (!dialog)
        return false;
    const bool started = engineThread->requestRun(dialog->editor()->toPlainText());
    showState();
    return started;
}

void ScriptControl::stopScript()
{
    engineThread->requestStop();
    showState();
}

void ScriptControl::showState()
{
    if (!dialog)
        return;
    const bool busy = isBusy();
    for (const char* name : {"startBtn", "loadBtn", "saveBtn"}) {
        if (auto* button = dialog->findChild<QPushButton*>(QLatin1String(name)))
            button->setEnabled(!busy);
    }
    if (auto* button = dialog->findChild<QPushButton*>(QStringLiteral("stopBtn")))
        button->setEnabled(busy);
    const Qt::TextInteractionFlags interaction = busy ? Qt::NoTextInteraction : Qt::TextEditorInteraction;
    if (dialog->editor()->textInteractionFlags() != interaction)
        dialog->editor()->setTextInteractionFlags(interaction);
}
