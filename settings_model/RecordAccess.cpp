#include "settings_model/RecordAccess.h"

#include <QString>

#include "log/MessageLog.h"

void logRecordNeverRead(const char* setName)
{
    MessageLog::insertProgramLine(
        QString::fromLatin1(setName) + QStringLiteral(" skipped: the settings were never read from the controller"), 2);
}
