#include "settings_model/RecordTexts.h"

#include <cstddef>

#include "settings_model/RecordFields.h"

namespace {

template <size_t N>
void endText(char (&text)[N])
{
    text[N - 1] = '\0';
}

template <typename T>
void endText(T&)
{
}

} // namespace

#define RECORD_TEXTS_FIELD(name, kind, compare) endText(record.name);
#define RECORD_TEXTS_DEFINE(type, unlisted) \
    void terminateTexts(type& record) { TROV_FIELDS_##type(RECORD_TEXTS_FIELD) }
TROV_COMPARED_RECORDS(RECORD_TEXTS_DEFINE)
