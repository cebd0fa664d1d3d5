#ifndef LOGITEM_H
#define LOGITEM_H

#include <QDateTime>
#include <QString>

// One log line waiting for the main window's log table.
struct LogItem
{
    QDateTime datetime;
    QString message;
    QString source;
    int loglevel = 0;
};

#endif
