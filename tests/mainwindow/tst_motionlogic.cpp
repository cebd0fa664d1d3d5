#include <QTest>
#include "support/TestTime.h"

#include <cstring>
#include <memory>

#include "device/AxisCourier.h"
#include "device/DeviceInterface.h"
#include "mainwindow/CyclicMotion.h"
#include "mainwindow/ExitSequence.h"
#include "device/MotionRules.h"
#include "mainwindow/ZeroCommand.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/CyclicSettings.h"
#include "settings_model/SliderSettings.h"
#include "support/SimulatedAxis.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

status_t sample(int position, int uposition, uint32_t moveSts, uint32_t mvCmdSts, uint32_t gpio = 0)
{
    status_t s;
    std::memset(&s, 0, sizeof s);
    s.CurPosition = position;
    s.uCurPosition = uposition;
    s.MoveSts = moveSts;
    s.MvCmdSts = mvCmdSts;
    s.GPIOFlags = gpio;
    return s;
}

// The commands (and set_ calls) the journal holds for the axis, "command_" left out, space separated.
QString sentSince(int from = 0)
{
    QStringList sent;
    for (int i = from; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) != 0 || std::strcmp(call.device, axis) != 0)
            continue;
        const QString name = QString::fromLatin1(call.function);
        if (name.startsWith(QLatin1String("command_")))
            sent << name.mid(8);
        else if (name.startsWith(QLatin1String("set_")))
            sent << name;
    }
    return sent.join(QLatin1Char(' '));
}

// The leg sent is answered.
bool answered(const CyclicMotion& cyclic)
{
    return QTest::qWaitFor([&cyclic] { return !cyclic.legInFlight(); }, scaledMs(5000));
}

} // namespace

class TestMotionLogic : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        handle = openOnFreshSimulator(gateway, axis);
        QVERIFY(handle != -1);
        trovsim_journal_clear();
    }
    void cleanup() { closeAndRelease(gateway, handle); }

    // Each GPIO sample is "L", "R", "LR" or "-"; the expected text lists the commands per sample.
    void borderToBorderSendsOneStopAndOneReversePerArrival_data()
    {
        QTest::addColumn<QStringList>("edges");
        QTest::addColumn<QString>("sent");
        QTest::newRow("left, leave, right") << QStringList{"-", "L", "L", "-", "R", "R", "-", "L"}
                                            << "left | - | stop right | - | - | stop left | - | - | stop right";
        QTest::newRow("both lit reverse to the right") << QStringList{"LR", "LR"} << "left | stop right | -";
        QTest::newRow("starting on an edge") << QStringList{"R", "-", "R"} << "left | stop left | - | stop left";
    }
    void borderToBorderSendsOneStopAndOneReversePerArrival()
    {
        QFETCH(QStringList, edges);
        QFETCH(QString, sent);
        CyclicSettings settings;
        settings.type = 0;
        AxisCourier courier(gateway.get(), &handle, QStringLiteral("SN 1"));
        CyclicMotion cyclic(&courier, &courier);
        QStringList got;
        QVERIFY(cyclic.start(settings));
        QVERIFY(answered(cyclic));
        got << sentSince();
        for (const QString& at : edges) {
            const int from = trovsim_journal_size();
            const uint32_t gpio = (at.contains('L') ? STATE_LEFT_EDGE : 0) | (at.contains('R') ? STATE_RIGHT_EDGE : 0);
            cyclic.step(sample(0, 0, 0, 0, gpio), settings);
            QVERIFY(answered(cyclic));
            const QString now = sentSince(from);
            got << (now.isEmpty() ? QStringLiteral("-") : now);
        }
        QCOMPARE(got.join(QLatin1String(" | ")), sent);
    }

    // Points 0 and 100. Samples: position, microsteps, MoveSts, MvCmdSts. "move" forced -1 once.
    void pointToPointStartsALegOnlyWhenStoppedExactlyOnThePoint_data()
    {
        QTest::addColumn<QList<QList<int>>>("samples");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<int>("lastTarget");
        QTest::newRow("a full swing") << QList<QList<int>>{{0, 0, 0, 0}, {50, 0, 1, 0x81}, {100, 0, 0, 0x01},
                                                           {40, 0, 1, 0x81}, {0, 0, 0, 0x01}}
                                      << "move | move | - | move | - | move" << 100;
        QTest::newRow("passing the point while moving")
            << QList<QList<int>>{{0, 0, 1, 0x81}, {0, 0, 3, 0x81}} << "move | - | -" << 0;
        QTest::newRow("ramp over, command still running") << QList<QList<int>>{{0, 0, 0, 0x88}} << "move | -" << 0;
        QTest::newRow("microsteps off the point") << QList<QList<int>>{{0, 3, 0, 0}, {0, -3, 0, 0}}
                                                  << "move | - | -" << 0;
        QTest::newRow("a failed leg is tried again") << QList<QList<int>>{{0, 0, 0, 0, -1}, {0, 0, 0, 0}}
                                                     << "move | move | move" << 100;
    }
    void pointToPointStartsALegOnlyWhenStoppedExactlyOnThePoint()
    {
        QFETCH(QList<QList<int>>, samples);
        QFETCH(QString, sent);
        QFETCH(int, lastTarget);
        CyclicSettings settings;
        settings.type = 1;
        settings.leftPoint = 0;
        settings.rightPoint = 100;
        AxisCourier courier(gateway.get(), &handle, QStringLiteral("SN 1"));
        CyclicMotion cyclic(&courier, &courier);
        QStringList got;
        cyclic.start(settings);
        QVERIFY(answered(cyclic));
        got << sentSince();
        for (const QList<int>& s : samples) {
            if (s.size() > 4)
                trovsim_force_result(axis, "command_move", s[4], 1);
            const int from = trovsim_journal_size();
            cyclic.step(sample(s[0], s[1], uint32_t(s[2]), uint32_t(s[3])), settings);
            QVERIFY(answered(cyclic));
            const QString now = sentSince(from);
            got << (now.isEmpty() ? QStringLiteral("-") : now);
        }
        QCOMPARE(got.join(QLatin1String(" | ")), sent);
        QCOMPARE(cyclic.lastTarget(), lastTarget);
    }

    void zeroKeepsTheBordersInPlace_data()
    {
        QTest::addColumn<QList<int>>("in"); // left, right, position, slider min, slider max
        QTest::addColumn<QString>("side");
        QTest::addColumn<QList<int>>("out");
        QTest::newRow("on the left end") << QList<int>{-9500, 9500, -9700, -9700, 9500} << "" << QList<int>{0, 19000};
        QTest::newRow("at the left end") << QList<int>{-9500, 9500, -9500, -9500, 9500} << "" << QList<int>{0, 19000};
        QTest::newRow("inside") << QList<int>{-9500, 9500, 1000, -9500, 9500} << "" << QList<int>{-10500, 8500};
        QTest::newRow("at the right end") << QList<int>{-9500, 9500, 9500, -9500, 9500} << ""
                                          << QList<int>{-19000, 0};
        QTest::newRow("side left") << QList<int>{-100, 100, 50, -200, 200} << "left" << QList<int>{0, 200};
        QTest::newRow("side right") << QList<int>{-100, 100, 50, -200, 200} << "right" << QList<int>{-200, 0};
        QTest::newRow("width beyond 32 bits") << QList<int>{INT_MIN, INT_MAX, INT_MIN, INT_MIN, INT_MAX} << ""
                                              << QList<int>{0, INT_MAX};
        QTest::newRow("shift beyond 32 bits") << QList<int>{INT_MIN + 5, 20, 10, INT_MIN, 100} << ""
                                              << QList<int>{INT_MIN, 10};
    }
    void zeroKeepsTheBordersInPlace()
    {
        QFETCH(QList<int>, in);
        QFETCH(QString, side);
        QFETCH(QList<int>, out);
        const MotionRules::Borders got = MotionRules::zeroedBorders({in[0], in[1]}, in[2], in[3], in[4], side);
        QCOMPARE((QList<int>{got.left, got.right}), out);
    }

    // Borders -9500..9500 on the controller, the slider on them; "fail" forces a call to -1.
    void zeroWritesTheBordersThenZeroes_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("fail");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QList<int>>("borders"); // on the controller afterwards
        QTest::addColumn<int>("positionAfter");
        QTest::newRow("left of the range") << -9700 << "" << "set_edges_settings zero" << QList<int>{0, 19000} << 0;
        QTest::newRow("inside") << 1000 << "" << "set_edges_settings zero" << QList<int>{-10500, 8500} << 0;
        QTest::newRow("border write fails") << 1000 << "set_edges_settings" << "set_edges_settings"
                                            << QList<int>{-9500, 9500} << 1000;
        QTest::newRow("zero fails") << 1000 << "command_zero" << "set_edges_settings zero set_edges_settings"
                                    << QList<int>{-9500, 9500} << 1000;
        // A corrected value reached the controller: the old borders go back, the record is to be read again.
        QTest::newRow("border write corrected") << 1000 << "set_edges_settings -3"
                                                << "set_edges_settings set_edges_settings" << QList<int>{-9500, 9500} << 1000;
    }
    void zeroWritesTheBordersThenZeroes()
    {
        QFETCH(int, position);
        QFETCH(QString, fail);
        QFETCH(QString, sent);
        QFETCH(QList<int>, borders);
        QFETCH(int, positionAfter);
        MotorSettings motor(&handle, gateway.get());
        QCOMPARE(motor.readFromDevice(true), 0);
        motor.edges.LeftBorder = -9500;
        motor.edges.RightBorder = 9500;
        QCOMPARE(motor.writeRecordToDevice(MotorSettings::EdgesRecord), 0);
        set_position_t at;
        std::memset(&at, 0, sizeof at);
        at.Position = position;
        at.PosFlags = SETPOS_IGNORE_ENCODER;
        QCOMPARE(gateway->set_position(handle, at), 0);
        SliderSettings slider(-9500, 9500, true, false, false);
        const QStringList failing = fail.split(' ', Qt::SkipEmptyParts);
        if (!failing.isEmpty())
            trovsim_force_result(axis, failing[0].toLatin1().constData(), failing.value(1, "-1").toInt(), 1);
        const int from = trovsim_journal_size();
        // As the window runs it: on the axis' courier, on copies taken here.
        bool asked = false;
        ZeroCommand::Job job(motor, slider, &handle);
        job.sliderMin = -9700;
        job.sliderMax = 9500;
        job.beforeChange = [&asked] { asked = true; };
        AxisCourier courier(gateway.get(), &handle, QStringLiteral("SN 1"));
        result_t replied = 1;
        courier.send(
            AxisCourier::Kind::Command, QStringLiteral("Zero"),
            [&job](DeviceInterface& device, device_t) { return ZeroCommand::run(job, device); }, &courier,
            [&replied](result_t result) { replied = result; });
        QVERIFY(QTest::qWaitFor([&replied] { return replied != 1; }, scaledMs(5000)));
        QVERIFY(asked);
        QCOMPARE(replied == result_ok, fail.isEmpty());
        QCOMPARE(job.outcome == ZeroCommand::Outcome::Zeroed, fail.isEmpty());
        QCOMPARE(sentSince(from), sent);
        edges_settings_t now;
        QCOMPARE(gateway->get_edges_settings(handle, &now), 0);
        QCOMPARE((QList<int>{now.LeftBorder, now.RightBorder}), borders);
        QCOMPARE((QList<int>{job.motor.edges.LeftBorder, job.motor.edges.RightBorder}), borders);
        QCOMPARE((QList<int>{motor.edges.LeftBorder, motor.edges.RightBorder}), (QList<int>{-9500, 9500}));
        status_t status;
        QCOMPARE(gateway->get_status(handle, &status), 0);
        QCOMPARE(status.CurPosition, positionAfter);
        QCOMPARE((QList<int>{job.slider.leftPoint, job.slider.rightPoint}), (QList<int>{-9500, 9500}));
        QCOMPARE(job.motor.reRead[MotorSettings::EdgesRecord], fail.endsWith("-3"));
    }

    void zeroIsRefusedWhileMovingOrUnread()
    {
        MotorSettings motor(&handle, gateway.get());
        QCOMPARE(motor.readFromDevice(true), 0);
        SliderSettings slider(-100, 100, false, false, false);
        ZeroCommand zero(gateway.get(), &handle, &motor, &slider);
        QCOMPARE(gateway->command_right(handle), 0);
        trovsim_advance_ms(200);
        int from = trovsim_journal_size();
        bool asked = false;
        QCOMPARE(zero.run(QString(), -100, 100, [&] { asked = true; }), ZeroCommand::Outcome::Moving);
        QCOMPARE(sentSince(from), QString());
        QVERIFY(!asked);
        QCOMPARE(gateway->command_stop(handle), 0);
        trovsim_advance_ms(2000);
        trovsim_force_result(axis, "get_status", -1, 1);
        QCOMPARE(zero.run(QString(), -100, 100), ZeroCommand::Outcome::StatusUnread);
        // Slider points (not the controller's borders): shifted, no set_ call.
        from = trovsim_journal_size();
        QCOMPARE(zero.run(QStringLiteral("left"), -100, 100), ZeroCommand::Outcome::Zeroed);
        QCOMPARE(sentSince(from), QStringLiteral("zero"));
        QCOMPARE((QList<int>{slider.leftPoint, slider.rightPoint}), (QList<int>{0, 200}));
    }

    // Soft stop sent when 10 reads had begun. A sample: connected, mode, read number, MvCmdSts,
    // box shown. Actions: W wait, P power off, C cancelled, A aborted.
    void exitDecidesOnReadsAfterTheSoftStop_data()
    {
        QTest::addColumn<QList<QList<int>>>("samples");
        QTest::addColumn<QString>("actions");
        const int sstp = MVCMD_SSTP, running = MVCMD_SSTP | MVCMD_RUNNING, move = MVCMD_MOVE | MVCMD_RUNNING;
        QTest::newRow("older reads decide nothing")
            << QList<QList<int>>{{1, 2, 9, move, 1}, {1, 2, 10, sstp, 1}, {1, 2, 11, running, 1}, {1, 2, 12, sstp, 1}}
            << "WWWP";
        QTest::newRow("external command") << QList<QList<int>>{{1, 2, 11, running, 1}, {1, 2, 12, move, 1}}
                                          << "WA";
        QTest::newRow("lost keeps the wait")
            << QList<QList<int>>{{0, -1, 11, sstp, 1}, {0, 0, 11, 0, 1}, {1, 1, 12, sstp, 1}, {1, 2, 13, sstp, 1}}
            << "WWWP";
        QTest::newRow("cancel while lost") << QList<QList<int>>{{0, -1, 11, 0, 1}, {0, -1, 11, 0, 0}} << "WC";
        QTest::newRow("cancel, soft stop ended") << QList<QList<int>>{{1, 2, 11, sstp, 0}} << "C";
    }
    void exitDecidesOnReadsAfterTheSoftStop()
    {
        QFETCH(QList<QList<int>>, samples);
        QFETCH(QString, actions);
        ExitSequence exit;
        exit.begin(10);
        QString got;
        for (const QList<int>& s : samples) {
            const ExitSequence::Action a = exit.onSample(s[0], s[1], quint64(s[2]), uint32_t(s[3]), s[4]);
            got += QLatin1Char("WPCA"[int(a)]);
        }
        QCOMPARE(got, actions);
        QCOMPARE(exit.active(), actions.endsWith('W') || actions.endsWith('P'));
    }

private:
    std::unique_ptr<DeviceInterface> gateway;
    std::atomic<device_t> handle{-1};
};

QTEST_MAIN(TestMotionLogic)
#include "tst_motionlogic.moc"
