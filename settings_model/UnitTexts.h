#ifndef UNITTEXTS_H
#define UNITTEXTS_H

#include <QString>

// Unit suffixes of the current engine type, appended directly to numbers (each starts with a
// blank). Empty at start; the settings dialog sets them when the engine type changes.
extern QString positionUnit;
extern QString speedUnit;
extern QString accelUnit;

// The suffixes of each engine type.
extern const QString stepperPositionUnit;
extern const QString stepperSpeedUnit;
extern const QString stepperAccelUnit;
extern const QString dcPositionUnit;
extern const QString dcSpeedUnit;
extern const QString dcAccelUnit;
extern const QString bldcPositionUnit;
extern const QString bldcSpeedUnit;
extern const QString bldcAccelUnit;

// One engine type's three unit texts; a settings dialog may hand its pages its own set.
struct UnitTextSet
{
    QString position;
    QString speed;
    QString accel;
};

// The texts of engine type 1, 3 or 5; null for any other type.
const UnitTextSet* unitTextsOf(unsigned int engineType);

// The program-wide current texts as a set.
UnitTextSet currentUnitTexts();

#endif // UNITTEXTS_H
