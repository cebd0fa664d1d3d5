#include "settingsdlg/SettingsTreeState.h"

namespace {

constexpr unsigned int dcType = 1;
constexpr unsigned int stepperType = 3;
constexpr unsigned int bldcType = 5;

bool isMotorType(unsigned int type)
{
    return type == dcType || type == stepperType || type == bldcType;
}

} // namespace

unsigned int knownEngineType(unsigned int engineType, unsigned int lastKnownType)
{
    return isMotorType(engineType) ? engineType : lastKnownType;
}

SettingsTreeState settingsTreeState(int mode, unsigned int engineType, unsigned int lastKnownType, bool multiaxis)
{
    SettingsTreeState usable;
    usable.fill(true);
    const auto set = [&usable](SettingsPage page, bool on) { usable[settingsPageIndex(page)] = on; };

    const unsigned int known = knownEngineType(engineType, lastKnownType);
    set(SettingsPage::MotorType, false);
    set(SettingsPage::DcMotor, engineType == dcType);
    set(SettingsPage::BldcMotor, engineType == bldcType);
    set(SettingsPage::StepperMotor, engineType == stepperType);
    if (known != 0) {
        set(SettingsPage::Pid, known != stepperType);
        set(SettingsPage::StageDcMotor, known != stepperType);
        set(SettingsPage::StageStepperMotor, known == stepperType);
    }
    set(SettingsPage::ProgramConfiguration, !multiaxis);

    if (mode == 1) {
        // The bootloader answers only the firmware upload: About device and its parent stay.
        for (int position = settingsPageIndex(SettingsPage::Borders);
             position <= settingsPageIndex(SettingsPage::Extio); ++position)
            usable[position] = false;
        set(SettingsPage::ProgramConfiguration, false);
        set(SettingsPage::StageConfiguration, false);
    }
    return usable;
}
