// Which controllers the simulator offers: the default set, the inline and INI configurations with
// their bad entries, the probe and all-ports flags, and enumeration handles.
#include "simtestkit.h"

#include <QFile>
#include <QTemporaryFile>

#include <unistd.h>

using namespace simtest;

namespace {

struct Row {
    QString name;
    bool readable;
    uint32_t serial;
    QString description;
};

QVector<Row> listAll(int flags)
{
    QVector<Row> rows;
    enumeration_handle_t h = enumerate_devices(flags);
    if (!h)
        return rows;
    int n = get_device_count(h);
    for (int i = 0; i < n; ++i) {
        Row r;
        r.name = QString::fromLatin1(get_device_name(h, i));
        uint32_t serial = 0;
        device_information_t info;
        r.readable = get_enumerate_device_serial(h, i, &serial) == 0 && get_enumerate_device_information(h, i, &info) == 0;
        r.serial = r.readable ? serial : 0;
        r.description = r.readable ? QString::fromLatin1(info.ProductDescription, int(strnlen(info.ProductDescription, 9))) : QString();
        rows.push_back(r);
    }
    free_enumerate_devices(h);
    return rows;
}

QStringList names(const QVector<Row>& rows)
{
    QStringList l;
    for (const Row& r : rows)
        l << r.name + (r.readable ? "" : "?");
    return l;
}

// What the calls write to standard error while f runs.
template <typename F>
QByteArray standardError(F f)
{
    QTemporaryFile file;
    if (!file.open())
        return "cannot capture";
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(file.handle(), 2);
    f();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    file.seek(0);
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

class TestTrovEnumeration : public QObject {
    Q_OBJECT
private slots:
    void init();
    void defaultSet();
    void probeAndAllPorts_data();
    void probeAndAllPorts();
    void openAndUnpluggedControllers();
    void noControllers();
    void inlineBadEntries();
    void iniConfiguration();
    void configFileFromEnvironment();
    void configurationErrorsOnStandardError_data();
    void configurationErrorsOnStandardError();
    void namesValidUntilFree();
    void badEnumerationHandles();
};

void TestTrovEnumeration::init()
{
    qunsetenv("TROVSIM_CONTROLLERS");
    qunsetenv("TROVSIM_CONFIG");
}

void TestTrovEnumeration::defaultSet()
{
    Sim sim;
    QVector<Row> rows = listAll(ENUMERATE_PROBE);
    QCOMPARE(names(rows), QStringList({"sim:axis1", "sim:axis2", "sim:axis3"}));
    QCOMPARE(rows[0].serial, 10001u);
    QCOMPARE(rows[1].serial, 10002u);
    QCOMPARE(rows[2].serial, 10003u);
    QCOMPARE(rows[0].description, QString("SIMSTEP"));
    QCOMPARE(rows[2].description, QString("SIMDC"));

    device_t d = openOrFail("sim:axis1");
    device_information_t info;
    QCOMPARE(get_device_information(d, &info), 0);
    QCOMPARE(QByteArray(info.Manufacturer), QByteArray("TROV"));
    QCOMPARE(QByteArray(info.ManufacturerId), QByteArray("SM"));
    uint32_t a = 0, b = 0, c = 0;
    QCOMPARE(get_firmware_version(d, &a, &b, &c), 0);
    QCOMPARE(QString("%1.%2.%3").arg(a).arg(b).arg(c), QString("4.1.0"));
    QCOMPARE(get_bootloader_version(d, &a, &b, &c), 0);
    QCOMPARE(QString("%1.%2.%3").arg(a).arg(b).arg(c), QString("1.2.0"));
    status_t st;
    QCOMPARE(get_status(d, &st), 0);
    QVERIFY(st.Flags & STATE_EXT_POWER);
    QVERIFY(st.Flags & STATE_EEPROM_CONNECTED);
    QVERIFY(qAbs(st.Upwr - 1200) <= 10);
    QVERIFY(qAbs(st.Uusb - 500) <= 5);
    QCOMPARE(st.curT, 250);
    QCOMPARE(st.WindSts, 0x33u);
    QCOMPARE(st.PWRSts, uint32_t(PWR_STATE_OFF));
    QCOMPARE(st.EncSts, uint32_t(ENC_STATE_OK));
    close_device(&d);
    d = openOrFail("sim:axis3");
    QCOMPARE(get_status(d, &st), 0);
    QCOMPARE(st.WindSts, 0x03u);
    QCOMPARE(st.Flags & STATE_EEPROM_CONNECTED, 0u);
    close_device(&d);

    char version[33];
    std::memset(version, 'z', sizeof version);
    QCOMPARE(trov_version(version), 0);
    QVERIFY(strnlen(version, sizeof version) <= 32);
    QCOMPARE(trov_version(nullptr), -1);
}

void TestTrovEnumeration::probeAndAllPorts_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("expected");
    // plain, silent port, extra port, held by another program, silent extra port
    QTest::newRow("neither") << 0 << QStringList({"sim:a", "sim:s?", "sim:b?"});
    QTest::newRow("all ports") << int(ENUMERATE_ALL_COM) << QStringList({"sim:a", "sim:s?", "sim:x", "sim:b?", "sim:sx?"});
    QTest::newRow("probe") << int(ENUMERATE_PROBE) << QStringList({"sim:a", "sim:b?"});
    QTest::newRow("probe, all ports") << int(ENUMERATE_PROBE | ENUMERATE_ALL_COM) << QStringList({"sim:a", "sim:x", "sim:b?"});
}

void TestTrovEnumeration::probeAndAllPorts()
{
    QFETCH(int, flags);
    QFETCH(QStringList, expected);
    Sim sim("a:1:stepper;s:2:stepper:silent;x:3:dc:extra;b:4:stepper:busy;sx:5:stepper:silent:extra");
    QCOMPARE(names(listAll(flags)), expected);
    QCOMPARE(LogRecorder::instance().count(2, ""), 0);
    // what is listed unreadable cannot be opened either
    QCOMPARE(open_device("sim:s"), -1);
    QCOMPARE(open_device("sim:b"), -1);
    QCOMPARE(probe_device("sim:a"), 0);
    QCOMPARE(probe_device("sim:b"), -1);
    QCOMPARE(probe_device("sim:s"), -1);
    QCOMPARE(probe_device("sim:nobody"), -1);
}

void TestTrovEnumeration::openAndUnpluggedControllers()
{
    Sim sim;
    device_t d = openOrFail("sim:axis2");
    QCOMPARE(names(listAll(ENUMERATE_PROBE)), QStringList({"sim:axis1", "sim:axis2?", "sim:axis3"}));
    QCOMPARE(trovsim_unplug("sim:axis3"), 0);
    QCOMPARE(names(listAll(ENUMERATE_PROBE | ENUMERATE_ALL_COM)), QStringList({"sim:axis1", "sim:axis2?"}));
    QCOMPARE(trovsim_set_busy("sim:axis1", 1), 0);
    QCOMPARE(names(listAll(0)), QStringList({"sim:axis1?", "sim:axis2?"}));
    QCOMPARE(trovsim_set_busy("sim:axis1", 0), 0);
    QCOMPARE(trovsim_plug("sim:axis3", 0), 0);
    QCOMPARE(close_device(&d), 0);
    QCOMPARE(names(listAll(ENUMERATE_PROBE)), QStringList({"sim:axis1", "sim:axis2", "sim:axis3"}));
}

void TestTrovEnumeration::noControllers()
{
    for (const char* set : {"none", "", "  none "}) {
        Sim sim(set);
        enumeration_handle_t h = enumerate_devices(ENUMERATE_PROBE);
        QVERIFY(h);
        QCOMPARE(get_device_count(h), 0);
        QCOMPARE(get_device_name(h, 0), static_cast<const char*>(nullptr));
        QCOMPARE(free_enumerate_devices(h), 0);
        QCOMPARE(open_device("sim:axis1"), -1);
    }
}

void TestTrovEnumeration::inlineBadEntries()
{
    Sim sim("ok:7:stepper:stage;bad id!:8:dc;ok:9:dc;dup:7:dc;m:11:warp:zzz;nos:x:bldc");
    QVector<Row> rows = listAll(ENUMERATE_PROBE);
    QCOMPARE(names(rows), QStringList({"sim:ok", "sim:dup", "sim:m", "sim:nos"}));
    QCOMPARE(rows[0].serial, 7u);
    QVERIFY(rows[1].serial != 7u); // a duplicate serial gets another one
    QCOMPARE(rows[1].description, QString("SIMDC"));
    QCOMPARE(rows[2].description, QString("SIMSTEP")); // unknown motor falls back to a stepper
    QCOMPARE(rows[3].description, QString("SIMBLDC"));
    QSet<uint32_t> serials;
    for (const Row& r : rows)
        serials.insert(r.serial);
    QCOMPARE(serials.size(), rows.size());

    QCOMPARE(LogRecorder::instance().count(2, "bad id!"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "duplicate controller id 'ok'"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "duplicate serial 7"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "unknown motor 'warp'"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "unknown option 'zzz'"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "bad serial number"), 1);
    // reported once, not at every search
    int before = LogRecorder::instance().lines().size();
    listAll(ENUMERATE_PROBE);
    QCOMPARE(LogRecorder::instance().lines().size(), before);

    // the positioner option gives an EEPROM; bldc answers with three windings
    device_t d = openOrFail("sim:ok");
    stage_name_t sn;
    QCOMPARE(get_stage_name(d, &sn), 0);
    QCOMPARE(QByteArray(sn.PositionerName), QByteArray("LS-100"));
    close_device(&d);
    d = openOrFail("sim:nos");
    entype_settings_t et;
    QCOMPARE(get_entype_settings(d, &et), 0);
    QCOMPARE(et.EngineType, uint32_t(ENGINE_TYPE_BRUSHLESS));
    close_device(&d);
}

void TestTrovEnumeration::iniConfiguration()
{
    Sim sim;
    writeFile(sim.path("controllers.ini"), "; bench\n"
                                           "[left]\n"
                                           "serial = 20001\n"
                                           "motor = dc            ; the DC pages\n"
                                           "encoder_cpr = 500\n"
                                           "description = MYDC\n"
                                           "[right]\n"
                                           "serial = 20001\n"
                                           "supply = -3\n"
                                           "colour = red\n"
                                           "positioner = LS-50\n"
                                           "start_mode = bootloader\n"
                                           "[left]\n"
                                           "serial = 20003\n"
                                           "[b@d]\n"
                                           "[odd]\n"
                                           "motor = jet\n"
                                           "firmware = 5.0\n");
    sim.reset(nullptr);
    QVector<Row> rows = listAll(ENUMERATE_PROBE);
    QCOMPARE(names(rows), QStringList({"sim:left", "sim:right", "sim:odd"}));
    QCOMPARE(rows[0].serial, 20001u);
    QCOMPARE(rows[0].description, QString("MYDC"));
    QVERIFY(rows[1].serial != 20001u);
    QCOMPARE(rows[1].description, QString("SIMBOOT"));
    QCOMPARE(rows[2].description, QString("SIMSTEP"));
    QCOMPARE(LogRecorder::instance().count(2, "bad value '-3' of supply"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "unknown key 'colour'"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "duplicate controller id 'left'"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "[b@d]: bad controller id"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "unknown motor 'jet'"), 1);
    QCOMPARE(LogRecorder::instance().count(2, "of firmware"), 1);

    // bad values fall back to their defaults
    device_t d = openOrFail("sim:right");
    status_t st;
    QCOMPARE(get_status(d, &st), 0);
    QVERIFY(st.Flags & STATE_EXT_POWER); // 12 V, not -3
    QCOMPARE(get_move_settings(d, nullptr), -2); // bootloader
    close_device(&d);
    d = openOrFail("sim:odd");
    uint32_t a, b, c;
    QCOMPARE(get_firmware_version(d, &a, &b, &c), 0);
    QCOMPARE(a, 4u);
    close_device(&d);

    // an INI file that does not parse gives the built-in set
    writeFile(sim.path("controllers.ini"), "serial = 1\n");
    sim.reset(nullptr);
    QCOMPARE(names(listAll(ENUMERATE_PROBE)), QStringList({"sim:axis1", "sim:axis2", "sim:axis3"}));
    QCOMPARE(LogRecorder::instance().count(2, "key outside a section"), 1);
}

void TestTrovEnumeration::configFileFromEnvironment()
{
    Sim sim;
    writeFile(sim.path("other.ini"), "[solo]\nserial = 42\n");
    qputenv("TROVSIM_CONFIG", sim.path("other.ini").toLocal8Bit());
    sim.reset(nullptr);
    QCOMPARE(names(listAll(ENUMERATE_PROBE)), QStringList({"sim:solo"}));
    qputenv("TROVSIM_CONTROLLERS", "inl:1:stepper");
    sim.reset(nullptr);
    QCOMPARE(names(listAll(ENUMERATE_PROBE)), QStringList({"sim:inl"}));
    qunsetenv("TROVSIM_CONTROLLERS");
    qputenv("TROVSIM_CONFIG", sim.path("missing.ini").toLocal8Bit());
    sim.reset(nullptr);
    QCOMPARE(names(listAll(ENUMERATE_PROBE)), QStringList({"sim:axis1", "sim:axis2", "sim:axis3"}));
    QCOMPARE(LogRecorder::instance().count(2, "missing.ini"), 1);
    qunsetenv("TROVSIM_CONFIG");
}

void TestTrovEnumeration::namesValidUntilFree()
{
    Sim sim;
    enumeration_handle_t h = enumerate_devices(0);
    const char* name = get_device_name(h, 1);
    QVERIFY(name);
    // neither another search nor a reset of the simulator moves the name
    enumeration_handle_t other = enumerate_devices(0);
    sim.reset("z:1:dc");
    QCOMPARE(QByteArray(name), QByteArray("sim:axis2"));
    QCOMPARE(get_device_count(h), 3);
    uint32_t serial = 0;
    QCOMPARE(get_enumerate_device_serial(h, 1, &serial), 0);
    QCOMPARE(serial, 10002u);
    QCOMPARE(free_enumerate_devices(h), 0);
    QCOMPARE(free_enumerate_devices(other), 0);
}

void TestTrovEnumeration::badEnumerationHandles()
{
    Sim sim;
    enumeration_handle_t h = enumerate_devices(ENUMERATE_PROBE);
    QCOMPARE(free_enumerate_devices(h), 0);
    int local = 0;
    for (enumeration_handle_t bad : {h, static_cast<void*>(nullptr), static_cast<void*>(&local)}) {
        uint32_t serial;
        device_information_t info;
        QVERIFY(get_device_count(bad) < 0);
        QCOMPARE(get_device_name(bad, 0), static_cast<const char*>(nullptr));
        QCOMPARE(get_enumerate_device_serial(bad, 0, &serial), -1);
        QCOMPARE(get_enumerate_device_information(bad, 0, &info), -1);
        QCOMPARE(free_enumerate_devices(bad), -1);
    }
    h = enumerate_devices(ENUMERATE_PROBE);
    uint32_t serial;
    QCOMPARE(get_device_name(h, 3), static_cast<const char*>(nullptr));
    QCOMPARE(get_device_name(h, -1), static_cast<const char*>(nullptr));
    QCOMPARE(get_enumerate_device_serial(h, 3, &serial), -1);
    QCOMPARE(get_enumerate_device_serial(h, 0, nullptr), -1);
    QCOMPARE(get_enumerate_device_information(h, 0, nullptr), -1);
    free_enumerate_devices(h);
}


void TestTrovEnumeration::configurationErrorsOnStandardError_data()
{
    QTest::addColumn<QByteArray>("inlineSet");  // empty: the INI text below
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("expected");  // each once on standard error
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("inline servo") << QByteArray("a:1:servo;b:2:dc") << QByteArray()
                                  << QStringList{"'a:1:servo': unknown motor 'servo'"}
                                  << QStringList{"sim:a", "sim:b"};
    QTest::newRow("inline serials") << QByteArray("a::dc;b:5:dc;c:5:dc") << QByteArray()
                                    << QStringList{"'a::dc': bad serial number", "'c:5:dc': duplicate serial 5"}
                                    << QStringList{"sim:a", "sim:b", "sim:c"};
    QTest::newRow("ini") << QByteArray() << QByteArray("[a]\nserial = 3\nmotor = servo\n[b]\nmotor = dc\n"
                                                       "[c]\nserial = 3\ncolour = red\n")
                         << QStringList{"[a]: unknown motor 'servo'", "[b]: no serial number",
                                        "[c]: unknown key 'colour'", "[c]: duplicate serial 3"}
                         << QStringList{"sim:a", "sim:b", "sim:c"};
}

void TestTrovEnumeration::configurationErrorsOnStandardError()
{
    QFETCH(QByteArray, inlineSet);
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, listed);
    Sim sim;
    set_logging_callback(nullptr);  // nobody listens: the mistakes must still be seen
    if (inlineSet.isEmpty())
        writeFile(sim.path("controllers.ini"), ini);
    const QString err = QString::fromUtf8(standardError([&] { sim.reset(inlineSet.isEmpty() ? nullptr : inlineSet.constData()); }));
    set_logging_callback(&LogRecorder::callback);
    for (const QString& text : expected)
        QVERIFY2(err.count(text) == 1, qPrintable(text + " in:\n" + err));
    QCOMPARE(err.count(QLatin1Char('\n')), expected.size());
    // the entries that were understood are there, and a search does not repeat the report
    const QString again = QString::fromUtf8(standardError([] { listAll(ENUMERATE_PROBE); }));
    QCOMPARE(names(listAll(ENUMERATE_PROBE)), listed);
    QCOMPARE(again, QString());
}

QTEST_GUILESS_MAIN(TestTrovEnumeration)
#include "tst_trov_enumeration.moc"
