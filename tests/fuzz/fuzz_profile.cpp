// Arbitrary bytes as a profile file, loaded into a controller settings container and a stage
// settings container that hold other values. Then both are saved into the same file and loaded
// back into copies of what they held before the first load: the copies must equal the loaded
// containers, so no stale or mangled value survives a save over a hostile file.
#include "tests/fuzz/FuzzInput.h"
#include "tests/support/SameMotorRecords.h"
#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/RecordEquality.h"
#include "settings_model/RecordFields.h"
#include "settings_model/StageSettings.h"

#include <QGuiApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Says which check failed: a fuzz find is read from its log.
void check(bool condition, int line = __builtin_LINE())
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_profile: the check at line %d failed\n", line);
        std::abort();
    }
}

// A text of ASCII letters; everything else a byte pattern.
template <typename T>
void fill(T& record, uint8_t seed)
{
    std::memset(&record, seed, sizeof record);
}
template <size_t N>
void fillText(char (&text)[N], char letter)
{
    std::memset(text, letter, N - 1);
    text[N - 1] = '\0';
}

MotorSettings presetMotor(std::atomic<device_t>* handle)
{
    MotorSettings s(handle, nullptr);
    fill(s.engine, 0x11);
    fill(s.entype, 0x22);
    fill(s.pid, 0x33);
    fill(s.syncIn, 0x44);
    fill(s.syncOut, 0x55);
    fill(s.edges, 0x66);
    fill(s.secure, 0x77);
    fill(s.move, 0x88);
    fill(s.feedback, 0x99);
    fill(s.home, 0x0A);
    fill(s.power, 0xBB);
    fill(s.brake, 0xCC);
    fill(s.control, 0xDD);
    s.control.Flags = 0xFFFFFFF1u;  // a control mode that has a name
    fill(s.joystick, 0xEE);
    fill(s.ctp, 0xF1);
    fill(s.uart, 0xF2);
    fill(s.extio, 0xF3);
    s.extio.EXTIOModeFlags = 0xFFFFFF21u;  // input and output modes that have names
    fill(s.controllerName, 0x01);
    fillText(s.controllerName.ControllerName, 'n');
    return s;
}

StageSettings presetStage(std::atomic<device_t>* handle)
{
    StageSettings s(handle, nullptr);
    fillText(s.stageName.PositionerName, 'p');
    fillText(s.stageInformation.Manufacturer, 'm');
    fillText(s.stageInformation.Series, 's');
    fillText(s.stageInformation.ArticleNumber, 'a');
    fillText(s.stageInformation.Description, 'd');
    std::memcpy(&s.dcInformation, &s.stageInformation, sizeof s.stageInformation);
    std::memcpy(&s.stepInformation, &s.stageInformation, sizeof s.stageInformation);
    std::memcpy(&s.encoderInformation, &s.stageInformation, sizeof s.stageInformation);
    std::memcpy(&s.gearInformation, &s.stageInformation, sizeof s.stageInformation);
    s.stageSettings.LeadScrewPitch = s.stageSettings.MaxSpeed = 1.5f;
    fillText(s.stageSettings.Units, 'u');
    s.stageSettings.TravelRange = -2.25f;
    fillText(s.encoderSettings.OutputType, 'o');
    s.gearSettings.Reduction1 = 7;
    s.gearSettings.Reduction2 = 0xFFFFFFFFu;
    return s;
}

template <size_t N>
void checkEnded(const char (&text)[N])
{
    check(strnlen(text, N) < N);
    const QByteArray bytes(text, static_cast<int>(strnlen(text, N)));
    check(QString::fromUtf8(bytes).toUtf8() == bytes);  // never a cut character
}

void checkTexts(const MotorSettings& s) { checkEnded(s.controllerName.ControllerName); }

void checkTexts(const StageSettings& s)
{
    checkEnded(s.stageName.PositionerName);
    for (const auto* info : {&s.stageInformation.Manufacturer, &s.dcInformation.Manufacturer,
                             &s.stepInformation.Manufacturer, &s.encoderInformation.Manufacturer,
                             &s.gearInformation.Manufacturer})
        checkEnded(*info);
    checkEnded(s.stageInformation.Description);
    checkEnded(s.gearInformation.Series);
    checkEnded(s.stageSettings.Units);
    checkEnded(s.encoderSettings.OutputType);
}

bool sameRecords(const MotorSettings& a, const MotorSettings& b)
{
    const size_t end = offsetof(MotorSettings, controllerName) + sizeof(controller_name_t);
    return std::memcmp(&a.engine, &b.engine, end - offsetof(MotorSettings, engine)) == 0
        && std::memcmp(a.valid, b.valid, sizeof a.valid) == 0;
}

// Floats go through six significant digits in the file.
bool near(float a, float b)
{
    const float difference = std::fabs(a - b);
    return a == b || difference <= 1e-5f * std::fmax(std::fabs(a), std::fabs(b)) || difference < 1e-37f;
}
bool near(uint32_t a, uint32_t b) { return a == b; }
template <size_t N>
bool near(const char (&a)[N], const char (&b)[N])
{
    return std::strncmp(a, b, N) == 0;
}

#define FUZZ_NEAR_FIELD(name, kind, compare) &&near(a.name, b.name)
#define FUZZ_NEAR_RECORD(type)                                 \
    bool nearRecord(const type& a, const type& b)              \
    {                                                          \
        return true TROV_FIELDS_##type(FUZZ_NEAR_FIELD);       \
    }
FUZZ_NEAR_RECORD(stage_name_t)
FUZZ_NEAR_RECORD(stage_information_t)
FUZZ_NEAR_RECORD(stage_settings_t)
FUZZ_NEAR_RECORD(dc_information_t)
FUZZ_NEAR_RECORD(dc_settings_t)
FUZZ_NEAR_RECORD(step_information_t)
FUZZ_NEAR_RECORD(step_settings_t)
FUZZ_NEAR_RECORD(encoder_information_t)
FUZZ_NEAR_RECORD(encoder_settings_t)
FUZZ_NEAR_RECORD(gear_information_t)
FUZZ_NEAR_RECORD(gear_settings_t)

bool sameStage(const StageSettings& a, const StageSettings& b)
{
    return nearRecord(a.stageName, b.stageName) && nearRecord(a.stageInformation, b.stageInformation)
        && nearRecord(a.stageSettings, b.stageSettings) && nearRecord(a.dcInformation, b.dcInformation)
        && nearRecord(a.dcSettings, b.dcSettings) && nearRecord(a.stepInformation, b.stepInformation)
        && nearRecord(a.stepSettings, b.stepSettings) && nearRecord(a.encoderInformation, b.encoderInformation)
        && nearRecord(a.encoderSettings, b.encoderSettings) && nearRecord(a.gearInformation, b.gearInformation)
        && nearRecord(a.gearSettings, b.gearSettings);
}

void checkReport(const QString& report, int keys, const QString& noGroups)
{
    if (report == noGroups)
        return;
    QStringList lines = report.split(QLatin1Char('\n'));
    check(lines.takeLast().isEmpty());
    check(lines.size() <= keys);
    for (const QString& line : lines)
        check(line.endsWith(QLatin1String(" key not found")) || line.endsWith(QLatin1String(" key unknown parameter")));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The program reads profiles inside a GUI application, and Qt's INI store turns "@Variant(...)"
    // values into whatever type they name, images and fonts included.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/fuzz_profile-XXXXXX")
                                                                      : QDir::tempPath() + QStringLiteral("/fuzz_profile-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("profile.cfg"));
    if (!writeFuzzInput(path, data, size))
        return 0;

    std::atomic<device_t> handle{-1};
    const MotorSettings motorBefore = presetMotor(&handle);
    const StageSettings stageBefore = presetStage(&handle);
    MotorSettings motor = motorBefore;
    StageSettings stage = stageBefore;
    bool motorHadGroups = false;
    bool stageHadGroups = false;
    {
        IniSettings file(path);
        QString motorReport, stageReport;
        motor.loadFromFile(file, motorReport);
        stage.loadFromFile(file, stageReport);
        checkTexts(motor);
        checkTexts(stage);
        checkReport(motorReport, 154, QStringLiteral("No controller settings groups found in the file\n"));
        checkReport(stageReport, 58, QStringLiteral("No positioner settings groups found in the file\n"));
        motorHadGroups = !motorReport.startsWith(QLatin1String("No controller settings groups"));
        stageHadGroups = !stageReport.startsWith(QLatin1String("No positioner settings groups"));
        if (!motorHadGroups)
            check(sameRecords(motor, motorBefore));
        // Nothing that the file does not hold changes.
        check(std::memcmp(&motor.pid.kpe1, &motorBefore.pid.kpe1, 9 * sizeof(uint32_t)) == 0);
        check(motor.control.deprecated == motorBefore.control.deprecated);
        check(std::memcmp(motor.controllerName.Reserved, motorBefore.controllerName.Reserved, 7) == 0);
        check((motor.uart.UARTSetupFlags & ~0xFu) == (motorBefore.uart.UARTSetupFlags & ~0xFu));
        check((motor.extio.EXTIOModeFlags & ~0x7Fu) == (motorBefore.extio.EXTIOModeFlags & ~0x7Fu));
        check((motor.control.Flags & ~0xFu) == (motorBefore.control.Flags & ~0xFu));
        check((motor.power.PowerFlags & ~0x7u) == (motorBefore.power.PowerFlags & ~0x7u));
        check(file.group().isEmpty());
    }
    {
        // Saved as the settings dialog saves a profile: over the file, through its saver. A file
        // that Qt cannot write back whole is refused and left as it was.
        const auto readFile = [](const QString& name) {
            QFile file(name);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = readFile(path);
        IniSaver saver(path);
        check(motor.saveToFile(saver.settings()));
        check(stage.saveToFile(saver.settings()));
        if (!saver.commit(nullptr)) {
            check(readFile(path) == before);
            return 0;
        }
    }
    {
        IniSettings file(path);
        MotorSettings motorAgain = motorBefore;
        StageSettings stageAgain = stageBefore;
        QString motorReport, stageReport;
        motorAgain.loadFromFile(file, motorReport);
        stageAgain.loadFromFile(file, stageReport);
        // Flag words that a group clears keep only their named bits: compare only after a load
        // that had the groups.
        if (motorHadGroups)
            check(sameMotorRecords(motorAgain, motor));
        if (stageHadGroups)
            check(sameStage(stageAgain, stage));
        // Only keys whose value has no name are left out.
        const QStringList missing = motorReport.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : missing)
            check(line == QLatin1String("type key not found") || line == QLatin1String("Feedback_type key not found")
                  || line == QLatin1String("first_stop_after key not found")
                  || line == QLatin1String("second_stop_after key not found"));
        check(stageReport.isEmpty());
    }
    return 0;
}
