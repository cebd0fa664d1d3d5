#ifndef TESTTIME_H
#define TESTTIME_H

#include <QtGlobal>

#include <algorithm>

// A wait bound, or a time something must take less than, for a machine several times slower
// than a quiet one: TOLMO_TEST_TIME_SCALE (a whole number, 1 when unset) multiplies it. A wait
// that ends when its condition holds costs nothing more where the machine is quick.
inline int scaledMs(int ms)
{
    static const int scale = std::max(1, qEnvironmentVariableIntValue("TOLMO_TEST_TIME_SCALE"));
    return ms * scale;
}

#endif // TESTTIME_H
