#include <QtTest>

#include <climits>

#include "mainwindow/StatusDisplay.h"

using namespace StatusDisplay;

class TestStatusDisplay : public QObject
{
    Q_OBJECT

private slots:
    void steps_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("microstep");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<bool>("padded");
        QTest::addColumn<QString>("text");
        QTest::newRow("padded") << 5 << 7 << 256 << true << "5 007/256";
        QTest::newRow("padded negative") << -5 << -7 << 256 << true << "-5 -007/256";
        QTest::newRow("zero step, negative microstep") << 0 << -7 << 256 << true << "0 -007/256";
        QTest::newRow("not padded") << 5 << 7 << 256 << false << "5 7/256";
        QTest::newRow("whole steps") << 5 << 0 << 1 << true << "5";
        QTest::newRow("two digits") << 3 << 4 << 16 << true << "3 04/16";
        QTest::newRow("one digit") << 3 << 1 << 2 << true << "3 1/2";
        QTest::newRow("INT_MIN microsteps") << -1 << INT_MIN << 256 << true << "-1 -2147483648/256";
        QTest::newRow("INT_MIN step") << INT_MIN << -255 << 256 << true << "-2147483648 -255/256";
        QTest::newRow("INT_MAX step") << INT_MAX << 255 << 256 << true << "2147483647 255/256";
    }

    void steps()
    {
        QFETCH(int, step);
        QFETCH(int, microstep);
        QFETCH(int, divisor);
        QFETCH(bool, padded);
        QFETCH(QString, text);
        QCOMPARE(stepsText(step, microstep, divisor, padded), text);
    }

    void divisor_data()
    {
        QTest::addColumn<qint64>("min");
        QTest::addColumn<qint64>("max");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<QString>("exponent");
        QTest::newRow("-500..500") << qint64(-500) << qint64(500) << 1 << "";
        QTest::newRow("-1001..0") << qint64(-1001) << qint64(0) << 10 << "x10<sup style=\"font-size:12pt;\"></sup>";
        QTest::newRow("0..2000000") << qint64(0) << qint64(2000000) << 10000 << ">4</sup>";
        QTest::newRow("-1000..1000") << qint64(-1000) << qint64(1000) << 1 << "";
        QTest::newRow("int range") << qint64(INT_MIN) << qint64(INT_MAX) << 10000000 << ">7</sup>";
        QTest::newRow("just above 1e9") << qint64(0) << qint64(1000000001) << 10000000 << ">7</sup>";
        QTest::newRow("1e9") << qint64(0) << qint64(1000000000) << 1000000 << ">6</sup>";
    }

    void divisor()
    {
        QFETCH(qint64, min);
        QFETCH(qint64, max);
        QFETCH(int, divisor);
        QFETCH(QString, exponent);
        QCOMPARE(sliderDivisor(min, max), divisor);
        const QString label = divisorLabelText(divisor, QStringLiteral(" steps"));
        if (exponent.isEmpty()) {
            QVERIFY(label.isEmpty());
        } else {
            QVERIFY2(label.contains(exponent), qPrintable(label));
            QVERIFY(label.contains(QLatin1String("</sup>&nbsp; steps</span>")));
        }
    }

    void range_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("watch");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::newRow("beyond the right") << 0 << 1000 << 1500 << true << 500 << 1500;
        QTest::newRow("beyond the left") << 0 << 1000 << -200 << true << -200 << 800;
        QTest::newRow("inside") << 0 << 1000 << 10 << true << 0 << 1000;
        QTest::newRow("not watched") << 0 << 1000 << 1500 << false << 0 << 1000;
        QTest::newRow("position at INT_MAX") << -10 << 10 << INT_MAX << true << INT_MAX - 20 << INT_MAX;
        QTest::newRow("position at INT_MIN") << -10 << 10 << INT_MIN << true << INT_MIN << INT_MIN + 20;
        QTest::newRow("whole range, position below") << INT_MIN + 1 << INT_MAX << INT_MIN << true << INT_MIN
                                                     << INT_MAX - 1;
        // The width no longer fits: the far end stops at the end of the int range.
        QTest::newRow("width beyond the range") << INT_MIN << INT_MAX - 5 << INT_MAX << true << INT_MIN + 5
                                                << INT_MAX;
        QTest::newRow("right border clamped") << INT_MAX - 1 << INT_MAX << INT_MIN << true << INT_MIN << INT_MIN + 1;
    }

    void range()
    {
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, position);
        QFETCH(bool, watch);
        QFETCH(int, min);
        QFETCH(int, max);
        const Range r = shiftRangeToPosition(left, right, position, watch);
        QCOMPARE(r.min, min);
        QCOMPARE(r.max, max);
    }

    void readings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1234") << voltageText(1234) << "12.34 V";
        QTest::newRow("1200") << voltageText(1200) << "12 V";
        QTest::newRow("253") << temperatureText(253)
                             << "25.3 <span style=\"vertical-align:super;\">0</span>C";
        QTest::newRow("homing") << QString::fromLatin1(commandText(0x86)) << "Homing";
        QTest::newRow("homing failed") << QString::fromLatin1(commandText(0x46)) << "Homing";
        QTest::newRow("command 63") << QString::fromLatin1(commandText(63)) << "Unknown";
        QTest::newRow("power 2") << QString::fromLatin1(powerStateText(2)) << "Unknown";
        QTest::newRow("power 0") << QString::fromLatin1(powerStateText(0)) << "Uknwn";
        QTest::newRow("power 5") << QString::fromLatin1(powerStateText(5)) << "Max";
    }

    void readings()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void limits_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<uint>("nominal");
        QTest::addColumn<bool>("reached");
        QTest::newRow("below") << qint64(-99) << 100u << false;
        QTest::newRow("negative at") << qint64(-100) << 100u << true;
        QTest::newRow("INT_MIN") << qint64(INT_MIN) << 2147483648u << true;
        QTest::newRow("INT_MAX below") << qint64(INT_MAX) << 2147483648u << false;
        QTest::newRow("nominal 0") << qint64(0) << 0u << true;
    }

    void limits()
    {
        QFETCH(qint64, value);
        QFETCH(uint, nominal);
        QFETCH(bool, reached);
        QCOMPARE(atLimit(value, nominal), reached);
    }

    void alarmTintOfGrey()
    {
        int r, g, b;
        alarmTint(239, 239, 239, &r, &g, &b);
        QCOMPARE(QList<int>({r, g, b}), QList<int>({240, 215, 215}));
        alarmTint(255, 0, 10, &r, &g, &b);
        QCOMPARE(QList<int>({r, g, b}), QList<int>({255, 0, 9}));
    }
};

QTEST_APPLESS_MAIN(TestStatusDisplay)
#include "tst_statusdisplay.moc"
