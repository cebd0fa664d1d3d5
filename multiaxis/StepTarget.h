#ifndef STEPTARGET_H
#define STEPTARGET_H

// A motion target in whole steps and microsteps, as command_move and command_movr take it.
struct StepTarget
{
    int steps = 0;
    int usteps = 0;

    bool operator==(const StepTarget& other) const { return steps == other.steps && usteps == other.usteps; }

    // value display units at factor display units per full step, on an axis of divisor
    // microsteps per step. False for a value, factor or quotient that is not finite: nothing
    // is to be sent then. The whole steps are clamped to the int range, never cast out of it;
    // a plot click adds half a step to the fraction before it is scaled (a click at exactly
    // 10 steps, divisor 256, gives 10 and 128).
    enum class Rounding { SpinBox, PlotClick };
    static bool fromUnits(double value, double factor, int divisor, Rounding rounding, StepTarget* out);
};

#endif // STEPTARGET_H
