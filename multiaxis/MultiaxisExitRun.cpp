#include "multiaxis/MultiaxisExitRun.h"

#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <utility>

#include "common/MessagePrompter.h"
#include "device/AxisCourier.h"
#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "multiaxis/Multiaxis.h"
#include "multiaxis/MultiaxisMotion.h"
#include "scriptdlg/ScriptControl.h"
#include "settingsdlg/SettingsDlg.h"
#include "device/ControllerSettings.h"
#include "widgets/ExitOnClose.h"
#include "widgets/InfoBox.h"

MultiaxisExitRun::MultiaxisExitRun(Multiaxis& windowIn) : window(windowIn) {}

void MultiaxisExitRun::start(bool closing)
{
    forClose = closing;
    if (window.shutDownDone || sequence.pending())
        return;
    failed = false;
    // The script first: none of its commands may follow the soft stops.
    if (window.scriptWiring)
        window.scriptWiring->stopScript();
    window.motion->jogTracker.releaseAll();
    QVector<bool> stoppable;
    QVector<bool> reachable;
    for (int a = 0; a < window.n; ++a) {
        stoppable << window.hasSomethingToStop(a);
        reachable << (stoppable.last() && window.deviceHandle[a].load() != -1 && window.samples[a].use() != AxisUse::Lost);
    }
    const MultiaxisExit::Plan plan = sequence.begin(stoppable, reachable, window.nowMs());
    stopped = plan.softStop;
    window.exitPending = true;
    asked = false;
    const quint64 round = ++number;
    for (int a : plan.skipped)
        window.logLine(tr("Exit: %1 is in its bootloader; it is neither soft-stopped nor powered off.").arg(window.axes->axisNamed(a)));
    for (int a : plan.away)
        window.logLine(awayText(a));
    // Every axis gets its soft stop at once, each through its courier, whatever another answers.
    for (int a : plan.softStop)
        sendExitSoftStop(a);
    // A soft stop held by a call that does not return is waited for apart, and asked about.
    QTimer::singleShot(window.exitAnswerMs, &window, [this, round] {
        if (round != number || !window.exitPending || window.shutDownDone)
            return;
        for (int a : sequence.awaiting()) {
            if (sequence.away(a))
                continue;
            sequence.setAway(a);
            window.logLine(tr("Exit: the soft stop has not reached %1 for %2 s; it goes out once the call under way "
                       "returns.")
                        .arg(window.axes->axisNamed(a))
                        .arg(window.exitAnswerMs / 1000));
        }
    });
    if (!plan.wait) {
        // No axis to wait for.
        finishExit();
        return;
    }
    if (!window.exitWaitBox)
        return;
    // The answers and the refresh end the wait from inside this loop (and may close the window):
    // nothing here touches the box or the window once it returns.
    window.exitWaitBox->exec();
}

QString MultiaxisExitRun::awayText(int a) const
{
    return tr("Exit: %1 is lost; its soft stop goes out when it is back.").arg(window.axes->axisNamed(a));
}

void MultiaxisExitRun::sendExitSoftStop(int a)
{
    window.couriers[a]->send(
        AxisCourier::Kind::SoftStop, tr("Soft stop"),
        [](DeviceInterface& gateway, device_t id) { return gateway.command_sstp(id); }, &window,
        [this, a, round = number](result_t result) {
            if (round == number)
                exitSoftStopAnswered(a, result);
        });
}

void MultiaxisExitRun::exitSoftStopAnswered(int a, result_t result)
{
    if (!window.exitPending || window.shutDownDone)
        return;
    // Read once the call has returned: a status read begun before it may show the old command.
    sequence.softStopSent(a, result == result_ok, window.updateThreads[a]->statusReadsBegun(), window.nowMs());
    // The soft stop the question waited for has gone: the exit goes on by itself.
    if (questionUp && sequence.awaiting().isEmpty())
        ExitOnClose::endQuestion();
    if (!sequence.softStopsAnswered())
        return;
    const QVector<int> failed = sequence.failedSoftStops();
    if (!failed.isEmpty()) {
        // The stopped script's call may still hold those controllers: the exit waits for it, not for a repair.
        const bool one = failed.size() == 1;
        const QString warning =
            window.scriptWiring && window.scriptWiring->holdsController()
                ? (one ? tr("The soft stop was not sent to the axis with serial number %1: a running script holds "
                            "it. Exit can go on once the script's call returns or the script is stopped. The window "
                            "stays open.")
                       : tr("The soft stop was not sent to the axes with serial numbers %1: a running script holds "
                            "them. Exit can go on once the script's call returns or the script is stopped. The "
                            "window stays open."))
                : (one ? tr("The soft stop failed on the axis with serial number %1. The window stays open.")
                       : tr("The soft stop failed on the axes with serial numbers %1. The window stays open."));
        abandonExit(warning.arg(window.serialsOf(failed)), failed);
    }
}

void MultiaxisExitRun::askAboutWaitingStops()
{
    // The others are off: the operator is asked once about those whose soft stop waits.
    if (!sequence.awaitingOnlyAway() || asked)
        return;
    asked = true;
    QTimer::singleShot(0, &window, [this] { askWhileStopsWait(); });
}

void MultiaxisExitRun::askWhileStopsWait()
{
    const QVector<int> waiting = sequence.awaiting();
    if (!window.exitPending || window.shutDownDone || waiting.isEmpty() || questionUp)
        return;
    QStringList names;
    QStringList why;
    for (int a : waiting) {
        names << window.axes->axisNamed(a);
        why << (window.hasSomethingToStop(a) && window.deviceHandle[a].load() != -1 && window.samples[a].use() != AxisUse::Lost
                    ? tr("Exit: the soft stop has not reached %1; it goes out once the call under way returns.")
                          .arg(window.axes->axisNamed(a))
                    : awayText(a));
    }
    questionUp = true;
    const ExitOnClose::Choice choice = ExitOnClose::askWhileStopWaits(&window, names.join(QStringLiteral(", ")),
                                                                       why.join(QLatin1Char('\n')));
    questionUp = false;
    if (!window.exitPending || window.shutDownDone)
        return;
    switch (choice) {
    case ExitOnClose::Choice::WentOn:
    case ExitOnClose::Choice::Retry:
        // Waits on: the exit goes on once the soft stop has gone.
        return;
    case ExitOnClose::Choice::Close:
        window.logLine(ExitOnClose::closedAnywayText(names.join(QStringLiteral(", "))));
        window.close();
        return;
    case ExitOnClose::Choice::Cancel:
        // The soft stops still go once they can; the exit is over.
        failed = true;
        leftMoving = waiting;
        sequence.cancel();
        window.exitPending = false;
        powerOffsDue = 0;
        if (window.exitWaitBox && window.exitWaitBox->isVisible())
            window.exitWaitBox->hide();
        return;
    }
}

void MultiaxisExitRun::cancelled()
{
    sequence.cancel();
    window.exitPending = false;
    powerOffsDue = 0;
}

void MultiaxisExitRun::abandonExit(const QString& warning, const QVector<int>& moving)
{
    leftMoving = moving;
    sequence.cancel();
    window.exitPending = false;
    powerOffsDue = 0;
    // Each way here leaves an axis not stopped (refused, lost, obeying another source, not powered off).
    failed = true;
    if (window.exitWaitBox && window.exitWaitBox->isVisible())
        window.exitWaitBox->hide();
    if (std::exchange(forClose, false)) {
        askAfterFailedClose();
        return;
    }
    if (!warning.isEmpty())
        MessagePrompter::current()->prompt(&window, QMessageBox::Warning, QStringLiteral("Tolmo"), warning + stillMovingText(),
                                           QMessageBox::Ok, QMessageBox::Ok);
}

void MultiaxisExitRun::askAfterFailedClose()
{
    const QString moving = stillMovingNames();
    switch (ExitOnClose::askAfterFailedExit(&window, moving)) {
    case ExitOnClose::Choice::Retry:
        QTimer::singleShot(0, &window, [this] { start(true); });
        return;
    case ExitOnClose::Choice::Close:
        window.logLine(ExitOnClose::closedAnywayText(moving));
        window.close();
        return;
    case ExitOnClose::Choice::Cancel:
    case ExitOnClose::Choice::WentOn:
        return;
    }
}

QString MultiaxisExitRun::stillMovingNames() const
{
    QStringList names;
    for (int a : leftMoving)
        names << window.axes->axisNamed(a);
    return names.join(QStringLiteral(", "));
}

QString MultiaxisExitRun::stillMovingText() const
{
    if (leftMoving.isEmpty())
        return QString();
    return leftMoving.size() == 1 ? tr("\n%1 may still be moving: STOP stops it.").arg(stillMovingNames())
                                  : tr("\n%1 may still be moving: STOP stops them.").arg(stillMovingNames());
}

void MultiaxisExitRun::finishExit()
{
    sequence.cancel();
    window.exitPending = false;
    powerOffsDue = 0;
    if (window.exitWaitBox && window.exitWaitBox->isVisible())
        window.exitWaitBox->hide();
    window.close();
}

bool MultiaxisExitRun::check()
{
    switch (sequence.decide(window.nowMs())) {
    case MultiaxisExit::Decision::Idle:
        window.exitPending = false;
        return true;
    case MultiaxisExit::Decision::Wait:
        return true;
    case MultiaxisExit::Decision::External:
        abandonExit(tr("Exit aborted because of external command interrupt (joystick, sync in, etc.)."), stopped);
        return true;
    case MultiaxisExit::Decision::Lost: {
        // It may still be moving: another soft stop waits for its return, the others go on.
        const int a = sequence.lostAxis();
        sequence.awaitAgain(a);
        window.logLine(awayText(a));
        sendExitSoftStop(a);
        return true;
    }
    case MultiaxisExit::Decision::Awaiting:
        askAboutWaitingStops();
        return true;
    case MultiaxisExit::Decision::TimedOut:
        abandonExit(tr("Exit cancelled: the axes did not end their soft stop within %1 s.")
                        .arg(MultiaxisExit::waitLimitMs / 1000),
                    stopped);
        return true;
    case MultiaxisExit::Decision::PowerOff:
        break;
    }
    // One round at a time: the next looks at what this one's answers said.
    if (powerOffsDue > 0)
        return true;
    const QVector<int> round = sequence.beginPowerOffRound();
    powerOffsDue = round.size();
    for (int a : round) {
        window.motion->command(a, AxisCourier::Kind::Command, tr("Power off"), &DeviceInterface::command_power_off, [this, a, exit = number](result_t result) {
            if (!window.exitPending || window.shutDownDone || exit != number)
                return;
            sequence.powerOffResult(a, result == result_ok);
            if (--powerOffsDue == 0)
                powerOffRoundEnded();
        });
    }
    return false;
}

void MultiaxisExitRun::powerOffRoundEnded()
{
    if (sequence.finishRound()) {
        // Those whose soft stop waits keep the exit open.
        if (sequence.awaiting().isEmpty())
            finishExit();
        else
            askAboutWaitingStops();
        return;
    }
    if (!sequence.powerOffExhausted())
        return;
    const QString failed = window.serialsOf(sequence.beginPowerOffRound());
    abandonExit(QString(), {});
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Tolmo"),
                         tr("The axes with serial numbers %1 could not be powered off (%2 tries).")
                             .arg(failed)
                             .arg(MultiaxisExit::powerOffTries),
                         QMessageBox::NoButton, &window);
    const QPushButton* closeAnyway = question.addButton(tr("Close anyway"), QMessageBox::AcceptRole);
    question.addButton(tr("Keep window open"), QMessageBox::RejectRole);
    question.exec();
    if (question.clickedButton() == closeAnyway && !window.shutDownDone)
        window.close();
}

