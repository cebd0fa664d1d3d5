#ifndef SETTINGSPAGEINDEX_H
#define SETTINGSPAGEINDEX_H

// The settings dialog's page positions. The dialog and the control windows reach a page only
// through settingsPageIndex(); the order is that of SettingsPageFactory's table.
enum class SettingsPage : int {
    DeviceConfiguration,
    Borders,
    MaximumRatings,
    MotorType,
    DcMotor,
    BldcMotor,
    StepperMotor,
    Power,
    Brake,
    Control,
    PositionControl,
    HomePosition,
    Pid,
    TtlSync,
    Uart,
    Extio,
    AboutDevice,
    ProgramConfiguration,
    Cyclic,
    LogSettings,
    GraphSetup,
    PositionCurve,
    SpeedCurve,
    EncoderCurve,
    FlagsCurve,
    EngineVoltageCurve,
    PowerVoltageCurve,
    UsbVoltageCurve,
    WindingAVoltageCurve,
    WindingBVoltageCurve,
    WindingCVoltageCurve,
    EngineCurrentCurve,
    PowerCurrentCurve,
    UsbCurrentCurve,
    WindingACurrentCurve,
    WindingBCurrentCurve,
    WindingCCurrentCurve,
    PwmCurve,
    TemperatureCurve,
    JoyCurve,
    PotCurve,
    About,
    StageConfiguration,
    PositionerName,
    Stage,
    StageDcMotor,
    StageStepperMotor,
    StageEncoder,
    StageGear,
    Count
};

constexpr int settingsPageIndex(SettingsPage page)
{
    return static_cast<int>(page);
}

static_assert(settingsPageIndex(SettingsPage::Count) == 49, "the tree has 49 items");

#endif // SETTINGSPAGEINDEX_H
