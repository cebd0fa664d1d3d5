#include <QtTest>

#include <QFocusEvent>
#include <QLineEdit>
#include <QSpinBox>

#include "widgets/LongLongSpinBox.h"
#include "widgets/StepSpinBox.h"

#include <limits>

namespace {

void typeText(QAbstractSpinBox& box, const QString& text)
{
    box.selectAll();
    QTest::keyClicks(&box, text);
}

void focusOut(QAbstractSpinBox& box)
{
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(&box, &out);
}

void focusIn(QAbstractSpinBox& box)
{
    QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(&box, &in);
}

// Puts a whole text, suffix included, into the editor and presses Enter.
void enterText(QAbstractSpinBox& box, const QString& text)
{
    box.findChild<QLineEdit*>()->setText(text);
    QTest::keyClick(&box, Qt::Key_Return);
}

QValidator::State check(const StepSpinBox& box, QString text)
{
    int pos = text.size();
    return box.validate(text, pos);
}

} // namespace

class TestStepSpinBox : public QObject
{
    Q_OBJECT

private slots:
    void newBoxHoldsZeroPair();
    void setValueCarriesAndShowsPair();
    void setValueClampsToLimits();
    void mixedSignsAreNormalised();
    void typedPairIsCarried();
    void typedNegativeZeroStep();
    void rejectedKeystrokeKeepsPair();
    void unfinishedTextIsRestoredOnFocusOut();
    void overlongNumbersClamp();
    void suffixIsLiteral();
    void userUnitsKeepTheirDigits();
    void wholeNumberModeKeepsHiddenMicrosteps();
    void stepFactorRescales();
    void limitGettersChangeNothing();
    void arrowsMoveWholeSteps();
    void keysOrderLimits();
    void pairChangeWithSameKeyIsSignalled();
    void targetsTypedAreTakenOrRefused_data();
    void targetsTypedAreTakenOrRefused();

    void longLongTextStates();
    void longLongSteppingClamps();
    void longLongTypedValue();
};

void TestStepSpinBox::newBoxHoldsZeroPair()
{
    StepSpinBox box;
    QCOMPARE(box.unitMode, 1);
    QCOMPARE(box.text(), QStringLiteral("0 0/256"));
    QCOMPARE(box.getStep(), 0);
    QCOMPARE(box.getUStep(), 0);
    QCOMPARE(box.minimum(), -99999.0);
    QCOMPARE(box.maximum(), 99999.0);
}

void TestStepSpinBox::setValueCarriesAndShowsPair()
{
    StepSpinBox box;
    box.setValue(1, 300);
    QCOMPARE(box.getStep(), 2);
    QCOMPARE(box.getUStep(), 44);
    QCOMPARE(box.text(), QStringLiteral("2 44/256"));

    box.setValue(100, 7);
    QCOMPARE(box.text(), QStringLiteral("100 7/256"));
    QCOMPARE(box.value(), 100.7);

    box.setValue(0, -300);
    QCOMPARE(box.getStep(), -1);
    QCOMPARE(box.getUStep(), -44);
    QCOMPARE(box.text(), QStringLiteral("-1 44/256"));

    box.setUStep(5);
    QCOMPARE(box.getStep(), 0);
    QCOMPARE(box.getUStep(), -251);   // -1 step + 5 microsteps, one sign for both parts
}

void TestStepSpinBox::setValueClampsToLimits()
{
    StepSpinBox box;
    box.setValue(-100000, 0);
    QCOMPARE(box.getStep(), -99999);
    QCOMPARE(box.getUStep(), 0);
    box.setValue(99999, 5);
    QCOMPARE(box.getStep(), 99999);
    QCOMPARE(box.getUStep(), 0);

    box.setMinimumStep(std::numeric_limits<int>::min(), 0);
    box.setMaximumStep(std::numeric_limits<int>::max(), 0);
    box.setValue(std::numeric_limits<int>::max(), 255);
    QCOMPARE(box.getStep(), std::numeric_limits<int>::max());
    QCOMPARE(box.getUStep(), 0);
    box.setValue(std::numeric_limits<int>::min(), -1000);
    QCOMPARE(box.getStep(), std::numeric_limits<int>::min());
    QCOMPARE(box.getUStep(), 0);

    // Narrowing the range pulls the held pair in.
    box.setValue(500, 3);
    box.setMaximumStep(100, 0);
    QCOMPARE(box.getStep(), 100);
    QCOMPARE(box.getUStep(), 0);
    QCOMPARE(box.text(), QStringLiteral("100 0/256"));
}

void TestStepSpinBox::mixedSignsAreNormalised()
{
    StepSpinBox box;
    box.setValue(-3, 5);
    QCOMPARE(box.getStep(), -2);
    QCOMPARE(box.getUStep(), -251);
    QCOMPARE(box.text(), QStringLiteral("-2 251/256"));

    // Shown and read back (focus, Enter) the position is the same: -3 * 256 + 5 microsteps.
    focusIn(box);
    QTest::keyClick(&box, Qt::Key_Return);
    focusOut(box);
    QCOMPARE(box.getStep() * 256 + box.getUStep(), -3 * 256 + 5);

    box.setValue(2, -5);
    QCOMPARE(box.getStep(), 1);
    QCOMPARE(box.getUStep(), 251);
}

void TestStepSpinBox::typedPairIsCarried()
{
    StepSpinBox box;
    typeText(box, QStringLiteral("12 300/256"));
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.getStep(), 13);
    QCOMPARE(box.getUStep(), 44);
    QCOMPARE(box.text(), QStringLiteral("13 44/256"));
}

void TestStepSpinBox::typedNegativeZeroStep()
{
    StepSpinBox box;
    typeText(box, QStringLiteral("-0 5/256"));
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.getStep(), 0);
    QCOMPARE(box.getUStep(), -5);
    QCOMPARE(box.value(), -0.05);
    QCOMPARE(box.text(), QStringLiteral("-0 5/256"));

    typeText(box, QStringLiteral("-3 5/256"));
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.getStep(), -3);
    QCOMPARE(box.getUStep(), -5);
}

void TestStepSpinBox::rejectedKeystrokeKeepsPair()
{
    StepSpinBox box;
    box.setValue(5, 10);
    QSignalSpy changed(&box, SIGNAL(valueChanged(double)));
    focusIn(box);
    QTest::keyClick(&box, Qt::Key_End);
    QTest::keyClick(&box, Qt::Key_7);          // "5 10/2567" cannot become a value
    QTest::keyClick(&box, Qt::Key_X);
    QCOMPARE(box.text(), QStringLiteral("5 10/256"));
    QCOMPARE(box.getStep(), 5);
    QCOMPARE(box.getUStep(), 10);
    focusOut(box);
    QCOMPARE(box.getStep(), 5);
    QCOMPARE(box.getUStep(), 10);
    QCOMPARE(changed.count(), 0);

    // A rejected text is never a value, however the box is asked.
    QCOMPARE(check(box, QStringLiteral("abc")), QValidator::Invalid);
    QCOMPARE(box.getStep(), 5);
    QCOMPARE(box.getUStep(), 10);
}

void TestStepSpinBox::unfinishedTextIsRestoredOnFocusOut()
{
    StepSpinBox box;
    box.setValue(5, 10);
    focusIn(box);
    typeText(box, QStringLiteral("-"));
    QCOMPARE(check(box, box.text()), QValidator::Intermediate);
    QCOMPARE(box.getStep(), 5);
    focusOut(box);
    QCOMPARE(box.text(), QStringLiteral("5 10/256"));
    QCOMPARE(box.getStep(), 5);
    QCOMPARE(box.getUStep(), 10);
}

void TestStepSpinBox::overlongNumbersClamp()
{
    StepSpinBox box;
    typeText(box, QStringLiteral("99999999999999999999 5/256"));
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.getStep(), 99999);
    QCOMPARE(box.getUStep(), 0);

    typeText(box, QStringLiteral("-4294967296 0/256"));   // would wrap to 0 in 32 bits
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.getStep(), -99999);

    box.setUnitMode(0, QString(), 0);
    typeText(box, QStringLiteral("4294967297"));          // would wrap to 1 in 32 bits
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.getStep(), 99999);
    QCOMPARE(box.text(), QStringLiteral("99999"));
}

void TestStepSpinBox::suffixIsLiteral()
{
    StepSpinBox box;
    box.setUnitMode(2, QStringLiteral(" (mm)"), 2);
    box.setValue(12.5);
    QCOMPARE(box.text(), QStringLiteral("12.50 (mm)"));
    QCOMPARE(check(box, QStringLiteral("12.34 (mm)")), QValidator::Acceptable);
    QCOMPARE(check(box, QStringLiteral("12.345 (mm)")), QValidator::Invalid);
    QCOMPARE(check(box, QStringLiteral("12.34 (mm")), QValidator::Intermediate);
    QCOMPARE(check(box, QStringLiteral("12.34 mm")), QValidator::Invalid);

    // An empty suffix keeps the current one.
    box.setUnitMode(1, QString(), 0);
    QCOMPARE(box.suffix(), QStringLiteral(" (mm)"));

    box.setUnitMode(1, QStringLiteral(" steps/s^2"), 0);
    QCOMPARE(check(box, QStringLiteral("3 4/256 steps/s^2")), QValidator::Acceptable);
    QCOMPARE(check(box, QStringLiteral("3 4/256 steps/ss2")), QValidator::Invalid);
    enterText(box, QStringLiteral("3 4/256 steps/s^2"));
    QCOMPARE(box.getStep(), 3);
    QCOMPARE(box.getUStep(), 4);
}

void TestStepSpinBox::userUnitsKeepTheirDigits()
{
    StepSpinBox box;
    box.setMinimumStep(std::numeric_limits<int>::min(), 0);
    box.setMaximumStep(std::numeric_limits<int>::max(), 0);
    box.setUnitMode(2, QStringLiteral(" mm"), 2);
    box.setValue(12345.67);
    QCOMPARE(box.text(), QStringLiteral("12345.67 mm"));
    focusIn(box);
    QTest::keyClick(&box, Qt::Key_Return);
    focusOut(box);
    QCOMPARE(box.value(), 12345.67);
    QCOMPARE(box.text(), QStringLiteral("12345.67 mm"));

    box.setValue(1000000.25);
    QCOMPARE(box.text(), QStringLiteral("1000000.25 mm"));   // no exponent
    box.setValue(-0.001);
    QCOMPARE(box.text(), QStringLiteral("0.00 mm"));   // every decimal, as the positions show them
    box.setValue(-1000);
    QCOMPARE(box.text(), QStringLiteral("-1000.00 mm"));

    enterText(box, QStringLiteral("2500000.5 mm"));
    QCOMPARE(box.value(), 2500000.5);

    // Back to steps: the whole part stays.
    box.setUnitMode(1, QStringLiteral(" steps"), 0);
    QCOMPARE(box.getStep(), 2500000);
    QCOMPARE(box.getUStep(), 0);
    QCOMPARE(box.text(), QStringLiteral("2500000 0/256 steps"));
}

void TestStepSpinBox::wholeNumberModeKeepsHiddenMicrosteps()
{
    StepSpinBox box;
    box.setUnitMode(0, QStringLiteral(" counts"), 0);
    box.setValue(5, 100);
    QCOMPARE(box.text(), QStringLiteral("5 counts"));
    focusIn(box);
    QTest::keyClick(&box, Qt::Key_Return);
    focusOut(box);
    QCOMPARE(box.getStep(), 5);
    QCOMPARE(box.getUStep(), 100);

    enterText(box, QStringLiteral("42 counts"));
    QCOMPARE(box.getStep(), 42);
    QCOMPARE(box.getUStep(), 0);
}

void TestStepSpinBox::stepFactorRescales()
{
    StepSpinBox box;
    box.setValue(10, 128);
    box.setStepFactor(8);
    QCOMPARE(box.getStep(), 10);
    QCOMPARE(box.getUStep(), 4);
    QCOMPARE(box.text(), QStringLiteral("10 4/8"));

    box.setStepFactor(0);   // counts as 1
    QCOMPARE(box.getStepFactor(), 1);
    QCOMPARE(box.getUStep(), 0);
    QCOMPARE(box.text(), QStringLiteral("10 0/1"));
    box.setValue(3, 7);     // every microstep is a whole step
    QCOMPARE(box.getStep(), 10);
    QCOMPARE(box.getUStep(), 0);

    box.setStepFactor(-5);
    QCOMPARE(box.getStepFactor(), 1);
}

void TestStepSpinBox::limitGettersChangeNothing()
{
    StepSpinBox box;
    box.setMinimumStep(-10, 0);
    box.setMaximumStep(20, 5);
    box.setValue(3, 7);
    QCOMPARE(box.minimumStep(), -10.0);
    QCOMPARE(box.maximumStep(), 20.5);
    QCOMPARE(box.getStep(), 3);
    QCOMPARE(box.getUStep(), 7);
    QCOMPARE(box.text(), QStringLiteral("3 7/256"));
}

void TestStepSpinBox::arrowsMoveWholeSteps()
{
    StepSpinBox box;
    box.setValue(10, 7);
    box.stepBy(1);
    QCOMPARE(box.getStep(), 11);
    QCOMPARE(box.getUStep(), 7);
    QCOMPARE(box.text(), QStringLiteral("11 7/256"));

    box.setValue(0, -5);
    box.stepBy(1);   // one whole step up from -5/256
    QCOMPARE(box.getStep(), 0);
    QCOMPARE(box.getUStep(), 251);

    box.setValue(99998, 0);
    box.stepBy(10);
    QCOMPARE(box.getStep(), 99999);
    QCOMPARE(box.getUStep(), 0);
    QCOMPARE(box.text(), QStringLiteral("99999 0/256"));
}

void TestStepSpinBox::keysOrderLimits()
{
    // The limits compare keys: (100, 9) has the key 100.9, above the key 100.5 of (100, 50).
    StepSpinBox box;
    box.setMaximumStep(100, 50);
    box.setValue(100, 9);
    QCOMPARE(box.getUStep(), 50);
    box.setValue(100, 10);
    QCOMPARE(box.getUStep(), 10);
}

void TestStepSpinBox::pairChangeWithSameKeyIsSignalled()
{
    StepSpinBox box;
    box.setValue(100, 5);
    QSignalSpy changed(&box, SIGNAL(valueChanged(double)));
    box.setValue(100, 50);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(box.text(), QStringLiteral("100 50/256"));
}

// A target box as the control windows have it, holding 7 3/256 (7.5 mm): a text typed over it
// is taken whole or refused with the reason, never clamped, and a refused one stays on show,
// the value untouched, through the owners' changes, the arrows and the focus, until typed over.
void TestStepSpinBox::targetsTypedAreTakenOrRefused_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("holds");   // "step uStep", or the value in mm
    QTest::addColumn<QString>("why");     // empty: taken
    const QString steps = "is beyond what the box can hold, -2147483648 to 2147483647 steps";
    QTest::newRow("steps") << 1 << "2000" << "2000 0" << "";
    QTest::newRow("the divisor completed") << 1 << "300 64" << "300 64" << "";
    QTest::newRow("a divisor cut short completed") << 1 << "5 3/25" << "5 3" << "";
    QTest::newRow("microsteps carried") << 1 << "12 300/256" << "13 44" << "";
    QTest::newRow("minus zero steps") << 1 << "-0 5/256" << "0 -5" << "";
    QTest::newRow("the top limit itself") << 1 << "2147483647" << "2147483647 0" << "";
    QTest::newRow("the bottom limit itself") << 1 << "-2147483648" << "-2147483648 0" << "";
    QTest::newRow("one above") << 1 << "2147483648" << "7 3" << "\"2147483648\" " + steps;
    QTest::newRow("a microstep below") << 1 << "-2147483648 1/256" << "7 3" << "\"-2147483648 1/256\" " + steps;
    QTest::newRow("carried beyond") << 1 << "2147483647 256/256" << "7 3" << "\"2147483647 256/256\" " + steps;
    QTest::newRow("too long to hold") << 1 << "99999999999999999999" << "7 3" << "\"99999999999999999999\" " + steps;
    QTest::newRow("would wrap in 32 bits") << 1 << "-4294967296" << "7 3" << "\"-4294967296\" " + steps;
    QTest::newRow("a sign only") << 1 << "-" << "7 3" << "\"-\" is not a target";
    QTest::newRow("nothing") << 1 << "" << "7 3" << "\"\" is not a target";
    QTest::newRow("counts") << 0 << "42" << "42 0" << "";
    QTest::newRow("no blank in counts") << 0 << "12 5" << "125 0" << "";
    QTest::newRow("counts beyond") << 0 << "123456789012" << "7 3"
                                   << "\"123456789012\" is beyond what the box can hold, -2147483648 to 2147483647 counts";
    QTest::newRow("mm") << 2 << "-1.5" << "-1.50" << "";
    QTest::newRow("the top in mm") << 2 << "2147483.64" << "2147483.64" << "";
    QTest::newRow("a hundredth beyond in mm")
        << 2 << "-2147483.65" << "7.50" << "\"-2147483.65\" is beyond what the box can hold, -2147483.64 to 2147483.64 mm";
    QTest::newRow("a point only") << 2 << "." << "7.50" << "\".\" is not a target";
}

void TestStepSpinBox::targetsTypedAreTakenOrRefused()
{
    QFETCH(int, mode);
    QFETCH(QString, typed);
    QFETCH(QString, holds);
    QFETCH(QString, why);
    const char* const suffixes[] = {" counts", " steps", " mm"};
    QWidget window;
    StepSpinBox box(&window);
    QSpinBox other(&window);
    box.setMinimumStep(std::numeric_limits<int>::min(), 0);
    box.setMaximumStep(std::numeric_limits<int>::max(), 0);
    box.setKeepsUnfinishedText(true);
    const auto owner = [&box, mode, &suffixes] { // what the windows do when settings or units change
        box.setUnitMode(mode, QLatin1String(suffixes[mode]), 2, 0.001);
        box.setStepFactor(256);
    };
    owner();
    if (mode == 2)
        box.setValue(7.5);
    else
        box.setValue(7, 3);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    box.setFocus();
    box.selectAll();
    QTest::keyClick(&box, Qt::Key_Delete);
    QTest::keyClicks(&box, typed);
    const QString shown = box.text();
    const auto held = [&box, mode] {
        return mode == 2 ? QString::number(box.value(), 'f', 2) : QStringLiteral("%1 %2").arg(box.getStep()).arg(box.getUStep());
    };
    QCOMPARE(box.commitText(), why.isEmpty());
    QCOMPARE(held(), holds);
    if (why.isEmpty()) {
        QVERIFY(!box.untakenText());
        return;
    }
    QCOMPARE(shown, typed + QLatin1String(suffixes[mode]));
    QCOMPARE(box.whyNoTarget(), why);
    QCOMPARE(box.untakenText().value_or("<none>"), shown);
    owner();
    if (mode == 2)
        box.setValue(7.5);
    else
        box.setValue(7, 3);
    window.hide();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&box, Qt::Key_Up);
    box.stepBy(10);
    other.setFocus();
    box.setFocus();
    QCOMPARE(box.text(), shown);
    QCOMPARE(box.commitText(), false);
    QCOMPARE(box.whyNoTarget(), why);
    QCOMPARE(held(), holds);
    // Typed over, it goes.
    typeText(box, QStringLiteral("8"));
    QVERIFY(box.commitText());
    QCOMPARE(held(), mode == 2 ? QStringLiteral("8.00") : QStringLiteral("8 0"));
}

void TestStepSpinBox::longLongTextStates()
{
    LongLongSpinBox box;
    QCOMPARE(box.value(), qint64(0));
    QCOMPARE(box.text(), QStringLiteral("0"));
    auto state = [&box](QString text) {
        int pos = text.size();
        return box.validate(text, pos);
    };
    QCOMPARE(state(QString()), QValidator::Intermediate);
    QCOMPARE(state(QStringLiteral("-")), QValidator::Intermediate);
    QCOMPARE(state(QStringLiteral("9223372036854775807")), QValidator::Acceptable);
    QCOMPARE(state(QStringLiteral("-9223372036854775808")), QValidator::Acceptable);
    QCOMPARE(state(QStringLiteral("9223372036854775808")), QValidator::Invalid);
    QCOMPARE(state(QStringLiteral("12a")), QValidator::Invalid);
    // Asking changes nothing.
    QCOMPARE(box.value(), qint64(0));
}

void TestStepSpinBox::longLongSteppingClamps()
{
    const qint64 max = std::numeric_limits<qint64>::max();
    const qint64 min = std::numeric_limits<qint64>::min();
    LongLongSpinBox box;
    box.setValue(max - 5);
    QTest::keyClick(&box, Qt::Key_PageUp);   // ten steps
    QCOMPARE(box.value(), max);
    QCOMPARE(box.text(), QString::number(max));
    QCOMPARE(int(box.stepEnabled() & QAbstractSpinBox::StepUpEnabled), 0);
    QVERIFY(box.stepEnabled() & QAbstractSpinBox::StepDownEnabled);
    box.stepBy(1);
    QCOMPARE(box.value(), max);

    box.setValue(min + 3);
    box.stepBy(-10);
    QCOMPARE(box.value(), min);
    QCOMPARE(int(box.stepEnabled() & QAbstractSpinBox::StepDownEnabled), 0);
    QVERIFY(box.stepEnabled() & QAbstractSpinBox::StepUpEnabled);

    box.setWrapping(true);
    box.stepBy(-1);
    QCOMPARE(box.value(), max);

    box.setWrapping(false);
    box.setValue(41);
    QTest::keyClick(&box, Qt::Key_Up);
    QCOMPARE(box.value(), qint64(42));
}

void TestStepSpinBox::longLongTypedValue()
{
    LongLongSpinBox box;
    typeText(box, QStringLiteral("-1234567890123"));
    QCOMPARE(box.value(), Q_INT64_C(-1234567890123));

    typeText(box, QStringLiteral("-"));
    QCOMPARE(box.value(), Q_INT64_C(-1234567890123));
    focusIn(box);
    focusOut(box);
    QCOMPARE(box.text(), QStringLiteral("-1234567890123"));
}

QTEST_MAIN(TestStepSpinBox)
#include "tst_stepspinbox.moc"
