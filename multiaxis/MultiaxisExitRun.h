#ifndef MULTIAXISEXITRUN_H
#define MULTIAXISEXITRUN_H

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include "multiaxis/MultiaxisExit.h"
#include "trov.h"

class Multiaxis;

// The multi-axis window's Exit as it runs: every axis' soft stop through its courier, the wait
// for the samples that show them ended, the power-off rounds, and the questions when an axis
// cannot be stopped or its soft stop waits. The decisions are MultiaxisExit's.
class MultiaxisExitRun
{
    Q_DECLARE_TR_FUNCTIONS(Multiaxis)

public:
    explicit MultiaxisExitRun(Multiaxis& window);

    // Exit pressed; forClose: a close started it, and asks at once when it fails.
    void start(bool forClose);
    // The exit check of each refresh while the exit is pending; false ends the refresh.
    bool check();
    // Every sample while the exit is pending.
    void sample(int axis, int mvcmd, bool connected, int mode, quint64 statusReadNumber)
    {
        sequence.sample(axis, mvcmd, connected, mode, statusReadNumber);
    }
    // The wait box's Cancel.
    void cancelled();
    bool pending() const { return sequence.pending(); }

private:
    void sendExitSoftStop(int axis);
    void exitSoftStopAnswered(int axis, result_t result);
    // "Exit: SN 10002 is lost; its soft stop goes out when it is back."
    QString awayText(int axis) const;
    // Every axis whose soft stop went is off: wait on for the others, close anyway, or cancel.
    void askAboutWaitingStops();
    void askWhileStopsWait();
    // Gives the exit up, the wait box hidden, with a warning unless the text is empty.
    void abandonExit(const QString& warning, const QVector<int>& moving);
    // A close's exit failed: retry it, close all the same, or keep the window.
    void askAfterFailedClose();
    // "SN 10001, SN 10003": the axes the last failed Exit left moving.
    QString stillMovingNames() const;
    // The line the failed-exit boxes add about them; empty for none.
    QString stillMovingText() const;
    void finishExit();
    void powerOffRoundEnded();

    Multiaxis& window;
    MultiaxisExit sequence;
    // The last Exit ended without stopping every axis.
    bool failed = false;
    // The exit under way was started by a close: if it fails, that close asks at once.
    bool forClose = false;
    // Power-offs of the round whose answers have not come yet.
    int powerOffsDue = 0;
    // Counts the Exits, so that an answer to an earlier one is not taken for this one's.
    quint64 number = 0;
    // The axes the exit soft-stops, and those a failed one may have left moving.
    QVector<int> stopped;
    QVector<int> leftMoving;
    // The question about the soft stops that wait is on show, or has been asked this exit.
    bool questionUp = false;
    bool asked = false;
};

#endif // MULTIAXISEXITRUN_H
