#include "device/DeviceThread.h"

#include <QByteArray>

#include <cstring>

#include "device/DeviceInterface.h"

namespace {

// A text field of a library record, up to its NUL or the end of the field.
template <size_t N>
QString fieldText(const char (&field)[N])
{
    return QString::fromLocal8Bit(field, int(qstrnlen(field, N)));
}

} // namespace

DeviceThread::DeviceThread(QObject* /*parent*/, DeviceInterface* gateway, uint32_t enumerationFlags)
    : QThread(nullptr), gateway(gateway), enumerationFlags(enumerationFlags)
{
    registerTrovMetaTypes();
}

DeviceThread::~DeviceThread()
{
    stopRequest.store(true);
    wait();
}

QString DeviceThread::cleanPortName(const char* name)
{
    QString clean;
    if (!name)
        return clean;
    for (int i = 0; i < 256 && name[i] != '\0'; ++i) {
        if (name[i] != '.' && name[i] != '\\')
            clean.append(QLatin1Char(name[i]));
    }
    return clean;
}

void DeviceThread::run()
{
    QStringList names;
    QStringList descriptions;
    QList<uint32_t> serials;
    QList<Qt::ItemFlags> flags;

    // A null enumeration (library failure or a busy gateway) is a search that found nothing.
    const enumeration_handle_t enumeration = gateway->enumerate_devices(int(enumerationFlags));
    struct Release
    {
        DeviceInterface* gateway;
        enumeration_handle_t enumeration;
        ~Release()
        {
            if (enumeration)
                gateway->free_enumerate_devices(enumeration);
        }
    } release{gateway, enumeration};

    // Count and names come straight from the library's enumeration, which only this thread holds.
    const int count = enumeration ? ::get_device_count(enumeration) : 0;
    struct Found
    {
        int index;
        QByteArray name;
    };
    QList<Found> found;
    for (int i = 0; i < count; ++i) {
        const char* name = ::get_device_name(enumeration, i);
        if (!name)
            continue;
        found.append({i, QByteArray(name, int(qstrnlen(name, maxNameLength)))});
    }

    for (const Found& device : found) {
        if (stopRequest.load())
            return;
        const QString position = QString("%1. ").arg(names.size() + 1);
        const QString cleanName = cleanPortName(device.name.constData());

        uint32_t serial = 0;
        device_information_t info;
        std::memset(&info, 0, sizeof info);
        const result_t serialResult = gateway->get_enumerate_device_serial(enumeration, device.index, &serial);
        const result_t infoResult = gateway->get_enumerate_device_information(enumeration, device.index, &info);
        const bool readable = serialResult == result_ok && infoResult == result_ok;

        names.append(QString::fromLocal8Bit(device.name));
        if (readable) {
            descriptions.append(position + fieldText(info.Manufacturer) + " s/n: " + fieldText(info.ManufacturerId)
                                + QString::number(serial) + " on " + cleanName);
            serials.append(serial);
            flags.append(readableFlags);
        } else {
            descriptions.append(position + cleanName);
            serials.append(0);
            flags.append(Qt::NoItemFlags);
        }
    }
    emit finished(names, descriptions, serials, flags);
}
