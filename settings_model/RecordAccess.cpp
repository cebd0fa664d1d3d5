#include "settings_model/RecordAccess.h"

#include <QDateTime>
#include <QString>

#include "log/MessageLog.h"

void logRecordNeverRead(const char* setName)
{
    if (messageLog)
        messageLog->InsertLine(QDateTime::currentDateTime(),
                               QString::fromLatin1(setName)
                                   + QStringLiteral(" skipped: the settings were never read from the controller"),
                               QStringLiteral("Tolmo"), 2);
}
