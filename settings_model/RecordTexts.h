#ifndef RECORDTEXTS_H
#define RECORDTEXTS_H

#include "settings_model/RecordFields.h"
#include "trov.h"

// Puts a NUL into the last byte of every text field of the record, so that whatever a
// controller or a failed call left there, each text ends inside its field.
#define RECORD_TEXTS_DECLARE(type, unlisted) void terminateTexts(type& record);
TROV_COMPARED_RECORDS(RECORD_TEXTS_DECLARE)
#undef RECORD_TEXTS_DECLARE

#endif // RECORDTEXTS_H
