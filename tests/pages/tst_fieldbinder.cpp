#include <QtTest>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include <cstring>
#include <functional>
#include <limits>

#include "widgets/StepSpinBox.h"
#include "pages/ControllerPageWgt.h"
#include "settings_model/MotorSettings.h"
#include "support/RandomRecords.h"

namespace {

const uint32_t uMax = std::numeric_limits<uint32_t>::max();

// One widget of every binder kind, each on a field of its own.
struct Bench
{
    MotorSettings source{nullptr, nullptr};
    FieldBinder binder{&source};
    QSpinBox plainBox, tenfoldBox;
    QDoubleSpinBox tenthBox;
    StepSpinBox stepBox;
    QCheckBox mergeChk, rebuildChk;
    QComboBox bitCombo, fieldCombo, valueCombo;
    QRadioButton first, second;
    QLineEdit textEdit;

    Bench()
    {
        plainBox.setRange(0, std::numeric_limits<int>::max());
        tenfoldBox.setRange(0, 1000000);
        tenthBox.setRange(0, 1000);
        tenthBox.setDecimals(1);
        stepBox.setMinimumStep(-1000000, 0);
        stepBox.setMaximumStep(1000000, 0);
        bitCombo.addItems({"set", "clear"});
        fieldCombo.addItems({"0", "1", "2", "3"});
        valueCombo.addItems({"0", "1", "2"});
        binder.plain(&plainBox, &source.engine.NomCurrent);
        binder.tenfold(&tenfoldBox, &source.secure.LowUpwrOff);
        binder.tenth(&tenthBox, &source.secure.CriticalT);
        binder.stepPair(&stepBox, &source.edges.LeftBorder, &source.edges.uLeftBorder, FieldBinder::PositionUnit, true);
        binder.flagWord(&source.edges.BorderFlags, FieldBinder::Rebuild);
        binder.flag(&mergeChk, &source.engine.EngineFlags, 0x1);
        binder.flag(&rebuildChk, &source.edges.BorderFlags, 0x2);
        binder.bitCombo(&bitCombo, &source.syncIn.SyncInFlags, 0x4, 0);
        binder.bitFieldCombo(&fieldCombo, &source.extio.EXTIOModeFlags, 0x30);
        binder.valueCombo(&valueCombo, &source.feedback.FeedbackType);
        binder.radioGroup({{&first, 1}, {&second, 2}}, &source.uart.Speed, uMax, nullptr);
        binder.text(&textEdit, source.controllerName.ControllerName);
    }
    // Shows the source, then stores into a copy of it.
    MotorSettings storedAfter(const std::function<void(Bench&)>& edit)
    {
        binder.toUi();
        edit(*this);
        MotorSettings target(nullptr, nullptr);
        std::memcpy(&target, &source, sizeof target);
        binder.fromUi(&target);
        return target;
    }
};

QByteArray bytes(const char* field, int size) { return QByteArray(field, size); }

class StepPage : public ControllerPageWgt
{
public:
    explicit StepPage(MotorSettings* s) : ControllerPageWgt(nullptr, s)
    {
        binder.stepPair(&box, &s->move.Speed, &s->move.uSpeed, FieldBinder::SpeedUnit, true);
    }
    void setEngineType(unsigned int type) override { applyEngineType(type); }
    void retranslate() override { box.setSuffix(QString()); }    // as retranslateUi would
    StepSpinBox box;
};

} // namespace

using Edit = std::function<void(Bench&)>;
Q_DECLARE_METATYPE(Edit)

class TestFieldBinder : public QObject
{
    Q_OBJECT

private slots:
    void oneEditChangesOnlyItsField_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<size_t>("offset");
        QTest::addColumn<size_t>("size");
        QTest::addColumn<QByteArray>("stored");
        auto u32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
        auto i32pair = [](int32_t a, int32_t b) {
            return QByteArray(reinterpret_cast<const char*>(&a), 4) + QByteArray(reinterpret_cast<const char*>(&b), 4);
        };
        MotorSettings m(nullptr, nullptr);
        auto at = [&m](const void* field) { return size_t(static_cast<const char*>(field) - reinterpret_cast<const char*>(&m)); };

        QTest::newRow("plain") << Edit([](Bench& b) { b.plainBox.setValue(4321); }) << at(&m.engine.NomCurrent)
                               << size_t(4) << u32(4321);
        QTest::newRow("tenfold 1207") << Edit([](Bench& b) { b.tenfoldBox.setValue(1207); })
                                      << at(&m.secure.LowUpwrOff) << size_t(4) << u32(120);
        QTest::newRow("tenth 25.3") << Edit([](Bench& b) { b.tenthBox.setValue(25.3); }) << at(&m.secure.CriticalT)
                                    << size_t(4) << u32(253);
        QTest::newRow("typed step pair") << Edit([](Bench& b) {
            b.binder.setEngineType(3, 256, UnitTextSet{" steps", "", ""});
            b.stepBox.findChild<QLineEdit*>()->setText("-12 34/256 steps");
            QTest::keyClick(&b.stepBox, Qt::Key_Enter);
        }) << at(&m.edges.LeftBorder) << size_t(8) << i32pair(-12, -34);
        QTest::newRow("chosen item") << Edit([](Bench& b) { b.valueCombo.setCurrentIndex(2); })
                                     << at(&m.feedback.FeedbackType) << size_t(4) << u32(2);
        QTest::newRow("Café") << Edit([](Bench& b) { b.textEdit.setText(QString::fromUtf8("Caf\xC3\xA9")); })
                              << at(&m.controllerName.ControllerName) << size_t(17)
                              << QByteArray("Caf\xC3\xA9\0\0\0\0\0\0\0\0\0\0\0\0", 17);
        QTest::newRow("16 ASCII then é") << Edit([](Bench& b) { b.textEdit.setText(QString::fromUtf8("abcdefghijklmnop\xC3\xA9")); })
                                         << at(&m.controllerName.ControllerName) << size_t(17)
                                         << QByteArray("abcdefghijklmnop\0", 17);
    }

    void oneEditChangesOnlyItsField()
    {
        QFETCH(Edit, edit);
        QFETCH(size_t, offset);
        QFETCH(size_t, size);
        QFETCH(QByteArray, stored);
        for (quint32 seed = 1; seed <= 20; ++seed) {
            Bench b;
            QRandomGenerator rng(seed);
            fillRandom(b.source, rng);
            b.source.edges.BorderFlags = 0x2;    // only shown bits: the rebuild word comes back whole
            const MotorSettings target = b.storedAfter(edit);
            const char* after = reinterpret_cast<const char*>(&target);
            const char* before = reinterpret_cast<const char*>(&b.source);
            QCOMPARE(bytes(after + offset, int(size)), stored);
            QCOMPARE(bytes(after, int(offset)), bytes(before, int(offset)));
            QCOMPARE(bytes(after + offset + size, int(offsetof(MotorSettings, handle) - offset - size)),
                     bytes(before + offset + size, int(offsetof(MotorSettings, handle) - offset - size)));
        }
    }

    void uneditedWritesWhatWasLoaded()
    {
        Bench b;
        b.source.engine.NomCurrent = 0x80000005u;          // beyond every int
        b.source.secure.LowUpwrOff = 429496800u;           // × 10 wraps in 32 bits to 704
        b.source.edges.LeftBorder = 5;                     // mixed signs: no box shows that
        b.source.edges.uLeftBorder = -3;
        b.source.feedback.FeedbackType = 9;                // no entry
        b.source.extio.EXTIOModeFlags = 0x30;
        b.source.uart.Speed = 7;                           // no button
        b.binder.toUi();
        QCOMPARE(b.plainBox.value(), b.plainBox.maximum());
        QCOMPARE(b.tenfoldBox.value(), b.tenfoldBox.maximum());
        QCOMPARE(b.valueCombo.currentIndex(), -1);

        MotorSettings target(nullptr, nullptr);
        target.uart.Speed = 11;
        b.binder.fromUi(&target);
        QCOMPARE(target.engine.NomCurrent, 0x80000005u);
        QCOMPARE(target.secure.LowUpwrOff, 429496800u);
        QCOMPARE(target.edges.LeftBorder, 5);
        QCOMPARE(target.edges.uLeftBorder, -3);
        QCOMPARE(target.feedback.FeedbackType, 9u);
        QCOMPARE(target.uart.Speed, 11u);                  // a radio group matching nothing keeps the target's

        // A combo left with nothing current after an edit stores nothing, never -1.
        b.fieldCombo.setCurrentIndex(-1);
        target.extio.EXTIOModeFlags = 0x10;
        b.binder.fromUi(&target);
        QCOMPARE(target.extio.EXTIOModeFlags, 0x10u);

        // An edit stores the converted value, clamped to the field.
        b.fieldCombo.setCurrentIndex(2);
        b.valueCombo.setCurrentIndex(1);
        b.plainBox.setValue(7);
        b.binder.fromUi(&target);
        QCOMPARE(target.extio.EXTIOModeFlags, 0x20u);
        QCOMPARE(target.feedback.FeedbackType, 1u);
        QCOMPARE(target.engine.NomCurrent, 7u);
    }

    void wordStyles()
    {
        Bench b;
        b.source.engine.EngineFlags = 0xF0;
        b.source.edges.BorderFlags = 0xF0;
        b.source.syncIn.SyncInFlags = 0;
        b.binder.toUi();
        QVERIFY(!b.mergeChk.isChecked());
        QCOMPARE(b.bitCombo.currentIndex(), 1);
        b.mergeChk.setChecked(true);
        b.rebuildChk.setChecked(true);
        b.bitCombo.setCurrentIndex(0);
        MotorSettings target(nullptr, nullptr);
        target.engine.EngineFlags = 0xF00;
        target.edges.BorderFlags = 0xF00;
        b.binder.fromUi(&target);
        QCOMPARE(target.engine.EngineFlags, 0xF01u);       // merge keeps the target's other bits
        QCOMPARE(target.edges.BorderFlags, 0x2u);          // rebuild keeps only the shown ones
        QCOMPARE(target.syncIn.SyncInFlags, 0x4u);
        QCOMPARE(b.binder.shownBits(&b.source.edges.BorderFlags), 0x2u);
    }

    void exclusiveRadioFollowsTheBit()
    {
        // A radio button of an exclusive pair standing for a bit: a load with the bit clear must not
        // leave it showing the bit set.
        for (bool inGroup : {false, true}) {
            MotorSettings s(nullptr, nullptr);
            QWidget frame;
            auto* byPosition = new QRadioButton(&frame);
            auto* bySwitches = new QRadioButton(&frame);
            QButtonGroup group;
            if (inGroup) {
                group.addButton(byPosition);
                group.addButton(bySwitches);
            }
            bySwitches->setChecked(true);
            FieldBinder binder(&s);
            binder.flag(byPosition, &s.edges.BorderFlags, 0x1);
            for (uint32_t flags : {0x1u, 0x0u, 0x1u, 0x0u}) {
                s.edges.BorderFlags = flags;
                binder.toUi();
                QCOMPARE(byPosition->isChecked(), flags == 0x1u);
            }
            QVERIFY(byPosition->autoExclusive());
            QCOMPARE(group.exclusive(), true);
        }
    }

    void textsAreUtf8()
    {
        Bench b;
        std::memset(b.source.controllerName.ControllerName, 0, 17);
        std::memcpy(b.source.controllerName.ControllerName, "\xC3\xA9", 2);
        b.binder.toUi();
        QCOMPARE(b.textEdit.text(), QString::fromUtf8("\xC3\xA9"));

        // No NUL, a broken character at the end: shown bounded, written back byte for byte.
        std::memset(b.source.controllerName.ControllerName, 'x', 17);
        b.source.controllerName.ControllerName[16] = '\xC3';
        b.binder.toUi();
        MotorSettings target(nullptr, nullptr);
        b.binder.fromUi(&target);
        QCOMPARE(bytes(target.controllerName.ControllerName, 17), bytes(b.source.controllerName.ControllerName, 17));
    }

    void engineTypeAndRetranslation()
    {
        MotorSettings s(nullptr, nullptr);
        s.engine.MicrostepMode = 5;    // 16 microsteps
        StepPage page(&s);
        const UnitTextSet dialogTexts{" counts", " rpm", " rpm/s"};
        speedUnit = QStringLiteral(" steps/s");
        page.setEngineType(3);
        QCOMPARE(page.box.unitMode, 1);
        QCOMPARE(page.box.getStepFactor(), 16);
        QCOMPARE(page.box.suffix(), QStringLiteral(" steps/s"));    // no texts handed: the globals
        page.setUnitTexts(&dialogTexts);
        page.setEngineType(1);
        QCOMPARE(page.box.unitMode, 0);
        QCOMPARE(page.box.suffix(), QStringLiteral(" rpm"));
        QEvent change(QEvent::LanguageChange);
        QApplication::sendEvent(&page, &change);
        QCOMPARE(page.box.suffix(), QStringLiteral(" rpm"));
    }
};

QTEST_MAIN(TestFieldBinder)
#include "tst_fieldbinder.moc"
