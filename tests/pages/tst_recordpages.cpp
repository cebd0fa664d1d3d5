#include <QtTest>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QSpinBox>

#include <functional>

#include "pages/PageBrakeWgt.h"
#include "pages/PageControlPositionWgt.h"
#include "pages/PageExtioWgt.h"
#include "pages/PagePidWgt.h"
#include "pages/PagePowerWgt.h"
#include "pages/PageUartWgt.h"
#include "settings_model/MotorSettings.h"
#include "support/PageRender.h"

// The plain record pages: what a load shows, and what a store writes after an edit or none.

namespace {

using Load = std::function<void(MotorSettings&)>;
using Edit = std::function<void(QWidget&)>;
// Empty when the page and the stored record are as expected, else what differs.
using Check = std::function<QString(QWidget&, const MotorSettings&)>;

struct Case
{
    std::function<QWidget*(MotorSettings*)> make;
    Load load;
    Edit edit;
    Check check;
};

template <typename Page>
QWidget* make(MotorSettings* s)
{
    return new Page(nullptr, s);
}

template <typename W>
W* child(QWidget& page, const char* name)
{
    return page.findChild<W*>(name);
}

int comboIndex(QWidget& page, const char* name) { return child<QComboBox>(page, name)->currentIndex(); }
int spinValue(QWidget& page, const char* name) { return child<QSpinBox>(page, name)->value(); }

QString expect(const char* what, qint64 got, qint64 wanted)
{
    return got == wanted ? QString() : QStringLiteral("%1: %2, expected %3").arg(what).arg(got).arg(wanted);
}

Case extio(uint32_t mode, int in, int out, Edit edit, uint32_t stored)
{
    return {make<PageExtioWgt>, [mode](MotorSettings& s) { s.extio.EXTIOModeFlags = mode; }, edit,
            [=](QWidget& page, const MotorSettings& t) {
                return expect("in", comboIndex(page, "inModeCombo"), in) + expect("out", comboIndex(page, "outModeCombo"), out)
                       + expect("mode", t.extio.EXTIOModeFlags, stored);
            }};
}

Case uart(uint32_t speed, int shown, Edit edit, uint32_t stored)
{
    return {make<PageUartWgt>, [speed](MotorSettings& s) { s.uart.Speed = speed; }, edit,
            [=](QWidget& page, const MotorSettings& t) {
                return expect("index", comboIndex(page, "speedCombo"), shown) + expect("speed", t.uart.Speed, stored);
            }};
}

Case hold(uint32_t current, int shown, Edit edit, uint32_t stored)
{
    return {make<PagePowerWgt>, [current](MotorSettings& s) { s.power.HoldCurrent = current; }, edit,
            [=](QWidget& page, const MotorSettings& t) {
                return expect("shown", spinValue(page, "holdCurrentSpin"), shown)
                       + expect("stored", t.power.HoldCurrent, stored);
            }};
}

Edit none = [](QWidget&) {};
Edit choose(const char* combo, int index)
{
    return [=](QWidget& page) { child<QComboBox>(page, combo)->setCurrentIndex(index); };
}
Edit click(const char* button)
{
    return [=](QWidget& page) { child<QAbstractButton>(page, button)->click(); };
}
Edit spin(const char* box, int value)
{
    return [=](QWidget& page) { child<QSpinBox>(page, box)->setValue(value); };
}

std::vector<Case> cases()
{
    std::vector<Case> list = {
        extio(0x00, 0, 0, none, 0x00),
        extio(0x54, 4, 5, none, 0x54),
        extio(0x05, -1, 0, none, 0x05),
        extio(0x0F, -1, 0, click("invertChk"), 0x0F),
        extio(0x60, 0, -1, none, 0x60),
        extio(0xF0, 2, -1, choose("inModeCombo", 2), 0xF2),
        extio(0x110, 0, 1, none, 0x110),
        extio(0x110, 0, 2, choose("outModeCombo", 2), 0x120),
        extio(0x0F, -1, 0, choose("inModeCombo", -1), 0x0F),
        uart(9600, 0, click("parityChk"), 9600),
        uart(921600, 8, click("parityChk"), 921600),
        uart(1200, 0, click("parityChk"), 1200),
        uart(0, 0, choose("parityCombo", 3), 0),
        uart(0xFFFFFFFF, 0, click("parityChk"), 0xFFFFFFFF),
        uart(1200, 5, choose("speedCombo", 5), 115200),
        hold(0, 10, none, 0),
        hold(9, 10, click("powerOffChk"), 9),
        hold(100, 100, none, 100),
        hold(101, 100, none, 101),
        hold(0x80000000, 100, none, 0x80000000),
        hold(0x80000000, 42, spin("holdCurrentSpin", 42), 42),
    };
    // A greyed group still writes its widgets.
    list.push_back({make<PageBrakeWgt>, [](MotorSettings& s) { s.brake.BrakeFlags = BRAKE_ENG_PWROFF; },
                    spin("t1Spin", 77), [](QWidget& page, const MotorSettings& t) {
                        return expect("enabled", child<QSpinBox>(page, "t1Spin")->isEnabled(), false)
                               + expect("t1", t.brake.t1, 77) + expect("flags", t.brake.BrakeFlags, BRAKE_ENG_PWROFF);
                    }});
    list.push_back({make<PageControlPositionWgt>, [](MotorSettings& s) { s.ctp.CTPMinError = 0x80000000; },
                    [](QWidget& page) { child<QGroupBox>(page, "ctpGroup")->setChecked(true); },
                    [](QWidget& page, const MotorSettings& t) {
                        return expect("shown", spinValue(page, "minErrorSpin"), 255)
                               + expect("enabled", child<QSpinBox>(page, "minErrorSpin")->isEnabled(), true)
                               + expect("stored", t.ctp.CTPMinError, 0x80000000) + expect("flags", t.ctp.CTPFlags, 1);
                    }});
    // The 21 coefficients with distinct values: each box shows its own, and writes only its own.
    list.push_back({make<PagePidWgt>,
                    [](MotorSettings& s) {
                        auto* field = reinterpret_cast<uint32_t*>(&s.pid);
                        for (uint32_t i = 0; i < sizeof s.pid / 4; ++i)
                            field[i] = 100 + i;
                    },
                    [](QWidget& page) {
                        for (QSpinBox* box : page.findChildren<QSpinBox*>())
                            box->setValue(box->value() + 1000);
                    },
                    [](QWidget& page, const MotorSettings& t) {
                        const char* boxes[] = {"pCurBox", "iCurBox", "dCurBox", "pVoltBox", "iVoltBox", "dVoltBox",
                                               "pSpeedBox", "iSpeedBox", "dSpeedBox", "pPosBox", "iPosBox", "dPosBox"};
                        const auto* field = reinterpret_cast<const uint32_t*>(&t.pid);
                        QString wrong;
                        for (uint32_t i = 0; i < sizeof t.pid / 4; ++i) {
                            wrong += expect("field", field[i], i < 12 ? 1100 + i : 100 + i);
                            if (i < 12)
                                wrong += expect(boxes[i], spinValue(page, boxes[i]), 1100 + i);
                        }
                        return wrong;
                    }});
    return list;
}

} // namespace

class TestRecordPages : public QObject
{
    Q_OBJECT

private slots:
    void loadEditStore_data()
    {
        QTest::addColumn<int>("index");
        const std::vector<Case> list = cases();
        for (size_t i = 0; i < list.size(); ++i)
            QTest::addRow("%zu", i) << int(i);
    }

    void loadEditStore()
    {
        QFETCH(int, index);
        const Case c = cases()[size_t(index)];
        MotorSettings source(nullptr, nullptr);
        c.load(source);
        std::unique_ptr<QWidget> page(c.make(&source));
        auto* controllerPage = qobject_cast<ControllerPageWgt*>(page.get());
        controllerPage->FromClassToUi();
        c.edit(*page);
        MotorSettings target = source;
        controllerPage->FromUiToClass(&target);
        QCOMPARE(c.check(*page, target), QString());
    }

    void revolutionSensorIsNeverOffered()
    {
        MotorSettings s(nullptr, nullptr);
        PageControlPositionWgt page(nullptr, &s);
        auto* combo = page.findChild<QComboBox*>("baseCombo");
        s.ctp.CTPFlags = CTP_BASE;
        page.FromClassToUi();
        QCOMPARE(combo->currentIndex(), 0);    // shown while the record holds it
        s.ctp.CTPFlags = 0;
        page.FromClassToUi();
        QCOMPARE(combo->currentIndex(), 1);
        page.show();
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Up);
        QTest::keyClick(combo, Qt::Key_Home);
        QWheelEvent wheel(QPointF(5, 5), combo->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &wheel);
        QCOMPARE(combo->currentIndex(), 1);
    }

    void forms_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("power") << 0 << QStringList{"PagePowerWgtClass", "currentReductChk", "holdCurrentSpin",
                                                   "currReductDelaySpin", "powerOffChk", "powerOffDelaySpin",
                                                   "smoothCurrentChk", "smoothCurrentSpin"};
        QTest::newRow("brake") << 1 << QStringList{"PageBrakeWgtClass", "brakeControlChk", "t1Spin", "t2Spin", "t3Spin",
                                                   "t4Spin", "powerOffChk"};
        QTest::newRow("pid") << 2 << QStringList{"PagePidWgtClass", "pCurBox", "iCurBox", "dCurBox", "pVoltBox",
                                                 "iVoltBox", "dVoltBox", "pSpeedBox", "iSpeedBox", "dSpeedBox",
                                                 "pPosBox", "iPosBox", "dPosBox"};
        QTest::newRow("position control") << 3 << QStringList{"PageControlPositionWgtClass", "ctpGroup", "baseCombo",
                                                              "minErrorSpin", "alarmChk", "revSensInvChk"};
        QTest::newRow("extio") << 4 << QStringList{"PageExtioWgtClass", "outputChk", "invertChk", "inModeCombo",
                                                   "outModeCombo"};
        QTest::newRow("uart") << 5 << QStringList{"PageUartWgtClass", "speedCombo", "parityChk", "parityCombo",
                                                  "stopBitsCombo"};
    }

    void forms()
    {
        QFETCH(int, page);
        QFETCH(QStringList, names);
        const std::function<QWidget*(MotorSettings*)> makers[] = {make<PagePowerWgt>, make<PageBrakeWgt>,
            make<PagePidWgt>, make<PageControlPositionWgt>, make<PageExtioWgt>, make<PageUartWgt>};
        MotorSettings s(nullptr, nullptr);
        std::unique_ptr<QWidget> widget(makers[page](&s));
        QCOMPARE(missingObjectNames(widget.get(), names), QString());
        QCOMPARE(focusOrderMismatch(widget.get(), names.mid(1)), QString());
        QVERIFY(!renderPage(widget.get(), names[0]).isEmpty());
    }
};

QTEST_MAIN(TestRecordPages)
#include "tst_recordpages.moc"
