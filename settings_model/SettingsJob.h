#ifndef SETTINGSJOB_H
#define SETTINGSJOB_H

#include <array>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <vector>

#include "device/ControllerIdentity.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/StageSettings.h"
#include "trov.h"

class DeviceInterface;

// A settings transfer of one controller, run on its axis' courier thread: it reads and writes
// copies of the settings dialog's records, made on the dialog's thread, which takes them back in
// the courier's reply. How far it is can be read from any thread meanwhile.
class SettingsJob
{
public:
    enum class Command { SaveToFlash, RestoreFromFlash };

    SettingsJob(const MotorSettings& motor, const StageSettings& stage, const ControllerIdentity& identity,
                const std::atomic<device_t>* handle);

    // The steps, run in the order they were added; the flags a step goes by are set before it is
    // added. Each record, call or command is one step of the count.
    void readStage();
    // Every controller record, or those flagged in motor.reRead.
    void readMotor(bool all);
    void readIdentity();
    // The three reads above, every controller record.
    void readAll();
    // The records flagged in motor.toWrite, then those the controller corrected read back.
    void writeMotor();
    // The records flagged in stage.toWrite; a corrected name is read back.
    void writeStage();
    void command(Command which);
    void writeName(const controller_name_t& name);

    // What the courier runs: result_ok, or the first failure.
    result_t run(DeviceInterface& gateway);

    // From any thread: steps done so far, and all of them.
    int done() const { return doneCount.load(); }
    int total() const { return totalCount.load(); }
    // From the owner's thread: nothing more goes to the controller once the record under way is in.
    void drop() { dropped.store(true); }
    bool wasDropped() const { return dropped.load(); }

    // The rest is read on the owner's thread once the courier has replied.
    bool ran() const { return hasRun; }
    // The controller's mode when the job began: 0 none, 1 bootloader, 2 firmware.
    int mode = 0;
    MotorSettings motor;
    StageSettings stage;
    ControllerIdentity identity;
    ControllerIdentity::Outcome identityOutcome;
    // The first failure of the reads, result_ok when every read went.
    result_t readResult = result_ok;
    // Per record: read; its value and validity are the controller's.
    std::array<bool, MotorSettings::RecordCount> motorRead{};
    std::array<bool, StageSettings::RecordCount> stageRead{};
    // Per record flagged to write: its result, or that it never went out (a stop or a busy
    // gateway barred it, or the job was dropped).
    MotorSettings::WriteResults motorWrites{};
    std::array<bool, MotorSettings::RecordCount> motorUnsent{};
    StageSettings::WriteResults stageWrites{};
    std::array<bool, StageSettings::RecordCount> stageUnsent{};
    // The command's or the name write's result; result_error when it did not go.
    result_t commandResult = result_error;
    result_t nameResult = result_error;
    // The command reached the controller, whatever it answered.
    bool commandWent = false;

private:
    using Step = std::function<result_t(DeviceInterface&, device_t)>;
    void add(int count, Step step);
    // After one record or call: counts it; false once nothing more may go.
    bool stepped(bool refused);
    // A call of this thread was refused since the last look (or the job's start).
    bool refusedSinceLastLook();

    const std::atomic<device_t>* const handle;
    std::vector<Step> steps;
    std::atomic<int> doneCount{0};
    std::atomic<int> totalCount{0};
    std::atomic<bool> dropped{false};
    bool hasRun = false;
    // The courier thread's count of refused calls at the last look.
    quint64 refusedCount = 0;
};

#endif // SETTINGSJOB_H
