#ifndef SCRIPTRECORDS_H
#define SCRIPTRECORDS_H

#include <QScriptEngine>
#include <QScriptValue>

#include "device/TrovMetaTypes.h"
#include "trov.h"

// The records that scripts see as plain objects, one property per field named as the field
// (an array field gives one property per element: MaxSpeed0 ... MaxSpeed9). Both directions are
// generated from settings_model/RecordFields.h and defined for the types of TROV_SCRIPT_RECORDS.

// A new object holding copies of the record's fields; status_t values are scaled to volts and
// degrees Celsius.
template <typename Record>
QScriptValue toScriptValue(QScriptEngine* engine, const Record& record);

// Zero-fills the record, then reads every field's property (the prototype chain included) in
// field order. Never fails: a missing or wrong value stores 0, NaN or an empty text. A status_t
// is left untouched: scripts cannot write the status.
template <typename Record>
void fromScriptValue(const QScriptValue& value, Record& record);

// Registers both conversions of all 28 types with the engine, in registration order, after the
// types' Qt meta-type registration.
void registerScriptRecordTypes(QScriptEngine* engine);

#endif // SCRIPTRECORDS_H
