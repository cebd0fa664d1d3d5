#include "settings_model/StageSettings.h"

#include <QSettings>

#include <cstring>
#include <utility>
#include <vector>

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "settings_model/ProfileLayout.h"
#include "settings_model/RecordAccess.h"
#include "settings_model/RecordTexts.h"

namespace {

#define PROFILE_CONTAINER StageSettings
const ProfileKey profileKeys[] = {
#include "settings_model/StageProfileLayout.def"
};
#undef PROFILE_CONTAINER

const ProfileLayout& profileLayout()
{
    static const ProfileLayout layout(profileKeys, sizeof(profileKeys) / sizeof(profileKeys[0]),
                                      "No positioner settings groups found in the file");
    return layout;
}

#define STAGE_SETTINGS_RECORDS(X)                                   \
    X(StageNameRecord, stageName, stage_name)                       \
    X(StageInformationRecord, stageInformation, stage_information)  \
    X(StageSettingsRecord, stageSettings, stage_settings)           \
    X(DcInformationRecord, dcInformation, dc_information)           \
    X(DcSettingsRecord, dcSettings, dc_settings)                    \
    X(StepInformationRecord, stepInformation, step_information)     \
    X(StepSettingsRecord, stepSettings, step_settings)              \
    X(EncoderInformationRecord, encoderInformation, encoder_information) \
    X(EncoderSettingsRecord, encoderSettings, encoder_settings)     \
    X(GearInformationRecord, gearInformation, gear_information)     \
    X(GearSettingsRecord, gearSettings, gear_settings)

#define STAGE_RECORD_ACCESS(index, member, call) RECORD_ACCESS_ROW(StageSettings, member, call, true)
const RecordAccess<StageSettings> records[] = {STAGE_SETTINGS_RECORDS(STAGE_RECORD_ACCESS)};

#define STAGE_RECORD_INDEX(index, member, call) StageSettings::index,
constexpr StageSettings::Record recordRows[] = {STAGE_SETTINGS_RECORDS(STAGE_RECORD_INDEX)};
constexpr bool rowsInIndexOrder()
{
    for (int i = 0; i < StageSettings::RecordCount; ++i) {
        if (recordRows[i] != i)
            return false;
    }
    return sizeof(recordRows) / sizeof(recordRows[0]) == StageSettings::RecordCount;
}
static_assert(rowsInIndexOrder(), "one row per record, in index order");

} // namespace

StageSettings::StageSettings(std::atomic<device_t>* handle, DeviceInterface* gateway)
    : gateway(gateway), stageName(), stageInformation(), stageSettings(), dcInformation(), dcSettings(),
      stepInformation(), stepSettings(), encoderInformation(), encoderSettings(), gearInformation(),
      gearSettings(), handle(handle), stageReloadPending(false)
{
    for (int i = 0; i < RecordCount; ++i) {
        toWrite[i] = false;
        valid[i] = false;
    }
}

int StageSettings::mode() const
{
    if (!handle || !gateway)
        return 0;
    return gateway->getMode(*handle);
}

bool StageSettings::sameRecord(const StageSettings& other, int index) const
{
    return sameRecordAt(records, *this, other, index);
}

bool StageSettings::sameBytes(const StageSettings& other, int index) const
{
    const auto& row = records[index];
    return std::memcmp(row.record(const_cast<StageSettings&>(*this)), row.record(const_cast<StageSettings&>(other)),
                       row.size) == 0;
}

void StageSettings::takeRecord(const StageSettings& other, int index)
{
    copyRecordAt(records, *this, other, index);
}

result_t StageSettings::loadFromDevice(const EachRecord& each)
{
    if (mode() != 2)
        return result_error;
    PollingSilencer silencer;
    // Without a positioner every read fails, as expected: none is tried, none is logged.
    status_t state{};
    if (gateway->get_status(*handle, &state) != result_ok || !(state.Flags & STATE_EEPROM_CONNECTED)) {
        for (bool& read : valid)
            read = false;
        return result_error;
    }
    result_t outcome = result_ok;
    for (int i = 0; i < RecordCount; ++i) {
        void* record = records[i].record(*this);
        const result_t result = records[i].get(*gateway, *handle, record);
        records[i].terminate(record);
        valid[i] = result == result_ok;
        if (result != result_ok)
            outcome = result;
        if (each && !each(i, result))
            break;
    }
    return outcome;
}

const char* StageSettings::recordSetName(int index)
{
    return index >= 0 && index < RecordCount ? records[index].setName : "";
}

bool StageSettings::saveToDevice(WriteResults* results, const EachRecord& each)
{
    WriteResults outcome;
    outcome.fill(result_ok);
    bool allWritten = true;
    if (mode() != 2) {
        for (int i = 0; i < RecordCount; ++i) {
            if (toWrite[i])
                outcome[i] = result_error;
        }
        allWritten = false;
    } else {
        PollingSilencer silencer;
        for (int i = 0; i < RecordCount; ++i) {
            if (!toWrite[i])
                continue;
            if (!valid[i]) {
                logRecordNeverRead(records[i].setName);
                outcome[i] = result_error;
                allWritten = false;
                continue;
            }
            outcome[i] = records[i].set(*gateway, *handle, records[i].record(*this));
            if (outcome[i] != result_ok && outcome[i] != result_value_error)
                allWritten = false;
            if (each && !each(i, outcome[i]))
                break;
        }
    }
    if (results)
        *results = outcome;
    return allWritten;
}

bool StageSettings::saveToFile(QSettings& file) const
{
    return profileLayout().save(file, this);
}

void StageSettings::loadFromFile(QSettings& file, QString& report)
{
    const ProfileLayout& layout = profileLayout();
    std::vector<bool> keyRead;
    if (!layout.load(file, report, this, &keyRead))
        return;

    markLoadedRecords(records, *this, layout, keyRead, valid);
}
