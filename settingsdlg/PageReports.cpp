#include "settingsdlg/PageReports.h"

QString pageKeyNotFound(const QString& key)
{
    return QStringLiteral("\"%1\" key is not found\n").arg(key);
}

QString pageValueWrong(const QString& key)
{
    return QStringLiteral("\"%1\" value is wrong\n").arg(key);
}
