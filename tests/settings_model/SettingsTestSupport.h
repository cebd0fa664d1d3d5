#ifndef SETTINGSTESTSUPPORT_H
#define SETTINGSTESTSUPPORT_H

// Helpers of the settings container tests: the simulator's call journal and the program log.

#include <QStringList>

#include "log/MessageLog.h"
#include "trovsim.h"

// The library calls made since the journal was last cleared, by name, in order; the mode
// test's identity read left out.
inline QStringList journalCalls(bool withIdentity = false)
{
    QStringList calls;
    const int size = trovsim_journal_size();
    for (int i = 0; i < size; ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) != 0)
            continue;
        const QString name = QString::fromLatin1(call.function);
        if (name == QLatin1String("get_status"))
            continue;
        if (withIdentity || name != QLatin1String("get_device_information"))
            calls << name;
    }
    return calls;
}

// The program log's queued messages, emptied.
inline QStringList takeLogMessages(MessageLog& log)
{
    QStringList messages;
    LogItem item;
    while (log.takeItem(&item) == 1)
        messages << item.message;
    return messages;
}

#endif // SETTINGSTESTSUPPORT_H
