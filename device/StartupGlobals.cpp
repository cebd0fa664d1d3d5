#include "device/StartupGlobals.h"

#include "common/ProgramVersion.h"

DeviceInterface* deviceInterface = nullptr;
bool autoSelectSingleDevice = true;
QString programVersion;

QString programVersionText()
{
    return QStringLiteral(TOLMO_VERSION_TEXT);
}
