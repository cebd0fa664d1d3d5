#include <QMap>
#include <QTest>

#include "device/MotionRules.h"

class TestMotionRules : public QObject
{
    Q_OBJECT

private slots:
    void softStopPowersOffOnlyAStandingAxis_data()
    {
        QTest::addColumn<int>("statusResult");
        QTest::addColumn<uint>("moveSts");
        QTest::addColumn<uint>("mvCmdSts");
        QTest::addColumn<QString>("action");
        QTest::newRow("idle") << 0 << 0u << 0x05u << "power off";
        QTest::newRow("move ended") << 0 << 0u << 0x01u << "power off";
        QTest::newRow("move just sent") << 0 << 0u << 0x81u << "soft stop";
        QTest::newRow("moving") << 0 << 1u << 0x81u << "soft stop";
        QTest::newRow("moving, command ended") << 0 << 1u << 0x01u << "soft stop";
        QTest::newRow("soft stop running") << 0 << 1u << 0x88u << "stop";
        QTest::newRow("ramp over, command running") << 0 << 0u << 0x88u << "stop";
        QTest::newRow("read failed") << -1 << 0u << 0u << "soft stop";
        QTest::newRow("device lost") << -4 << 0u << 0u << "soft stop";
    }
    void softStopPowersOffOnlyAStandingAxis()
    {
        QFETCH(int, statusResult);
        status_t status{};
        QFETCH(uint, moveSts);
        QFETCH(uint, mvCmdSts);
        status.MoveSts = moveSts;
        status.MvCmdSts = mvCmdSts;
        using A = MotionRules::SoftStopAction;
        const QMap<A, QString> names{{A::SoftStop, "soft stop"}, {A::Stop, "stop"}, {A::PowerOff, "power off"}};
        QTEST(names.value(MotionRules::softStopAction(statusResult, status), "none"), "action");
    }
};

QTEST_GUILESS_MAIN(TestMotionRules)
#include "tst_motionrules.moc"
