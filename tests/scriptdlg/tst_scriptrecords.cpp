#include <QScriptEngine>
#include <QScriptValueIterator>
#include <QSet>
#include <QTest>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "common/FieldText.h"
#include "scriptdlg/ScriptConstants.h"
#include "scriptdlg/ScriptRecordFields.h"
#include "scriptdlg/ScriptRecords.h"

namespace {

// A distinct pattern per field: the values that conversions get wrong (all ones in u32, -1 in
// i32, NaN and 0.1f) and texts filled to the last byte with two- and three-byte characters.
struct PatternFiller
{
    int k = 0;
    template <typename Kind>
    void operator()(const char*, uint32_t& f, Kind) { f = (k++ % 2) ? 0xFFFFFFFFu : 0x80000000u + uint32_t(k); }
    template <typename Kind>
    void operator()(const char*, int32_t& f, Kind) { f = (k++ % 2) ? -1 : INT32_MIN + k; }
    template <typename Kind>
    void operator()(const char*, int64_t& f, Kind) { f = INT64_MIN + k++; }
    template <typename Kind>
    void operator()(const char*, float& f, Kind)
    {
        const float values[] = {std::numeric_limits<float>::quiet_NaN(), 0.1f, -FLT_MAX, FLT_TRUE_MIN};
        f = values[k++ % 4];
    }
    template <size_t N, typename Kind>
    void operator()(const char*, char (&f)[N], Kind)
    {
        writeFieldText(QString(int(N), (k++ % 2) ? QChar(0x20AC) : QChar(0xB5)), f);
    }
    template <size_t N, typename Kind>
    void operator()(const char*, uint32_t (&f)[N], Kind)
    {
        for (size_t i = 0; i < N; ++i)
            f[i] = 0xFFFFFFFFu - uint32_t(i) - uint32_t(k);
        ++k;
    }
};

template <typename Int, typename = std::enable_if_t<std::is_integral<Int>::value>>
QString describe(Int f) { return QString::number(f); }
QString describe(float f) { return std::isnan(f) ? "nan" : std::isinf(f) ? (f > 0 ? "inf" : "-inf") : QString::number(double(f), 'g', 9); }
template <size_t N>
QString describe(const char (&f)[N])
{
    const size_t length = strnlen(f, N);
    for (size_t i = length; i < N; ++i)
        if (f[i] != 0)
            return "text not zero-filled";
    return readFieldText(f);
}
template <size_t N>
QString describe(const uint32_t (&f)[N])
{
    QStringList elements;
    for (uint32_t e : f)
        elements << QString::number(e);
    return elements.join(',');
}

struct FieldFinder
{
    QString wanted;
    QString found;
    template <typename Field, typename Kind>
    void operator()(const char* name, const Field& field, Kind)
    {
        if (wanted == QLatin1String(name))
            found = describe(field);
    }
};

template <typename Record>
void checkRoundTrip(QScriptEngine& engine)
{
    Record record;
    std::memset(static_cast<void*>(&record), 0, sizeof record);
    ScriptFields<Record>::visit(record, PatternFiller{});
    // Through the engine's registered conversion.
    const QScriptValue object = engine.toScriptValue(record);
    QVERIFY(object.isObject());
    Record back;
    std::memset(static_cast<void*>(&back), 0xA5, sizeof back);
    fromScriptValue(object, back);
    QVERIFY2(std::memcmp(&record, &back, sizeof record) == 0, "record -> object -> record is not byte-exact");
}

template <typename Record>
QString convertField(const QScriptValue& value, const QString& field)
{
    Record record;
    std::memset(static_cast<void*>(&record), 0xA5, sizeof record);
    fromScriptValue(value, record);
    FieldFinder finder{field, "no such field"};
    ScriptFields<Record>::visit(record, finder);
    return finder.found;
}

struct RecordType
{
    const char* name;
    void (*roundTrip)(QScriptEngine&);
    QString (*convert)(const QScriptValue&, const QString&);
};

const RecordType recordTypes[] = {
#define TROV_TEST_RECORD(type, unlisted) {#type, &checkRoundTrip<type>, &convertField<type>},
    TROV_SCRIPT_RECORDS(TROV_TEST_RECORD)
#undef TROV_TEST_RECORD
};

const RecordType& recordType(const QString& name)
{
    for (const RecordType& type : recordTypes)
        if (name == QLatin1String(type.name))
            return type;
    qFatal("unknown record type");
}

std::unique_ptr<QScriptEngine> makeEngine()
{
    auto engine = std::make_unique<QScriptEngine>();
    setScriptConstants(engine->globalObject());
    registerScriptRecordTypes(engine.get());
    return engine;
}

} // namespace

class TestScriptRecords : public QObject
{
    Q_OBJECT
    std::unique_ptr<QScriptEngine> engine;

private slots:
    void initTestCase() { engine = makeEngine(); }
    void cleanupTestCase() { engine.reset(); }

    void roundTripIsByteExact_data()
    {
        QTest::addColumn<QString>("type");
        int settingsTypes = 0;
        for (const RecordType& type : recordTypes) {
            if (QLatin1String(type.name) == QLatin1String("status_t"))
                continue;
            QTest::newRow(type.name) << QString::fromLatin1(type.name);
            ++settingsTypes;
        }
        QCOMPARE(settingsTypes, 27);
    }

    void roundTripIsByteExact()
    {
        QFETCH(QString, type);
        recordType(type).roundTrip(*engine);
    }

    void objectToRecord_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        const QString move = "move_settings_t", home = "home_settings_t", stage = "stage_settings_t",
                      info = "stage_information_t";
        QTest::newRow("missing u32") << move << "({})" << "Speed" << "0";
        QTest::newRow("missing f32") << stage << "({})" << "MaxSpeed" << "0";
        QTest::newRow("missing text") << info << "({})" << "Manufacturer" << "";
        QTest::newRow("not an object") << move << "5" << "Speed" << "0";
        QTest::newRow("undefined u32") << move << "({Speed: undefined})" << "Speed" << "0";
        QTest::newRow("undefined f32") << stage << "({MaxSpeed: undefined})" << "MaxSpeed" << "nan";
        QTest::newRow("undefined text") << info << "({Series: undefined})" << "Series" << "undefined";
        QTest::newRow("-1 in u32") << move << "({Speed: -1})" << "Speed" << "4294967295";
        QTest::newRow("2^32 + 1") << move << "({Speed: 4294967297})" << "Speed" << "1";
        QTest::newRow("3.9") << move << "({Speed: 3.9})" << "Speed" << "3";
        QTest::newRow("-3.9 in i32") << home << "({HomeDelta: -3.9})" << "HomeDelta" << "-3";
        QTest::newRow("2^31 in i32") << home << "({uHomeDelta: 2147483648})" << "uHomeDelta" << "-2147483648";
        QTest::newRow("hex text") << move << "({Accel: '0x10'})" << "Accel" << "16";
        QTest::newRow("12ab in u32") << move << "({Accel: '12ab'})" << "Accel" << "0";
        QTest::newRow("12ab in f32") << stage << "({TravelRange: '12ab'})" << "TravelRange" << "nan";
        QTest::newRow("true") << move << "({Decel: true})" << "Decel" << "1";
        QTest::newRow("valueOf") << move << "({Decel: {valueOf: function() { return 12; }}})" << "Decel" << "12";
        QTest::newRow("0.1 in f32") << stage << "({MaxSpeed: 0.1})" << "MaxSpeed" << "0.100000001";
        QTest::newRow("1e39") << stage << "({MaxSpeed: 1e39})" << "MaxSpeed" << "inf";
        QTest::newRow("-1e39") << stage << "({MaxSpeed: -1e39})" << "MaxSpeed" << "-inf";
        QTest::newRow("just above the float range") << stage << "({MaxSpeed: 3.4028235e38})" << "MaxSpeed"
                                                    << "3.40282347e+38";
        QTest::newRow("NaN in f32") << stage << "({MaxSpeed: NaN})" << "MaxSpeed" << "nan";
        QTest::newRow("20 characters") << info << "({Manufacturer: 'abcdefghijklmnopqrst'})" << "Manufacturer"
                                       << "abcdefghijklmnop";
        QTest::newRow("Units keeps 8 bytes") << stage << "({Units: 'millimetres'})" << "Units" << "millimet";
        QTest::newRow("cut before a two-byte character")
            << info << "({Manufacturer: '\u00b5\u00b5\u00b5\u00b5\u00b5\u00b5\u00b5\u00b5\u00b5'})" << "Manufacturer"
            << QString(8, QChar(0xB5));
        QTest::newRow("cut before a three-byte character")
            << info << "({Manufacturer: '\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac'})" << "Manufacturer"
            << QString(5, QChar(0x20AC));
        QTest::newRow("U+0000 ends the text") << info << "({Series: 'ab\\u0000cd'})" << "Series" << "ab";
        QTest::newRow("number as text") << info << "({Series: 0.5})" << "Series" << "0.5";
        QTest::newRow("inherited") << move << "(function() { function P() {} P.prototype.Speed = 5; return new P(); })()"
                                   << "Speed" << "5";
        QTest::newRow("case counts") << move << "({speed: 5})" << "Speed" << "0";
        // uSpeed's getter sees whether Speed's ran first, and once.
        QTest::newRow("getter order") << move
                                      << "(function() { var order = ''; var o = {};"
                                         " o.__defineGetter__('Speed', function() { order += 'S'; return 1; });"
                                         " o.__defineGetter__('uSpeed', function() { order += 'u'; return order == 'Su' ? 2 : 99; });"
                                         " return o; })()"
                                      << "uSpeed" << "2";
        QTest::newRow("a throwing getter") << move << "({get Speed() { throw new Error('x'); }, Accel: 7})" << "Accel" << "7";
        QTest::newRow("MaxSpeed array ignored") << "control_settings_t" << "({MaxSpeed: [1, 2, 3], MaxSpeed0: 7, Timeout9: 5})"
                                                << "MaxSpeed" << "7,0,0,0,0,0,0,0,0,0";
        QTest::newRow("deprecated word") << "control_settings_t" << "({deprecated: 3})" << "deprecated" << "3";
    }

    void objectToRecord()
    {
        QFETCH(QString, type);
        QFETCH(QString, object);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const QScriptValue value = engine->evaluate(object);
        QVERIFY2(!engine->hasUncaughtException(), qPrintable(value.toString()));
        QCOMPARE(recordType(type).convert(value, field), expected);
        engine->clearExceptions();
    }

    void recordToObject()
    {
        status_t status;
        std::memset(&status, 0, sizeof status);
        status.Upwr = 1234;
        status.Uusb = 498;
        status.curT = -55;
        status.Ipwr = 1234;
        status.EncPosition = (int64_t(1) << 53) + 1;
        status.Flags = 0xFFFFFFFFu;
        status.CurPosition = -1;
        QScriptValue object = engine->toScriptValue(status);
        const QPair<const char*, double> shown[] = {{"Upwr", 12.34}, {"Uusb", 4.98}, {"curT", -5.5}, {"Ipwr", 1234.0},
            {"EncPosition", std::ldexp(1.0, 53)}, {"Flags", 4294967295.0}, {"CurPosition", -1.0}};
        for (const auto& field : shown)
            QVERIFY2(qFuzzyCompare(object.property(field.first).toNumber(), field.second), field.first);

        // Scripts cannot write the status: the record keeps every byte.
        status_t untouched;
        std::memset(&untouched, 0x5A, sizeof untouched);
        status_t converted = untouched;
        fromScriptValue(object, converted);
        QVERIFY(std::memcmp(&untouched, &converted, sizeof untouched) == 0);

        stage_settings_t settings;
        std::memset(&settings, 0, sizeof settings);
        settings.MaxSpeed = 0.1f;
        std::memcpy(settings.Units, "\xC2\xB5m", 3);
        object = engine->toScriptValue(settings);
        QCOMPARE(object.property("MaxSpeed").toNumber(), 0.10000000149011612);
        QCOMPARE(object.property("Units").toString(), QString::fromUtf8("\xC2\xB5m"));
        std::memcpy(settings.Units, "\xB5\0", 2);
        QCOMPARE(engine->toScriptValue(settings).property("Units").toString(), QString(QChar(0xFFFD)));

        // Fields without their NUL: no byte past the field is read, not even at the end of the
        // record (the last field of a heap record, for the address sanitizer).
        auto information = std::make_unique<stage_information_t>();
        std::memset(information.get(), 'A', sizeof *information);
        object = engine->toScriptValue(*information);
        QCOMPARE(object.property("Manufacturer").toString(), QString(16, 'A'));
        QCOMPARE(object.property("Description").toString(), QString(128, 'A'));

        control_settings_t control;
        std::memset(&control, 0, sizeof control);
        QStringList names;
        for (QScriptValueIterator it(engine->toScriptValue(control)); it.hasNext();) {
            it.next();
            names << it.name();
        }
        QCOMPARE(names.size(), 31);
        QCOMPARE(names.first(), QString("MaxSpeed0"));
        QCOMPARE(names.at(10), QString("uMaxSpeed0"));
        QCOMPARE(names.at(28), QString("Timeout8"));
        QCOMPARE(names.mid(29), (QStringList{"deprecated", "Flags"}));
    }

    void constants()
    {
        const QVector<ScriptConstant>& list = scriptConstants();
        QCOMPARE(list.size(), 172);
        QCOMPARE(list.first().name, "ENUMERATE_PROBE");
        QCOMPARE(list.last().name, "UART_STOP_BIT");
        QSet<QString> names;
        int largest = 0;
        for (const ScriptConstant& constant : list) {
            names << constant.name;
            largest = qMax(largest, constant.value);
        }
        QCOMPARE(names.size(), 172);
        QCOMPARE(largest, 0x1ffc0);

        // Registered in list order, with the same values in every engine.
        auto other = makeEngine();
        QStringList order;
        for (QScriptValueIterator it(engine->globalObject()); it.hasNext();) {
            it.next();
            if (names.contains(it.name()))
                order << it.name();
        }
        QCOMPARE(order.size(), 172);
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(order.at(i), QString(list.at(i).name));
            QCOMPARE(engine->globalObject().property(order.at(i)).toInt32(), list.at(i).value);
            QCOMPARE(other->globalObject().property(order.at(i)).toInt32(), list.at(i).value);
        }
        const QScriptValue same = engine->evaluate(
            "[HOME_STOP_FIRST_LIM == HOME_STOP_FIRST_BITS, HOME_STOP_SECOND_LIM == HOME_STOP_SECOND_BITS,"
            " UART_PARITY_BIT_MARK == UART_PARITY_BITS, STATE_SECUR, WIND_B_STATE_OK, MVCMD_UKNWN].join()");
        QCOMPARE(same.toString(), QString("true,true,true,131008,48,0"));
    }
};

QTEST_GUILESS_MAIN(TestScriptRecords)
#include "tst_scriptrecords.moc"
