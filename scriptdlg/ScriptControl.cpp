#include "scriptdlg/ScriptControl.h"

#include <QPushButton>
#include <QTextEdit>

#include "scriptdlg/ScriptDlg.h"
#include "scriptdlg/ScriptThread.h"
#include "scriptdlg/scriptAgent.h"

ScriptControl::ScriptControl(ScriptDlg* scriptDialog, DeviceInterface* gateway, std::atomic<device_t>* handle,
                             QObject* parent)
    : QObject(parent), dialog(scriptDialog), engineThread(std::make_unique<ScriptThread>(gateway, handle))
{
    // The agent and the thread emit in the script thread: queued into the GUI thread.
    connect(engineThread->agent(), &scriptAgent::positionChanged, dialog, &ScriptDlg::OnScriptExecPositionChanged,
            Qt::QueuedConnection);
    connect(engineThread->agent(), &scriptAgent::exceptionThrown, dialog, &ScriptDlg::OnExceptionThrown,
            Qt::QueuedConnection);
    connect(engineThread.get(), &ScriptThread::logLine, this, &ScriptControl::logLine, Qt::QueuedConnection);
    connect(engineThread.get(), &ScriptThread::runFinished, this, &ScriptControl::refreshControls,
            Qt::QueuedConnection);
    connect(dialog, &ScriptDlg::start, this, &ScriptControl::startScript);
    connect(dialog, &ScriptDlg::stop, this, &ScriptControl::stopScript);
    connect(dialog, &QDialog::finished, this, &ScriptControl::stopScript);
    engineThread->startThread();
}

ScriptControl::~ScriptControl()
{
    engineThread->requestQuit();
}

bool ScriptControl::isBusy() const
{
    return engineThread->isBusy();
}

bool ScriptControl::quit(int ms)
{
    engineThread->requestQuit();
    return engineThread->waitFinished(ms);
}

void ScriptControl::onSample(bool connected)
{
    if (connected)
        engineThread->stoppedOnError = false;
}

void ScriptControl::endWaitingRun()
{
    if (engineThread->stoppedOnError.load())
        stopScript();
}

bool ScriptControl::startScript()
{
    const bool started = engineThread->requestRun(dialog->editor()->toPlainText());
    refreshControls();
    return started;
}

void ScriptControl::stopScript()
{
    engineThread->requestStop();
    refreshControls();
}

void ScriptControl::refreshControls()
{
    const bool busy = isBusy();
    for (const char* name : {"startBtn", "loadBtn", "saveBtn"}) {
        if (auto* button = dialog->findChild<QPushButton*>(QLatin1String(name)))
            button->setEnabled(!busy);
    }
    if (auto* button = dialog->findChild<QPushButton*>(QStringLiteral("stopBtn")))
        button->setEnabled(busy);
    dialog->editor()->setTextInteractionFlags(busy ? Qt::NoTextInteraction : Qt::TextEditorInteraction);
}
