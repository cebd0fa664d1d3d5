#include "app/StartupGlobals.h"

bool autoSelectSingleDevice = true;
QString programVersion;

QString programVersionText()
{
    return QStringLiteral("1.0.0");
}
