#include <QtTest>

#include <climits>
#include <limits>

#include "multiaxis/UserUnits.h"

class tst_userunits : public QObject
{
    Q_OBJECT

private slots:
    void positionText_data();
    void positionText();
    void unitPositionText_data();
    void unitPositionText();
    void toStepPair_data();
    void toStepPair();
};

void tst_userunits::positionText_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("uStep");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<QString>("text");
    QTest::newRow("no microsteps") << 1500 << 0 << 1 << "1500";
    QTest::newRow("256") << 12 << 5 << 256 << "12 005/256";
    QTest::newRow("256 negative") << -12 << -5 << 256 << "-12 -005/256";
    QTest::newRow("256 zero steps") << 0 << -5 << 256 << "0 -005/256";
    QTest::newRow("256 minus one") << -1 << 0 << 256 << "-1 -000/256";
    QTest::newRow("8") << 3 << 2 << 8 << "3 2/8";
    QTest::newRow("16") << 3 << 2 << 16 << "3 02/16";
    QTest::newRow("16 negative") << 0 << -2 << 16 << "0 -02/16";
    QTest::newRow("int min") << INT_MIN << INT_MIN << 256 << "-2147483648 -2147483648/256";
}

void tst_userunits::positionText()
{
    QFETCH(int, step);
    QFETCH(int, uStep);
    QFETCH(int, divisor);
    QFETCH(QString, text);
    QCOMPARE(UserUnits::positionToString(step, uStep, divisor), text);
}

void tst_userunits::unitPositionText_data()
{
    QTest::addColumn<uint>("coeff1");
    QTest::addColumn<uint>("coeff2");
    QTest::addColumn<uint>("precision");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("uStep");
    QTest::addColumn<QString>("text");
    QTest::newRow("a third") << 3u << 1u << 2u << 1 << 0 << "0.33 mm";
    QTest::newRow("minus a third, as its magnitude") << 3u << 1u << 2u << -1 << 0 << "-0.33 mm";
    QTest::newRow("0.33 on its nearest microstep") << 3u << 1u << 2u << 0 << 253 << "0.33 mm";
    QTest::newRow("a million: no exponent") << 1u << 1000u << 2u << 1000 << 0 << "1000000.00 mm";
    QTest::newRow("nine decimals kept") << 1u << 1u << 9u << 1234567 << 128 << "1234567.500000000 mm";
    QTest::newRow("zero is not negative") << 3u << 1u << 2u << 0 << 0 << "0.00 mm";
    QTest::newRow("no decimals") << 2u << 1u << 0u << 3 << 0 << "2 mm";
    QTest::newRow("no decimals, minus a half: away from zero") << 2u << 1u << 0u << -3 << 0 << "-2 mm";
}

void tst_userunits::unitPositionText()
{
    QFETCH(uint, coeff1);
    QFETCH(uint, coeff2);
    QFETCH(uint, precision);
    QFETCH(int, step);
    QFETCH(int, uStep);
    QFETCH(QString, text);
    UserUnits units;
    units.recalcEnabled = true;
    units.units = QStringLiteral("mm");
    units.coeff1 = coeff1;
    units.coeff2 = coeff2;
    units.precision = precision;
    QCOMPARE(units.unitPositionText(step, uStep, 256), text);
}

// Coefficients as the dialog takes them: coeff1 full steps are coeff2 units.
void tst_userunits::toStepPair_data()
{
    QTest::addColumn<bool>("click");
    QTest::addColumn<double>("value");
    QTest::addColumn<uint>("coeff1");
    QTest::addColumn<uint>("coeff2");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("uStep");
    QTest::newRow("1.5 units at 0.5") << false << 1.5 << 2u << 1u << 256 << 3 << 0;
    QTest::newRow("-0.75 units at 0.5") << false << -0.75 << 2u << 1u << 256 << -1 << -128;
    QTest::newRow("5.0 units at 2") << false << 5.0 << 1u << 2u << 256 << 2 << 128;
    QTest::newRow("a third of a step: nearest, not truncated") << false << 0.335 << 1u << 1u << 256 << 0 << 86;
    QTest::newRow("1.7 counts: nearest count") << false << 3.4 << 1u << 2u << 1 << 2 << 0;
    QTest::newRow("10^12 units") << false << 1e12 << 1u << 1u << 256 << INT_MAX << 0;
    QTest::newRow("-10^12 units") << false << -1e12 << 1u << 1u << 256 << INT_MIN << 0;
    QTest::newRow("NaN") << false << std::numeric_limits<double>::quiet_NaN() << 1u << 1u << 256 << 0 << 0;
    QTest::newRow("click at 10") << true << 10.0 << 1u << 1u << 256 << 10 << 128;
    QTest::newRow("click at -3") << true << -3.0 << 1u << 1u << 256 << -3 << 128;
    QTest::newRow("click at 1.23 mm at 100 per mm") << true << 1.23 << 100u << 1u << 256 << 123 << 128;
    QTest::newRow("click beyond the range") << true << 3e9 << 1u << 1u << 256 << INT_MAX << 0;
}

void tst_userunits::toStepPair()
{
    QFETCH(bool, click);
    QFETCH(double, value);
    QFETCH(int, divisor);
    UserUnits units;
    units.recalcEnabled = true;
    QFETCH(uint, coeff1);
    QFETCH(uint, coeff2);
    units.coeff1 = coeff1;
    units.coeff2 = coeff2;
    const long double steps = units.displayToSteps(value);
    const UserUnits::StepPair pair =
        click ? UserUnits::clickStepPair(steps, divisor) : UserUnits::nearestStepPair(steps, divisor);
    QTEST(pair.step, "step");
    QTEST(pair.uStep, "uStep");
}

QTEST_APPLESS_MAIN(tst_userunits)
#include "tst_userunits.moc"
