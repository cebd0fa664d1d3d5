#include "settings_model/UnitTexts.h"

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

const UnitTextSet* unitTextsOf(unsigned int engineType)
{
    static const UnitTextSet stepper{stepperPositionUnit, stepperSpeedUnit, stepperAccelUnit};
    static const UnitTextSet dc{dcPositionUnit, dcSpeedUnit, dcAccelUnit};
    static const UnitTextSet bldc{bldcPositionUnit, bldcSpeedUnit, bldcAccelUnit};
    switch (engineType) {
    case 1:
        return &dc;
    case 3:
        return &stepper;
    case 5:
        return &bldc;
    default:
        return nullptr;
    }
}
