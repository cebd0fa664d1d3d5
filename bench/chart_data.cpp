// Chart store and chart files: heap bytes per stored record over 100,000 appends (target at most
// 200, that is 6.9 MiB an hour at 10 samples a second), and the load of a one-hour version 1.2
// file (36,000 records, page cache warm; target at most 15 ms) and of a one-day file: medians;
// and the first load of a 2,000,000-record file in a fresh process (target at most 833 ms),
// median and maximum of five processes.
// Usage: bench_chart_data [rounds]   (default 20)
//        bench_chart_data --first-load FILE   (one first load, for timing the whole process;
//                                              FILE is written first when missing)

#include "bench/BenchStats.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "chartdlg/ChartFile.h"

namespace {

size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;  // small blocks and mapped ones
}

ChartRecord sample(int64_t i)
{
    status_t status{};
    status.CurPosition = int32_t(i);
    status.Upwr = 1200;
    chart_data_t chart{};
    chart.Joy = 5000;
    return ChartRecord::fromSample(status, chart, analog_data_t{}, 256, 100.0 * double(i) + double(i % 3));
}

// Median milliseconds of reading the file at path; the first read warms the page cache.
double loadMs(const QString& path, int rounds, int64_t expected, double* adoptMs)
{
    std::vector<double> reads, adopts;
    for (int r = 0; r <= rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        ChartFileContent content = ChartFile::read(path);
        const double read = double(timer.nsecsElapsed()) / 1e6;
        if (!content.ok || content.records.count() != expected) {
            std::fprintf(stderr, "load failed: %s\n", content.error.c_str());
            std::exit(1);
        }
        timer.restart();
        ChartFile::Loaded loaded;
        std::string error;
        ChartFile::adopt(std::move(content), loaded, &error);
        if (r > 0) {
            reads.push_back(read);
            adopts.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    *adoptMs = bench::median(adopts);
    return bench::median(reads);
}

long minorFaults()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// A file of records written straight from a buffer, so that no chart ever lives in this
// process's heap: a pause of 10 s after every hour.
bool writeLongFile(const QString& path, int64_t records)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ChartFile::header, 16) != 16)
        return false;
    std::vector<ChartRecord> chunk(ChartLog::blockSize);
    for (int64_t from = 0; from < records; from += ChartLog::blockSize) {
        const int64_t n = std::min<int64_t>(ChartLog::blockSize, records - from);
        for (int64_t i = 0; i < n; ++i) {
            chunk[size_t(i)] = sample(from + i);
            chunk[size_t(i)].Time += 10000.0 * double((from + i) / 36000);
        }
        const qint64 bytes = qint64(n) * qint64(sizeof(ChartRecord));
        if (file.write(reinterpret_cast<const char*>(chunk.data()), bytes) != bytes)
            return false;
    }
    return file.flush();
}

const int64_t longRecords = 2000000;

// One load as the chart window's Load does it, the first in this process; prints its
// milliseconds, minor page faults and records. A missing file is written first.
int firstLoad(const QString& path)
{
    if (!QFile::exists(path) && !writeLongFile(path, longRecords)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const long faults = minorFaults();
    QElapsedTimer timer;
    timer.start();
    ChartFile::Loaded loaded;
    std::string error;
    if (!ChartFile::adopt(ChartFile::read(path), loaded, &error)) {
        std::fprintf(stderr, "load failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("%.3f %ld %lld\n", bench::elapsedMs(timer), minorFaults() - faults,
                static_cast<long long>(loaded.log.count()));
    return 0;
}

void firstLoads(const QString& dir)
{
    const int64_t records = longRecords;
    const QString path = dir + QStringLiteral("/long.grf");
    std::vector<double> times, faults;
    for (int run = 0; run <= 5; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-load"), path});
        const QList<QByteArray> figures =
            child.waitForFinished(60000) ? child.readAllStandardOutput().trimmed().split(' ') : QList<QByteArray>();
        if (figures.size() != 3 || figures[2].toLongLong() != records) {
            std::fprintf(stderr, "first load failed: %s\n", child.readAllStandardError().constData());
            std::exit(1);
        }
        if (run > 0) {  // the first run writes the file
            times.push_back(figures[0].toDouble());
            faults.push_back(figures[1].toDouble());
        }
    }
    std::printf("first load of %lld records (%.0f MB) in a fresh process: median %.1f ms, max %.1f ms "
                "(target 833), %.0f page faults\n",
                static_cast<long long>(records), double(16 + 192 * records) / 1e6, bench::median(times),
                bench::maximum(times), bench::median(faults));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--first-load") == 0)
        return firstLoad(QString::fromLocal8Bit(argv[2]));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    const int64_t appends = 100000;
    const size_t before = heapInUse();
    {
        ChartLog log;
        for (int64_t i = 0; i < appends; ++i)
            log.append(sample(i));
        const double perRecord = double(heapInUse() - before) / double(appends);
        std::printf("store: %.1f bytes a record over %lld appends (target 200), %.2f MiB an hour at 10 Hz\n",
                    perRecord, static_cast<long long>(appends), perRecord * 36000 / (1 << 20));
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QStringList paths;
    for (const int64_t records : {int64_t(36000), int64_t(864000)}) {
        ChartLog log;
        for (int64_t i = 0; i < records; ++i)
            log.append(sample(i));
        const QString path = dir.filePath(QString::number(records) + ".grf");
        QString error;
        QElapsedTimer timer;
        timer.start();
        if (!ChartFile::save(path, log, TimeGapMap(), &error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s file: %lld records, %.1f MB, saved in %.1f ms\n", records > 36000 ? "one-day" : "one-hour",
                    static_cast<long long>(records), double(16 + 192 * records) / 1e6,
                    double(timer.nsecsElapsed()) / 1e6);
    }
    for (const int64_t records : {int64_t(36000), int64_t(864000)}) {
        double adoptMs = 0;
        const double readMs = loadMs(dir.filePath(QString::number(records) + ".grf"),
                                     records > 36000 ? std::min(rounds, 5) : rounds, records, &adoptMs);
        std::printf("%s load: read and parse %.2f ms%s, then gap scan and shift %.2f ms\n",
                    records > 36000 ? "one-day" : "one-hour", readMs, records > 36000 ? "" : " (target 15)", adoptMs);
    }
    firstLoads(dir.path());
    return 0;
}
