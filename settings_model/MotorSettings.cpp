#include "settings_model/MotorSettings.h"

#include <QSettings>

#include <cstring>
#include <utility>
#include <vector>

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"
#include "device/SharedFlags.h"
#include "settings_model/ProfileLayout.h"
#include "settings_model/RecordAccess.h"
#include "settings_model/RecordTexts.h"

namespace {

// The enum names of the profile file; within a table the first match wins.
const EnumEntry feedbackTypeEntries[] = {{"POTENTIOMETER", 0}, {"ENCODER", 1}, {"ENCODERDIFF", 2},
                                         {"ENCODERHALL", 3},   {"EMF", 4},     {"NONE", 5}};
const EnumEntry firstStopEntries[] = {{"REV", 0x10}, {"SYN", 0x20}, {"LIM", 0x30}};
const EnumEntry secondStopEntries[] = {{"REV", 0x40}, {"SYN", 0x80}, {"LIM", 0xC0}};
const EnumEntry engineTypeEntries[] = {{"DC", 1}, {"2DC", 2}, {"STEP", 3}, {"BRUSHLESS", 5}};
const EnumEntry driverTypeEntries[] = {{"DISCRETE_FET", 1}, {"INTEGRATE", 2}, {"EXTERNAL", 3}};
const EnumEntry inputModeEntries[] = {{"IN_NOP", 0}, {"IN_STOP", 1}, {"IN_PWOF", 2}, {"IN_MOVR", 3}, {"IN_HOME", 4}};
const EnumEntry outputModeEntries[] = {{"OUT_OFF", 0},       {"OUT_ON", 0x10},       {"OUT_MOVING", 0x20},
                                       {"OUT_ALARM", 0x30},  {"OUT_MOTOR_ON", 0x40}, {"OUT_MOTOR_FOUND", 0x50}};
const EnumEntry controlModeEntries[] = {{"OFF", 0}, {"JOY", 1}, {"LR", 2}};
const EnumEntry parityEntries[] = {{"EVEN", 0}, {"ODD", 1}, {"SPACE", 2}, {"MARK", 3}};

template <size_t N>
constexpr EnumTable tableOf(const EnumEntry (&entries)[N])
{
    return EnumTable{entries, N};
}

const EnumTable feedbackTypeTable = tableOf(feedbackTypeEntries);
const EnumTable firstStopTable = tableOf(firstStopEntries);
const EnumTable secondStopTable = tableOf(secondStopEntries);
const EnumTable engineTypeTable = tableOf(engineTypeEntries);
const EnumTable driverTypeTable = tableOf(driverTypeEntries);
const EnumTable inputModeTable = tableOf(inputModeEntries);
const EnumTable outputModeTable = tableOf(outputModeEntries);
const EnumTable controlModeTable = tableOf(controlModeEntries);
const EnumTable parityTable = tableOf(parityEntries);

#define PROFILE_CONTAINER MotorSettings
const ProfileKey profileKeys[] = {
#include "settings_model/MotorProfileLayout.def"
};
#undef PROFILE_CONTAINER

const ProfileLayout& profileLayout()
{
    static const ProfileLayout layout(profileKeys, sizeof(profileKeys) / sizeof(profileKeys[0]),
                                      "No controller settings groups found in the file");
    return layout;
}

// One row per record, in index order: its member, its library calls and whether a profile
// holds every field of it (the PID error-loop coefficients, the control record's deprecated
// word and the name's reserved bytes are not in the file).
#define MOTOR_SETTINGS_RECORDS(X)                              \
    X(EdgesRecord, edges, edges_settings, true)                \
    X(SecureRecord, secure, secure_settings, true)             \
    X(EngineRecord, engine, engine_settings, true)             \
    X(EntypeRecord, entype, entype_settings, true)             \
    X(MoveRecord, move, move_settings, true)                   \
    X(FeedbackRecord, feedback, feedback_settings, true)       \
    X(PowerRecord, power, power_settings, true)                \
    X(BrakeRecord, brake, brake_settings, true)                \
    X(ControlRecord, control, control_settings, false)         \
    X(JoystickRecord, joystick, joystick_settings, true)       \
    X(CtpRecord, ctp, ctp_settings, true)                      \
    X(HomeRecord, home, home_settings, true)                   \
    X(PidRecord, pid, pid_settings, false)                     \
    X(SyncInRecord, syncIn, sync_in_settings, true)            \
    X(SyncOutRecord, syncOut, sync_out_settings, true)         \
    X(UartRecord, uart, uart_settings, true)                   \
    X(ExtioRecord, extio, extio_settings, true)                \
    X(ControllerNameRecord, controllerName, controller_name, false)

#define MOTOR_RECORD_ACCESS(index, member, call, whole) RECORD_ACCESS_ROW(MotorSettings, member, call, whole)
const RecordAccess<MotorSettings> records[] = {MOTOR_SETTINGS_RECORDS(MOTOR_RECORD_ACCESS)};

#define MOTOR_RECORD_INDEX(index, member, call, whole) MotorSettings::index,
constexpr MotorSettings::Record recordRows[] = {MOTOR_SETTINGS_RECORDS(MOTOR_RECORD_INDEX)};
constexpr bool rowsInIndexOrder()
{
    for (int i = 0; i < MotorSettings::RecordCount; ++i) {
        if (recordRows[i] != i)
            return false;
    }
    return sizeof(recordRows) / sizeof(recordRows[0]) == MotorSettings::RecordCount;
}
static_assert(rowsInIndexOrder(), "one row per record, in index order");

// The order in which the controller's records are read and written.
const MotorSettings::Record deviceOrder[] = {
    MotorSettings::EntypeRecord,   MotorSettings::EdgesRecord,   MotorSettings::SecureRecord,
    MotorSettings::EngineRecord,   MotorSettings::MoveRecord,    MotorSettings::FeedbackRecord,
    MotorSettings::PowerRecord,    MotorSettings::BrakeRecord,   MotorSettings::ControlRecord,
    MotorSettings::JoystickRecord, MotorSettings::CtpRecord,     MotorSettings::HomeRecord,
    MotorSettings::PidRecord,      MotorSettings::SyncInRecord,  MotorSettings::SyncOutRecord,
    MotorSettings::UartRecord,     MotorSettings::ExtioRecord,   MotorSettings::ControllerNameRecord};
static_assert(sizeof(deviceOrder) / sizeof(deviceOrder[0]) == MotorSettings::RecordCount, "every record");

const int readAttempts = 3;

} // namespace

MotorSettings::MotorSettings(std::atomic<device_t>* handle, DeviceInterface* gateway)
    : engine(), entype(), pid(), syncIn(), syncOut(), edges(), secure(), move(), feedback(), home(), power(),
      brake(), control(), joystick(), ctp(), uart(), extio(), controllerName(), handle(handle), gateway(gateway)
{
    for (int i = 0; i < RecordCount; ++i) {
        toWrite[i] = false;
        reRead[i] = false;
        valid[i] = false;
    }
}

int MotorSettings::mode() const
{
    if (!handle || !gateway)
        return 0;
    return gateway->getMode(*handle);
}

result_t MotorSettings::readWithRetries(int index)
{
    const RecordAccess<MotorSettings>& access = records[index];
    void* record = access.record(*this);
    result_t result = result_error;
    for (int attempt = 0; attempt < readAttempts && result != result_ok; ++attempt)
        result = access.get(*gateway, *handle, record);
    if (result == result_ok) {
        access.terminate(record);
        valid[index] = true;
    } else {
        std::memset(record, 0, access.size);
        valid[index] = false;
    }
    return result;
}

result_t MotorSettings::writeRecord(int index)
{
    const RecordAccess<MotorSettings>& access = records[index];
    if (!valid[index]) {
        logRecordNeverRead(access.setName);
        return result_error;
    }
    const result_t result = access.set(*gateway, *handle, access.record(*this));
    if (result == result_value_error)
        reRead[index] = true;
    return result;
}

namespace {

// Transfers every record in the order given, whatever became of the ones before, until `each`
// says no more; the outcome is the first failure, as the first one is what the user has to mend.
// transfer answers false for a record it passed over.
template <typename Records, typename Transfer>
result_t firstFailureOf(const Records& order, Transfer&& transfer, const MotorSettings::EachRecord& each = {})
{
    result_t outcome = result_ok;
    for (MotorSettings::Record index : order) {
        result_t result = result_ok;
        if (!transfer(index, result))
            continue;
        if (outcome == result_ok)
            outcome = result;
        if (each && !each(index, result))
            break;
    }
    return outcome;
}

} // namespace

result_t MotorSettings::readBasicFromDevice()
{
    if (mode() != 2)
        return result_error;
    PollingSilencer silencer;
    return firstFailureOf(basicRecords, [&](Record index, result_t& result) {
        result = readWithRetries(index);
        return true;
    });
}

void MotorSettings::takeBasicRecordsRead(const MotorSettings& read)
{
    for (Record index : basicRecords) {
        if (!read.valid[index])
            continue;
        takeRecord(read, index);
        valid[index] = true;
    }
}

result_t MotorSettings::readFromDevice(bool all, const EachRecord& each)
{
    if (mode() != 2)
        return result_error;
    PollingSilencer silencer;
    return firstFailureOf(
        deviceOrder,
        [&](Record index, result_t& result) {
            if (!all && !reRead[index])
                return false;
            reRead[index] = false;
            result = readWithRetries(index);
            return true;
        },
        each);
}

result_t MotorSettings::writeToDevice(WriteResults* results, const EachRecord& each)
{
    if (results)
        results->fill(result_ok);
    if (mode() != 2) {
        for (int index = 0; results && index < RecordCount; ++index)
            (*results)[index] = toWrite[index] ? result_error : result_ok;
        return result_error;
    }
    PollingSilencer silencer;
    return firstFailureOf(
        deviceOrder,
        [&](Record index, result_t& result) {
            if (!toWrite[index])
                return false;
            result = writeRecord(index);
            if (results)
                (*results)[index] = result;
            return true;
        },
        each);
}

const char* MotorSettings::recordSetName(int index)
{
    return index >= 0 && index < RecordCount ? records[index].setName : "";
}

bool MotorSettings::sameRecord(const MotorSettings& other, int index) const
{
    return sameRecordAt(records, *this, other, index);
}

void MotorSettings::takeRecord(const MotorSettings& other, int index)
{
    copyRecordAt(records, *this, other, index);
}

result_t MotorSettings::writeRecordToDevice(int index)
{
    if (index < 0 || index >= RecordCount || mode() != 2)
        return result_error;
    PollingSilencer silencer;
    return writeRecord(index);
}

int MotorSettings::microstepDivisor() const
{
    const uint32_t mode = engine.MicrostepMode;
    if (mode >= MICROSTEP_MODE_FRAC_2 && mode <= MICROSTEP_MODE_FRAC_256)
        return 1 << (mode - 1);
    return 1;
}

bool MotorSettings::saveToFile(QSettings& file) const
{
    return profileLayout().save(file, this);
}

bool MotorSettings::loadFromFile(QSettings& file, QString& report)
{
    const ProfileLayout& layout = profileLayout();
    std::vector<bool> keyRead;
    if (!layout.load(file, report, this, &keyRead))
        return false;

    markLoadedRecords(records, *this, layout, keyRead, valid);
    return true;
}
