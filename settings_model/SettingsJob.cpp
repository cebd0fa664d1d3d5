#include "settings_model/SettingsJob.h"

#include "device/DeviceInterface.h"
#include "device/PollingSilencer.h"

SettingsJob::SettingsJob(const MotorSettings& motor, const StageSettings& stage, const ControllerIdentity& identity,
                         const std::atomic<device_t>* handle)
    : motor(motor), stage(stage), identity(identity), handle(handle)
{
    motorWrites.fill(result_ok);
    stageWrites.fill(result_ok);
}

void SettingsJob::add(int count, Step step)
{
    totalCount += count;
    steps.push_back(std::move(step));
}

bool SettingsJob::refusedSinceLastLook()
{
    const quint64 now = DeviceInterface::callCountsHere().refused;
    const bool moved = now != refusedCount;
    refusedCount = now;
    return moved;
}

bool SettingsJob::stepped(bool refused)
{
    ++doneCount;
    // Once a call is refused (barred, or no turn at the gateway) nothing more goes; a call that
    // went while a stop came is the courier's to cut: its next call is refused.
    return !dropped.load() && !refused;
}

void SettingsJob::readStage()
{
    add(StageSettings::RecordCount, [this](DeviceInterface&, device_t) {
        bool reached = false;
        stage.loadFromDevice([&](int index, result_t) {
            reached = true;
            stageRead[size_t(index)] = true;
            return stepped(refusedSinceLastLook());
        });
        // No positioner, or no firmware: no record was tried, and the validity says what is known.
        if (!reached)
            stageRead.fill(true);
        // The positioner's records are no part of a whole read: most controllers have none.
        return result_ok;
    });
}

void SettingsJob::readMotor(bool all)
{
    int count = 0;
    for (int index = 0; index < MotorSettings::RecordCount; ++index)
        count += all || motor.reRead[index] ? 1 : 0;
    add(count, [this, all](DeviceInterface&, device_t) {
        const result_t result = motor.readFromDevice(all, [this](int index, result_t) {
            motorRead[size_t(index)] = true;
            return stepped(refusedSinceLastLook());
        });
        if (readResult == result_ok)
            readResult = result;
        return result;
    });
}

void SettingsJob::readIdentity()
{
    add(1, [this](DeviceInterface& gateway, device_t) {
        identityOutcome = identity.read(gateway, *handle);
        stepped(refusedSinceLastLook());
        const result_t result = identityOutcome.failed ? result_error : result_ok;
        if (readResult == result_ok)
            readResult = result;
        return result;
    });
}

void SettingsJob::readAll()
{
    readStage();
    readMotor(true);
    readIdentity();
}

void SettingsJob::writeMotor()
{
    int count = 0;
    for (int index = 0; index < MotorSettings::RecordCount; ++index)
        count += motor.toWrite[index] ? 1 : 0;
    add(count, [this](DeviceInterface&, device_t) {
        for (bool& flag : motor.reRead)
            flag = false;
        std::array<bool, MotorSettings::RecordCount> tried{};
        bool cut = false;
        refusedSinceLastLook();
        const result_t written = motor.writeToDevice(&motorWrites, [&](int index, result_t) {
            tried[size_t(index)] = true;
            // Refused by a bar or a busy gateway: it never reached the controller.
            motorUnsent[size_t(index)] = refusedSinceLastLook();
            cut = !stepped(motorUnsent[size_t(index)]);
            return !cut;
        });
        // A mode read refused before the first record leaves every one unsent.
        cut = cut || refusedSinceLastLook();
        for (int index = 0; index < MotorSettings::RecordCount; ++index) {
            if (motor.toWrite[index] && !tried[size_t(index)] && cut)
                motorUnsent[size_t(index)] = true;
        }
        // What the controller corrected is read back: the pages then show what it holds.
        if (!cut)
            motor.readFromDevice(false, [this](int index, result_t) {
                motorRead[size_t(index)] = !refusedSinceLastLook();
                return !dropped.load() && motorRead[size_t(index)];
            });
        return written;
    });
}

void SettingsJob::writeStage()
{
    int count = 0;
    for (int index = 0; index < StageSettings::RecordCount; ++index)
        count += stage.toWrite[index] && stage.valid[index] ? 1 : 0;
    add(count, [this](DeviceInterface& gateway, device_t id) {
        std::array<bool, StageSettings::RecordCount> tried{};
        bool cut = false;
        refusedSinceLastLook();
        const bool all = stage.saveToDevice(&stageWrites, [&](int index, result_t) {
            tried[size_t(index)] = true;
            stageUnsent[size_t(index)] = refusedSinceLastLook();
            cut = !stepped(stageUnsent[size_t(index)]);
            return !cut;
        });
        cut = cut || refusedSinceLastLook();
        for (int index = 0; index < StageSettings::RecordCount; ++index) {
            if (stage.toWrite[index] && stage.valid[index] && !tried[size_t(index)] && cut)
                stageUnsent[size_t(index)] = true;
        }
        constexpr size_t name = StageSettings::StageNameRecord;
        if (stage.toWrite[name] && stageWrites[name] == result_value_error && !cut) {
            // Corrected: what the positioner holds now is what the page is to show.
            stage_name_t held{};
            if (gateway.get_stage_name(id, &held) == result_ok && !refusedSinceLastLook()) {
                held.PositionerName[sizeof held.PositionerName - 1] = '\0';
                stage.stageName = held;
                stage.valid[name] = true;
                stageRead[name] = true;
            }
        }
        return all ? result_ok : result_error;
    });
}

void SettingsJob::command(Command which)
{
    add(1, [this, which](DeviceInterface& gateway, device_t id) {
        commandResult = which == Command::SaveToFlash ? gateway.command_save_settings(id)
                                                      : gateway.command_read_settings(id);
        commandWent = !refusedSinceLastLook();
        stepped(!commandWent);
        return commandResult;
    });
}

void SettingsJob::writeName(const controller_name_t& name)
{
    add(1, [this, name](DeviceInterface& gateway, device_t id) {
        const PollingSilencer silencer;
        nameResult = gateway.set_controller_name(id, &name);
        stepped(refusedSinceLastLook());
        return nameResult;
    });
}

result_t SettingsJob::run(DeviceInterface& gateway)
{
    hasRun = true;
    const quint64 refusedAtStart = DeviceInterface::callCountsHere().refused;
    refusedCount = refusedAtStart;
    const device_t id = handle->load();
    mode = id == -1 ? 0 : gateway.getMode(id);
    result_t outcome = result_ok;
    for (const Step& step : steps) {
        // A refused call ends the job; a bar set since the last call is met by the next one,
        // which the courier then tells as cut short.
        if (dropped.load() || DeviceInterface::callCountsHere().refused != refusedAtStart)
            break;
        const result_t result = step(gateway, id);
        if (outcome == result_ok)
            outcome = result;
    }
    return outcome;
}
