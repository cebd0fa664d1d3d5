#ifndef DIALOGCALLS_H
#define DIALOGCALLS_H

// What a settings dialog test does and watches: a click on the button box, the set_ calls the
// simulator's journal holds.

#include <QDialogButtonBox>
#include <QPushButton>
#include <QStringList>

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

inline void click(SettingsDlg& dialog, QDialogButtonBox::StandardButton which)
{
    dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(which)->click();
}

#endif // DIALOGCALLS_H
