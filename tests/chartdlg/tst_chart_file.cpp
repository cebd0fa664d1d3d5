#include "chartdlg/ChartFile.h"

#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

ChartRecord sample(int i)
{
    ChartRecord r{};
    double* values[] = {&r.Encoder, &r.Position, &r.uPosition, &r.Speed, &r.uSpeed, &r.EnCurrent, &r.EnVoltage,
                        &r.PwrCurrent, &r.PwrVoltage, &r.UsbCurrent, &r.UsbVoltage, &r.CurrentA, &r.CurrentB,
                        &r.CurrentC, &r.VoltageA, &r.VoltageB, &r.VoltageC, &r.PWM, &r.Temperature, &r.Joy, &r.Pot};
    for (double* v : values)
        *v = (v - &r.Encoder + 1) * 1.25 + i;
    r.Time = 100.0 * i;
    r.Flags = 0xA0u + uint32_t(i);
    r.GPIOFlags = 0x5u;
    r.MicrostepDivisor = 256;
    return r;
}

// A file of n records in the given version: each record sample(i) cut to what the version keeps.
QByteArray file(const char* header, int size, int n, double badTime = 0, int badIndex = -1)
{
    QByteArray bytes(header);
    for (int i = 0; i < n; ++i) {
        ChartRecord r = sample(i);
        if (i == badIndex)
            r.Time = badTime;
        char raw[192] = {};
        if (size == 128) {
            const double legacy[16] = {r.Encoder, r.Position, r.uPosition, r.Speed, r.CurrentA, r.CurrentB,
                                       r.CurrentC, r.EnCurrent, r.VoltageA, r.VoltageB, r.VoltageC, r.EnVoltage,
                                       r.PwrVoltage, r.PWM, r.Temperature, r.Time};
            std::memcpy(raw, legacy, sizeof legacy);
        } else if (size < 192) {  // the doubles up to Temperature (v1.0) or Time (v1.1), then Time and the divisor
            std::memcpy(raw, &r, size == 164 ? 152 : 176);
            std::memcpy(raw + 152, &r.Time, size == 164 ? 8 : 0);
            std::memcpy(raw + size - (size == 164 ? 4 : 8), &r.MicrostepDivisor, 4);
        } else {
            std::memcpy(raw, &r, size_t(size));
            std::memset(raw + 188, 0xEE, 4);  // the reserved bytes hold anything
        }
        bytes.append(raw, size);
    }
    return bytes;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

} // namespace

class TestChartFile : public QObject
{
    Q_OBJECT

private slots:
    void recordBytes();
    void parse_data();
    void parse();
    void specialFiles();
    void save();
};

void TestChartFile::recordBytes()
{
    status_t status{};
    status.Upwr = 1234;
    status.curT = 255;
    status.Ipwr = 350;
    status.EncPosition = -(int64_t(1) << 40);
    chart_data_t chart{};
    chart.Joy = 0xFFFFFFFFu;
    chart.Pot = 7;
    ChartLog log;
    const ChartRecord& first = log.append(ChartRecord::fromSample(status, chart, analog_data_t{}, 0, 5));
    char bytes[192];
    std::memcpy(bytes, &first, sizeof bytes);
    auto field = [&](size_t offset) {
        double v;
        std::memcpy(&v, bytes + offset, sizeof v);
        return v;
    };
    QCOMPARE(field(48), 12.34);
    QCOMPARE(field(64), 12.34);
    QCOMPARE(field(40), 350.0);
    QCOMPARE(field(56), 350.0);
    QCOMPARE(field(144), 25.5);
    QCOMPARE(field(152), 4294967295.0);
    QCOMPARE(field(0), -1099511627776.0);
    QCOMPARE(first.MicrostepDivisor, 0);  // a DC motor
    QCOMPARE(first.reserved, 0u);

    // Appending never moves a record.
    const ChartRecord* addresses[3] = {&log[0], nullptr, nullptr};
    for (int i = 1; i < 10000; ++i) {
        log.append(sample(i));
        if (i == 4095 || i == 4096)
            addresses[i - 4094] = &log[i];
    }
    QCOMPARE(log.count(), int64_t(10000));
    QCOMPARE(&log[0], addresses[0]);
    QCOMPARE(&log[4095], addresses[1]);
    QCOMPARE(&log[4096], addresses[2]);
    for (int i = 1; i < 10000; i += 997)
        QCOMPARE(log[i].Time, 100.0 * i);

    // A loaded chart goes on recording: from the first block's rest into the room taken for the
    // file, then past it; still nothing moves, and Clear starts afresh.
    for (int round = 0; round < 2; ++round) {
        log.clear();
        log.append(sample(0));
        log.reserve(ChartLog::blockSize + 10);
        std::vector<const ChartRecord*> places;
        for (int i = 0; i < 3 * ChartLog::blockSize + 5; ++i) {
            if (i > 0)
                log.append(sample(i));
            places.push_back(&log[i]);
        }
        for (int i = 0; i < int(places.size()); ++i) {
            QCOMPARE(&log[i], places[size_t(i)]);
            QCOMPARE(log[i].Time, 100.0 * i);
        }
    }
}

void TestChartFile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");  // -1: refused
    QTest::addColumn<int>("partial");
    QTest::addColumn<int>("skipped");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("v1.2") << file("TolmoGraphs_v1.2", 192, 4) << 4 << 0 << 0;
    QTest::newRow("v1.1") << file("TolmoGraphs_v1.1", 184, 3) << 3 << 0 << 0;
    QTest::newRow("v1.0") << file("TolmoGraphs_v1.0", 164, 2) << 2 << 0 << 0;
    QTest::newRow("legacy 256 bytes") << file("", 128, 2) << 2 << 0 << 0;
    QTest::newRow("5 records and 7 bytes") << file("TolmoGraphs_v1.2", 192, 5) + "1234567" << 5 << 7 << 0;
    QTest::newRow("v1.3") << file("TolmoGraphs_v1.3", 192, 2) << -1 << 0 << 0;
    QTest::newRow("15 bytes") << QByteArray("TolmoGraphs_v1.") << -1 << 0 << 0;
    QTest::newRow("header only") << QByteArray("TolmoGraphs_v1.2") << -1 << 0 << 0;
    QTest::newRow("header and 7 bytes") << QByteArray("TolmoGraphs_v1.21234567") << -1 << 0 << 0;
    QTest::newRow("zero bytes") << QByteArray() << -1 << 0 << 0;
    QTest::newRow("NaN time") << file("TolmoGraphs_v1.2", 192, 3, std::nan(""), 1) << 2 << 0 << 1;
    QTest::newRow("inf time") << file("TolmoGraphs_v1.1", 184, 3, inf, 0) << 2 << 0 << 1;
    QTest::newRow("1e300 time") << file("TolmoGraphs_v1.0", 164, 3, 1e300, 2) << 2 << 0 << 1;
    QTest::newRow("1e14 time") << file("TolmoGraphs_v1.2", 192, 1, 1e14, 0) << -1 << 0 << 1;
    QTest::newRow("legacy, NaN") << file("", 128, 2, std::nan(""), 1) << -1 << 0 << 0;
    QTest::newRow("legacy, 129 bytes") << file("", 128, 1) + "x" << -1 << 0 << 0;
    QTest::newRow("times go back") << file("TolmoGraphs_v1.2", 192, 3, -50, 2) << 3 << 0 << 0;
}

void TestChartFile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    QFETCH(int, partial);
    QFETCH(int, skipped);
    const ChartFileContent c = ChartFileParser::parse(bytes.constData(), size_t(bytes.size()));
    QCOMPARE(c.ok, count >= 0);
    QCOMPARE(c.skippedRecords, int64_t(skipped));
    QCOMPARE(c.unknownVersion, bytes.startsWith("TolmoGraphs_v1.3") || bytes == "TolmoGraphs_v1.");
    if (!c.ok) {
        QVERIFY(!c.error.empty());
        QVERIFY(c.records.isEmpty());
        return;
    }
    QCOMPARE(c.records.count(), int64_t(count));
    QCOMPARE(c.partialBytes, int64_t(partial));
    const bool v12 = c.version == ChartFileContent::V12, legacy = c.version == ChartFileContent::Legacy;
    for (int64_t i = 0, k = 0; i < c.records.count(); ++i, ++k) {
        const ChartRecord& r = c.records[i];
        if (!std::isfinite(sample(int(k)).Time) || (skipped && r.Time != 100.0 * double(k) && r.Time != -50))
            ++k;  // the skipped record
        const ChartRecord e = sample(int(k));
        QCOMPARE(r.Time, QString(QTest::currentDataTag()) == "times go back" && i == 2 ? -50.0 : e.Time);
        QCOMPARE(r.Encoder, e.Encoder);
        QCOMPARE(r.Temperature, e.Temperature);
        QCOMPARE(r.PwrCurrent, legacy ? e.EnCurrent : e.PwrCurrent);
        QCOMPARE(r.Joy, c.version == ChartFileContent::V10 || legacy ? 0.0 : e.Joy);
        QCOMPARE(r.UsbVoltage, legacy ? 0.0 : e.UsbVoltage);
        QCOMPARE(r.Flags, v12 ? e.Flags : 0u);
        QCOMPARE(r.GPIOFlags, v12 ? e.GPIOFlags : 0u);
        QCOMPARE(r.MicrostepDivisor, legacy ? 0 : 256);
        QCOMPARE(r.reserved, 0u);
    }
}

void TestChartFile::specialFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Past the record limit, sparse: refused from its size, nothing read or allocated.
    const QString sparse = dir.filePath("sparse.grf");
    {
        QFile f(sparse);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("TolmoGraphs_v1.2");
        QVERIFY(f.resize(qint64(1) << 40));
    }
    ChartFileContent c = ChartFile::read(sparse, 1000);
    QVERIFY(!c.ok);
    QVERIFY(QString::fromStdString(c.error).contains("(5726623061)"));  // told by the size alone
    QVERIFY(!ChartFile::read("/dev/zero").ok);
    const QString fifo = dir.filePath("fifo.grf");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    c = ChartFile::read(fifo);  // must not wait for a writer
    QCOMPARE(c.error, std::string("The file is not a regular file"));
    QVERIFY(!ChartFile::read(dir.filePath("missing.grf")).ok);

    // A regular file read in pieces: more than one read buffer, with a cut last record.
    const QString big = dir.filePath("big.grf");
    QByteArray bytes = file("TolmoGraphs_v1.2", 192, 6000) + "abc";
    {
        QFile f(big);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
    }
    c = ChartFile::read(big);
    QVERIFY(c.ok);
    QCOMPARE(c.records.count(), int64_t(6000));
    QCOMPARE(c.partialBytes, int64_t(3));
    QCOMPARE(c.records[5999].Time, 599900.0);
}

void TestChartFile::save()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ChartLog log;
    TimeGapMap map;
    for (int i = 0; i < 9000; ++i)
        log.append(sample(i));
    log[11].Time = 1200;
    map.addBreak(1000, 6000);
    QString error;
    const QString a = dir.filePath("a.grf"), b = dir.filePath("b.grf");
    QVERIFY(ChartFile::save(a, log, map, &error));
    QVERIFY(ChartFile::save(b, log, map, &error));
    const QByteArray saved = contents(a);
    QCOMPARE(saved, contents(b));
    QCOMPARE(saved.size(), 16 + 192 * 9000);
    QVERIFY(saved.startsWith("TolmoGraphs_v1.2"));
    double time;
    std::memcpy(&time, saved.constData() + 16 + 192 * 11 + 168, sizeof time);
    QCOMPARE(time, 6100.0);
    QCOMPARE(log[11].Time, 1200.0);  // the store is untouched
    // v1.2 exact round trip: parsing and saving again gives the same bytes (no break left to map).
    const ChartFileContent parsed = ChartFileParser::parse(saved.constData(), size_t(saved.size()));
    QCOMPARE(QByteArray::fromStdString(ChartFile::serialise(parsed.records, TimeGapMap())), saved);

    // A write that fails part-way (even for root, who may write into read-only folders).
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100000;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = ChartFile::save(a, log, TimeGapMap(), &error);
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    QCOMPARE(contents(a), saved);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no temporary file left
    if (geteuid() != 0) {
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!ChartFile::save(a, log, TimeGapMap(), &error));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(contents(a), saved);
    }
}

QTEST_GUILESS_MAIN(TestChartFile)
#include "tst_chart_file.moc"
