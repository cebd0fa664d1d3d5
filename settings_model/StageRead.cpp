#include "settings_model/StageRead.h"

#include "device/DeviceInterface.h"

StageRead::StageRead(const StageSettings& own, bool whole) : whole(whole), records(own.handle, own.gateway) {}

result_t StageRead::run(DeviceInterface& gateway, device_t id)
{
    result_t result = result_ok;
    if (whole) {
        result = records.loadFromDevice();
    } else {
        stage_name_t& name = records.stageName;
        result = gateway.get_stage_name(id, &name);
        name.PositionerName[sizeof name.PositionerName - 1] = '\0';
        records.valid[StageSettings::StageNameRecord] = result == result_ok;
    }
    complete = !DeviceInterface::callsRefusedHere();
    return result;
}
