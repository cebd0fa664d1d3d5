#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

#include <QSet>

#include "settings_model/RecordEquality.h"
#include "settings_model/RecordFields.h"

namespace {

// Two copies of a record whose every byte is set, so that a forgotten field shows.
template <typename T>
struct Pair
{
    Pair()
    {
        std::memset(&a, 0x5A, sizeof a);
        std::memset(&b, 0x5A, sizeof b);
    }
    T a;
    T b;
};

template <typename T>
bool equal(const Pair<T>& pair)
{
    return isEqual(pair.a, pair.b);
}

// Changes a field at its far end, so that a comparison stopping short shows too.
template <typename T>
void mutate(T& value)
{
    value = T(-value - 1);
}
void mutate(float& value) { value = -value; }
template <typename T, size_t N>
void mutate(T (&values)[N])
{
    mutate(values[N - 1]);
}

// Written out here rather than taken from the table, so that a field marked wrongly there shows.
const QSet<QByteArray> notCompared = {
    "pid_settings_t.kpe1", "pid_settings_t.kie1", "pid_settings_t.kde1", "pid_settings_t.kpe2",
    "pid_settings_t.kie2", "pid_settings_t.kde2", "pid_settings_t.kpe3", "pid_settings_t.kie3",
    "pid_settings_t.kde3", "control_settings_t.deprecated"};

} // namespace

class TestRecordEquality : public QObject
{
    Q_OBJECT

private slots:
    void eachFieldAloneDecidesEquality()
    {
        int skipped = 0;
#define MUTATE_FIELD(name, kind, compare)                                       \
    {                                                                           \
        Pair<Record> p;                                                         \
        mutate(p.b.name);                                                       \
        const QByteArray id = recordName + "." #name;                           \
        QVERIFY2(equal(p) == notCompared.contains(id), id.constData());          \
        skipped += notCompared.contains(id);                                    \
    }
#define MUTATE_RECORD(type, unlisted)       \
    {                                       \
        using Record = type;                \
        const QByteArray recordName(#type); \
        TROV_FIELDS_##type(MUTATE_FIELD)    \
    }
        TROV_COMPARED_RECORDS(MUTATE_RECORD)
#undef MUTATE_RECORD
#undef MUTATE_FIELD
        QCOMPARE(skipped, notCompared.size());
    }

    void everyFieldOfTheRichestRecordCounts()
    {
        Pair<control_settings_t> p;
        QVERIFY(equal(p));
        for (int i = 0; i < 10; ++i) {
            Pair<control_settings_t> q;
            q.b.MaxSpeed[i] ^= 1;
            QVERIFY2(!equal(q), qPrintable(QString("MaxSpeed[%1]").arg(i)));
            Pair<control_settings_t> r;
            r.b.uMaxSpeed[i] ^= 1;
            QVERIFY2(!equal(r), qPrintable(QString("uMaxSpeed[%1]").arg(i)));
        }
        for (int i = 0; i < 9; ++i) {
            Pair<control_settings_t> q;
            q.b.Timeout[i] ^= 1;
            QVERIFY(!equal(q));
        }
        p.b.Flags ^= 0x80000000u;
        QVERIFY(!equal(p));
        // The unused word does not count.
        Pair<control_settings_t> d;
        d.b.deprecated = 0;
        QVERIFY(equal(d));
    }

    void eachComparedFieldOfTheControllerRecords()
    {
        // One field changed at a time, as the dialog's comparison sees it.
#define CHANGED(type, field)                      \
    {                                             \
        Pair<type> p;                             \
        p.b.field += 1;                           \
        QVERIFY2(!equal(p), #type "." #field);    \
    }
        CHANGED(engine_settings_t, NomVoltage) CHANGED(engine_settings_t, NomCurrent)
        CHANGED(engine_settings_t, NomSpeed) CHANGED(engine_settings_t, uNomSpeed)
        CHANGED(engine_settings_t, EngineFlags) CHANGED(engine_settings_t, Antiplay)
        CHANGED(engine_settings_t, MicrostepMode) CHANGED(engine_settings_t, StepsPerRev)
        CHANGED(entype_settings_t, EngineType) CHANGED(entype_settings_t, DriverType)
        CHANGED(pid_settings_t, KpI) CHANGED(pid_settings_t, KdPos) CHANGED(pid_settings_t, KiSpeed)
        CHANGED(sync_in_settings_t, SyncInFlags) CHANGED(sync_in_settings_t, uSpeed)
        CHANGED(sync_in_settings_t, Position) CHANGED(sync_out_settings_t, SyncOutPeriod)
        CHANGED(edges_settings_t, EnderFlags) CHANGED(edges_settings_t, uRightBorder)
        CHANGED(secure_settings_t, MinimumUusb) CHANGED(secure_settings_t, Flags)
        CHANGED(move_settings_t, uAntiplaySpeed) CHANGED(feedback_settings_t, FeedbackFlags)
        CHANGED(home_settings_t, uHomeDelta) CHANGED(home_settings_t, HomeFlags)
        CHANGED(power_settings_t, PowerFlags) CHANGED(brake_settings_t, t4)
        CHANGED(brake_settings_t, BrakeFlags) CHANGED(joystick_settings_t, DeadZone)
        CHANGED(joystick_settings_t, JoyFlags) CHANGED(ctp_settings_t, CTPMinError)
        CHANGED(uart_settings_t, UARTSetupFlags) CHANGED(extio_settings_t, EXTIOModeFlags)
        CHANGED(gear_settings_t, Reduction1) CHANGED(gear_settings_t, Reduction2)
#undef CHANGED
    }

    void pidErrorLoopCoefficientsDoNotCount()
    {
        Pair<pid_settings_t> p;
        p.b.kpe1 = 1;
        p.b.kde3 = 2;
        QVERIFY(equal(p));
    }

    void textsCompareUpToTheirEnd()
    {
        Pair<controller_name_t> p;
        std::strcpy(p.a.ControllerName, "Axis");
        std::strcpy(p.b.ControllerName, "Axis");
        p.b.ControllerName[10] = 'x';   // behind the NUL
        p.b.Reserved[0] = 1;            // not a field of the program's
        QVERIFY(equal(p));
        std::strcpy(p.b.ControllerName, "axis");
        QVERIFY(!equal(p));

        // A text that fills its field is compared over the field and never beyond it.
        Pair<stage_name_t> full;
        std::memset(full.a.PositionerName, 'z', sizeof full.a.PositionerName);
        std::memset(full.b.PositionerName, 'z', sizeof full.b.PositionerName);
        QVERIFY(equal(full));
        full.b.PositionerName[16] = 'y';
        QVERIFY(!equal(full));
    }

    void theFiveInformationRecordsAreDistinct()
    {
        Pair<stage_information_t> s;
        Pair<dc_information_t> dc;
        Pair<step_information_t> step;
        Pair<encoder_information_t> enc;
        Pair<gear_information_t> gear;
        QVERIFY(equal(s) && equal(dc) && equal(step) && equal(enc) && equal(gear));
        s.b.Manufacturer[3] = 'M';
        dc.b.Series[0] = 'S';
        step.b.ArticleNumber[31] = 'A';
        enc.b.Description[127] = 'D';
        gear.b.Description[0] = '\0';
        QVERIFY(!equal(s));
        QVERIFY(!equal(dc));
        QVERIFY(!equal(step));
        QVERIFY(!equal(enc));
        QVERIFY(!equal(gear));
        // The last byte of a field holds the NUL of a full text.
        Pair<encoder_information_t> last;
        last.b.Description[128] = 'x';
        QVERIFY(!equal(last));
    }

    void floatsCompareAsNumbers()
    {
        Pair<stage_settings_t> p;
        p.a.TravelRange = p.b.TravelRange = 0.0f;
        QVERIFY(equal(p));
        p.b.TravelRange = -0.0f;
        QVERIFY(equal(p));
        p.a.TravelRange = p.b.TravelRange = std::numeric_limits<float>::quiet_NaN();
        QVERIFY(isEqual(p.a, p.a));
        QVERIFY(equal(p));
        p.b.TravelRange = 0.0f;
        QVERIFY(!equal(p));

        Pair<stage_settings_t> units;
        std::strcpy(units.a.Units, "mm");
        std::strcpy(units.b.Units, "mm");
        QVERIFY(equal(units));
        std::strcpy(units.b.Units, "MM");
        QVERIFY(!equal(units));

        Pair<dc_settings_t> dc;
        dc.b.RotorInertia = std::nextafter(dc.a.RotorInertia, 1e30f);
        QVERIFY(!equal(dc));
        Pair<step_settings_t> step;
        step.b.MaxSpeed = -step.b.MaxSpeed;
        QVERIFY(!equal(step));
        Pair<encoder_settings_t> enc;
        enc.b.OutputType[0] = 'x';
        QVERIFY(!equal(enc));
        enc.b = enc.a;
        enc.b.MaxCurrentConsumption = 7.0f;
        QVERIFY(!equal(enc));
        Pair<gear_settings_t> gear;
        gear.b.MaxInputSpeed = 1.0f;
        QVERIFY(!equal(gear));
    }
};

QTEST_GUILESS_MAIN(TestRecordEquality)
#include "tst_record_equality.moc"
