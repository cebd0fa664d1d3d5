#ifndef RECORDEQUALITY_H
#define RECORDEQUALITY_H

#include "settings_model/RecordFields.h"
#include "trov.h"

// Whether two records hold the same settings: every compared field equal (integers by value,
// floats by floating-point comparison, so a NaN equals nothing; texts up to their NUL and never
// beyond their field). Which fields count is said in RecordFields.h. Pure; any thread.
#define RECORD_EQUALITY_DECLARE(type, unlisted) bool isEqual(const type& a, const type& b);
TROV_COMPARED_RECORDS(RECORD_EQUALITY_DECLARE)
#undef RECORD_EQUALITY_DECLARE

#endif // RECORDEQUALITY_H
