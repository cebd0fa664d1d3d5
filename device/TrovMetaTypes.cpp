#include "device/TrovMetaTypes.h"

#include <QList>
#include <QObject> // defines what the Qt::ItemFlags meta-type needs

#include <mutex>

void registerTrovMetaTypes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qRegisterMetaType<const char*>("const char*");
        qRegisterMetaType<result_t>("result_t");
        qRegisterMetaType<device_t>("device_t");
#define TROV_REGISTER_META_RECORD(type) qRegisterMetaType<type>(#type);
        TROV_META_RECORDS(TROV_REGISTER_META_RECORD)
#undef TROV_REGISTER_META_RECORD
        qRegisterMetaType<QList<Qt::ItemFlags>>("QList<Qt::ItemFlags>");
        qRegisterMetaType<QList<uint32_t>>("QList<uint32_t>");
    });
}
