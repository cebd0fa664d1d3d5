#ifndef USERUNITS_H
#define USERUNITS_H

#include <QString>

#include "common/ProgramSettingsFile.h"

// The user's own unit of the multi-axis window: Coeff_1 full steps are Coeff_2 units, shown with
// Precision decimals and the Units text. Holds the conversions between step pairs and units;
// every conversion into steps stays inside the int range.
class UserUnits
{
public:
    struct StepPair
    {
        int step = 0;
        int uStep = 0;
        bool operator==(const StepPair& other) const { return step == other.step && uStep == other.uStep; }
    };

    static constexpr unsigned int maxCoefficient = ProgramSettingsFile::UnitOptions::maxCoefficient;
    static constexpr unsigned int maxPrecision = ProgramSettingsFile::UnitOptions::maxPrecision;

    bool recalcEnabled = false;  // "Recalc_enabled"
    QString units;               // "Units"
    unsigned int coeff1 = 1;     // "Coeff_1"
    unsigned int coeff2 = 1;     // "Coeff_2"
    unsigned int precision = 2;  // "Precision"

    // Units per full step, whether or not the units are on.
    double ratio() const;
    // What positions are scaled by on screen: ratio() while the units are on, else 1.
    double displayFactor() const { return recalcEnabled ? ratio() : 1.0; }

    // Full steps of a pair; the divisor counts as 1 below 1.
    static double fullSteps(int step, int uStep, int divisor);
    // "12 005/256", "-12 -005/256", "0 -005/256", "1500" (divisor 1): the microstep part is
    // zero-filled to the width of the divisor.
    static QString positionToString(int step, int uStep, int divisor);
    // The position in units rounded to Precision decimals, with the unit text: "0.33 mm".
    QString unitPositionText(int step, int uStep, int divisor) const;
    // A value in units as the window shows it: rounded half away from zero to Precision decimals.
    long double roundedToPrecision(long double value) const;

    // Full steps of a value in units: value x Coeff_1 / Coeff_2, worked from the coefficients
    // themselves (the ratio as a binary fraction would put 2.5 mm at 100 steps per mm just
    // below 250 steps).
    long double unitsToSteps(double value) const;
    // Full steps of a value in display units: units while they are on, else full steps.
    long double displayToSteps(double value) const { return recalcEnabled ? unitsToSteps(value) : value; }

    // A typed target: the nearest microstep, split into whole steps and microsteps that share
    // the sign. Beyond the int range the pair is the range's end; NaN is 0.
    static StepPair nearestStepPair(long double fullSteps, int divisor);
    // A plot click: whole steps truncated towards zero, and half a full step added to the
    // fraction before it is scaled (a click at 10 full steps with divisor 256 gives 10 steps and
    // 128 microsteps); a position within rounding noise of a microstep counts as that microstep.
    // The microsteps come out within 0 .. divisor - 1, their carry in the steps.
    static StepPair clickStepPair(long double fullSteps, int divisor);
};

#endif // USERUNITS_H
