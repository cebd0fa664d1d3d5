#ifndef TROVMETATYPES_H
#define TROVMETATYPES_H

#include <QMetaType>

#include "trov.h"

// Every library record that travels by value through queued signals or script values.
#define TROV_META_RECORDS(X) \
    X(status_t)              \
    X(feedback_settings_t)   \
    X(home_settings_t)       \
    X(move_settings_t)       \
    X(engine_settings_t)     \
    X(entype_settings_t)     \
    X(power_settings_t)      \
    X(secure_settings_t)     \
    X(edges_settings_t)      \
    X(pid_settings_t)        \
    X(sync_in_settings_t)    \
    X(sync_out_settings_t)   \
    X(extio_settings_t)      \
    X(brake_settings_t)      \
    X(control_settings_t)    \
    X(joystick_settings_t)   \
    X(ctp_settings_t)        \
    X(uart_settings_t)       \
    X(stage_information_t)   \
    X(stage_settings_t)      \
    X(dc_information_t)      \
    X(dc_settings_t)         \
    X(step_information_t)    \
    X(step_settings_t)       \
    X(encoder_information_t) \
    X(encoder_settings_t)    \
    X(gear_information_t)    \
    X(gear_settings_t)       \
    X(chart_data_t)          \
    X(analog_data_t)

// The gateway's signals carry the call's name as a pointer to a static literal.
Q_DECLARE_METATYPE(const char*)

#define TROV_DECLARE_META_RECORD(type) Q_DECLARE_METATYPE(type)
TROV_META_RECORDS(TROV_DECLARE_META_RECORD)
#undef TROV_DECLARE_META_RECORD

// Registers const char*, result_t, device_t, the records above and the enumeration's lists
// ("QList<Qt::ItemFlags>", "QList<uint32_t>") under their typedef names, which is what
// string-based queued connections look them up by. Safe to call any number of times.
void registerTrovMetaTypes();

#endif // TROVMETATYPES_H
