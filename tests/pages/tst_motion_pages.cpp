#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>

#include "widgets/StepSpinBox.h"
#include "pages/PageBLDCMotorWgt.h"
#include "pages/PageBordersWgt.h"
#include "pages/PageDCMotorWgt.h"
#include "pages/PageHomePositionWgt.h"
#include "pages/PageLimitsWgt.h"
#include "pages/PageStepperMotorWgt.h"
#include "pages/PageTtlWgt.h"
#include "settings_model/MotorSettings.h"
#include "support/PageRender.h"
#include "support/SimulatedAxis.h"

// The motion pages: what a user sees and what an edit stores. Untouched fields going back as
// loaded are the round trip's business (tst_page_round_trip).

namespace {

using Maker = std::function<ControllerPageWgt*(MotorSettings*)>;

// Types text into a spin box as a user does, replacing what it shows.
void typeInto(QAbstractSpinBox* box, const QString& text)
{
    box->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(box, text);
    box->interpretText();
}

template <typename Page>
Maker maker()
{
    return [](MotorSettings* s) { return new Page(nullptr, s); };
}

// A page over its own container.
struct Fixture
{
    explicit Fixture(const Maker& make) : s(new MotorSettings(nullptr, nullptr)), page(make(s.get())) {}
    template <typename T = QWidget>
    T* w(const char* name) const
    {
        T* widget = page->findChild<T*>(name);
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    MotorSettings stored() const
    {
        MotorSettings target(nullptr, nullptr);
        page->FromUiToClass(&target);
        return target;
    }
    void load(unsigned int engineType = ENGINE_TYPE_STEP)
    {
        page->setEngineType(engineType);
        page->FromClassToUi();
    }
    std::unique_ptr<MotorSettings> s;
    std::unique_ptr<ControllerPageWgt> page;
};

QPoint pair(const StepSpinBox* box) { return QPoint(box->getStep(), box->getUStep()); }

} // namespace

Q_DECLARE_METATYPE(Maker)

class TestMotionPages : public QObject
{
    Q_OBJECT

private slots:
    void forms_data();
    void forms();
    void sameDivisorKeepsPairs_data();
    void sameDivisorKeepsPairs();
    void stepperModes_data();
    void stepperModes();
    void stepperRescales();
    void stepperEnabling();
    void dcPages_data();
    void dcPages();
    void bordersSwitches_data();
    void bordersSwitches();
    void bordersSteps();
    void limits_data();
    void limits();
    void homeFlags_data();
    void homeFlags();
    void homeEdits();
    void ttlClutter_data();
    void ttlClutter();
    void ttlPeriodBox_data();
    void ttlPeriodBox();
    void ttlSteps();
    void microstepModeAppliedOnSimulator();
};

void TestMotionPages::forms_data()
{
    QTest::addColumn<Maker>("make");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("pagesteppermotorwgt") << maker<PageStepperMotorWgt>() << QStringList{
        "PageStepperMotorWgtClass", "reversChk", "useMaxSpeedChk", "limitSpeedChk", "maxSpeedWidget", "ratedCurrBox",
        "emptyLbl", "speedwidget", "playChk", "playBox", "antiplaywidget", "accelChk", "accelBox", "decelBox",
        "stepsPerTurnBox", "stepmodeBox", "frame_microstep", "label_3", "feedbackBox", "frame_feedback",
        "feedbackNoneRadio", "potentRadio", "encoderRadio", "cptLbl", "cptBox", "encoderReverseChk", "maxSpeedBox",
        "speedBox", "antiplaySpeedBox"};
    const QStringList dc{"reversChk", "useMaxSpeedChk", "limitSpeedChk", "maxNominalSpeedLbl", "rpmBox", "currentChk",
                         "currentBox", "voltageChk", "voltageBox", "workingSpeedLbl", "speedBox", "playChk", "playBox",
                         "label", "antiplaySpeedBox", "accelChk", "accelBox", "label_2", "decelBox", "potentRadio",
                         "encoderRadio", "cptLbl", "cptBox", "encoderReverseChk"};
    QTest::newRow("pagedcmotorwgt") << maker<PageDCMotorWgt>() << (dc + QStringList{"PageDCMotorWgtClass"});
    QTest::newRow("pagebldcmotorwgt") << maker<PageBLDCMotorWgt>()
                                      << (dc + QStringList{"PageBLDCMotorWgtClass", "noneRadio", "hallRadio"});
    QTest::newRow("pageborderswgt") << maker<PageBordersWgt>() << QStringList{
        "PageBordersWgtClass", "encoderBtn", "switchBtn", "encoderWgt", "swithWgt", "limit1Box", "limit2Box",
        "pushed1Lst", "border1Lst", "pushed2Lst", "border2Lst", "borderMissetChk", "stopLeftChk", "stopRightChk",
        "leftBorderBox", "rightBorderBox"};
    QTest::newRow("pagelimitswgt") << maker<PageLimitsWgt>() << QStringList{
        "PageLimitsWgtClass", "lowVoltageBox", "label_7", "LowVoltageOffBox", "MaxCurrentPwrBox", "MaxVoltagePwrBox",
        "MaxCurrentUsbBox", "MaxVoltageUsbBox", "MinVoltageUsbBox", "tempLbl", "MaxTempBox", "overheatBox",
        "bridgeBox", "borderMissetBox", "stickyAlarmBox"};
    QTest::newRow("pagehomepositionwgt") << maker<PageHomePositionWgt>() << QStringList{
        "PageHomePositionWgtClass", "dirFastBox", "StopCondBox", "fromEndChk", "halfRevChk", "dirBox",
        "slowSpeedWidget", "StopCondBox_2", "deltaWidget", "fastSpeedBox", "slowSpeedBox", "deltaBox"};
    QTest::newRow("pagettlwgt") << maker<PageTtlWgt>() << QStringList{
        "PageTtlWgtClass", "clutterTimeBox", "syncInEnabledChk", "syncInInvertChk", "absolutePositionChk",
        "positionBox", "speedBox", "syncOutEnabledChk", "syncOutInvertChk", "pulseWidthBox", "pulseUnitBox",
        "stateFrame", "state0Radio", "state1Radio", "onStartChk", "onStopChk", "everyChk", "periodBox"};
}

void TestMotionPages::forms()
{
    QFETCH(Maker, make);
    QFETCH(QStringList, names);
    Fixture f(make);
    QCOMPARE(missingObjectNames(f.page.get(), names), QString());
    QCOMPARE(f.page->windowTitle(), QStringLiteral("Form"));
    QVERIFY(!renderPage(f.page.get(), QString::fromLatin1(QTest::currentDataTag())).isEmpty());
}

// The dialog hands a step box the divisor it already has in mid-load: nothing may move.
void TestMotionPages::sameDivisorKeepsPairs_data()
{
    QTest::addColumn<Maker>("make");
    QTest::newRow("stepper") << maker<PageStepperMotorWgt>();
    QTest::newRow("borders") << maker<PageBordersWgt>();
    QTest::newRow("home") << maker<PageHomePositionWgt>();
    QTest::newRow("ttl") << maker<PageTtlWgt>();
}

void TestMotionPages::sameDivisorKeepsPairs()
{
    QFETCH(Maker, make);
    Fixture f(make);
    f.s->engine.MicrostepMode = MICROSTEP_MODE_FRAC_16;
    f.s->move = {300, 9, 1, 1, 200, 15};
    f.s->engine.NomSpeed = 400;
    f.s->engine.uNomSpeed = 3;
    f.s->edges = {1, 0, -70, -5, 80, 11};
    f.s->home = {500, 7, 40, 1, -9, -2, 0};
    f.s->syncIn = {1, 0, -33, -15, 25, 13};
    f.load();
    const QList<StepSpinBox*> boxes = f.page->findChildren<StepSpinBox*>();
    QVERIFY(boxes.size() >= 2);
    QList<QPoint> before;
    for (StepSpinBox* box : boxes) {
        QCOMPARE(box->getStepFactor(), 16);
        before << pair(box);
    }
    f.page->setEngineType(ENGINE_TYPE_STEP);
    for (StepSpinBox* box : boxes)
        box->setStepFactor(16);
    for (int i = 0; i < boxes.size(); ++i)
        QCOMPARE(pair(boxes[i]), before[i]);
    QVERIFY(before.contains(QPoint(-70, -5)) || before.contains(QPoint(300, 9)) || before.contains(QPoint(500, 7))
            || before.contains(QPoint(-33, -15)));
}

void TestMotionPages::stepperModes_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<uint>("afterOtherEdit");
    QTest::newRow("0") << 0u << 0 << 1 << 0u;
    QTest::newRow("1") << 1u << 0 << 1 << 1u;
    QTest::newRow("9") << 9u << 8 << 256 << 9u;
    QTest::newRow("10") << 10u << 0 << 1 << 10u;
}

void TestMotionPages::stepperModes()
{
    QFETCH(uint, mode);
    QFETCH(int, index);
    QFETCH(int, divisor);
    QFETCH(uint, afterOtherEdit);
    Fixture f(maker<PageStepperMotorWgt>());
    f.s->engine.MicrostepMode = mode;
    f.load();
    QCOMPARE(f.w<QComboBox>("stepmodeBox")->currentIndex(), index);
    QCOMPARE(f.w<StepSpinBox>("speedBox")->getStepFactor(), divisor);
    f.w<QSpinBox>("ratedCurrBox")->setValue(1234);
    QCOMPARE(f.stored().engine.MicrostepMode, afterOtherEdit);
    QCOMPARE(f.stored().engine.NomCurrent, 1234u);
    f.w<QComboBox>("stepmodeBox")->setCurrentIndex(4);
    QCOMPARE(f.stored().engine.MicrostepMode, 5u);
}

void TestMotionPages::stepperRescales()
{
    Fixture f(maker<PageStepperMotorWgt>());
    f.s->engine.MicrostepMode = MICROSTEP_MODE_FRAC_256;
    f.s->move.Speed = 100;
    f.s->move.uSpeed = 128;
    f.s->move.AntiplaySpeed = 0;
    f.s->move.uAntiplaySpeed = 5;
    f.s->engine.EngineFlags = ENGINE_LIMIT_VOLT | ENGINE_LIMIT_CURR | 0x2;    // bits not shown
    f.load();
    auto* mode = f.w<QComboBox>("stepmodeBox");
    auto* speed = f.w<StepSpinBox>("speedBox");
    auto* antiplay = f.w<StepSpinBox>("antiplaySpeedBox");
    auto* nominal = f.w<StepSpinBox>("maxSpeedBox");
    QCOMPARE(pair(nominal), QPoint(0, 1));    // (0, 0) is no speed
    mode->setCurrentIndex(4);
    QCOMPARE(pair(speed), QPoint(100, 8));
    MotorSettings stored = f.stored();
    QCOMPARE(stored.move.Speed, 100u);
    QCOMPARE(stored.move.uSpeed, 8u);
    QCOMPARE(stored.engine.MicrostepMode, 5u);
    mode->setCurrentIndex(0);
    QCOMPARE(pair(speed), QPoint(100, 0));
    QCOMPARE(pair(antiplay), QPoint(1, 0));    // the slowest full-step speed, never (0, 1) of 1
    mode->setCurrentIndex(8);
    QCOMPARE(pair(speed), QPoint(100, 128));
    QCOMPARE(pair(antiplay), QPoint(0, 5));
    stored = f.stored();
    QCOMPARE(stored.move.uSpeed, 128u);
    QCOMPARE(stored.move.uAntiplaySpeed, 5u);
    QCOMPARE(stored.engine.MicrostepMode, 9u);
    f.w<QCheckBox>("reversChk")->click();
    MotorSettings target(nullptr, nullptr);
    target.engine.EngineFlags = ENGINE_LIMIT_VOLT | ENGINE_LIMIT_CURR | 0x2;
    f.page->FromUiToClass(&target);
    QCOMPARE(target.engine.EngineFlags, uint(ENGINE_LIMIT_VOLT | ENGINE_LIMIT_CURR | 0x2 | ENGINE_REVERSE));
}

void TestMotionPages::stepperEnabling()
{
    Fixture f(maker<PageStepperMotorWgt>());
    auto* nominal = f.w<StepSpinBox>("maxSpeedBox");
    QVERIFY(!nominal->isEnabled());
    f.w<QCheckBox>("limitSpeedChk")->click();
    QVERIFY(nominal->isEnabled());
    f.w<QCheckBox>("limitSpeedChk")->click();
    f.w<QCheckBox>("useMaxSpeedChk")->click();
    QVERIFY(nominal->isEnabled() && !f.w("speedwidget")->isEnabled());
    QVERIFY(!f.w("playBox")->isEnabled() && !f.w("antiplaywidget")->isEnabled());
    f.w<QCheckBox>("playChk")->click();
    QVERIFY(f.w("playBox")->isEnabled() && f.w("antiplaywidget")->isEnabled());
    f.w<QCheckBox>("accelChk")->click();
    QVERIFY(f.w("accelBox")->isEnabled() && f.w("decelBox")->isEnabled());
    QVERIFY(!f.w("potentRadio")->isEnabled() && !f.w("encoderRadio")->isEnabled());
    QVERIFY(f.w("feedbackNoneRadio")->isEnabled());
}

void TestMotionPages::dcPages_data()
{
    QTest::addColumn<Maker>("make");
    QTest::addColumn<QList<int>>("storedType");    // per FeedbackType 0 to 5 loaded; -1 keeps the target's
    QTest::addColumn<QList<bool>>("countsEnabled");    // after loading 1 then 3, and 3 on a fresh page
    QTest::newRow("DC") << maker<PageDCMotorWgt>() << QList<int>{0, 1, -1, -1, -1, -1}
                        << QList<bool>{true, true, true};
    QTest::newRow("BLDC") << maker<PageBLDCMotorWgt>() << QList<int>{0, 1, -1, 3, -1, 5}
                          << QList<bool>{true, false, true};
}

void TestMotionPages::dcPages()
{
    QFETCH(Maker, make);
    QFETCH(QList<int>, storedType);
    QFETCH(QList<bool>, countsEnabled);
    {
        Fixture f(make);
        f.s->engine.NomVoltage = 240;
        f.load(ENGINE_TYPE_DC);
        auto* voltage = f.w<QSpinBox>("voltageBox");
        QCOMPARE(voltage->value(), 2400);
        QCOMPARE(voltage->suffix(), QStringLiteral(" mV"));
        QCOMPARE(f.w<QSpinBox>("speedBox")->suffix(), QStringLiteral(" rpm"));
        QCOMPARE(f.w<QSpinBox>("decelBox")->suffix(), QStringLiteral(" rpm/s"));
        voltage->setValue(2405);
        MotorSettings target(nullptr, nullptr);
        target.engine = {0, 0, 0, 0xA1A1A1A1, 0, 0, 0xB2B2B2B2, 0xC3C3C3C3};
        target.move = {0, 0xD4D4D4D4, 0, 0, 0, 0xE5E5E5E5};
        for (QSpinBox* box : f.page->findChildren<QSpinBox*>())
            box->setValue(box->value() == box->maximum() ? box->minimum() : box->maximum());
        f.page->FromUiToClass(&target);
        QCOMPARE(target.engine.NomVoltage, 4000u);
        QCOMPARE(target.engine.uNomSpeed, 0xA1A1A1A1u);
        QCOMPARE(target.engine.MicrostepMode, 0xB2B2B2B2u);
        QCOMPARE(target.engine.StepsPerRev, 0xC3C3C3C3u);
        QCOMPARE(target.move.uSpeed, 0xD4D4D4D4u);
        QCOMPARE(target.move.uAntiplaySpeed, 0xE5E5E5E5u);
        f.s->engine.NomVoltage = 429496800;    // × 10 in 32 bits would show 704
        f.load(ENGINE_TYPE_DC);
        QCOMPARE(voltage->value(), 40000);
        voltage->setValue(2405);
        QCOMPARE(f.stored().engine.NomVoltage, 240u);
    }
    for (int code = 0; code < storedType.size(); ++code) {
        Fixture f(make);
        f.s->feedback.FeedbackType = uint(code);
        f.load(ENGINE_TYPE_DC);
        MotorSettings target(nullptr, nullptr);
        target.feedback.FeedbackType = 77;
        f.page->FromUiToClass(&target);
        QCOMPARE(int(target.feedback.FeedbackType), storedType[code] < 0 ? 77 : storedType[code]);
    }
    Fixture f(make);
    auto* counts = f.w("cptBox");
    f.s->feedback.FeedbackType = FEEDBACK_ENCODER;
    f.load(ENGINE_TYPE_DC);
    QCOMPARE(counts->isEnabled(), countsEnabled[0]);
    f.s->feedback.FeedbackType = FEEDBACK_ENCODERHALL;
    f.load(ENGINE_TYPE_DC);
    QCOMPARE(counts->isEnabled(), countsEnabled[1]);
    Fixture fresh(make);
    fresh.s->feedback.FeedbackType = FEEDBACK_ENCODERHALL;
    fresh.load(ENGINE_TYPE_DC);
    QCOMPARE(fresh.w("cptBox")->isEnabled(), countsEnabled[2]);
}

void TestMotionPages::bordersSwitches_data()
{
    QTest::addColumn<uint>("borderFlags");
    QTest::addColumn<uint>("enderFlags");
    QTest::addColumn<QList<int>>("indexes");    // pushed1, border1, pushed2, border2
    QTest::addColumn<bool>("byPosition");
    QTest::newRow("ender 0") << 1u << 0u << QList<int>{1, 0, 1, 1} << true;
    QTest::newRow("ender 7") << 1u << 7u << QList<int>{0, 1, 0, 0} << true;
    QTest::newRow("by switches") << 0u << 2u << QList<int>{0, 0, 1, 1} << false;
}

void TestMotionPages::bordersSwitches()
{
    QFETCH(uint, borderFlags);
    QFETCH(uint, enderFlags);
    QFETCH(QList<int>, indexes);
    QFETCH(bool, byPosition);
    Fixture f(maker<PageBordersWgt>());
    f.s->edges = {borderFlags, enderFlags, -40, 0, 70, 0};
    f.load(ENGINE_TYPE_DC);
    const char* combos[] = {"pushed1Lst", "border1Lst", "pushed2Lst", "border2Lst"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(f.w<QComboBox>(combos[i])->currentIndex(), indexes[i]);
    QCOMPARE(f.w("encoderWgt")->isEnabled(), byPosition);
    QCOMPARE(f.w("swithWgt")->isEnabled(), !byPosition);
    QCOMPARE(f.w<QComboBox>("pushed1Lst")->itemText(0), QStringLiteral("close"));

    // Switch 2 to the end switch 1 names: switch 1 moves to the other end.
    auto* border2 = f.w<QComboBox>("border2Lst");
    border2->setCurrentIndex(indexes[1]);
    QCOMPARE(f.w<QComboBox>("border1Lst")->currentIndex(), 1 - indexes[1]);
    MotorSettings target(nullptr, nullptr);
    target.edges = {0xF0, 0xF0, 1, 2, 3, 4};
    f.page->FromUiToClass(&target);
    QCOMPARE(target.edges.EnderFlags & ENDER_SWAP, uint(indexes[1] == 0));
    QCOMPARE(target.edges.EnderFlags & ~7u, 0u);
    QCOMPARE(target.edges.BorderFlags, borderFlags);
    QCOMPARE(target.edges.LeftBorder, -40);    // disabled or not, still written
    QCOMPARE(target.edges.RightBorder, 70);
}

void TestMotionPages::bordersSteps()
{
    Fixture f(maker<PageBordersWgt>());
    auto* page = qobject_cast<PageBordersWgt*>(f.page.get());
    QSignalSpy changed(page, &PageBordersWgt::SgnChangeValues);
    f.s->engine.MicrostepMode = MICROSTEP_MODE_FRAC_256;
    f.s->edges = {1, 0, INT_MIN, 0, INT_MAX, 255};
    f.load();
    QCOMPARE(changed.count(), 2);
    QCOMPARE(page->leftBorderSteps(), INT_MIN);
    QCOMPARE(page->rightBorderSteps(), INT_MAX);
    f.s->edges = {1, 0, INT_MIN, 0, 100, 5};
    f.load();
    QCOMPARE(changed.count(), 3);
    auto* right = f.w<StepSpinBox>("rightBorderBox");
    QCOMPARE(right->text(), QStringLiteral("100 5/256") + right->suffix());
    page->setEngineType(ENGINE_TYPE_DC);
    QCOMPARE(right->text(), QStringLiteral("100") + right->suffix());
    page->setEngineType(ENGINE_TYPE_STEP);

    // A profile's huge or negative microsteps neither wrap nor turn into nonsense.
    f.s->edges = {1, 0, 5, -3, 0, INT_MAX};
    f.load();
    QCOMPARE(page->leftBorderSteps(), 4);
    QVERIFY(page->rightBorderSteps() > 8000000);
    MotorSettings stored = f.stored();
    QCOMPARE(stored.edges.uLeftBorder, -3);
    QCOMPARE(stored.edges.uRightBorder, INT_MAX);

    // Update borders sets whole steps; the record's microsteps stay.
    f.s->edges = {1, 0, 5, -3, 0, 7};
    f.load();
    page->setBorderSteps(-12, 34);
    stored = f.stored();
    QCOMPARE(QPoint(stored.edges.LeftBorder, stored.edges.uLeftBorder), QPoint(-12, -3));
    QCOMPARE(QPoint(stored.edges.RightBorder, stored.edges.uRightBorder), QPoint(34, 7));
}

void TestMotionPages::limits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("field");    // index of the u32 in secure_settings_t
    QTest::addColumn<uint>("held");
    QTest::addColumn<double>("shown");
    QTest::addColumn<double>("typed");
    QTest::addColumn<uint>("stored");
    QTest::newRow("low voltage") << "LowVoltageOffBox" << 0 << 1234u << 12340.0 << 12345.0 << 1234u;
    QTest::newRow("usb above") << "MaxVoltageUsbBox" << 5 << 700u << 6000.0 << 5990.0 << 599u;
    QTest::newRow("usb below") << "MinVoltageUsbBox" << 6 << 100u << 2000.0 << 2010.0 << 201u;
    QTest::newRow("current") << "MaxCurrentPwrBox" << 1 << 20u << 50.0 << 51.0 << 51u;
    QTest::newRow("u32 voltage") << "MaxVoltagePwrBox" << 2 << 0xFFFFFFFFu << 55000.0 << 54321.0 << 5432u;
    QTest::newRow("80 °C") << "MaxTempBox" << 3 << 800u << 80.0 << 81.0 << 810u;
    QTest::newRow("125.6 °C") << "MaxTempBox" << 3 << 1256u << 126.0 << 125.0 << 1250u;
    QTest::newRow("124.5 °C") << "MaxTempBox" << 3 << 1245u << 125.0 << 124.0 << 1240u;
    QTest::newRow("125.5 °C") << "MaxTempBox" << 3 << 1255u << 126.0 << 124.0 << 1240u;
    QTest::newRow("200 °C") << "MaxTempBox" << 3 << 2000u << 150.0 << 149.0 << 1490u;
}

void TestMotionPages::limits()
{
    QFETCH(QString, box);
    QFETCH(int, field);
    QFETCH(uint, held);
    QFETCH(double, shown);
    QFETCH(double, typed);
    QFETCH(uint, stored);
    Fixture f(maker<PageLimitsWgt>());
    QVERIFY(!f.w("LowVoltageOffBox")->isEnabled() && !f.w("label_7")->isEnabled());
    reinterpret_cast<uint32_t*>(&f.s->secure)[field] = held;
    f.s->secure.Flags = 0xFF;
    f.load();
    QVERIFY(f.w("LowVoltageOffBox")->isEnabled());
    QObject* widget = f.w<QObject>(box.toLatin1().constData());
    QCOMPARE(widget->property("value").toDouble(), shown);
    if (box == QLatin1String("MaxTempBox"))
        QCOMPARE(f.w<QDoubleSpinBox>("MaxTempBox")->suffix(), QStringLiteral(" °C"));
    widget->setProperty("value", typed);
    MotorSettings target = f.stored();
    QCOMPARE(reinterpret_cast<const uint32_t*>(&target.secure)[field], stored);
    QCOMPARE(target.secure.Flags, 0x1Fu);
}

void TestMotionPages::homeFlags_data()
{
    QTest::addColumn<uint>("flags");
    QTest::addColumn<QList<int>>("indexes");    // dirFastBox, StopCondBox, dirBox, StopCondBox_2
    QTest::addColumn<bool>("secondPhase");
    QTest::addColumn<bool>("halfTurn");
    QTest::newRow("0xFF") << 0xFFu << QList<int>{1, 2, 1, 2} << true << true;
    QTest::newRow("0x5A") << 0x5Au << QList<int>{0, 0, 1, 0} << false << true;
}

void TestMotionPages::homeFlags()
{
    QFETCH(uint, flags);
    QFETCH(QList<int>, indexes);
    QFETCH(bool, secondPhase);
    QFETCH(bool, halfTurn);
    Fixture f(maker<PageHomePositionWgt>());
    f.s->home.HomeFlags = flags;
    f.load();
    const char* combos[] = {"dirFastBox", "StopCondBox", "dirBox", "StopCondBox_2"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(f.w<QComboBox>(combos[i])->currentIndex(), indexes[i]);
    QCOMPARE(f.w<QCheckBox>("fromEndChk")->isChecked(), secondPhase);
    QCOMPARE(f.w<QCheckBox>("halfRevChk")->isChecked(), halfTurn);
    for (const char* name : {"dirBox", "slowSpeedWidget", "StopCondBox_2", "halfRevChk"})
        QCOMPARE(f.w(name)->isEnabled(), secondPhase);
    QCOMPARE(f.stored().home.HomeFlags, flags);
    f.w<QComboBox>("dirFastBox")->setCurrentIndex(1 - indexes[0]);
    QCOMPARE(f.stored().home.HomeFlags, flags ^ HOME_DIR_FIRST);
}

void TestMotionPages::homeEdits()
{
    Fixture f(maker<PageHomePositionWgt>());
    f.s->home.HomeFlags = HOME_STOP_FIRST_LIM | HOME_MV_SEC_EN | HOME_HALF_MV;
    f.load();
    f.s->home.HomeFlags = HOME_MV_SEC_EN | HOME_HALF_MV;    // no stop condition
    f.load();
    QCOMPARE(f.w<QComboBox>("StopCondBox")->currentIndex(), 2);
    QCOMPARE(f.stored().home.HomeFlags & HOME_STOP_FIRST_BITS, 0u);
    f.w<QCheckBox>("fromEndChk")->click();
    QCOMPARE(f.stored().home.HomeFlags & HOME_STOP_FIRST_BITS, 0u);
    QVERIFY(!f.w("halfRevChk")->isEnabled() && !f.w("dirBox")->isEnabled());
    QCOMPARE(f.stored().home.HomeFlags, uint(HOME_HALF_MV));

    // Speeds never go below 0: the direction is the combos' business.
    auto* fast = f.w<StepSpinBox>("fastSpeedBox");
    f.load(ENGINE_TYPE_DC);
    fast->stepBy(-5);    // arrow down from 0
    QCOMPARE(fast->getStep(), 0);
    QCOMPARE(f.stored().home.FastHome, 0u);
    f.s->home.FastHome = 0x80000000u;
    f.load(ENGINE_TYPE_DC);
    QCOMPARE(fast->getStep(), 1000000);

    UnitTextSet empty;
    f.page->setUnitTexts(&empty);
    f.page->setEngineType(ENGINE_TYPE_DC);
    QCOMPARE(fast->suffix(), QStringLiteral(" rpm"));
    QCOMPARE(f.w<StepSpinBox>("deltaBox")->suffix(), QStringLiteral(" counts"));
}

void TestMotionPages::ttlClutter_data()
{
    QTest::addColumn<uint>("held");
    QTest::addColumn<int>("shown");
    QTest::addColumn<uint>("afterStepUp");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<uint>("afterTyping");    // rounded once, when the editing ends
    QTest::newRow("0") << 0u << 0 << 1000u << "2500" << 2000u;
    QTest::newRow("999") << 999u << 0 << 1000u << "2999" << 2000u;
    QTest::newRow("1000") << 1000u << 1000 << 2000u << "65535" << 65000u;
    QTest::newRow("1500") << 1500u << 1000 << 2000u << "3000" << 3000u;
    QTest::newRow("65535") << 65535u << 65000 << 65535u << "30001" << 30000u;    // stepping up lands where it was
    QTest::newRow("70000") << 70000u << 65000 << 70000u << "7" << 0u;
}

void TestMotionPages::ttlClutter()
{
    QFETCH(uint, held);
    QFETCH(int, shown);
    QFETCH(uint, afterStepUp);
    Fixture f(maker<PageTtlWgt>());
    f.s->syncIn.ClutterTime = held;
    f.load();
    auto* clutter = f.w<QSpinBox>("clutterTimeBox");
    QCOMPARE(clutter->value(), shown);
    QCOMPARE(clutter->suffix(), QStringLiteral(" μs"));
    clutter->stepBy(1);
    QCOMPARE(f.stored().syncIn.ClutterTime, afterStepUp);
    clutter->setValue(2999);
    QCOMPARE(f.stored().syncIn.ClutterTime, 2000u);

    QFETCH(QString, typed);
    clutter->selectAll();
    QTest::keyClicks(clutter, typed);
    QCOMPARE(clutter->cleanText(), typed);    // no keystroke rounded away
    QTest::keyClick(clutter, Qt::Key_Return);
    QTEST(f.stored().syncIn.ClutterTime, "afterTyping");
}

void TestMotionPages::ttlPeriodBox_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("every") << QStringList{"everyChk"} << true;
    QTest::newRow("every, out off") << QStringList{"everyChk", "syncOutEnabledChk"} << false;
    QTest::newRow("out off, every") << QStringList{"syncOutEnabledChk", "everyChk"} << false;
    QTest::newRow("out off, every, out on") << QStringList{"syncOutEnabledChk", "everyChk", "syncOutEnabledChk"}
                                            << true;
    QTest::newRow("every, every") << QStringList{"everyChk", "everyChk"} << false;
}

void TestMotionPages::ttlPeriodBox()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, enabled);
    Fixture f(maker<PageTtlWgt>());
    QVERIFY(!f.w("periodBox")->isEnabled());
    QVERIFY(f.w("pulseWidthBox")->isEnabled() && !f.w("state1Radio")->isEnabled());
    QVERIFY(f.w("positionBox")->isEnabled());
    for (const QString& name : clicks) {
        auto* box = f.w<QCheckBox>(name.toLatin1().constData());
        box->setEnabled(true);    // "Every" greys out with the output; the order is what counts
        box->click();
    }
    QCOMPARE(f.w("periodBox")->isEnabled(), enabled);
}

void TestMotionPages::ttlSteps()
{
    Fixture f(maker<PageTtlWgt>());
    auto* position = f.w<StepSpinBox>("positionBox");
    auto* speed = f.w<StepSpinBox>("speedBox");
    f.s->engine.MicrostepMode = MICROSTEP_MODE_FRAC_16;
    const QList<QPoint> positions{{INT_MIN, 0}, {INT_MAX, 0}, {0, -5}};
    for (const QPoint& held : positions) {
        f.s->syncIn = {SYNCIN_ENABLED, 0, held.x(), held.y(), 0xFFFFFFFFu, 0};
        f.load();
        QCOMPARE(pair(position), held);
        QCOMPARE(speed->getStep(), 1000000);
        MotorSettings stored = f.stored();
        QCOMPARE(QPoint(stored.syncIn.Position, stored.syncIn.uPosition), held);
        QCOMPARE(stored.syncIn.Speed, 0xFFFFFFFFu);
    }
    f.s->syncIn = {SYNCIN_ENABLED, 0, 10, 8, 20, 15};
    f.load();
    QCOMPARE(position->getStepFactor(), 16);
    QVERIFY(position->text().startsWith(QStringLiteral("10 8/16")));
    f.page->setEngineType(ENGINE_TYPE_DC);
    f.page->setEngineType(ENGINE_TYPE_STEP);
    QCOMPARE(pair(position), QPoint(10, 8));
    QCOMPARE(pair(speed), QPoint(20, 15));
    typeInto(position, QStringLiteral("3 7/16"));
    QCOMPARE(f.stored().syncIn.uPosition, 7);
}

// The dialog's Apply and reload, on the motion pages alone: a new microstep mode reaches the
// controller in the engine record only, and the other pages then show what it rescaled.
void TestMotionPages::microstepModeAppliedOnSimulator()
{
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{openOnFreshSimulator(gateway, "sim:axis1")};
    QVERIFY(handle != -1);
    MotorSettings s(&handle, gateway.get());
    QCOMPARE(s.readFromDevice(true), result_t(0));
    QCOMPARE(s.engine.MicrostepMode, uint(MICROSTEP_MODE_FRAC_256));
    s.edges.uLeftBorder = -128;
    s.home.uFastHome = 64;
    s.home.uSlowHome = 128;
    s.syncIn.uPosition = 32;
    for (int record : {MotorSettings::EdgesRecord, MotorSettings::HomeRecord, MotorSettings::SyncInRecord})
        QCOMPARE(s.writeRecordToDevice(record), result_t(0));

    std::vector<std::unique_ptr<ControllerPageWgt>> pages;
    for (const Maker& make : {maker<PageStepperMotorWgt>(), maker<PageBordersWgt>(), maker<PageHomePositionWgt>(),
                              maker<PageTtlWgt>()})
        pages.emplace_back(make(&s));
    auto load = [&] {
        for (auto& page : pages) {
            page->setEngineType(s.entype.EngineType);
            page->FromClassToUi();
        }
    };
    load();
    pages[0]->findChild<QComboBox*>("stepmodeBox")->setCurrentIndex(4);

    MotorSettings edited(nullptr, nullptr);
    std::memcpy(static_cast<void*>(&edited), static_cast<const void*>(&s), sizeof s);
    for (auto& page : pages)
        page->FromUiToClass(&edited);
    struct Record { int index; void* held; const void* shown; size_t size; };
    const Record records[] = {{MotorSettings::EngineRecord, &s.engine, &edited.engine, sizeof s.engine},
                              {MotorSettings::MoveRecord, &s.move, &edited.move, sizeof s.move},
                              {MotorSettings::FeedbackRecord, &s.feedback, &edited.feedback, sizeof s.feedback},
                              {MotorSettings::EdgesRecord, &s.edges, &edited.edges, sizeof s.edges},
                              {MotorSettings::HomeRecord, &s.home, &edited.home, sizeof s.home},
                              {MotorSettings::SyncInRecord, &s.syncIn, &edited.syncIn, sizeof s.syncIn},
                              {MotorSettings::SyncOutRecord, &s.syncOut, &edited.syncOut, sizeof s.syncOut}};
    trovsim_journal_clear();
    for (const Record& record : records) {
        if (std::memcmp(record.held, record.shown, record.size) != 0) {
            std::memcpy(record.held, record.shown, record.size);
            QCOMPARE(s.writeRecordToDevice(record.index), result_t(0));
        }
    }
    QStringList written;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && QByteArray(call.function).startsWith("set_"))
            written << QString::fromLatin1(call.function);
    }
    QCOMPARE(written, QStringList{"set_engine_settings"});

    QCOMPARE(s.readFromDevice(true), result_t(0));
    load();
    auto box = [&](size_t page, const char* name) { return pair(pages[page]->findChild<StepSpinBox*>(name)); };
    QCOMPARE(s.edges.uLeftBorder, -8);
    QCOMPARE(box(1, "leftBorderBox"), QPoint(s.edges.LeftBorder, -8));
    QCOMPARE(box(2, "fastSpeedBox"), QPoint(int(s.home.FastHome), 4));
    QCOMPARE(box(2, "slowSpeedBox"), QPoint(int(s.home.SlowHome), 8));
    QCOMPARE(box(3, "positionBox"), QPoint(s.syncIn.Position, 2));
    for (StepSpinBox* box : pages[3]->findChildren<StepSpinBox*>())
        QCOMPARE(box->getStepFactor(), 16);
    closeAndRelease(gateway, handle);
}

QTEST_MAIN(TestMotionPages)
#include "tst_motion_pages.moc"
