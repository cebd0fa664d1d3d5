#ifndef MOTORSETTINGS_H
#define MOTORSETTINGS_H

#include <QString>

#include <array>
#include <atomic>
#include <functional>

#include "trov.h"

class DeviceInterface;
class QSettings;

// The program's copy of every settings record of one controller. Reads and writes the records
// through the axis' gateway (only while the controller runs its firmware, with polling
// silenced), and saves and loads them as the controller groups of a profile file.
// A plain class: copies are independent snapshots that share the handle and the gateway.
class MotorSettings
{
public:
    // Index of a record in toWrite, reRead and valid.
    enum Record {
        EdgesRecord,
        SecureRecord,
        EngineRecord,
        EntypeRecord,
        MoveRecord,
        FeedbackRecord,
        PowerRecord,
        BrakeRecord,
        ControlRecord,
        JoystickRecord,
        CtpRecord,
        HomeRecord,
        PidRecord,
        SyncInRecord,
        SyncOutRecord,
        UartRecord,
        ExtioRecord,
        ControllerNameRecord,
        RecordCount
    };

    // handle: the address of the axis' device handle, read at every call. Records start zeroed,
    // no record valid, no flag set.
    MotorSettings(std::atomic<device_t>* handle, DeviceInterface* gateway);

    // The transfers below try every record they cover, whatever became of the others, and
    // answer 0 when all succeeded, else the first failure (-1 when the controller does not run
    // its firmware).
    // Engine, engine type, borders, feedback and name (basicRecords), each tried up to three times.
    result_t readBasicFromDevice();
    static constexpr Record basicRecords[] = {EngineRecord, EntypeRecord, EdgesRecord, FeedbackRecord,
                                              ControllerNameRecord};
    // The basic records of `read`, a copy that readBasicFromDevice read into after its basic
    // records were marked not valid: those read are taken with their flag; the others keep the
    // values held here.
    void takeBasicRecordsRead(const MotorSettings& read);
    // Told after each record a transfer tried (a Record index) with its result; false ends the
    // transfer there, the records after it untried.
    using EachRecord = std::function<bool(int index, result_t result)>;
    // Every record (all) or those flagged in reRead, each tried up to three times; clears the
    // reRead flag of every record it reached.
    result_t readFromDevice(bool all, const EachRecord& each = {});
    // The result of each record's write: 0 for a record not flagged.
    using WriteResults = std::array<result_t, RecordCount>;

    // Writes every record flagged in toWrite that is valid, in device order; a record answered
    // with -3 is flagged in reRead. toWrite stays as it was. results (when given) gets each
    // record's own result: -1 for every flagged record when the controller does not run its
    // firmware.
    result_t writeToDevice(WriteResults* results = nullptr, const EachRecord& each = {});
    // Writes the one record (a Record index) alone, whatever toWrite holds.
    result_t writeRecordToDevice(int index);

    // Whether record index (a Record) holds the same settings here and in other.
    bool sameRecord(const MotorSettings& other, int index) const;
    // Record index takes other's value; flags stay.
    void takeRecord(const MotorSettings& other, int index);

    // The library call that writes record index ("set_engine_settings").
    static const char* recordSetName(int index);

    // Microsteps per full step of the held engine record: 2 to 256 for modes 2 to 9, else 1.
    int microstepDivisor() const;

    // Writes the fifteen controller groups and syncs the file; true when the file was written.
    bool saveToFile(QSettings& file) const;
    // Reads the fifteen controller groups, appending a report line per key that did not load.
    // A file with none of the groups changes nothing, gives one report line and false.
    bool loadFromFile(QSettings& file, QString& report);

    engine_settings_t engine;
    entype_settings_t entype;
    pid_settings_t pid;
    sync_in_settings_t syncIn;
    sync_out_settings_t syncOut;
    edges_settings_t edges;
    secure_settings_t secure;
    move_settings_t move;
    feedback_settings_t feedback;
    home_settings_t home;
    power_settings_t power;
    brake_settings_t brake;
    control_settings_t control;
    joystick_settings_t joystick;
    ctp_settings_t ctp;
    uart_settings_t uart;
    extio_settings_t extio;
    controller_name_t controllerName;

    std::atomic<device_t>* handle;
    DeviceInterface* gateway;

    // Per record: write it at the next writeToDevice.
    bool toWrite[RecordCount];
    // Per record: read it at the next readFromDevice(false).
    bool reRead[RecordCount];
    // Per record: it holds the controller's values (read successfully) or a profile's (every
    // key of it loaded). A record that is not valid is never written to the controller.
    bool valid[RecordCount];

private:
    int mode() const;
    result_t readWithRetries(int index);
    result_t writeRecord(int index);
};

#endif // MOTORSETTINGS_H
