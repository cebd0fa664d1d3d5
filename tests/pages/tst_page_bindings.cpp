#include <QtTest>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTextEdit>

#include <algorithm>
#include <cstring>
#include <memory>

#include "pages/ControllerPageWgt.h"
#include "pages/StagePageWgt.h"
#include "settings_model/RecordFields.h"
#include "settingsdlg/SettingsPageFactory.h"
#include "support/PageRecords.h"

// Every bound widget of every controller and stage page against the field it stands for. A
// container whose every field holds a value of its own is shown; changing one field changes
// the widgets of that field and no other, and an edit of a widget changes its own field and no
// other. A box bound to its neighbour's field (Deceleration to Accel) fails both ways.

namespace {

// One field of a container, named as "record.Field" ("record.Field[2]" for an array element).
struct Field
{
    QString name;
    size_t offset;
    size_t size;
    bool text;
};

#define BINDINGS_MOTOR_RECORDS(R)                                                                              \
    R(engine, engine_settings_t) R(entype, entype_settings_t) R(pid, pid_settings_t) R(syncIn, sync_in_settings_t) \
    R(syncOut, sync_out_settings_t) R(edges, edges_settings_t) R(secure, secure_settings_t)                       \
    R(move, move_settings_t) R(feedback, feedback_settings_t) R(home, home_settings_t)                           \
    R(power, power_settings_t) R(brake, brake_settings_t) R(control, control_settings_t)                         \
    R(joystick, joystick_settings_t) R(ctp, ctp_settings_t) R(uart, uart_settings_t) R(extio, extio_settings_t)   \
    R(controllerName, controller_name_t)
#define BINDINGS_STAGE_RECORDS(R)                                                                              \
    R(stageName, stage_name_t) R(stageInformation, stage_information_t) R(stageSettings, stage_settings_t)          \
    R(dcInformation, dc_information_t) R(dcSettings, dc_settings_t) R(stepInformation, step_information_t)        \
    R(stepSettings, step_settings_t) R(encoderInformation, encoder_information_t)                                \
    R(encoderSettings, encoder_settings_t) R(gearInformation, gear_information_t) R(gearSettings, gear_settings_t)

template <typename T>
void addField(std::vector<Field>& out, const QString& name, const T& field, const char* base)
{
    out.push_back({name, size_t(reinterpret_cast<const char*>(&field) - base), sizeof field, false});
}
template <size_t N>
void addField(std::vector<Field>& out, const QString& name, const char (&field)[N], const char* base)
{
    out.push_back({name, size_t(field - base), N, true});
}
template <size_t N>
void addField(std::vector<Field>& out, const QString& name, const uint32_t (&field)[N], const char* base)
{
    for (size_t i = 0; i < N; ++i)
        addField(out, name + QStringLiteral("[%1]").arg(i), field[i], base);
}

#define BINDINGS_FIELD(name, kind, compare) addField(out, prefix + QStringLiteral(#name), record.name, base);
#define BINDINGS_RECORD(member, type)                               \
    {                                                               \
        const auto& record = c.member;                              \
        const QString prefix = QStringLiteral(#member ".");         \
        TROV_FIELDS_##type(BINDINGS_FIELD)                          \
    }
std::vector<Field> fieldsOf(const MotorSettings& c)
{
    std::vector<Field> out;
    const char* base = reinterpret_cast<const char*>(&c);
    BINDINGS_MOTOR_RECORDS(BINDINGS_RECORD)
    return out;
}
std::vector<Field> fieldsOf(const StageSettings& c)
{
    std::vector<Field> out;
    const char* base = reinterpret_cast<const char*>(&c);
    BINDINGS_STAGE_RECORDS(BINDINGS_RECORD)
    return out;
}
#undef BINDINGS_RECORD
#undef BINDINGS_FIELD

// A value of its own in every field: small, distinct, inside most boxes' ranges.
template <typename Container>
void fillDistinct(Container& c)
{
    char* base = reinterpret_cast<char*>(&c);
    int i = 0;
    for (const Field& f : fieldsOf(c)) {
        ++i;
        if (f.text) {
            std::memset(base + f.offset, 0, f.size);
            const QByteArray word = "t" + QByteArray::number(i);
            std::memcpy(base + f.offset, word.constData(), std::min(size_t(word.size()), f.size - 1));
        } else if (f.size == 4) {
            const uint32_t value = uint32_t(3 + 2 * i);
            std::memcpy(base + f.offset, &value, 4);
        } else if (f.size == 8) {
            const int64_t value = 3 + 2 * i;
            std::memcpy(base + f.offset, &value, 8);
        }
    }
}

// The other values a field is given, one at a time, until its widget shows something else:
// steps, small codes, single bits, a few floats, and the entries' data of the page's combos.
std::vector<QByteArray> variants(const Field& f, const char* base, const std::vector<uint32_t>& entries)
{
    std::vector<QByteArray> out;
    if (f.text) {
        out.push_back(QByteArray("other").leftJustified(int(f.size), '\0', true));
        return out;
    }
    if (f.size != 4)
        return out;
    uint32_t value;
    std::memcpy(&value, base + f.offset, 4);
    std::vector<uint32_t> values = entries;
    for (uint32_t step : {1u, 10u, 100u, 1000u, 100000u})
        values.push_back(value + step);
    values.push_back(value - 1);
    for (uint32_t small = 0; small < 0x80; ++small)
        values.push_back(small);
    for (int bit = 0; bit < 32; ++bit) {
        values.push_back(1u << bit);
        values.push_back(value ^ (1u << bit));
    }
    for (float other : {1.5f, 25.0f, 1000.0f}) {
        uint32_t bits;
        std::memcpy(&bits, &other, 4);
        values.push_back(bits);
    }
    for (uint32_t v : values)
        out.push_back(QByteArray(reinterpret_cast<const char*>(&v), 4));
    return out;
}

QString stateOf(QWidget* w)
{
    if (auto* box = qobject_cast<QSpinBox*>(w))
        return box->cleanText();
    if (auto* box = qobject_cast<QDoubleSpinBox*>(w))
        return box->cleanText();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return QString::number(combo->currentIndex());
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return QString::number(button->isChecked());
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return QString::number(group->isChecked());
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* edit = qobject_cast<QTextEdit*>(w))
        return edit->toPlainText();
    return QString();
}

// One edit, whatever the widget's state: a step, a toggle, the next entry, a letter more. False
// for a widget that takes none (read-only, a checked radio button).
bool edit(QWidget* w)
{
    if (auto* box = qobject_cast<QAbstractSpinBox*>(w)) {
        if (box->isReadOnly())
            return false;
        const QString before = box->text();
        box->stepBy(1);
        if (box->text() == before)
            box->stepBy(-1);
        return box->text() != before;
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->count() < 2)
            return false;
        combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        return true;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        // A checked radio button is left only by checking another.
        if (button->isChecked() && button->autoExclusive())
            return false;
        button->setChecked(!button->isChecked());
        return true;
    }
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setChecked(!group->isChecked());
        return true;
    }
    if (auto* line = qobject_cast<QLineEdit*>(w)) {
        if (line->isReadOnly())
            return false;
        line->setText(line->text() + QStringLiteral("x"));
        return true;
    }
    if (auto* text = qobject_cast<QTextEdit*>(w)) {
        if (text->isReadOnly())
            return false;
        text->setPlainText(text->toPlainText() + QStringLiteral("x"));
        return true;
    }
    return false;
}

// Built from the factory with its records, as the settings dialog builds it.
struct BuiltPage
{
    PageRecords records;
    std::unique_ptr<QWidget> widget;
    ControllerPageWgt* controller = nullptr;
    StagePageWgt* stage = nullptr;

    explicit BuiltPage(int position) : widget(SettingsPageFactory::create(position, records.context()))
    {
        controller = qobject_cast<ControllerPageWgt*>(widget.get());
        stage = qobject_cast<StagePageWgt*>(widget.get());
        fillDistinct(records.motor);
        fillDistinct(records.stage);
        records.motor.entype.EngineType = 3;
        if (controller)
            controller->setEngineType(3);
    }
    bool bound() const { return controller || stage; }
    const FieldBinder& binder() const { return controller ? controller->fieldBinder() : stage->fieldBinder(); }
    char* base() { return controller ? reinterpret_cast<char*>(&records.motor) : reinterpret_cast<char*>(&records.stage); }
    std::vector<Field> fields() { return controller ? fieldsOf(records.motor) : fieldsOf(records.stage); }
    void show()
    {
        if (controller)
            controller->FromClassToUi();
        else
            stage->FromClassToUi();
    }
    // What the page stores into a copy of its records.
    QByteArray stored()
    {
        if (controller) {
            MotorSettings copy(records.motor);
            controller->FromUiToClass(&copy);
            return QByteArray(reinterpret_cast<const char*>(&copy), int(sizeof copy));
        }
        StageSettings copy(records.stage);
        stage->FromUiToClass(&copy);
        return QByteArray(reinterpret_cast<const char*>(&copy), int(sizeof copy));
    }
    QStringList states()
    {
        QStringList out;
        for (QWidget* w : binder().widgets())
            out << stateOf(w);
        return out;
    }
};

QString describe(QWidget* w) { return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName(); }

using P = SettingsPage;

// Each bound widget by page, in binding order, and the fields it shows.
struct Binding
{
    SettingsPage page;
    const char* widget;
    const char* fields;
};

const Binding bindings[] = {
        {P::Borders, "encoderBtn", "edges.BorderFlags"},
        {P::Borders, "switchBtn", "edges.BorderFlags"},
        {P::Borders, "stopLeftChk", "edges.BorderFlags"},
        {P::Borders, "stopRightChk", "edges.BorderFlags"},
        {P::Borders, "borderMissetChk", "edges.BorderFlags"},
        {P::Borders, "pushed1Lst", "edges.EnderFlags"},
        {P::Borders, "pushed2Lst", "edges.EnderFlags"},
        {P::Borders, "border1Lst", "edges.EnderFlags"},
        {P::Borders, "leftBorderBox", "edges.LeftBorder edges.uLeftBorder"},
        {P::Borders, "rightBorderBox", "edges.RightBorder edges.uRightBorder"},
        {P::MaximumRatings, "LowVoltageOffBox", "secure.LowUpwrOff"},
        {P::MaximumRatings, "MaxCurrentPwrBox", "secure.CriticalIpwr"},
        {P::MaximumRatings, "MaxVoltagePwrBox", "secure.CriticalUpwr"},
        {P::MaximumRatings, "MaxCurrentUsbBox", "secure.CriticalIusb"},
        {P::MaximumRatings, "MaxVoltageUsbBox", "secure.CriticalUusb"},
        {P::MaximumRatings, "MinVoltageUsbBox", "secure.MinimumUusb"},
        {P::MaximumRatings, "MaxTempBox", "secure.CriticalT"},
        {P::MaximumRatings, "overheatBox", "secure.Flags"},
        {P::MaximumRatings, "lowVoltageBox", "secure.Flags"},
        {P::MaximumRatings, "bridgeBox", "secure.Flags"},
        {P::MaximumRatings, "borderMissetBox", "secure.Flags"},
        {P::MaximumRatings, "stickyAlarmBox", "secure.Flags"},
        {P::MotorType, "dcMotorBtn", "entype.EngineType"},
        {P::MotorType, "bldcMotorBtn", "entype.EngineType"},
        {P::MotorType, "stepperMotorBtn", "entype.EngineType"},
        {P::MotorType, "discreteDriverBtn", "entype.DriverType"},
        {P::MotorType, "integrateDriverBtn", "entype.DriverType"},
        {P::MotorType, "extDriverBtn", "entype.DriverType"},
        {P::DcMotor, "voltageChk", "engine.EngineFlags"},
        {P::DcMotor, "currentChk", "engine.EngineFlags"},
        {P::DcMotor, "limitSpeedChk", "engine.EngineFlags"},
        {P::DcMotor, "playChk", "engine.EngineFlags"},
        {P::DcMotor, "reversChk", "engine.EngineFlags"},
        {P::DcMotor, "useMaxSpeedChk", "engine.EngineFlags"},
        {P::DcMotor, "accelChk", "engine.EngineFlags"},
        {P::DcMotor, "voltageBox", "engine.NomVoltage"},
        {P::DcMotor, "currentBox", "engine.NomCurrent"},
        {P::DcMotor, "rpmBox", "engine.NomSpeed"},
        {P::DcMotor, "playBox", "engine.Antiplay"},
        {P::DcMotor, "speedBox", "move.Speed"},
        {P::DcMotor, "antiplaySpeedBox", "move.AntiplaySpeed"},
        {P::DcMotor, "accelBox", "move.Accel"},
        {P::DcMotor, "decelBox", "move.Decel"},
        {P::DcMotor, "cptBox", "feedback.IPS"},
        {P::DcMotor, "encoderReverseChk", "feedback.FeedbackFlags"},
        {P::DcMotor, "potentRadio", "feedback.FeedbackType"},
        {P::DcMotor, "encoderRadio", "feedback.FeedbackType"},
        {P::BldcMotor, "voltageChk", "engine.EngineFlags"},
        {P::BldcMotor, "currentChk", "engine.EngineFlags"},
        {P::BldcMotor, "limitSpeedChk", "engine.EngineFlags"},
        {P::BldcMotor, "playChk", "engine.EngineFlags"},
        {P::BldcMotor, "reversChk", "engine.EngineFlags"},
        {P::BldcMotor, "useMaxSpeedChk", "engine.EngineFlags"},
        {P::BldcMotor, "accelChk", "engine.EngineFlags"},
        {P::BldcMotor, "voltageBox", "engine.NomVoltage"},
        {P::BldcMotor, "currentBox", "engine.NomCurrent"},
        {P::BldcMotor, "rpmBox", "engine.NomSpeed"},
        {P::BldcMotor, "playBox", "engine.Antiplay"},
        {P::BldcMotor, "speedBox", "move.Speed"},
        {P::BldcMotor, "antiplaySpeedBox", "move.AntiplaySpeed"},
        {P::BldcMotor, "accelBox", "move.Accel"},
        {P::BldcMotor, "decelBox", "move.Decel"},
        {P::BldcMotor, "cptBox", "feedback.IPS"},
        {P::BldcMotor, "encoderReverseChk", "feedback.FeedbackFlags"},
        {P::BldcMotor, "noneRadio", "feedback.FeedbackType"},
        {P::BldcMotor, "hallRadio", "feedback.FeedbackType"},
        {P::BldcMotor, "potentRadio", "feedback.FeedbackType"},
        {P::BldcMotor, "encoderRadio", "feedback.FeedbackType"},
        {P::StepperMotor, "limitSpeedChk", "engine.EngineFlags"},
        {P::StepperMotor, "playChk", "engine.EngineFlags"},
        {P::StepperMotor, "reversChk", "engine.EngineFlags"},
        {P::StepperMotor, "useMaxSpeedChk", "engine.EngineFlags"},
        {P::StepperMotor, "accelChk", "engine.EngineFlags"},
        {P::StepperMotor, "ratedCurrBox", "engine.NomCurrent"},
        {P::StepperMotor, "maxSpeedBox", "engine.NomSpeed engine.uNomSpeed engine.MicrostepMode"},
        {P::StepperMotor, "playBox", "engine.Antiplay"},
        {P::StepperMotor, "speedBox", "engine.MicrostepMode move.Speed move.uSpeed"},
        {P::StepperMotor, "antiplaySpeedBox", "engine.MicrostepMode move.AntiplaySpeed move.uAntiplaySpeed"},
        {P::StepperMotor, "accelBox", "move.Accel"},
        {P::StepperMotor, "decelBox", "move.Decel"},
        {P::StepperMotor, "stepsPerTurnBox", "engine.StepsPerRev"},
        {P::StepperMotor, "stepmodeBox", "engine.MicrostepMode"},
        {P::StepperMotor, "encoderRadio", "feedback.FeedbackType"},
        {P::StepperMotor, "potentRadio", "feedback.FeedbackType"},
        {P::StepperMotor, "feedbackNoneRadio", "feedback.FeedbackType"},
        {P::StepperMotor, "cptBox", "feedback.IPS"},
        {P::StepperMotor, "encoderReverseChk", "feedback.FeedbackFlags"},
        {P::Power, "holdCurrentSpin", "power.HoldCurrent"},
        {P::Power, "currReductDelaySpin", "power.CurrReductDelay"},
        {P::Power, "powerOffDelaySpin", "power.PowerOffDelay"},
        {P::Power, "smoothCurrentSpin", "power.CurrentSetTime"},
        {P::Power, "powerOffChk", "power.PowerFlags"},
        {P::Power, "currentReductChk", "power.PowerFlags"},
        {P::Power, "smoothCurrentChk", "power.PowerFlags"},
        {P::Brake, "brakeControlChk", "brake.BrakeFlags"},
        {P::Brake, "powerOffChk", "brake.BrakeFlags"},
        {P::Brake, "t1Spin", "brake.t1"},
        {P::Brake, "t2Spin", "brake.t2"},
        {P::Brake, "t3Spin", "brake.t3"},
        {P::Brake, "t4Spin", "brake.t4"},
        {P::Control, "modeCombo", "control.Flags"},
        {P::Control, "leftCombo", "control.Flags"},
        {P::Control, "rightCombo", "control.Flags"},
        {P::Control, "speedBox0", "control.MaxSpeed[0] control.uMaxSpeed[0]"},
        {P::Control, "speedBox1", "control.MaxSpeed[1] control.uMaxSpeed[1]"},
        {P::Control, "speedBox2", "control.MaxSpeed[2] control.uMaxSpeed[2]"},
        {P::Control, "speedBox3", "control.MaxSpeed[3] control.uMaxSpeed[3]"},
        {P::Control, "speedBox4", "control.MaxSpeed[4] control.uMaxSpeed[4]"},
        {P::Control, "speedBox5", "control.MaxSpeed[5] control.uMaxSpeed[5]"},
        {P::Control, "speedBox6", "control.MaxSpeed[6] control.uMaxSpeed[6]"},
        {P::Control, "speedBox7", "control.MaxSpeed[7] control.uMaxSpeed[7]"},
        {P::Control, "speedBox8", "control.MaxSpeed[8] control.uMaxSpeed[8]"},
        {P::Control, "speedBox9", "control.MaxSpeed[9] control.uMaxSpeed[9]"},
        {P::Control, "timeoutBox0", "control.Timeout[0]"},
        {P::Control, "timeoutBox1", "control.Timeout[1]"},
        {P::Control, "timeoutBox2", "control.Timeout[2]"},
        {P::Control, "timeoutBox3", "control.Timeout[3]"},
        {P::Control, "timeoutBox4", "control.Timeout[4]"},
        {P::Control, "timeoutBox5", "control.Timeout[5]"},
        {P::Control, "timeoutBox6", "control.Timeout[6]"},
        {P::Control, "timeoutBox7", "control.Timeout[7]"},
        {P::Control, "timeoutBox8", "control.Timeout[8]"},
        {P::Control, "lowEndSpin", "joystick.JoyLowEnd"},
        {P::Control, "centerSpin", "joystick.JoyCenter"},
        {P::Control, "highEndSpin", "joystick.JoyHighEnd"},
        {P::Control, "expFactorSpin", "joystick.ExpFactor"},
        {P::Control, "deadZoneSpin", "joystick.DeadZone"},
        {P::Control, "reverseChk", "joystick.JoyFlags"},
        {P::PositionControl, "ctpGroup", "ctp.CTPFlags"},
        {P::PositionControl, "alarmChk", "ctp.CTPFlags"},
        {P::PositionControl, "revSensInvChk", "ctp.CTPFlags"},
        {P::PositionControl, "minErrorSpin", "ctp.CTPMinError"},
        {P::PositionControl, "baseCombo", "ctp.CTPFlags"},
        {P::HomePosition, "fastSpeedBox", "home.FastHome home.uFastHome"},
        {P::HomePosition, "slowSpeedBox", "home.SlowHome home.uSlowHome"},
        {P::HomePosition, "deltaBox", "home.HomeDelta home.uHomeDelta"},
        {P::HomePosition, "dirFastBox", "home.HomeFlags"},
        {P::HomePosition, "dirBox", "home.HomeFlags"},
        {P::HomePosition, "fromEndChk", "home.HomeFlags"},
        {P::HomePosition, "halfRevChk", "home.HomeFlags"},
        {P::HomePosition, "StopCondBox", "home.HomeFlags"},
        {P::HomePosition, "StopCondBox_2", "home.HomeFlags"},
        {P::Pid, "pCurBox", "pid.KpI"},
        {P::Pid, "iCurBox", "pid.KiI"},
        {P::Pid, "dCurBox", "pid.KdI"},
        {P::Pid, "pVoltBox", "pid.KpU"},
        {P::Pid, "iVoltBox", "pid.KiU"},
        {P::Pid, "dVoltBox", "pid.KdU"},
        {P::Pid, "pSpeedBox", "pid.KpSpeed"},
        {P::Pid, "iSpeedBox", "pid.KiSpeed"},
        {P::Pid, "dSpeedBox", "pid.KdSpeed"},
        {P::Pid, "pPosBox", "pid.KpPos"},
        {P::Pid, "iPosBox", "pid.KiPos"},
        {P::Pid, "dPosBox", "pid.KdPos"},
        {P::TtlSync, "clutterTimeBox", "syncIn.ClutterTime"},
        {P::TtlSync, "syncInEnabledChk", "syncIn.SyncInFlags"},
        {P::TtlSync, "syncInInvertChk", "syncIn.SyncInFlags"},
        {P::TtlSync, "absolutePositionChk", "syncIn.SyncInFlags"},
        {P::TtlSync, "positionBox", "syncIn.Position syncIn.uPosition"},
        {P::TtlSync, "speedBox", "syncIn.Speed syncIn.uSpeed"},
        {P::TtlSync, "syncOutEnabledChk", "syncOut.SyncOutFlags"},
        {P::TtlSync, "syncOutInvertChk", "syncOut.SyncOutFlags"},
        {P::TtlSync, "pulseWidthBox", "syncOut.SyncOutPulseSteps"},
        {P::TtlSync, "pulseUnitBox", "syncOut.SyncOutFlags"},
        {P::TtlSync, "state1Radio", "syncOut.SyncOutFlags"},
        {P::TtlSync, "state0Radio", "syncOut.SyncOutFlags"},
        {P::TtlSync, "onStartChk", "syncOut.SyncOutFlags"},
        {P::TtlSync, "onStopChk", "syncOut.SyncOutFlags"},
        {P::TtlSync, "everyChk", "syncOut.SyncOutFlags"},
        {P::TtlSync, "periodBox", "syncOut.SyncOutPeriod"},
        {P::Uart, "speedCombo", "uart.Speed"},
        {P::Uart, "parityChk", "uart.UARTSetupFlags"},
        {P::Uart, "parityCombo", "uart.UARTSetupFlags"},
        {P::Uart, "stopBitsCombo", "uart.UARTSetupFlags"},
        {P::Extio, "outputChk", "extio.EXTIOSetupFlags"},
        {P::Extio, "invertChk", "extio.EXTIOSetupFlags"},
        {P::Extio, "inModeCombo", "extio.EXTIOModeFlags"},
        {P::Extio, "outModeCombo", "extio.EXTIOModeFlags"},
        {P::AboutDevice, "friendlyName", "controllerName.ControllerName"},
        {P::PositionerName, "positionerName", "stageName.PositionerName"},
        {P::Stage, "manufacturerEdit", "stageInformation.Manufacturer"},
        {P::Stage, "seriesEdit", "stageInformation.Series"},
        {P::Stage, "anumberEdit", "stageInformation.ArticleNumber"},
        {P::Stage, "descEdit", "stageInformation.Description"},
        {P::Stage, "LeadPitchSpin", "stageSettings.LeadScrewPitch"},
        {P::Stage, "unitsEdit", "stageSettings.Units"},
        {P::Stage, "maxSpeedSpin", "stageSettings.MaxSpeed"},
        {P::Stage, "travelRangeSpin", "stageSettings.TravelRange"},
        {P::Stage, "supV1Spin", "stageSettings.SupplyVoltage1"},
        {P::Stage, "supV2Spin", "stageSettings.SupplyVoltage2"},
        {P::Stage, "MaxCurrSpin", "stageSettings.MaxCurrentConsumption"},
        {P::Stage, "HLoadSpin", "stageSettings.HorizontalLoadCapacity"},
        {P::Stage, "VLoadSpin", "stageSettings.VerticalLoadCapacity"},
        {P::StageDcMotor, "manufacturerEdit", "dcInformation.Manufacturer"},
        {P::StageDcMotor, "seriesEdit", "dcInformation.Series"},
        {P::StageDcMotor, "anumEdit", "dcInformation.ArticleNumber"},
        {P::StageDcMotor, "descEdit", "dcInformation.Description"},
        {P::StageDcMotor, "nomVoltSpin", "dcSettings.NominalVoltage"},
        {P::StageDcMotor, "NoLoadSpeedSpin", "dcSettings.NoLoadSpeed"},
        {P::StageDcMotor, "NoLoadCurrSpin", "dcSettings.NoLoadCurrent"},
        {P::StageDcMotor, "StallTorqSpin", "dcSettings.StallTorque"},
        {P::StageDcMotor, "MaxContCurrSpin", "dcSettings.MaxContinuousCurrent"},
        {P::StageDcMotor, "ResistSpin", "dcSettings.TerminalResistance"},
        {P::StageDcMotor, "InductSpin", "dcSettings.TerminalInductance"},
        {P::StageDcMotor, "torqConstSpin", "dcSettings.TorqueConstant"},
        {P::StageDcMotor, "speedConstSpin", "dcSettings.SpeedConstant"},
        {P::StageDcMotor, "SpeedTorqGradSpin", "dcSettings.SpeedTorqueGradient"},
        {P::StageDcMotor, "MConstSpin", "dcSettings.MechanicalTimeConstant"},
        {P::StageDcMotor, "RInertSpin", "dcSettings.RotorInertia"},
        {P::StageStepperMotor, "manufacturerEdit", "stepInformation.Manufacturer"},
        {P::StageStepperMotor, "seriesEdit", "stepInformation.Series"},
        {P::StageStepperMotor, "anumEdit", "stepInformation.ArticleNumber"},
        {P::StageStepperMotor, "descEdit", "stepInformation.Description"},
        {P::StageStepperMotor, "nomVoltSpin", "stepSettings.NominalVoltage"},
        {P::StageStepperMotor, "currWindingSpin", "stepSettings.CurrentPerWinding"},
        {P::StageStepperMotor, "holdTorqSpin", "stepSettings.HoldingTorque"},
        {P::StageStepperMotor, "resistSpin", "stepSettings.ResistancePerWinding"},
        {P::StageStepperMotor, "inductSpin", "stepSettings.InductancePerWinding"},
        {P::StageStepperMotor, "inertiaSpin", "stepSettings.RotorInertia"},
        {P::StageStepperMotor, "maxSpeedSpin", "stepSettings.MaxSpeed"},
        {P::StageEncoder, "manufacturerEdit", "encoderInformation.Manufacturer"},
        {P::StageEncoder, "seriesEdit", "encoderInformation.Series"},
        {P::StageEncoder, "anumberEdit", "encoderInformation.ArticleNumber"},
        {P::StageEncoder, "descEdit", "encoderInformation.Description"},
        {P::StageEncoder, "MaxFreqSpin", "encoderSettings.MaxOperatingFrequency"},
        {P::StageEncoder, "supV1Spin", "encoderSettings.SupplyVoltage1"},
        {P::StageEncoder, "supV2Spin", "encoderSettings.SupplyVoltage2"},
        {P::StageEncoder, "MaxCurrSpin", "encoderSettings.MaxCurrentConsumption"},
        {P::StageEncoder, "OutTypeEdit", "encoderSettings.OutputType"},
        {P::StageGear, "manufacturerEdit", "gearInformation.Manufacturer"},
        {P::StageGear, "seriesEdit", "gearInformation.Series"},
        {P::StageGear, "anumberEdit", "gearInformation.ArticleNumber"},
        {P::StageGear, "descEdit", "gearInformation.Description"},
        {P::StageGear, "reduct1Spin", "gearSettings.Reduction1"},
        {P::StageGear, "reduct2Spin", "gearSettings.Reduction2"},
        {P::StageGear, "MaxContTorqSpin", "gearSettings.MaxContinuousTorque"},
        {P::StageGear, "MaxInSpeedSpin", "gearSettings.MaxInputSpeed"},
};

// The entries' data of the page's combos: codes a field takes that no step reaches (baud rates).
std::vector<uint32_t> entryData(QWidget* page)
{
    std::vector<uint32_t> out;
    for (QComboBox* combo : page->findChildren<QComboBox*>()) {
        for (int i = 0; i < combo->count(); ++i) {
            if (combo->itemData(i).isValid())
                out.push_back(combo->itemData(i).toUInt());
        }
    }
    return out;
}

} // namespace

class TestPageBindings : public QObject
{
    Q_OBJECT

private slots:
    void everyWidgetStandsForItsOwnField_data()
    {
        QTest::addColumn<int>("position");
        for (int position = 0; position < SettingsPageFactory::pageCount; ++position) {
            if (BuiltPage(position).bound())
                QTest::addRow("%s", SettingsPageFactory::treeText(position)) << position;
        }
    }

    void everyWidgetStandsForItsOwnField()
    {
        QFETCH(int, position);
        BuiltPage page(position);
        const std::vector<QWidget*> widgets = page.binder().widgets();
        std::vector<QStringList> expected;
        QStringList named;
        for (const Binding& row : bindings) {
            if (settingsPageIndex(row.page) == position) {
                named << QString::fromLatin1(row.widget);
                expected.push_back(QString::fromLatin1(row.fields).split(' '));
            }
        }
        QStringList bound;
        for (QWidget* w : widgets)
            bound << describe(w);
        QCOMPARE(bound, named);

        const std::vector<Field> fields = page.fields();
        const auto fieldNamed = [&](const QString& name) {
            return std::find_if(fields.begin(), fields.end(), [&](const Field& f) { return f.name == name; });
        };
        const std::vector<uint32_t> entries = entryData(page.widget.get());
        QStringList wrong;
        for (size_t w = 0; w < widgets.size(); ++w) {
            // Shown: another value in the field changes this widget, and only the widgets of
            // that field.
            for (const QString& name : expected[w]) {
                const auto field = fieldNamed(name);
                QVERIFY2(field != fields.end(), qPrintable(name));
                const QByteArray held(page.base() + field->offset, int(field->size));
                bool shown = false;
                for (const QByteArray& other : variants(*field, page.base(), entries)) {
                    page.show();
                    const QStringList before = page.states();
                    std::memcpy(page.base() + field->offset, other.constData(), field->size);
                    page.show();
                    const QStringList after = page.states();
                    std::memcpy(page.base() + field->offset, held.constData(), field->size);
                    for (size_t o = 0; o < widgets.size(); ++o) {
                        if (after[int(o)] != before[int(o)] && !expected[o].contains(name))
                            wrong << QStringLiteral("%1 shows %2").arg(bound[int(o)], name);
                    }
                    shown = after[int(w)] != before[int(w)];
                    if (shown)
                        break;
                }
                if (!shown)
                    wrong << QStringLiteral("%1 does not show %2").arg(bound[int(w)], name);
            }

            // Edited: what the page stores changes in this widget's fields only.
            page.show();
            const QByteArray unedited = page.stored();
            if (!edit(widgets[w]))
                continue;
            const QByteArray edited = page.stored();
            QStringList changed;
            for (const Field& f : fields) {
                if (unedited.mid(int(f.offset), int(f.size)) != edited.mid(int(f.offset), int(f.size)))
                    changed << f.name;
            }
            if (changed.isEmpty())
                wrong << QStringLiteral("an edit of %1 stores nothing").arg(bound[int(w)]);
            for (const QString& name : changed) {
                if (!expected[w].contains(name))
                    wrong << QStringLiteral("an edit of %1 changes %2").arg(bound[int(w)], name);
            }
        }
        wrong.removeDuplicates();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestPageBindings)
#include "tst_page_bindings.moc"
