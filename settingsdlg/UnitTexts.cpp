#include "settingsdlg/UnitTexts.h"

QString positionUnit;
QString speedUnit;
QString accelUnit;

const QString stepperPositionUnit = QStringLiteral(" steps");
const QString stepperSpeedUnit = QStringLiteral(" steps/s");
const QString stepperAccelUnit = QStringLiteral(" steps/s^2");
const QString dcPositionUnit = QStringLiteral(" counts");
const QString dcSpeedUnit = QStringLiteral(" rpm");
const QString dcAccelUnit = QStringLiteral(" rpm/s");
const QString bldcPositionUnit = QStringLiteral(" counts");
const QString bldcSpeedUnit = QStringLiteral(" rpm");
const QString bldcAccelUnit = QStringLiteral(" rpm/s");

UnitTextSet currentUnitTexts()
{
    return UnitTextSet{positionUnit, speedUnit, accelUnit};
}
