#ifndef DIALOGCALLS_H
#define DIALOGCALLS_H

// What a settings dialog test does and watches: a click on the button box, the set_ calls the
// simulator's journal holds.

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStringList>
#include <QThread>

#include "settingsdlg/SettingsDlg.h"
#include "trovsim.h"

inline QStringList setCalls()
{
    QStringList calls;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && qstrncmp(call.function, "set_", 4) == 0)
            calls << QString::fromLatin1(call.function);
    }
    return calls;
}

// Until the dialog's reads and writes on the axis' courier have replied, for at most ms.
inline bool settled(SettingsDlg& dialog, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::processEvents();
    while (dialog.transferUnderWay() && clock.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
    return !dialog.transferUnderWay();
}

// A button of the box clicked, and what it sent to the controller replied.
inline void click(SettingsDlg& dialog, QDialogButtonBox::StandardButton which)
{
    dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(which)->click();
    settled(dialog);
}

// One of the dialog's own buttons ("saveFlashBtn") clicked, and its transfers replied.
inline void pressButton(SettingsDlg& dialog, const char* name)
{
    dialog.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    settled(dialog);
}

#endif // DIALOGCALLS_H
