#ifndef STARTREADS_H
#define STARTREADS_H

#include <QCoreApplication>
#include <QList>
#include <QStringList>

#include <atomic>

#include "trov.h"

class AxisCourier;
class SettingsDlg;

// What the multi-axis window reads of its controllers as it opens, their identity and basic
// settings, each on its axis' courier and all at once. The window's thread goes on meanwhile:
// the search window stays live, and a wait box names the axes still read once it takes long.
class StartReads
{
    Q_DECLARE_TR_FUNCTIONS(Multiaxis)

public:
    // How long the reads run before the box shows.
    static constexpr int boxAfterMs = 100;

    // One axis per entry: its courier, its dialog, its handle and its name as opened. Returns once
    // every read has replied, each taken by its dialog. An identity not read whole marks the
    // set-up failed, as the single-axis start-up read does (deviceInitOk, lastFailedFunction).
    static void run(const QList<AxisCourier*>& couriers, const QList<SettingsDlg*>& dialogs,
                    const QList<std::atomic<device_t>*>& handles, const QStringList& names);
};

#endif // STARTREADS_H
