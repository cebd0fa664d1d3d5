#ifndef SAMEMOTORRECORDS_H
#define SAMEMOTORRECORDS_H

#include "settings_model/MotorSettings.h"
#include "settings_model/RecordEquality.h"

// Every controller record of two containers equal under the record equality tests.
inline bool sameMotorRecords(const MotorSettings& a, const MotorSettings& b)
{
    return isEqual(a.engine, b.engine) && isEqual(a.entype, b.entype) && isEqual(a.pid, b.pid)
        && isEqual(a.syncIn, b.syncIn) && isEqual(a.syncOut, b.syncOut) && isEqual(a.edges, b.edges)
        && isEqual(a.secure, b.secure) && isEqual(a.move, b.move) && isEqual(a.feedback, b.feedback)
        && isEqual(a.home, b.home) && isEqual(a.power, b.power) && isEqual(a.brake, b.brake)
        && isEqual(a.control, b.control) && isEqual(a.joystick, b.joystick) && isEqual(a.ctp, b.ctp)
        && isEqual(a.uart, b.uart) && isEqual(a.extio, b.extio) && isEqual(a.controllerName, b.controllerName);
}

#endif // SAMEMOTORRECORDS_H
