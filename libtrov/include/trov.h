/*
 * trov.h: the C interface of libtrov (libtrov.so.6), the controller library of the Trov family
 * of motor controllers.
 *
 * Records are laid out by natural alignment (no packing); every size and every offset that
 * follows padding is checked at compile time, so a wrong ABI fails the build instead of
 * corrupting data. Text fields char[N] hold at most N-1 characters and a terminating zero.
 *
 * Choices of this library where the interface leaves room:
 * - set_logging_callback returns nothing; NULL switches logging off. The callback runs on the
 *   thread that made the library call, after the library has released its own locks.
 * - trov_version returns a result_t and fills at most 32 characters and a zero (33-byte buffer).
 * - get_device_name returns a const char* that stays valid until free_enumerate_devices.
 * - close_device writes -1 into *id on success; closing a lost handle releases it and returns 0.
 * - goto_firmware and has_firmware report through a uint8_t (1 = yes or done, 0 = no).
 * - controller_name_t ends in 7 reserved bytes that the library stores and returns unchanged.
 * - command_home does not reset the position counter.
 * - Microstep parts of targets may exceed the divisor; they are normalised, not refused.
 */
#ifndef TROV_H
#define TROV_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(TROV_BUILDING_LIBRARY)
#define TROV_API __attribute__((visibility("default")))
#else
#define TROV_API
#endif

#ifdef __cplusplus
#define TROV_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define TROV_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ---------------------------------------------------------------- scalar types */

typedef int result_t;
typedef int device_t;
typedef void* enumeration_handle_t;
typedef void (*logging_callback_t)(int loglevel, const wchar_t* message);

#define result_ok 0
#define result_error (-1)
#define result_not_implemented (-2)
#define result_value_error (-3)
#define result_nodevice (-4)

/* ---------------------------------------------------------------- state records */

typedef struct status_t {
    uint32_t MoveSts;
    uint32_t MvCmdSts;
    uint32_t PWRSts;
    uint32_t EncSts;
    uint32_t WindSts;
    int32_t CurPosition;
    int32_t uCurPosition;
    int64_t EncPosition;
    int32_t CurSpeed;
    int32_t uCurSpeed;
    int32_t Ipwr;
    int32_t Upwr;
    int32_t Iusb;
    int32_t Uusb;
    int32_t curT;
    uint32_t Flags;
    uint32_t GPIOFlags;
} status_t;

typedef struct chart_data_t {
    int32_t WindingVoltageA;
    int32_t WindingVoltageB;
    int32_t WindingVoltageC;
    int32_t WindingCurrentA;
    int32_t WindingCurrentB;
    int32_t WindingCurrentC;
    uint32_t Pot;
    uint32_t Joy;
} chart_data_t;

typedef struct analog_data_t {
    uint32_t A1Voltage_ADC;
    uint32_t A2Voltage_ADC;
    uint32_t B1Voltage_ADC;
    uint32_t B2Voltage_ADC;
    uint32_t SupVoltage_ADC;
    uint32_t ACurrent_ADC;
    uint32_t BCurrent_ADC;
    uint32_t FullCurrent_ADC;
    uint32_t Temp_ADC;
    uint32_t Joy_ADC;
    uint32_t Pot_ADC;
    uint32_t L5_ADC;
    uint32_t H5_ADC;
    int32_t A1Voltage;
    int32_t A2Voltage;
    int32_t B1Voltage;
    int32_t B2Voltage;
    int32_t SupVoltage;
    int32_t ACurrent;
    int32_t BCurrent;
    int32_t FullCurrent;
    int32_t Temp;
    int32_t Joy;
    int32_t Pot;
    int32_t L5;
    int32_t H5;
    int32_t DutyCycle;
    int32_t R;
    int32_t L;
} analog_data_t;

/* ---------------------------------------------------------------- settings records */

typedef struct feedback_settings_t {
    uint32_t IPS;
    uint32_t FeedbackType;
    uint32_t FeedbackFlags;
} feedback_settings_t;

typedef struct home_settings_t {
    uint32_t FastHome;
    uint32_t uFastHome;
    uint32_t SlowHome;
    uint32_t uSlowHome;
    int32_t HomeDelta;
    int32_t uHomeDelta;
    uint32_t HomeFlags;
} home_settings_t;

typedef struct move_settings_t {
    uint32_t Speed;
    uint32_t uSpeed;
    uint32_t Accel;
    uint32_t Decel;
    uint32_t AntiplaySpeed;
    uint32_t uAntiplaySpeed;
} move_settings_t;

typedef struct engine_settings_t {
    uint32_t NomVoltage;
    uint32_t NomCurrent;
    uint32_t NomSpeed;
    uint32_t uNomSpeed;
    uint32_t EngineFlags;
    int32_t Antiplay;
    uint32_t MicrostepMode;
    uint32_t StepsPerRev;
} engine_settings_t;

typedef struct entype_settings_t {
    uint32_t EngineType;
    uint32_t DriverType;
} entype_settings_t;

typedef struct power_settings_t {
    uint32_t HoldCurrent;
    uint32_t CurrReductDelay;
    uint32_t PowerOffDelay;
    uint32_t CurrentSetTime;
    uint32_t PowerFlags;
} power_settings_t;

typedef struct secure_settings_t {
    uint32_t LowUpwrOff;
    uint32_t CriticalIpwr;
    uint32_t CriticalUpwr;
    uint32_t CriticalT;
    uint32_t CriticalIusb;
    uint32_t CriticalUusb;
    uint32_t MinimumUusb;
    uint32_t Flags;
} secure_settings_t;

typedef struct edges_settings_t {
    uint32_t BorderFlags;
    uint32_t EnderFlags;
    int32_t LeftBorder;
    int32_t uLeftBorder;
    int32_t RightBorder;
    int32_t uRightBorder;
} edges_settings_t;

typedef struct pid_settings_t {
    uint32_t KpI;
    uint32_t KiI;
    uint32_t KdI;
    uint32_t KpU;
    uint32_t KiU;
    uint32_t KdU;
    uint32_t KpSpeed;
    uint32_t KiSpeed;
    uint32_t KdSpeed;
    uint32_t KpPos;
    uint32_t KiPos;
    uint32_t KdPos;
    uint32_t kpe1;
    uint32_t kie1;
    uint32_t kde1;
    uint32_t kpe2;
    uint32_t kie2;
    uint32_t kde2;
    uint32_t kpe3;
    uint32_t kie3;
    uint32_t kde3;
} pid_settings_t;

typedef struct sync_in_settings_t {
    uint32_t SyncInFlags;
    uint32_t ClutterTime;
    int32_t Position;
    int32_t uPosition;
    uint32_t Speed;
    uint32_t uSpeed;
} sync_in_settings_t;

typedef struct sync_out_settings_t {
    uint32_t SyncOutFlags;
    uint32_t SyncOutPulseSteps;
    uint32_t SyncOutPeriod;
} sync_out_settings_t;

typedef struct extio_settings_t {
    uint32_t EXTIOSetupFlags;
    uint32_t EXTIOModeFlags; /* input mode in bits 0-3, output mode in bits 4-7 */
} extio_settings_t;

typedef struct brake_settings_t {
    uint32_t t1;
    uint32_t t2;
    uint32_t t3;
    uint32_t t4;
    uint32_t BrakeFlags;
} brake_settings_t;

typedef struct control_settings_t {
    uint32_t MaxSpeed[10];
    uint32_t uMaxSpeed[10];
    uint32_t Timeout[9];
    uint32_t deprecated;
    uint32_t Flags;
} control_settings_t;

typedef struct joystick_settings_t {
    uint32_t JoyLowEnd;
    uint32_t JoyCenter;
    uint32_t JoyHighEnd;
    uint32_t ExpFactor;
    uint32_t DeadZone;
    uint32_t JoyFlags;
} joystick_settings_t;

typedef struct ctp_settings_t {
    uint32_t CTPMinError;
    uint32_t CTPFlags;
} ctp_settings_t;

typedef struct uart_settings_t {
    uint32_t Speed;
    uint32_t UARTSetupFlags;
} uart_settings_t;

/* ---------------------------------------------------------------- positioner (stage) records */

/* The five information records share one layout but are distinct types. */
#define TROV_INFORMATION_FIELDS \
    char Manufacturer[17];      \
    char Series[33];            \
    char ArticleNumber[33];     \
    char Description[129];

typedef struct stage_information_t { TROV_INFORMATION_FIELDS } stage_information_t;
typedef struct dc_information_t { TROV_INFORMATION_FIELDS } dc_information_t;
typedef struct step_information_t { TROV_INFORMATION_FIELDS } step_information_t;
typedef struct encoder_information_t { TROV_INFORMATION_FIELDS } encoder_information_t;
typedef struct gear_information_t { TROV_INFORMATION_FIELDS } gear_information_t;

typedef struct stage_settings_t {
    float LeadScrewPitch;
    char Units[9];
    float MaxSpeed;
    float TravelRange;
    float SupplyVoltage1;
    float SupplyVoltage2;
    float MaxCurrentConsumption;
    float HorizontalLoadCapacity;
    float VerticalLoadCapacity;
} stage_settings_t;

typedef struct dc_settings_t {
    float NominalVoltage;
    float NoLoadSpeed;
    float NoLoadCurrent;
    float StallTorque;
    float MaxContinuousCurrent;
    float TerminalResistance;
    float TerminalInductance;
    float TorqueConstant;
    float SpeedConstant;
    float SpeedTorqueGradient;
    float MechanicalTimeConstant;
    float RotorInertia;
} dc_settings_t;

typedef struct step_settings_t {
    float NominalVoltage;
    float CurrentPerWinding;
    float HoldingTorque;
    float ResistancePerWinding;
    float InductancePerWinding;
    float RotorInertia;
    float MaxSpeed;
} step_settings_t;

typedef struct encoder_settings_t {
    float MaxOperatingFrequency;
    float SupplyVoltage1;
    float SupplyVoltage2;
    float MaxCurrentConsumption;
    char OutputType[65];
} encoder_settings_t;

typedef struct gear_settings_t {
    uint32_t Reduction1;
    uint32_t Reduction2;
    float MaxContinuousTorque;
    float MaxInputSpeed;
} gear_settings_t;

/* ---------------------------------------------------------------- further records */

typedef struct device_information_t {
    char Manufacturer[5];
    char ManufacturerId[3];
    char ProductDescription[9];
} device_information_t;

typedef struct controller_name_t {
    char ControllerName[17];
    uint8_t Reserved[7];
} controller_name_t;

typedef struct stage_name_t {
    char PositionerName[17];
} stage_name_t;

typedef struct calibration_coefficients_t {
    double A;
    double B;
} calibration_coefficients_t;

typedef struct get_position_t {
    int32_t Position;
    int32_t uPosition;
    int64_t EncPosition;
} get_position_t;

typedef struct set_position_t {
    int32_t Position;
    int32_t uPosition;
    int64_t EncPosition;
    uint32_t PosFlags;
} set_position_t;

typedef struct serial_number_t {
    uint32_t SN;
    uint32_t Key[32]; /* one key byte (0..255) per element */
} serial_number_t;

typedef struct debug_read_t {
    uint32_t DebugData[128];
} debug_read_t;

/* ---------------------------------------------------------------- layout checks */

#define TROV_CHECK_SIZE(type, size) TROV_STATIC_ASSERT(sizeof(type) == (size), #type " has the wrong size")
#define TROV_CHECK_OFFSET(type, field, off) \
    TROV_STATIC_ASSERT(offsetof(type, field) == (off), #type "." #field " has the wrong offset")

TROV_CHECK_SIZE(status_t, 80);
TROV_CHECK_OFFSET(status_t, uCurPosition, 24);
TROV_CHECK_OFFSET(status_t, EncPosition, 32);
TROV_CHECK_OFFSET(status_t, CurSpeed, 40);
TROV_CHECK_OFFSET(status_t, GPIOFlags, 72);
TROV_CHECK_SIZE(chart_data_t, 32);
TROV_CHECK_SIZE(analog_data_t, 116);
TROV_CHECK_OFFSET(analog_data_t, A1Voltage, 52);
TROV_CHECK_SIZE(feedback_settings_t, 12);
TROV_CHECK_SIZE(home_settings_t, 28);
TROV_CHECK_SIZE(move_settings_t, 24);
TROV_CHECK_SIZE(engine_settings_t, 32);
TROV_CHECK_SIZE(entype_settings_t, 8);
TROV_CHECK_SIZE(power_settings_t, 20);
TROV_CHECK_SIZE(secure_settings_t, 32);
TROV_CHECK_SIZE(edges_settings_t, 24);
TROV_CHECK_SIZE(pid_settings_t, 84);
TROV_CHECK_SIZE(sync_in_settings_t, 24);
TROV_CHECK_SIZE(sync_out_settings_t, 12);
TROV_CHECK_SIZE(extio_settings_t, 8);
TROV_CHECK_SIZE(brake_settings_t, 20);
TROV_CHECK_SIZE(control_settings_t, 124);
TROV_CHECK_OFFSET(control_settings_t, uMaxSpeed, 40);
TROV_CHECK_OFFSET(control_settings_t, Timeout, 80);
TROV_CHECK_OFFSET(control_settings_t, deprecated, 116);
TROV_CHECK_OFFSET(control_settings_t, Flags, 120);
TROV_CHECK_SIZE(joystick_settings_t, 24);
TROV_CHECK_SIZE(ctp_settings_t, 8);
TROV_CHECK_SIZE(uart_settings_t, 8);
TROV_CHECK_SIZE(stage_information_t, 212);
TROV_CHECK_OFFSET(stage_information_t, Series, 17);
TROV_CHECK_OFFSET(stage_information_t, ArticleNumber, 50);
TROV_CHECK_OFFSET(stage_information_t, Description, 83);
TROV_CHECK_SIZE(dc_information_t, 212);
TROV_CHECK_SIZE(step_information_t, 212);
TROV_CHECK_SIZE(encoder_information_t, 212);
TROV_CHECK_SIZE(gear_information_t, 212);
TROV_CHECK_SIZE(stage_settings_t, 44);
TROV_CHECK_OFFSET(stage_settings_t, Units, 4);
TROV_CHECK_OFFSET(stage_settings_t, MaxSpeed, 16);
TROV_CHECK_SIZE(dc_settings_t, 48);
TROV_CHECK_SIZE(step_settings_t, 28);
TROV_CHECK_SIZE(encoder_settings_t, 84);
TROV_CHECK_OFFSET(encoder_settings_t, OutputType, 16);
TROV_CHECK_SIZE(gear_settings_t, 16);
TROV_CHECK_SIZE(device_information_t, 17);
TROV_CHECK_OFFSET(device_information_t, ManufacturerId, 5);
TROV_CHECK_OFFSET(device_information_t, ProductDescription, 8);
TROV_CHECK_SIZE(controller_name_t, 24);
TROV_CHECK_SIZE(stage_name_t, 17);
TROV_CHECK_SIZE(calibration_coefficients_t, 16);
TROV_CHECK_SIZE(get_position_t, 16);
TROV_CHECK_OFFSET(get_position_t, EncPosition, 8);
TROV_CHECK_SIZE(set_position_t, 24);
TROV_CHECK_OFFSET(set_position_t, EncPosition, 8);
TROV_CHECK_OFFSET(set_position_t, PosFlags, 16);
TROV_CHECK_SIZE(serial_number_t, 132);
TROV_CHECK_SIZE(debug_read_t, 512);

/* ---------------------------------------------------------------- flag and value names (172) */

/* enumerate_devices flags */
#define ENUMERATE_PROBE 0x1
#define ENUMERATE_ALL_COM 0x2

/* status_t.MoveSts */
#define MOVE_STATE_MOVING 0x1
#define MOVE_STATE_TARGET_SPEED 0x2
#define MOVE_STATE_ANTIPLAY 0x4

/* status_t.PWRSts */
#define PWR_STATE_UNKNOWN 0
#define PWR_STATE_OFF 1
#define PWR_STATE_NORM 3
#define PWR_STATE_REDUCT 4
#define PWR_STATE_MAX 5

/* status_t.Flags */
#define STATE_CONTR 0x3f
#define STATE_ERRC 0x1
#define STATE_ERRD 0x2
#define STATE_ERRV 0x4
#define STATE_EXT_POWER 0x8
#define STATE_EEPROM_CONNECTED 0x10
#define STATE_SECUR 0x1ffc0
#define STATE_ALARM 0x40
#define STATE_CTP_ERROR 0x80
#define STATE_POWER_OVERHEAT 0x100
#define STATE_CONTROLLER_OVERHEAT 0x200
#define STATE_OVERLOAD_POWER_VOLTAGE 0x400
#define STATE_OVERLOAD_POWER_CURRENT 0x800
#define STATE_OVERLOAD_USB_VOLTAGE 0x1000
#define STATE_LOW_USB_VOLTAGE 0x2000
#define STATE_OVERLOAD_USB_CURRENT 0x4000
#define STATE_BORDERS_SWAP_MISSET 0x8000
#define STATE_LOW_POWER_VOLTAGE 0x10000

/* status_t.GPIOFlags */
#define STATE_DIG_SIGNAL 0xffff
#define STATE_RIGHT_EDGE 0x1
#define STATE_LEFT_EDGE 0x2
#define STATE_BUTTON_RIGHT 0x4
#define STATE_BUTTON_LEFT 0x8
#define STATE_GPIO_PINOUT 0x10
#define STATE_GPIO_LEVEL 0x20
#define STATE_HALL_A 0x40
#define STATE_HALL_B 0x80
#define STATE_HALL_C 0x100
#define STATE_BRAKE 0x200
#define STATE_REV_SENSOR 0x400
#define STATE_SYNC_INPUT 0x800
#define STATE_SYNC_OUTPUT 0x1000
#define STATE_ENC_A 0x2000
#define STATE_ENC_B 0x4000

/* status_t.EncSts */
#define ENC_STATE_ABSENT 0
#define ENC_STATE_UNKNOWN 1
#define ENC_STATE_MALFUNC 2
#define ENC_STATE_REVERS 3
#define ENC_STATE_OK 4

/* status_t.WindSts: winding A in the low nibble, winding B in the high nibble */
#define WIND_A_STATE_ABSENT 0
#define WIND_A_STATE_UNKNOWN 1
#define WIND_A_STATE_MALFUNC 2
#define WIND_A_STATE_OK 3
#define WIND_B_STATE_ABSENT 0
#define WIND_B_STATE_UNKNOWN 0x10
#define WIND_B_STATE_MALFUNC 0x20
#define WIND_B_STATE_OK 0x30

/* status_t.MvCmdSts */
#define MVCMD_NAME_BITS 0x3f
#define MVCMD_UKNWN 0
#define MVCMD_MOVE 1
#define MVCMD_MOVR 2
#define MVCMD_LEFT 3
#define MVCMD_RIGHT 4
#define MVCMD_STOP 5
#define MVCMD_HOME 6
#define MVCMD_LOFT 7
#define MVCMD_SSTP 8
#define MVCMD_ERROR 0x40
#define MVCMD_RUNNING 0x80

/* engine_settings_t.EngineFlags */
#define ENGINE_REVERSE 0x1
#define ENGINE_MAX_SPEED 0x4
#define ENGINE_ANTIPLAY 0x8
#define ENGINE_ACCEL_ON 0x10
#define ENGINE_LIMIT_VOLT 0x20
#define ENGINE_LIMIT_CURR 0x40
#define ENGINE_LIMIT_RPM 0x80

/* engine_settings_t.MicrostepMode: FRAC_n is n microsteps per step */
#define MICROSTEP_MODE_FULL 1
#define MICROSTEP_MODE_FRAC_2 2
#define MICROSTEP_MODE_FRAC_4 3
#define MICROSTEP_MODE_FRAC_8 4
#define MICROSTEP_MODE_FRAC_16 5
#define MICROSTEP_MODE_FRAC_32 6
#define MICROSTEP_MODE_FRAC_64 7
#define MICROSTEP_MODE_FRAC_128 8
#define MICROSTEP_MODE_FRAC_256 9

/* entype_settings_t */
#define ENGINE_TYPE_NONE 0
#define ENGINE_TYPE_DC 1
#define ENGINE_TYPE_2DC 2
#define ENGINE_TYPE_STEP 3
#define ENGINE_TYPE_BRUSHLESS 5
#define DRIVER_TYPE_DISCRETE_FET 1
#define DRIVER_TYPE_INTEGRATE 2
#define DRIVER_TYPE_EXTERNAL 3

/* power_settings_t.PowerFlags */
#define POWER_REDUCT_ENABLED 0x1
#define POWER_OFF_ENABLED 0x2
#define POWER_SMOOTH_CURRENT 0x4

/* secure_settings_t.Flags */
#define ALARM_ON_DRIVER_OVERHEATING 0x1
#define LOW_UPWR_PROTECTION 0x2
#define H_BRIDGE_ALERT 0x4
#define ALARM_ON_BORDERS_SWAP_MISSET 0x8
#define ALARM_FLAGS_STICKING 0x10

/* set_position_t.PosFlags */
#define SETPOS_IGNORE_POSITION 0x1
#define SETPOS_IGNORE_ENCODER 0x2

/* feedback_settings_t */
#define FEEDBACK_POTENTIOMETER 0
#define FEEDBACK_ENCODER 1
#define FEEDBACK_ENCODERDIFF 2
#define FEEDBACK_ENCODERHALL 3
#define FEEDBACK_EMF 4
#define FEEDBACK_NONE 5
#define FEEDBACK_ENC_REVERSE 0x1

/* sync_in_settings_t.SyncInFlags */
#define SYNCIN_ENABLED 0x1
#define SYNCIN_INVERT 0x2
#define SYNCIN_GOTOPOSITION 0x4

/* sync_out_settings_t.SyncOutFlags */
#define SYNCOUT_ENABLED 0x1
#define SYNCOUT_STATE 0x2
#define SYNCOUT_INVERT 0x4
#define SYNCOUT_IN_STEPS 0x8
#define SYNCOUT_ONSTART 0x10
#define SYNCOUT_ONSTOP 0x20
#define SYNCOUT_ONPERIOD 0x40

/* extio_settings_t */
#define EXTIO_SETUP_OUTPUT 0x1
#define EXTIO_SETUP_INVERT 0x2
#define EXTIO_SETUP_MODE_IN_NOP 0
#define EXTIO_SETUP_MODE_IN_STOP 1
#define EXTIO_SETUP_MODE_IN_PWOF 2
#define EXTIO_SETUP_MODE_IN_MOVR 3
#define EXTIO_SETUP_MODE_IN_HOME 4
#define EXTIO_SETUP_MODE_OUT_OFF 0
#define EXTIO_SETUP_MODE_OUT_ON 0x10
#define EXTIO_SETUP_MODE_OUT_MOVING 0x20
#define EXTIO_SETUP_MODE_OUT_ALARM 0x30
#define EXTIO_SETUP_MODE_OUT_MOTOR_ON 0x40
#define EXTIO_SETUP_MODE_OUT_MOTOR_FOUND 0x50

/* edges_settings_t */
#define BORDER_IS_ENCODER 0x1
#define BORDER_STOP_LEFT 0x2
#define BORDER_STOP_RIGHT 0x4
#define BORDERS_SWAP_MISSET_DETECTION 0x8
#define ENDER_SWAP 0x1
#define ENDER_SW1_ACTIVE_LOW 0x2
#define ENDER_SW2_ACTIVE_LOW 0x4

/* brake_settings_t.BrakeFlags */
#define BRAKE_ENABLED 0x1
#define BRAKE_ENG_PWROFF 0x2

/* control_settings_t.Flags */
#define CONTROL_MODE_BITS 0x3
#define CONTROL_MODE_OFF 0
#define CONTROL_MODE_JOY 1
#define CONTROL_MODE_LR 2
#define CONTROL_BTN_LEFT_PUSHED_OPEN 0x4
#define CONTROL_BTN_RIGHT_PUSHED_OPEN 0x8

/* joystick_settings_t.JoyFlags */
#define JOY_REVERSE 0x1

/* ctp_settings_t.CTPFlags */
#define CTP_ENABLED 0x1
#define CTP_BASE 0x2
#define CTP_ALARM_ON_ERROR 0x4
#define REV_SENS_INV 0x8

/* home_settings_t.HomeFlags */
#define HOME_DIR_FIRST 0x1
#define HOME_DIR_SECOND 0x2
#define HOME_MV_SEC_EN 0x4
#define HOME_HALF_MV 0x8
#define HOME_STOP_FIRST_BITS 0x30
#define HOME_STOP_FIRST_REV 0x10
#define HOME_STOP_FIRST_SYN 0x20
#define HOME_STOP_FIRST_LIM 0x30
#define HOME_STOP_SECOND_BITS 0xc0
#define HOME_STOP_SECOND_REV 0x40
#define HOME_STOP_SECOND_SYN 0x80
#define HOME_STOP_SECOND_LIM 0xc0

/* uart_settings_t.UARTSetupFlags */
#define UART_PARITY_BITS 0x3
#define UART_PARITY_BIT_EVEN 0
#define UART_PARITY_BIT_ODD 1
#define UART_PARITY_BIT_SPACE 2
#define UART_PARITY_BIT_MARK 3
#define UART_PARITY_BIT_USE 0x4
#define UART_STOP_BIT 0x8

/* ---------------------------------------------------------------- functions */

/* logging, version */
TROV_API void set_logging_callback(logging_callback_t cb);
TROV_API result_t trov_version(char* version);

/* enumeration */
TROV_API enumeration_handle_t enumerate_devices(int enumerate_flags);
TROV_API result_t free_enumerate_devices(enumeration_handle_t handle);
TROV_API int get_device_count(enumeration_handle_t handle);
TROV_API const char* get_device_name(enumeration_handle_t handle, int index);
TROV_API result_t get_enumerate_device_serial(enumeration_handle_t handle, int index, uint32_t* serial);
TROV_API result_t get_enumerate_device_information(enumeration_handle_t handle, int index,
                                                   device_information_t* info);

/* open, close */
TROV_API device_t open_device(const char* name);
TROV_API result_t close_device(device_t* id);
TROV_API result_t probe_device(const char* name);

/* settings records */
#define TROV_DECLARE_RECORD_CALLS(name)                                   \
    TROV_API result_t get_##name(device_t id, name##_t* record);          \
    TROV_API result_t set_##name(device_t id, const name##_t* record);

TROV_DECLARE_RECORD_CALLS(feedback_settings)
TROV_DECLARE_RECORD_CALLS(home_settings)
TROV_DECLARE_RECORD_CALLS(move_settings)
TROV_DECLARE_RECORD_CALLS(engine_settings)
TROV_DECLARE_RECORD_CALLS(entype_settings)
TROV_DECLARE_RECORD_CALLS(power_settings)
TROV_DECLARE_RECORD_CALLS(secure_settings)
TROV_DECLARE_RECORD_CALLS(edges_settings)
TROV_DECLARE_RECORD_CALLS(pid_settings)
TROV_DECLARE_RECORD_CALLS(sync_in_settings)
TROV_DECLARE_RECORD_CALLS(sync_out_settings)
TROV_DECLARE_RECORD_CALLS(extio_settings)
TROV_DECLARE_RECORD_CALLS(brake_settings)
TROV_DECLARE_RECORD_CALLS(control_settings)
TROV_DECLARE_RECORD_CALLS(joystick_settings)
TROV_DECLARE_RECORD_CALLS(ctp_settings)
TROV_DECLARE_RECORD_CALLS(uart_settings)

/* names, calibration */
TROV_DECLARE_RECORD_CALLS(controller_name)
TROV_DECLARE_RECORD_CALLS(stage_name)
TROV_DECLARE_RECORD_CALLS(calibration_coefficients)

/* positioner records */
TROV_DECLARE_RECORD_CALLS(stage_information)
TROV_DECLARE_RECORD_CALLS(stage_settings)
TROV_DECLARE_RECORD_CALLS(dc_information)
TROV_DECLARE_RECORD_CALLS(dc_settings)
TROV_DECLARE_RECORD_CALLS(step_information)
TROV_DECLARE_RECORD_CALLS(step_settings)
TROV_DECLARE_RECORD_CALLS(encoder_information)
TROV_DECLARE_RECORD_CALLS(encoder_settings)
TROV_DECLARE_RECORD_CALLS(gear_information)
TROV_DECLARE_RECORD_CALLS(gear_settings)

/* commands */
TROV_API result_t command_move(device_t id, int position, int uposition);
TROV_API result_t command_movr(device_t id, int delta, int udelta);
TROV_API result_t command_left(device_t id);
TROV_API result_t command_right(device_t id);
TROV_API result_t command_stop(device_t id);
TROV_API result_t command_sstp(device_t id);
TROV_API result_t command_home(device_t id);
TROV_API result_t command_loft(device_t id);
TROV_API result_t command_zero(device_t id);
TROV_API result_t command_power_off(device_t id);
TROV_API result_t command_save_settings(device_t id);
TROV_API result_t command_read_settings(device_t id);
TROV_API result_t command_eesave_settings(device_t id);
TROV_API result_t command_eeread_settings(device_t id);
TROV_API result_t command_clear_fram(device_t id);
TROV_API result_t command_reset(device_t id);
TROV_API result_t set_position(device_t id, const set_position_t* position);
TROV_API result_t get_position(device_t id, get_position_t* position);

/* state and identity */
TROV_API result_t get_status(device_t id, status_t* status);
TROV_API result_t get_chart_data(device_t id, chart_data_t* data);
TROV_API result_t get_analog_data(device_t id, analog_data_t* data);
TROV_API result_t get_device_information(device_t id, device_information_t* info);
TROV_API result_t get_serial_number(device_t id, uint32_t* serial);
TROV_API result_t get_firmware_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release);
TROV_API result_t get_bootloader_version(device_t id, uint32_t* major, uint32_t* minor, uint32_t* release);
TROV_API result_t get_debug_read(device_t id, debug_read_t* data);

/* service; the name-addressed calls need the device closed */
TROV_API result_t command_update_firmware(const char* name, const uint8_t* data, uint32_t data_size);
TROV_API result_t service_command_updf(device_t id);
TROV_API result_t set_serial_number(device_t id, const serial_number_t* serial);
TROV_API result_t write_key(const char* name, const uint8_t* key);
TROV_API result_t goto_firmware(device_t id, uint8_t* ret);
TROV_API result_t has_firmware(const char* name, uint8_t* ret);

#undef TROV_DECLARE_RECORD_CALLS

#ifdef __cplusplus
}
#endif

#endif /* TROV_H */
