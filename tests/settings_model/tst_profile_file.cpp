#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <utility>

#include "tests/support/SameMotorRecords.h"
#include "common/IniSettings.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/RecordEquality.h"
#include "settings_model/StageSettings.h"

namespace {

struct GoldenKey
{
    const char* group;
    const char* key;
    const char* value;
};

// The controller groups of the container made by goldenSettings(), as the profile format
// lays them out: every key, its group and its text in the file.
const GoldenKey golden[] = {
    {"Borders", "Border_is_encoder", "true"},
    {"Borders", "Left_border", "-1001"},
    {"Borders", "Left_border_usteps", "-3"},
    {"Borders", "Right_border", "2002"},
    {"Borders", "Right_border_usteps", "5"},
    {"Borders", "Stop_at_left_border", "false"},
    {"Borders", "Stop_at_right_border", "true"},
    {"Borders", "Borders_swap_misset_detection", "false"},
    {"Borders", "Limit_switch_1_pushed_is_open", "false"},
    {"Borders", "Limit_switch_2_pushed_is_open", "true"},
    {"Borders", "Limit_switch_ender_swap", "true"},

    {"Maximum_ratings", "Low_voltage_protection", "true"},
    {"Maximum_ratings", "Low_voltage_off", "801"},
    {"Maximum_ratings", "Critical_current", "4002"},
    {"Maximum_ratings", "Critical_voltage", "5003"},
    {"Maximum_ratings", "Critical_usb_current", "455"},
    {"Maximum_ratings", "Critical_usb_voltage", "526"},
    {"Maximum_ratings", "Minimum_usb_voltage", "427"},
    {"Maximum_ratings", "Critical_temperature", "804"},
    {"Maximum_ratings", "Shutdown_on_overheat", "false"},
    {"Maximum_ratings", "H_bridge_alert", "true"},
    {"Maximum_ratings", "Alarm_on_borders_swap_misset", "false"},
    {"Maximum_ratings", "Alarm_flags_sticking", "true"},

    {"Motor_type", "type", "BRUSHLESS"},
    {"Driver_type", "type", "EXTERNAL"},

    {"Engine", "Max_voltage_enable", "true"},
    {"Engine", "Max_current_enable", "false"},
    {"Engine", "Limit_speed_enable", "true"},
    {"Engine", "Play_compensation_enable", "false"},
    {"Engine", "Rated_voltage", "1201"},
    {"Engine", "Rated_current", "602"},
    {"Engine", "Max_speed_steps", "2003"},
    {"Engine", "Max_speed_usteps", "4"},
    {"Engine", "Play_compensation", "-55"},
    {"Engine", "Reverse_enable", "true"},
    {"Engine", "Use_max_speed", "false"},
    {"Engine", "Acceleration_enable", "true"},
    {"Engine", "Steps_per_turn", "206"},
    {"Engine", "Microstep_mode", "9"},
    {"Engine", "Speed_steps", "1007"},
    {"Engine", "Speed_usteps", "8"},
    {"Engine", "Antiplay_speed_steps", "209"},
    {"Engine", "Antiplay_speed_usteps", "10"},
    {"Engine", "Acceleration", "2011"},
    {"Engine", "Deceleration", "4012"},
    {"Engine", "Feedback_type", "ENCODERHALL"},
    {"Engine", "Encoder_CPT", "4013"},
    {"Engine", "Encoder_reverse", "true"},

    {"Home_position", "1st_move_direction_right", "false"},
    {"Home_position", "1st_move_speed", "1514"},
    {"Home_position", "1st_move_speed_usteps", "15"},
    {"Home_position", "2nd_move_direction_right", "true"},
    {"Home_position", "2nd_move_speed", "116"},
    {"Home_position", "2nd_move_speed_usteps", "17"},
    {"Home_position", "standoff", "-118"},
    {"Home_position", "standoff_usteps", "-19"},
    {"Home_position", "use_second_phase", "false"},
    {"Home_position", "use_half_movement", "true"},
    {"Home_position", "first_stop_after", "SYN"},
    {"Home_position", "second_stop_after", "LIM"},

    {"PID_control", "Current_Kp", "20"},
    {"PID_control", "Current_Ki", "21"},
    {"PID_control", "Current_Kd", "22"},
    {"PID_control", "Voltage_Kp", "23"},
    {"PID_control", "Voltage_Ki", "24"},
    {"PID_control", "Voltage_Kd", "25"},
    {"PID_control", "Speed_Kp", "26"},
    {"PID_control", "Speed_Ki", "27"},
    {"PID_control", "Speed_Kd", "28"},
    {"PID_control", "Position_Kp", "29"},
    {"PID_control", "Position_Ki", "30"},
    {"PID_control", "Position_Kd", "31"},

    {"TTL_sync", "Clutter_time", "2032"},
    {"TTL_sync", "Position", "-33"},
    {"TTL_sync", "uPosition", "-34"},
    {"TTL_sync", "Speed", "535"},
    {"TTL_sync", "uSpeed", "36"},
    {"TTL_sync", "Syncin_enabled", "true"},
    {"TTL_sync", "Syncin_invert", "false"},
    {"TTL_sync", "Syncin_gotoposition", "true"},
    {"TTL_sync", "Syncout_enabled", "false"},
    {"TTL_sync", "Syncout_fixed_is_high", "true"},
    {"TTL_sync", "Syncout_invert", "false"},
    {"TTL_sync", "Syncout_count_in_steps", "true"},
    {"TTL_sync", "Syncout_onstart_enabled", "false"},
    {"TTL_sync", "Syncout_onstop_enabled", "true"},
    {"TTL_sync", "Syncout_onperiod_enabled", "false"},
    {"TTL_sync", "Syncout_pulse_steps", "137"},
    {"TTL_sync", "Syncout_period", "2038"},

    {"Uart", "Speed", "115200"},
    {"Uart", "Use_parity", "true"},
    {"Uart", "Parity_type", "MARK"},
    {"Uart", "One_stop_bit", "false"},

    {"Extio", "Extio_as_output", "false"},
    {"Extio", "Extio_invert", "true"},
    {"Extio", "Mode_in", "IN_MOVR"},
    {"Extio", "Mode_out", "OUT_MOTOR_FOUND"},

    {"Power", "Hold_current", "61"},
    {"Power", "Current_reduction_delay", "1502"},
    {"Power", "Power_off_delay", "63"},
    {"Power", "Current_set_time", "304"},
    {"Power", "Current_reduction_enabled", "false"},
    {"Power", "Power_off_enabled", "true"},
    {"Power", "Smooth_current_enabled", "false"},

    {"Brake", "Brake_enabled", "true"},
    {"Brake", "Power_off_enabled", "false"},
    {"Brake", "t1", "301"},
    {"Brake", "t2", "502"},
    {"Brake", "t3", "303"},
    {"Brake", "t4", "404"},

    {"Control", "Joy_low_end", "11"},
    {"Control", "Joy_center", "5012"},
    {"Control", "Joy_high_end", "9913"},
    {"Control", "Exp_factor", "114"},
    {"Control", "Dead_zone", "55"},
    {"Control", "Joystick_reverse", "true"},
    {"Control", "timeout_1", "1000"},
    {"Control", "timeout_2", "1001"},
    {"Control", "timeout_3", "1002"},
    {"Control", "timeout_4", "1003"},
    {"Control", "timeout_5", "1004"},
    {"Control", "timeout_6", "1005"},
    {"Control", "timeout_7", "1006"},
    {"Control", "timeout_8", "1007"},
    {"Control", "timeout_9", "1008"},
    {"Control", "speed_1_steps", "100"},
    {"Control", "speed_1_usteps", "0"},
    {"Control", "speed_2_steps", "200"},
    {"Control", "speed_2_usteps", "1"},
    {"Control", "speed_3_steps", "300"},
    {"Control", "speed_3_usteps", "2"},
    {"Control", "speed_4_steps", "400"},
    {"Control", "speed_4_usteps", "3"},
    {"Control", "speed_5_steps", "500"},
    {"Control", "speed_5_usteps", "4"},
    {"Control", "speed_6_steps", "600"},
    {"Control", "speed_6_usteps", "5"},
    {"Control", "speed_7_steps", "700"},
    {"Control", "speed_7_usteps", "6"},
    {"Control", "speed_8_steps", "800"},
    {"Control", "speed_8_usteps", "7"},
    {"Control", "speed_9_steps", "900"},
    {"Control", "speed_9_usteps", "8"},
    {"Control", "speed_10_steps", "1000"},
    {"Control", "speed_10_usteps", "9"},
    {"Control", "control_mode", "LR"},
    {"Control", "left_button_pushed", "false"},
    {"Control", "right_button_pushed", "true"},

    {"Control_position", "Position_control_enabled", "true"},
    {"Control_position", "Alarm_on_error_enabled", "false"},
    {"Control_position", "Rev_sens_inv_enabled", "true"},
    {"Control_position", "Based_on_rev_sens", "false"},
    {"Control_position", "Min_error", "3"},

    {"Controller_name", "Name", "Axis X"},
};

MotorSettings goldenSettings()
{
    MotorSettings s(nullptr, nullptr);
    s.edges = {BORDER_IS_ENCODER | BORDER_STOP_RIGHT, ENDER_SWAP | ENDER_SW2_ACTIVE_LOW, -1001, -3, 2002, 5};
    s.secure = {801, 4002, 5003, 804, 455, 526, 427, LOW_UPWR_PROTECTION | H_BRIDGE_ALERT | ALARM_FLAGS_STICKING};
    s.entype = {ENGINE_TYPE_BRUSHLESS, DRIVER_TYPE_EXTERNAL};
    s.engine = {1201, 602, 2003, 4, ENGINE_LIMIT_VOLT | ENGINE_LIMIT_RPM | ENGINE_REVERSE | ENGINE_ACCEL_ON, -55, 9, 206};
    s.move = {1007, 8, 2011, 4012, 209, 10};
    s.feedback = {4013, FEEDBACK_ENCODERHALL, FEEDBACK_ENC_REVERSE};
    s.home = {1514, 15, 116, 17, -118, -19, HOME_DIR_SECOND | HOME_HALF_MV | HOME_STOP_FIRST_SYN | HOME_STOP_SECOND_LIM};
    s.pid = {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 90, 91, 92, 93, 94, 95, 96, 97, 98};
    s.syncIn = {SYNCIN_ENABLED | SYNCIN_GOTOPOSITION, 2032, -33, -34, 535, 36};
    s.syncOut = {SYNCOUT_STATE | SYNCOUT_IN_STEPS | SYNCOUT_ONSTOP, 137, 2038};
    s.uart = {115200, UART_PARITY_BIT_USE | UART_PARITY_BIT_MARK};
    s.extio = {EXTIO_SETUP_INVERT, EXTIO_SETUP_MODE_IN_MOVR | EXTIO_SETUP_MODE_OUT_MOTOR_FOUND};
    s.power = {61, 1502, 63, 304, POWER_OFF_ENABLED};
    s.brake = {301, 502, 303, 404, BRAKE_ENABLED};
    s.joystick = {11, 5012, 9913, 114, 55, JOY_REVERSE};
    for (uint32_t i = 0; i < 10; ++i) {
        s.control.MaxSpeed[i] = 100 * (i + 1);
        s.control.uMaxSpeed[i] = i;
    }
    for (uint32_t i = 0; i < 9; ++i)
        s.control.Timeout[i] = 1000 + i;
    s.control.deprecated = 77;
    s.control.Flags = CONTROL_MODE_LR | CONTROL_BTN_RIGHT_PUSHED_OPEN;
    s.ctp = {3, CTP_ENABLED | REV_SENS_INV};
    std::strcpy(s.controllerName.ControllerName, "Axis X");
    return s;
}

// The groups and keys of an INI file as text, read without QSettings.
std::map<std::pair<QString, QString>, QString> rawKeys(const QString& path)
{
    std::map<std::pair<QString, QString>, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    QString group;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2);
        } else if (line.contains('=')) {
            const int at = line.indexOf('=');
            keys[{group, line.left(at).trimmed()}] = line.mid(at + 1).trimmed();
        }
    }
    return keys;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QStringList reportLines(const QString& report)
{
    return report.split('\n', Qt::SkipEmptyParts);
}

// Random texts of ASCII and multi-byte characters that fit the field whole.
template <size_t N>
void randomText(QRandomGenerator& random, char (&field)[N])
{
    static const QString alphabet = QString::fromUtf8("abcXYZ019 _-.,;=\"\\#[]/@%äöüßΩЖ中文€😀");
    QByteArray bytes;
    const int length = random.bounded(static_cast<int>(N));
    for (int i = 0; i < length; ++i) {
        const int at = random.bounded(alphabet.size());
        QString character = alphabet.mid(at, 1);
        if (alphabet.at(at).isHighSurrogate())
            character = alphabet.mid(at, 2);
        else if (alphabet.at(at).isLowSurrogate())
            continue;
        const QByteArray utf8 = character.toUtf8();
        if (bytes.size() + utf8.size() > static_cast<int>(N) - 1)
            break;
        bytes += utf8;
    }
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), static_cast<size_t>(bytes.size()));
}

uint32_t pick(QRandomGenerator& random, std::initializer_list<uint32_t> values)
{
    return *(values.begin() + random.bounded(static_cast<int>(values.size())));
}

// A container that the file can carry whole: flag words with their named bits only and enum
// values that have names.
MotorSettings randomSettings(QRandomGenerator& random)
{
    MotorSettings s(nullptr, nullptr);
    auto fillAll = [&](void* record, size_t size) {
        for (size_t i = 0; i < size; ++i)
            static_cast<unsigned char*>(record)[i] = static_cast<unsigned char>(random.generate());
    };
    fillAll(&s.engine, sizeof s.engine);
    fillAll(&s.pid, sizeof s.pid);
    fillAll(&s.syncIn, sizeof s.syncIn);
    fillAll(&s.syncOut, sizeof s.syncOut);
    fillAll(&s.edges, sizeof s.edges);
    fillAll(&s.secure, sizeof s.secure);
    fillAll(&s.move, sizeof s.move);
    fillAll(&s.feedback, sizeof s.feedback);
    fillAll(&s.home, sizeof s.home);
    fillAll(&s.power, sizeof s.power);
    fillAll(&s.brake, sizeof s.brake);
    fillAll(&s.control, sizeof s.control);
    fillAll(&s.joystick, sizeof s.joystick);
    fillAll(&s.ctp, sizeof s.ctp);
    fillAll(&s.uart, sizeof s.uart);
    s.engine.EngineFlags &= 0xFDu;
    s.entype = {pick(random, {1, 2, 3, 5}), pick(random, {1, 2, 3})};
    s.feedback.FeedbackType = random.bounded(6u);
    s.feedback.FeedbackFlags &= 0x1u;
    s.edges.BorderFlags &= 0xFu;
    s.edges.EnderFlags &= 0x7u;
    s.secure.Flags &= 0x1Fu;
    // A stop of 0 has no name and leaves its key out, which the load reports.
    s.home.HomeFlags = (s.home.HomeFlags & 0x0Fu) | pick(random, {0x10, 0x20, 0x30}) | pick(random, {0x40, 0x80, 0xC0});
    s.syncIn.SyncInFlags &= 0x7u;
    s.syncOut.SyncOutFlags &= 0x7Fu;
    s.uart.UARTSetupFlags &= 0xFu;
    s.extio = {random.bounded(4u), pick(random, {0, 1, 2, 3, 4}) | pick(random, {0, 0x10, 0x20, 0x30, 0x40, 0x50})};
    s.power.PowerFlags &= 0x7u;
    s.brake.BrakeFlags &= 0x3u;
    s.control.Flags = pick(random, {0, 1, 2}) | (s.control.Flags & 0xCu);
    s.joystick.JoyFlags &= 0x1u;
    s.ctp.CTPFlags &= 0xFu;
    randomText(random, s.controllerName.ControllerName);
    return s;
}

float randomFigure(QRandomGenerator& random)
{
    const double mantissa = random.generateDouble() * 2.0 - 1.0;
    return static_cast<float>(std::ldexp(mantissa, random.bounded(-30, 30)));
}

StageSettings randomStage(QRandomGenerator& random)
{
    StageSettings s(nullptr, nullptr);
    randomText(random, s.stageName.PositionerName);
    for (auto* info : {reinterpret_cast<stage_information_t*>(&s.stageInformation),
                       reinterpret_cast<stage_information_t*>(&s.dcInformation),
                       reinterpret_cast<stage_information_t*>(&s.stepInformation),
                       reinterpret_cast<stage_information_t*>(&s.encoderInformation),
                       reinterpret_cast<stage_information_t*>(&s.gearInformation)}) {
        randomText(random, info->Manufacturer);
        randomText(random, info->Series);
        randomText(random, info->ArticleNumber);
        randomText(random, info->Description);
    }
    for (float* f : {&s.stageSettings.LeadScrewPitch, &s.stageSettings.MaxSpeed, &s.stageSettings.TravelRange,
                     &s.stageSettings.SupplyVoltage1, &s.stageSettings.VerticalLoadCapacity,
                     &s.dcSettings.NominalVoltage, &s.dcSettings.RotorInertia, &s.dcSettings.SpeedTorqueGradient,
                     &s.stepSettings.HoldingTorque, &s.stepSettings.MaxSpeed, &s.encoderSettings.SupplyVoltage2,
                     &s.encoderSettings.MaxOperatingFrequency, &s.gearSettings.MaxContinuousTorque,
                     &s.gearSettings.MaxInputSpeed})
        *f = randomFigure(random);
    randomText(random, s.stageSettings.Units);
    randomText(random, s.encoderSettings.OutputType);
    s.gearSettings.Reduction1 = random.generate();
    s.gearSettings.Reduction2 = random.generate();
    return s;
}

bool nearFigure(float a, float b)
{
    return a == b || std::fabs(a - b) <= 5e-6f * std::fmax(std::fabs(a), std::fabs(b));
}

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        path = dir.filePath(QStringLiteral("profile%1.cfg").arg(++fileNumber));
    }

    void writesTheGoldenKeys()
    {
        const MotorSettings settings = goldenSettings();
        {
            IniSettings file(path);
            QVERIFY(settings.saveToFile(file));
        }
        const auto keys = rawKeys(path);
        QCOMPARE(sizeof(golden) / sizeof(golden[0]), size_t(154));
        QCOMPARE(keys.size(), size_t(154));
        for (const GoldenKey& expected : golden) {
            const auto found = keys.find({QString::fromLatin1(expected.group), QString::fromLatin1(expected.key)});
            QVERIFY2(found != keys.end(), expected.key);
            QCOMPARE(found->second, QString::fromLatin1(expected.value));
        }

        MotorSettings loaded(nullptr, nullptr);
        IniSettings file(path);
        QString report;
        loaded.loadFromFile(file, report);
        QCOMPARE(report, QString());
        QVERIFY(sameMotorRecords(loaded, settings));
        QCOMPARE(loaded.pid.kpe1, 0u);         // not in the file
        QCOMPARE(loaded.control.deprecated, 0u);
    }

    void randomContainersSurviveTheRoundTrip()
    {
        QRandomGenerator random(20240611);
        for (int round = 0; round < 300; ++round) {
            const MotorSettings original = randomSettings(random);
            MotorSettings loaded = randomSettings(random);
            const QString file = dir.filePath(QStringLiteral("round%1.cfg").arg(round % 7));
            {
                IniSettings store(file);
                QVERIFY(original.saveToFile(store));
            }
            IniSettings store(file);
            QString report;
            loaded.loadFromFile(store, report);
            QVERIFY2(report.isEmpty(), qPrintable(report));
            QVERIFY2(sameMotorRecords(loaded, original), qPrintable(QString("round %1").arg(round)));
        }
    }

    void randomStagesSurviveTheRoundTrip()
    {
        QRandomGenerator random(77);
        for (int round = 0; round < 200; ++round) {
            const StageSettings original = randomStage(random);
            StageSettings loaded = randomStage(random);
            {
                IniSettings store(path);
                QVERIFY(original.saveToFile(store));
            }
            IniSettings store(path);
            QString report;
            loaded.loadFromFile(store, report);
            QVERIFY2(report.isEmpty(), qPrintable(report));
            QVERIFY(isEqual(loaded.stageName, original.stageName));
            QVERIFY(isEqual(loaded.stageInformation, original.stageInformation));
            QVERIFY(isEqual(loaded.gearInformation, original.gearInformation));
            QVERIFY(isEqual(loaded.encoderInformation, original.encoderInformation));
            QCOMPARE(QByteArray(loaded.stageSettings.Units), QByteArray(original.stageSettings.Units));
            QCOMPARE(QByteArray(loaded.encoderSettings.OutputType), QByteArray(original.encoderSettings.OutputType));
            QCOMPARE(loaded.gearSettings.Reduction2, original.gearSettings.Reduction2);
            QVERIFY(nearFigure(loaded.stageSettings.TravelRange, original.stageSettings.TravelRange));
            QVERIFY(nearFigure(loaded.dcSettings.SpeedTorqueGradient, original.dcSettings.SpeedTorqueGradient));
            QVERIFY(nearFigure(loaded.gearSettings.MaxInputSpeed, original.gearSettings.MaxInputSpeed));
            for (bool valid : loaded.valid)
                QVERIFY(valid);
        }
    }

    void savingTwiceLeavesNoStaleValue()
    {
        MotorSettings first = goldenSettings();
        first.home.HomeFlags = HOME_STOP_FIRST_LIM | HOME_STOP_SECOND_REV;
        {
            IniSettings store(path);
            QVERIFY(first.saveToFile(store));
        }
        MotorSettings second = goldenSettings();
        second.entype.EngineType = ENGINE_TYPE_NONE;
        second.home.HomeFlags = HOME_DIR_FIRST | HOME_MV_SEC_EN | HOME_STOP_SECOND_REV;  // 0x45
        second.control.Flags = 0x3;  // a control mode without a name
        {
            IniSettings store(path);
            QVERIFY(second.saveToFile(store));
        }
        const auto keys = rawKeys(path);
        QVERIFY(keys.count({"Motor_type", "type"}) == 0);
        QVERIFY(keys.count({"Home_position", "first_stop_after"}) == 0);
        QVERIFY(keys.count({"Control", "control_mode"}) == 0);
        QCOMPARE(keys.at({"Home_position", "second_stop_after"}), QString("REV"));
        QCOMPARE(keys.at({"Home_position", "1st_move_direction_right"}), QString("true"));
        QCOMPARE(keys.at({"Home_position", "use_second_phase"}), QString("true"));

        MotorSettings loaded = goldenSettings();
        IniSettings store(path);
        QString report;
        loaded.loadFromFile(store, report);
        QCOMPARE(reportLines(report),
                 QStringList({"type key not found", "first_stop_after key not found", "control_mode key not found"}));
        QCOMPARE(loaded.entype.EngineType, uint32_t(ENGINE_TYPE_BRUSHLESS));  // kept
        QCOMPARE(loaded.home.HomeFlags, 0x45u);
        QCOMPARE(loaded.control.Flags & CONTROL_MODE_BITS, 0u);
    }

    void aFailedSaveIsReported()
    {
        writeFile(dir.filePath("plain"), "not a folder");
        IniSettings store(dir.filePath("plain/profile.cfg"));
        QVERIFY(!goldenSettings().saveToFile(store));
        StageSettings stage(nullptr, nullptr);
        QVERIFY(!stage.saveToFile(store));

        // A malformed file that is written over whole is a success.
        writeFile(path, "[Borders\nLeft_border=1\n\x01\x02garbage\n");
        IniSettings over(path);
        over.value("Borders/Left_border");
        QVERIFY(goldenSettings().saveToFile(over));
        QCOMPARE(rawKeys(path).at({"Borders", "Left_border"}), QString("-1001"));
    }

    void flagWordsClearedOrKeptAsTheGroupsSay()
    {
        // Every key missing in its group: cleared words lose their bits, the others keep theirs.
        writeFile(path,
                  "[Borders]\nx=1\n[Maximum_ratings]\nx=1\n[Engine]\nx=1\n[Home_position]\nx=1\n[TTL_sync]\n"
                  "x=1\n[Uart]\nx=1\n[Extio]\nx=1\n[Power]\nx=1\n[Brake]\nx=1\n[Control]\nx=1\n"
                  "[Control_position]\nx=1\n");
        MotorSettings settings(nullptr, nullptr);
        const uint32_t all = 0xFFFFFFFFu;
        settings.edges.BorderFlags = settings.edges.EnderFlags = all;
        settings.secure.Flags = settings.engine.EngineFlags = settings.feedback.FeedbackFlags = all;
        settings.home.HomeFlags = settings.syncIn.SyncInFlags = settings.syncOut.SyncOutFlags = all;
        settings.joystick.JoyFlags = all;
        settings.uart.UARTSetupFlags = settings.extio.EXTIOSetupFlags = settings.extio.EXTIOModeFlags = all;
        settings.power.PowerFlags = settings.brake.BrakeFlags = settings.ctp.CTPFlags = settings.control.Flags = all;
        settings.entype.EngineType = 3;
        settings.feedback.FeedbackType = 4;
        IniSettings store(path);
        QString report;
        settings.loadFromFile(store, report);
        QCOMPARE(reportLines(report).size(), 154);
        QCOMPARE(settings.edges.BorderFlags, 0u);
        QCOMPARE(settings.edges.EnderFlags, 0u);
        QCOMPARE(settings.secure.Flags, 0u);
        QCOMPARE(settings.engine.EngineFlags, 0u);
        QCOMPARE(settings.feedback.FeedbackFlags, 0u);
        QCOMPARE(settings.home.HomeFlags, 0u);
        QCOMPARE(settings.syncIn.SyncInFlags, 0u);
        QCOMPARE(settings.syncOut.SyncOutFlags, 0u);
        QCOMPARE(settings.joystick.JoyFlags, 0u);
        // Masked enums take 0 for a missing key; other bits stay.
        QCOMPARE(settings.uart.UARTSetupFlags, all & ~uint32_t(UART_PARITY_BITS));
        QCOMPARE(settings.extio.EXTIOModeFlags, all & ~0x7Fu);
        QCOMPARE(settings.control.Flags, all & ~uint32_t(CONTROL_MODE_BITS));
        QCOMPARE(settings.extio.EXTIOSetupFlags, all);
        QCOMPARE(settings.power.PowerFlags, all);
        QCOMPARE(settings.brake.BrakeFlags, all);
        QCOMPARE(settings.ctp.CTPFlags, all);
        QCOMPARE(settings.entype.EngineType, 3u);
        QCOMPARE(settings.feedback.FeedbackType, 4u);
        // The reader takes One_stop_bit before Parity_type.
        const QStringList lines = reportLines(report);
        const int useParity = lines.indexOf("Use_parity key not found");
        QCOMPARE(lines.mid(useParity, 3),
                 QStringList({"Use_parity key not found", "One_stop_bit key not found", "Parity_type key not found"}));
    }

    void maskedEnumsReplaceOnlyTheirBits()
    {
        writeFile(path,
                  "[Uart]\nParity_type=SPACE\n[Extio]\nMode_in=IN_HOME\nMode_out=OUT_MOVING\n"
                  "[Home_position]\nsecond_stop_after=SYN\nfirst_stop_after=REV\n[Control]\ncontrol_mode=JOY\n");
        MotorSettings settings(nullptr, nullptr);
        settings.uart.UARTSetupFlags = 0xF0 | UART_PARITY_BIT_ODD;
        settings.extio.EXTIOModeFlags = 0xFF00 | 0x80;
        settings.control.Flags = 0xF0 | CONTROL_MODE_LR;
        IniSettings store(path);
        QString report;
        settings.loadFromFile(store, report);
        QCOMPARE(settings.uart.UARTSetupFlags, 0xF0u | UART_PARITY_BIT_SPACE);
        QCOMPARE(settings.extio.EXTIOModeFlags, 0xFF80u | 0x24u);
        QCOMPARE(settings.home.HomeFlags, uint32_t(HOME_STOP_FIRST_REV | HOME_STOP_SECOND_SYN));
        QCOMPARE(settings.control.Flags, 0xF0u | CONTROL_MODE_JOY);
    }

    void unknownNamesAndNumbersLeaveTheFieldAlone()
    {
        writeFile(path,
                  "[Engine]\nFeedback_type=encoder\nRated_voltage=12x\nRated_current=4294967296\n"
                  "Play_compensation=-2147483649\nMax_speed_steps=-1\nSteps_per_turn=\n"
                  "Microstep_mode=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\aQString\\0\\0\\0\\x2\\0\\x31)\n"
                  "Speed_steps=@Invalid()\nReverse_enable=maybe\nAcceleration=\"1,2\"\n"
                  "[Motor_type]\ntype=step\n[Borders]\nLeft_border=-2147483648\nRight_border=2147483647\n"
                  "[Uart]\nParity_type=odd\n");
        MotorSettings settings = goldenSettings();
        settings.engine.EngineFlags = ENGINE_REVERSE;
        IniSettings store(path);
        QString report;
        settings.loadFromFile(store, report);
        const QStringList lines = reportLines(report);
        for (const char* unknown : {"Feedback_type", "Rated_voltage", "Rated_current", "Play_compensation",
                                    "Max_speed_steps", "Steps_per_turn", "Microstep_mode", "Speed_steps", "Reverse_enable",
                                    "Acceleration", "type"})
            QVERIFY2(lines.contains(QString(unknown) + " key unknown parameter"), unknown);
        const MotorSettings golden = goldenSettings();
        QCOMPARE(settings.feedback.FeedbackType, golden.feedback.FeedbackType);
        QCOMPARE(settings.engine.NomVoltage, golden.engine.NomVoltage);
        QCOMPARE(settings.engine.NomCurrent, golden.engine.NomCurrent);
        QCOMPARE(settings.engine.Antiplay, golden.engine.Antiplay);
        QCOMPARE(settings.engine.NomSpeed, golden.engine.NomSpeed);
        QCOMPARE(settings.engine.StepsPerRev, golden.engine.StepsPerRev);
        QCOMPARE(settings.move.Speed, golden.move.Speed);
        QCOMPARE(settings.move.Accel, golden.move.Accel);
        QCOMPARE(settings.entype.EngineType, golden.entype.EngineType);
        QCOMPARE(settings.engine.MicrostepMode, golden.engine.MicrostepMode);  // serialized data reads as text
        QCOMPARE(settings.engine.EngineFlags & ENGINE_REVERSE, 0u);  // cleared with its group
        QCOMPARE(settings.edges.LeftBorder, -2147483647 - 1);
        QCOMPARE(settings.edges.RightBorder, 2147483647);
        // An unknown masked name reads as 0, reported.
        QCOMPARE(settings.uart.UARTSetupFlags & UART_PARITY_BITS, 0u);
        QVERIFY(lines.contains("Parity_type key unknown parameter"));
    }

    void aFileWithoutControllerGroupsChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\xFF\xFE\x01[\x80]\x00=\x01", 11);
        QTest::newRow("program groups only") << QByteArray("[Cyclic]\nCyclic_type=1\n[Log_setup]\nx=1\n");
        QTest::newRow("wrong case") << QByteArray("[borders]\nLeft_border=5\n[ENGINE]\nRated_voltage=1\n");
        QTest::newRow("huge line") << QByteArray(4 << 20, 'x');
        QTest::newRow("keys at the top") << QByteArray("Left_border=5\nName=abc\n");
    }

    void aFileWithoutControllerGroupsChangesNothing()
    {
        QFETCH(QByteArray, content);
        writeFile(path, content);
        MotorSettings settings = goldenSettings();
        IniSettings store(path);
        QString report;
        settings.loadFromFile(store, report);
        QCOMPARE(report, QString("No controller settings groups found in the file\n"));
        QVERIFY(sameMotorRecords(settings, goldenSettings()));
        for (bool valid : settings.valid)
            QVERIFY(!valid);

        StageSettings stage(nullptr, nullptr);
        std::strcpy(stage.stageName.PositionerName, "kept");
        QString stageReport;
        stage.loadFromFile(store, stageReport);
        QCOMPARE(stageReport, QString("No positioner settings groups found in the file\n"));
        QCOMPARE(QByteArray(stage.stageName.PositionerName), QByteArray("kept"));
    }

    void duplicateKeysTakeOneValue()
    {
        writeFile(path, "[Borders]\nLeft_border=1\nLeft_border=2\n[Borders]\nRight_border=3\n");
        MotorSettings settings(nullptr, nullptr);
        IniSettings store(path);
        QString report;
        settings.loadFromFile(store, report);
        QVERIFY(settings.edges.LeftBorder == 1 || settings.edges.LeftBorder == 2);
        QCOMPARE(settings.edges.RightBorder, 3);
    }

    void namesAreCutOnACharacterBoundary_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("expected");
        const QString euro = QString::fromUtf8("€");  // three bytes
        QTest::newRow("16 bytes") << QString("abcdefghijklmnop") << QByteArray("abcdefghijklmnop");
        QTest::newRow("17 bytes") << QString("abcdefghijklmnopq") << QByteArray("abcdefghijklmnop");
        QTest::newRow("100 bytes") << QString(100, 'n') << QByteArray(16, 'n');
        QTest::newRow("euro across the cut") << QString("abcdefghijklmno") + euro
                                             << QByteArray("abcdefghijklmno");
        QTest::newRow("euros") << QString(6, euro.at(0)) << QString(5, euro.at(0)).toUtf8();
        QTest::newRow("emoji") << QString("ab") + QString::fromUtf8("😀😀😀😀😀")
                               << (QString("ab") + QString::fromUtf8("😀😀😀")).toUtf8();
        QTest::newRow("empty") << QString() << QByteArray();
    }

    void namesAreCutOnACharacterBoundary()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, expected);
        {
            IniSettings store(path);
            store.setValue("Controller_name/Name", name);
            store.setValue("Stage/Positioner_name", name);
        }
        MotorSettings settings(nullptr, nullptr);
        std::memset(settings.controllerName.ControllerName, 'x', sizeof settings.controllerName.ControllerName);
        StageSettings stage(nullptr, nullptr);
        IniSettings store(path);
        QString report;
        settings.loadFromFile(store, report);
        stage.loadFromFile(store, report);
        QVERIFY(!report.contains("Name key"));
        QCOMPARE(QByteArray(settings.controllerName.ControllerName), expected);
        QCOMPARE(QByteArray(stage.stageName.PositionerName), expected);
        QVERIFY(settings.valid[MotorSettings::ControllerNameRecord] == false);  // reserved bytes unknown
        QVERIFY(stage.valid[StageSettings::StageNameRecord]);
    }

    void aTextThatFillsItsFieldIsSavedWithinIt()
    {
        MotorSettings settings(nullptr, nullptr);
        std::memset(settings.controllerName.ControllerName, 'q', sizeof settings.controllerName.ControllerName);
        {
            IniSettings store(path);
            QVERIFY(settings.saveToFile(store));
        }
        QCOMPARE(rawKeys(path).at({"Controller_name", "Name"}), QString(17, 'q'));
    }

    void aWholeProfileMakesItsRecordsValid()
    {
        {
            IniSettings store(path);
            QVERIFY(goldenSettings().saveToFile(store));
            store.remove("Power/Hold_current");
        }
        MotorSettings settings(nullptr, nullptr);
        IniSettings store(path);
        QString report;
        settings.loadFromFile(store, report);
        QCOMPARE(report, QString("Hold_current key not found\n"));
        QVERIFY(settings.valid[MotorSettings::EngineRecord]);
        QVERIFY(settings.valid[MotorSettings::EdgesRecord]);
        QVERIFY(!settings.valid[MotorSettings::PowerRecord]);
        // Fields that no profile holds keep the records from counting as the controller's.
        QVERIFY(!settings.valid[MotorSettings::PidRecord]);
        QVERIFY(!settings.valid[MotorSettings::ControlRecord]);
        QVERIFY(!settings.valid[MotorSettings::ControllerNameRecord]);
    }

    void stageFileKeepsItsKeyOrderAndReports()
    {
        writeFile(path, "[StageGear]\nReduction1=4294967295\nReduction2=-1\nMax_input_speed=nan\n"
                        "Max_continuous_torque=1e39\n");
        StageSettings stage(nullptr, nullptr);
        stage.gearSettings.Reduction2 = 9;
        stage.gearSettings.MaxInputSpeed = 2.5f;
        stage.gearSettings.MaxContinuousTorque = 3.5f;
        IniSettings store(path);
        QString report;
        stage.loadFromFile(store, report);
        QCOMPARE(stage.gearSettings.Reduction1, 4294967295u);
        QCOMPARE(stage.gearSettings.Reduction2, 9u);
        QCOMPARE(stage.gearSettings.MaxInputSpeed, 2.5f);
        QCOMPARE(stage.gearSettings.MaxContinuousTorque, 3.5f);
        const QStringList lines = reportLines(report);
        QCOMPARE(lines.size(), 58 - 1);
        QCOMPARE(lines.first(), QString("Positioner_name key not found"));
        QVERIFY(lines.contains("Reduction2 key unknown parameter"));
        QVERIFY(lines.contains("Max_input_speed key unknown parameter"));
        QVERIFY(lines.contains("Max_continuous_torque key unknown parameter"));
        QCOMPARE(lines.mid(lines.indexOf("Article_number key not found", 20), 4),
                 QStringList({"Article_number key not found", "Description key not found",
                              "Manufacturer key not found", "Series key not found"}));
    }

private:
    QTemporaryDir dir;
    QString path;
    int fileNumber = 0;
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profile_file.moc"
