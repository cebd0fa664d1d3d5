#include "settings_model/ProfileLayout.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>


#include "common/FieldText.h"
#include "common/Formatting.h"

static_assert(std::is_same<uint32_t, unsigned int>::value, "the readers take unsigned int fields");
static_assert(std::is_same<int32_t, int>::value, "the readers take int fields");

namespace {

const char* nameOf(const EnumTable* table, uint32_t value)
{
    for (size_t i = 0; table && i < table->count; ++i) {
        if (static_cast<uint32_t>(table->entries[i].value) == value)
            return table->entries[i].name;
    }
    return nullptr;
}

} // namespace

ProfileLayout::ProfileLayout(const ProfileKey* keys, size_t count, const char* noGroupsLine)
    : rows(keys), rowCount(count), noGroups(noGroupsLine)
{
}

void ProfileLayout::writeKey(QSettings& file, const ProfileKey& key, void* container) const
{
    const QString name = QString::fromLatin1(key.name);
    switch (key.kind) {
    case ProfileKey::Bool:
        file.setValue(name, (*key.at<uint32_t>(container) & key.mask) == key.mask);
        break;
    case ProfileKey::Int:
        file.setValue(name, *key.at<int32_t>(container));
        break;
    case ProfileKey::UInt:
        file.setValue(name, *key.at<uint32_t>(container));
        break;
    case ProfileKey::Float:
        file.setValue(name, doubleToString(false, *key.at<float>(container)));
        break;
    case ProfileKey::Text: {
        // A text that fills its field without a NUL ends with the field.
        file.setValue(name, readFieldText(key.at<char>(container), key.size));
        break;
    }
    case ProfileKey::Enum:
    case ProfileKey::MaskedEnum: {
        uint32_t value = *key.at<uint32_t>(container);
        if (key.kind == ProfileKey::MaskedEnum)
            value &= key.mask;
        if (const char* entry = nameOf(key.table, value))
            file.setValue(name, QString::fromLatin1(entry));
        else
            file.remove(name);
        break;
    }
    default:
        break;
    }
}

bool ProfileLayout::save(QSettings& file, const void* container) const
{
    // Keys only read the container; the field accessors are shared with loading.
    void* fields = const_cast<void*>(container);
    bool inGroup = false;
    for (size_t i = 0; i < rowCount; ++i) {
        const ProfileKey& row = rows[i];
        if (row.kind == ProfileKey::Group) {
            if (inGroup)
                file.endGroup();
            file.beginGroup(QString::fromLatin1(row.name));
            inGroup = true;
        } else if (row.isKey()) {
            writeKey(file, row, fields);
        }
    }
    if (inGroup)
        file.endGroup();

    file.sync();
    if (file.status() == QSettings::NoError)
        return true;
    // The store keeps its first error: a file that was malformed when it was read reports a
    // format error even after it has been written over whole.
    if (file.status() == QSettings::FormatError) {
        const QFileInfo info(file.fileName());
        return info.isFile() && info.isWritable();
    }
    return false;
}

bool ProfileLayout::readKey(QSettings& file, QString& report, const ProfileKey& key, void* container) const
{
    switch (key.kind) {
    case ProfileKey::Bool:
        return readSettingBool(&file, &report, key.name, key.at<uint32_t>(container), key.mask);
    case ProfileKey::Int:
        return readSettingInt(&file, &report, key.name, key.at<int32_t>(container));
    case ProfileKey::UInt:
        return readSettingUInt(&file, &report, key.name, key.at<uint32_t>(container));
    case ProfileKey::Float:
        return readSettingFloat(&file, &report, key.name, key.at<float>(container));
    case ProfileKey::Text:
        return readSettingString(&file, &report, key.name, key.at<char>(container), key.size);
    case ProfileKey::Enum: {
        int value = 0;
        if (!readSettingEnum(&file, &report, key.name, &value, key.table->entries, key.table->count))
            return false;
        *key.at<uint32_t>(container) = static_cast<uint32_t>(value);
        return true;
    }
    case ProfileKey::MaskedEnum: {
        int value = 0;
        const bool named = readSettingEnum(&file, &report, key.name, &value, key.table->entries,
                                           key.table->count);
        uint32_t* flags = key.at<uint32_t>(container);
        *flags = (*flags & ~key.mask) | ((named ? static_cast<uint32_t>(value) : 0u) & key.mask);
        return named;
    }
    default:
        return false;
    }
}

bool ProfileLayout::load(QSettings& file, QString& report, void* container, std::vector<bool>* keyRead) const
{
    if (keyRead)
        keyRead->assign(rowCount, false);

    const QStringList present = file.childGroups();
    bool anyGroup = false;
    for (size_t i = 0; i < rowCount && !anyGroup; ++i)
        anyGroup = rows[i].kind == ProfileKey::Group && present.contains(QString::fromLatin1(rows[i].name));
    if (!anyGroup) {
        report += QString::fromLatin1(noGroups) + QLatin1Char('\n');
        return false;
    }

    bool inGroup = false;
    auto read = [&](size_t i) {
        const bool ok = readKey(file, report, rows[i], container);
        if (keyRead)
            (*keyRead)[i] = ok;
    };
    for (size_t i = 0; i < rowCount; ++i) {
        const ProfileKey& row = rows[i];
        switch (row.kind) {
        case ProfileKey::Group:
            if (inGroup)
                file.endGroup();
            file.beginGroup(QString::fromLatin1(row.name));
            inGroup = true;
            break;
        case ProfileKey::Clear:
            *row.at<uint32_t>(container) = 0;
            break;
        case ProfileKey::SwapNextRead:
            if (i + 2 < rowCount && rows[i + 1].isKey() && rows[i + 2].isKey()) {
                read(i + 2);
                read(i + 1);
                i += 2;
            }
            break;
        default:
            read(i);
            break;
        }
    }
    if (inGroup)
        file.endGroup();
    return true;
}
