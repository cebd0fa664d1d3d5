#ifndef STAGESETTINGS_H
#define STAGESETTINGS_H

#include <QString>

#include <array>
#include <atomic>
#include <functional>

#include "trov.h"

class DeviceInterface;
class QSettings;

// The program's copy of the eleven positioner (stage) records of one controller. Single tries,
// no re-read flags; reads and writes only while the controller runs its firmware, with polling
// silenced. A plain class that owns nothing: copies are whole snapshots.
class StageSettings
{
public:
    // Index of a record in toWrite and valid; also the device order.
    enum Record {
        StageNameRecord,
        StageInformationRecord,
        StageSettingsRecord,
        DcInformationRecord,
        DcSettingsRecord,
        StepInformationRecord,
        StepSettingsRecord,
        EncoderInformationRecord,
        EncoderSettingsRecord,
        GearInformationRecord,
        GearSettingsRecord,
        RecordCount
    };

    // Records zeroed, no record valid, no flag set, no reload pending.
    StageSettings(std::atomic<device_t>* handle, DeviceInterface* gateway);

    // Told after each record a transfer tried (a Record index) with its result; false ends the
    // transfer there, the records after it untried.
    using EachRecord = std::function<bool(int index, result_t result)>;
    // Reads the eleven records once each. Every text ends inside its field afterwards, whatever
    // the call answered; a record counts as valid when its read succeeded. 0 when all were read,
    // else the last failure, or -1, with nothing read, when the controller does not run its
    // firmware or has no positioner attached.
    result_t loadFromDevice(const EachRecord& each = {});
    // The result of each record's write: 0 for a record not flagged.
    using WriteResults = std::array<result_t, RecordCount>;

    // Writes each record flagged in toWrite that is valid, once, in device order; the flags stay.
    // True when every flagged record reached the controller (a -3 correction included); false
    // when one failed or was skipped, or the controller does not run its firmware. results
    // (when given) gets each record's own result: -1 for a record skipped as never read, and
    // for every flagged record when the controller does not run its firmware.
    bool saveToDevice(WriteResults* results = nullptr, const EachRecord& each = {});
    // The library call that writes record index ("set_stage_name").
    static const char* recordSetName(int index);

    // The five stage groups. saveToFile syncs the file and tells whether it was written.
    bool saveToFile(QSettings& file) const;
    void loadFromFile(QSettings& file, QString& report);

    DeviceInterface* gateway;
    stage_name_t stageName;
    stage_information_t stageInformation;
    stage_settings_t stageSettings;
    dc_information_t dcInformation;
    dc_settings_t dcSettings;
    step_information_t stepInformation;
    step_settings_t stepSettings;
    encoder_information_t encoderInformation;
    encoder_settings_t encoderSettings;
    gear_information_t gearInformation;
    gear_settings_t gearSettings;
    std::atomic<device_t>* handle;

    // Per record: write it at the next saveToDevice.
    bool toWrite[RecordCount];
    // Per record: it holds the controller's values, or a stage file's (every key of it loaded).
    bool valid[RecordCount];
    // The stage records are to be loaded into the settings dialog when it is next opened; set
    // and cleared by the control windows.
    bool stageReloadPending;

    // Whether record index (a Record) holds the same settings here and in other.
    bool sameRecord(const StageSettings& other, int index) const;
    // Whether record index holds the same bytes here and in other (an erased record, all NaN,
    // is never equal by the equality test but always by its bytes).
    bool sameBytes(const StageSettings& other, int index) const;
    // Record index takes other's value; flags stay.
    void takeRecord(const StageSettings& other, int index);

private:
    int mode() const;
};

#endif // STAGESETTINGS_H
