#ifndef RECORDFIELDS_H
#define RECORDFIELDS_H

// The controller library's records as the program sees them, declared once. Each
// TROV_FIELDS_<type>(F) expands F(name, kind, compare) for every field in record order:
//   kind     U32, I32, F32, I64, TEXT (char[N]), U32_ARRAY (uint32_t[N]),
//            I32_DIV100 and I32_DIV10 (status values that scripts see scaled);
//   compare  CMP when the equality tests compare the field, SKIP when they do not.
// Users define F and expand the lists they need; field types come from trov.h, so
// overloads on the field's C++ type work as well as the kind token.
//
// TROV_COMPARED_RECORDS(R) lists the 29 records that have equality tests and
// TROV_SCRIPT_RECORDS(R) the 28 that the script engines convert, in registration order.
// R(type, unlisted) gives the bytes of the record that belong to no listed field (padding,
// reserved bytes), so that a field missing from a list fails the build.

#include "trov.h"

#define TROV_FIELDS_status_t(F)       \
    F(MoveSts, U32, SKIP)             \
    F(MvCmdSts, U32, SKIP)            \
    F(PWRSts, U32, SKIP)              \
    F(EncSts, U32, SKIP)              \
    F(WindSts, U32, SKIP)             \
    F(CurPosition, I32, SKIP)         \
    F(uCurPosition, I32, SKIP)        \
    F(EncPosition, I64, SKIP)         \
    F(CurSpeed, I32, SKIP)            \
    F(uCurSpeed, I32, SKIP)           \
    F(Ipwr, I32, SKIP)                \
    F(Upwr, I32_DIV100, SKIP)         \
    F(Iusb, I32, SKIP)                \
    F(Uusb, I32_DIV100, SKIP)         \
    F(curT, I32_DIV10, SKIP)          \
    F(Flags, U32, SKIP)               \
    F(GPIOFlags, U32, SKIP)

#define TROV_FIELDS_feedback_settings_t(F) \
    F(IPS, U32, CMP)                       \
    F(FeedbackType, U32, CMP)              \
    F(FeedbackFlags, U32, CMP)

#define TROV_FIELDS_home_settings_t(F) \
    F(FastHome, U32, CMP)              \
    F(uFastHome, U32, CMP)             \
    F(SlowHome, U32, CMP)              \
    F(uSlowHome, U32, CMP)             \
    F(HomeDelta, I32, CMP)             \
    F(uHomeDelta, I32, CMP)            \
    F(HomeFlags, U32, CMP)

#define TROV_FIELDS_move_settings_t(F) \
    F(Speed, U32, CMP)                 \
    F(uSpeed, U32, CMP)                \
    F(Accel, U32, CMP)                 \
    F(Decel, U32, CMP)                 \
    F(AntiplaySpeed, U32, CMP)         \
    F(uAntiplaySpeed, U32, CMP)

#define TROV_FIELDS_engine_settings_t(F) \
    F(NomVoltage, U32, CMP)              \
    F(NomCurrent, U32, CMP)              \
    F(NomSpeed, U32, CMP)                \
    F(uNomSpeed, U32, CMP)               \
    F(EngineFlags, U32, CMP)             \
    F(Antiplay, I32, CMP)                \
    F(MicrostepMode, U32, CMP)           \
    F(StepsPerRev, U32, CMP)

#define TROV_FIELDS_entype_settings_t(F) \
    F(EngineType, U32, CMP)              \
    F(DriverType, U32, CMP)

#define TROV_FIELDS_power_settings_t(F) \
    F(HoldCurrent, U32, CMP)            \
    F(CurrReductDelay, U32, CMP)        \
    F(PowerOffDelay, U32, CMP)          \
    F(CurrentSetTime, U32, CMP)         \
    F(PowerFlags, U32, CMP)

#define TROV_FIELDS_secure_settings_t(F) \
    F(LowUpwrOff, U32, CMP)              \
    F(CriticalIpwr, U32, CMP)            \
    F(CriticalUpwr, U32, CMP)            \
    F(CriticalT, U32, CMP)               \
    F(CriticalIusb, U32, CMP)            \
    F(CriticalUusb, U32, CMP)            \
    F(MinimumUusb, U32, CMP)             \
    F(Flags, U32, CMP)

#define TROV_FIELDS_edges_settings_t(F) \
    F(BorderFlags, U32, CMP)            \
    F(EnderFlags, U32, CMP)             \
    F(LeftBorder, I32, CMP)             \
    F(uLeftBorder, I32, CMP)            \
    F(RightBorder, I32, CMP)            \
    F(uRightBorder, I32, CMP)

// The error-loop coefficients kpe1 to kde3 are the controller's own business: not compared.
#define TROV_FIELDS_pid_settings_t(F) \
    F(KpI, U32, CMP)                  \
    F(KiI, U32, CMP)                  \
    F(KdI, U32, CMP)                  \
    F(KpU, U32, CMP)                  \
    F(KiU, U32, CMP)                  \
    F(KdU, U32, CMP)                  \
    F(KpSpeed, U32, CMP)              \
    F(KiSpeed, U32, CMP)              \
    F(KdSpeed, U32, CMP)              \
    F(KpPos, U32, CMP)                \
    F(KiPos, U32, CMP)                \
    F(KdPos, U32, CMP)                \
    F(kpe1, U32, SKIP)                \
    F(kie1, U32, SKIP)                \
    F(kde1, U32, SKIP)                \
    F(kpe2, U32, SKIP)                \
    F(kie2, U32, SKIP)                \
    F(kde2, U32, SKIP)                \
    F(kpe3, U32, SKIP)                \
    F(kie3, U32, SKIP)                \
    F(kde3, U32, SKIP)

#define TROV_FIELDS_sync_in_settings_t(F) \
    F(SyncInFlags, U32, CMP)              \
    F(ClutterTime, U32, CMP)              \
    F(Position, I32, CMP)                 \
    F(uPosition, I32, CMP)                \
    F(Speed, U32, CMP)                    \
    F(uSpeed, U32, CMP)

#define TROV_FIELDS_sync_out_settings_t(F) \
    F(SyncOutFlags, U32, CMP)              \
    F(SyncOutPulseSteps, U32, CMP)         \
    F(SyncOutPeriod, U32, CMP)

#define TROV_FIELDS_extio_settings_t(F) \
    F(EXTIOSetupFlags, U32, CMP)        \
    F(EXTIOModeFlags, U32, CMP)

#define TROV_FIELDS_brake_settings_t(F) \
    F(t1, U32, CMP)                     \
    F(t2, U32, CMP)                     \
    F(t3, U32, CMP)                     \
    F(t4, U32, CMP)                     \
    F(BrakeFlags, U32, CMP)

#define TROV_FIELDS_control_settings_t(F) \
    F(MaxSpeed, U32_ARRAY, CMP)           \
    F(uMaxSpeed, U32_ARRAY, CMP)          \
    F(Timeout, U32_ARRAY, CMP)            \
    F(deprecated, U32, SKIP)              \
    F(Flags, U32, CMP)

#define TROV_FIELDS_joystick_settings_t(F) \
    F(JoyLowEnd, U32, CMP)                 \
    F(JoyCenter, U32, CMP)                 \
    F(JoyHighEnd, U32, CMP)                \
    F(ExpFactor, U32, CMP)                 \
    F(DeadZone, U32, CMP)                  \
    F(JoyFlags, U32, CMP)

#define TROV_FIELDS_ctp_settings_t(F) \
    F(CTPMinError, U32, CMP)          \
    F(CTPFlags, U32, CMP)

#define TROV_FIELDS_uart_settings_t(F) \
    F(Speed, U32, CMP)                 \
    F(UARTSetupFlags, U32, CMP)

// The reserved bytes behind the name are not a field of the program's.
#define TROV_FIELDS_controller_name_t(F) F(ControllerName, TEXT, CMP)

#define TROV_FIELDS_stage_name_t(F) F(PositionerName, TEXT, CMP)

#define TROV_INFORMATION_RECORD_FIELDS(F) \
    F(Manufacturer, TEXT, CMP)            \
    F(Series, TEXT, CMP)                  \
    F(ArticleNumber, TEXT, CMP)           \
    F(Description, TEXT, CMP)
#define TROV_FIELDS_stage_information_t(F) TROV_INFORMATION_RECORD_FIELDS(F)
#define TROV_FIELDS_dc_information_t(F) TROV_INFORMATION_RECORD_FIELDS(F)
#define TROV_FIELDS_step_information_t(F) TROV_INFORMATION_RECORD_FIELDS(F)
#define TROV_FIELDS_encoder_information_t(F) TROV_INFORMATION_RECORD_FIELDS(F)
#define TROV_FIELDS_gear_information_t(F) TROV_INFORMATION_RECORD_FIELDS(F)

#define TROV_FIELDS_stage_settings_t(F) \
    F(LeadScrewPitch, F32, CMP)         \
    F(Units, TEXT, CMP)                 \
    F(MaxSpeed, F32, CMP)               \
    F(TravelRange, F32, CMP)            \
    F(SupplyVoltage1, F32, CMP)         \
    F(SupplyVoltage2, F32, CMP)         \
    F(MaxCurrentConsumption, F32, CMP)  \
    F(HorizontalLoadCapacity, F32, CMP) \
    F(VerticalLoadCapacity, F32, CMP)

#define TROV_FIELDS_dc_settings_t(F)    \
    F(NominalVoltage, F32, CMP)         \
    F(NoLoadSpeed, F32, CMP)            \
    F(NoLoadCurrent, F32, CMP)          \
    F(StallTorque, F32, CMP)            \
    F(MaxContinuousCurrent, F32, CMP)   \
    F(TerminalResistance, F32, CMP)     \
    F(TerminalInductance, F32, CMP)     \
    F(TorqueConstant, F32, CMP)         \
    F(SpeedConstant, F32, CMP)          \
    F(SpeedTorqueGradient, F32, CMP)    \
    F(MechanicalTimeConstant, F32, CMP) \
    F(RotorInertia, F32, CMP)

#define TROV_FIELDS_step_settings_t(F)  \
    F(NominalVoltage, F32, CMP)         \
    F(CurrentPerWinding, F32, CMP)      \
    F(HoldingTorque, F32, CMP)          \
    F(ResistancePerWinding, F32, CMP)   \
    F(InductancePerWinding, F32, CMP)   \
    F(RotorInertia, F32, CMP)           \
    F(MaxSpeed, F32, CMP)

#define TROV_FIELDS_encoder_settings_t(F) \
    F(MaxOperatingFrequency, F32, CMP)    \
    F(SupplyVoltage1, F32, CMP)           \
    F(SupplyVoltage2, F32, CMP)           \
    F(MaxCurrentConsumption, F32, CMP)    \
    F(OutputType, TEXT, CMP)

#define TROV_FIELDS_gear_settings_t(F) \
    F(Reduction1, U32, CMP)            \
    F(Reduction2, U32, CMP)            \
    F(MaxContinuousTorque, F32, CMP)   \
    F(MaxInputSpeed, F32, CMP)

// The records with equality tests: the 18 of a controller's settings container and the
// 11 of its positioner.
#define TROV_COMPARED_RECORDS(R)   \
    R(engine_settings_t, 0)        \
    R(entype_settings_t, 0)        \
    R(pid_settings_t, 0)           \
    R(sync_in_settings_t, 0)       \
    R(sync_out_settings_t, 0)      \
    R(edges_settings_t, 0)         \
    R(secure_settings_t, 0)        \
    R(move_settings_t, 0)          \
    R(feedback_settings_t, 0)      \
    R(home_settings_t, 0)          \
    R(power_settings_t, 0)         \
    R(brake_settings_t, 0)         \
    R(control_settings_t, 0)       \
    R(joystick_settings_t, 0)      \
    R(ctp_settings_t, 0)           \
    R(uart_settings_t, 0)          \
    R(extio_settings_t, 0)         \
    R(controller_name_t, 7)        \
    R(stage_name_t, 0)             \
    R(stage_information_t, 0)      \
    R(stage_settings_t, 3)         \
    R(dc_information_t, 0)         \
    R(dc_settings_t, 0)            \
    R(step_information_t, 0)       \
    R(step_settings_t, 0)          \
    R(encoder_information_t, 0)    \
    R(encoder_settings_t, 3)       \
    R(gear_information_t, 0)       \
    R(gear_settings_t, 0)

// The records that scripts see as objects, in the order the engines register them.
#define TROV_SCRIPT_RECORDS(R)     \
    R(status_t, 8)                 \
    R(feedback_settings_t, 0)      \
    R(home_settings_t, 0)          \
    R(move_settings_t, 0)          \
    R(engine_settings_t, 0)        \
    R(entype_settings_t, 0)        \
    R(power_settings_t, 0)         \
    R(secure_settings_t, 0)        \
    R(edges_settings_t, 0)         \
    R(pid_settings_t, 0)           \
    R(sync_in_settings_t, 0)       \
    R(sync_out_settings_t, 0)      \
    R(extio_settings_t, 0)         \
    R(brake_settings_t, 0)         \
    R(control_settings_t, 0)       \
    R(joystick_settings_t, 0)      \
    R(ctp_settings_t, 0)           \
    R(uart_settings_t, 0)          \
    R(stage_information_t, 0)      \
    R(stage_settings_t, 3)         \
    R(dc_information_t, 0)         \
    R(dc_settings_t, 0)            \
    R(step_information_t, 0)       \
    R(step_settings_t, 0)          \
    R(encoder_information_t, 0)    \
    R(encoder_settings_t, 3)       \
    R(gear_information_t, 0)       \
    R(gear_settings_t, 0)

#endif // RECORDFIELDS_H
