#include "common/ProgramSettingsFile.h"

#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

const QString searchGroup = QStringLiteral("Device_search_options");
const QString multiaxisGroup = QStringLiteral("Multiaxis");
const int maxAxes = 3;

QString valueText(const QSettings& file, const QString& key)
{
    const QVariant value = file.value(key);
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool readBool(const QSettings& file, const QString& key, bool fallback)
{
    if (!file.contains(key))
        return fallback;
    const QString word = valueText(file, key).trimmed();
    if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong number = word.toLongLong(&ok);
    return ok ? number != 0 : fallback;
}

bool parseUInt(const QString& text, unsigned int* out)
{
    if (text.trimmed().startsWith(QLatin1Char('-')))
        return false;
    bool ok = false;
    const qulonglong number = text.toULongLong(&ok, 10);
    if (!ok || number > std::numeric_limits<unsigned int>::max())
        return false;
    *out = static_cast<unsigned int>(number);
    return true;
}

unsigned int readUInt(const QSettings& file, const QString& key, unsigned int fallback)
{
    unsigned int number = fallback;
    if (!file.contains(key) || !parseUInt(valueText(file, key), &number))
        return fallback;
    return number;
}

} // namespace

int ProgramSettingsFile::SearchOptions::enumerationFlags() const
{
    return (probe ? 1 : 0) + 2 * (allPorts ? 1 : 0);
}

ProgramSettingsFile::SearchOptions ProgramSettingsFile::readSearchOptions(QSettings& file)
{
    SearchOptions options;
    file.beginGroup(searchGroup);
    options.probe = readBool(file, QStringLiteral("Enumerate_probe"), true);
    options.allPorts = readBool(file, QStringLiteral("Enumerate_all_com"), false);
    file.endGroup();
    return options;
}

void ProgramSettingsFile::writeSearchOptions(QSettings& file, const SearchOptions& options)
{
    file.beginGroup(searchGroup);
    file.setValue(QStringLiteral("Enumerate_probe"), options.probe);
    file.setValue(QStringLiteral("Enumerate_all_com"), options.allPorts);
    file.endGroup();
}

ProgramSettingsFile::UnitOptions ProgramSettingsFile::readUnitOptions(QSettings& file)
{
    UnitOptions options;
    file.beginGroup(multiaxisGroup);
    options.recalcEnabled = readBool(file, QStringLiteral("Recalc_enabled"), false);
    options.units = valueText(file, QStringLiteral("Units"));
    // Both coefficients divide the positions: 0 must never reach a conversion.
    options.coeff1 = std::clamp(readUInt(file, QStringLiteral("Coeff_1"), 1), 1u, UnitOptions::maxCoefficient);
    options.coeff2 = std::clamp(readUInt(file, QStringLiteral("Coeff_2"), 1), 1u, UnitOptions::maxCoefficient);
    options.precision = std::min(UnitOptions::maxPrecision, readUInt(file, QStringLiteral("Precision"), 2));
    file.endGroup();
    return options;
}

void ProgramSettingsFile::writeUnitOptions(QSettings& file, const UnitOptions& options)
{
    file.beginGroup(multiaxisGroup);
    file.setValue(QStringLiteral("Recalc_enabled"), options.recalcEnabled);
    file.setValue(QStringLiteral("Units"), options.units);
    file.setValue(QStringLiteral("Coeff_1"), options.coeff1);
    file.setValue(QStringLiteral("Coeff_2"), options.coeff2);
    file.setValue(QStringLiteral("Precision"), options.precision);
    file.endGroup();
}

QString ProgramSettingsFile::controllerSetName(QVector<unsigned int> serials)
{
    std::sort(serials.begin(), serials.end());
    QStringList parts;
    for (unsigned int serial : serials)
        parts << QString::number(serial);
    return QStringLiteral("SN_") + parts.join(QLatin1Char('-'));
}

void ProgramSettingsFile::writeControllerSet(QSettings& file,
                                             const QVector<unsigned int>& serialsInAxisOrder)
{
    const QString name = controllerSetName(serialsInAxisOrder);
    file.beginGroup(multiaxisGroup);
    file.setValue(QStringLiteral("last_group"), name);
    file.endGroup();
    file.beginGroup(name);
    for (int axis = 0; axis < serialsInAxisOrder.size() && axis < maxAxes; ++axis)
        file.setValue(QString::number(axis), serialsInAxisOrder.at(axis));
    file.endGroup();
}

QString ProgramSettingsFile::lastGroupName(QSettings& file)
{
    file.beginGroup(multiaxisGroup);
    const QString name = valueText(file, QStringLiteral("last_group"));
    file.endGroup();
    return name;
}

QVector<unsigned int> ProgramSettingsFile::readControllerSet(QSettings& file, const QString& groupName)
{
    QVector<unsigned int> serials;
    // An empty name would read the top level, and a name with a slash some other group.
    if (groupName.isEmpty() || groupName.contains(QLatin1Char('/')) || groupName.contains(QLatin1Char('\\')))
        return serials;
    file.beginGroup(groupName);
    for (int axis = 0; axis < maxAxes; ++axis) {
        const QString key = QString::number(axis);
        unsigned int serial = 0;
        if (!file.contains(key) || !parseUInt(valueText(file, key), &serial))
            break;
        serials << serial;
    }
    file.endGroup();
    return serials;
}
