// Chart store and chart files: heap bytes per stored record over 100,000 appends (target at most
// 200, that is 6.9 MiB an hour at 10 samples a second), and the load of a one-hour version 1.2
// file (36,000 records, page cache warm; target at most 15 ms) and of a one-day file: medians.
// Usage: bench_chart_data [rounds]   (default 20)

#include "bench/BenchStats.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
    return 0;
}
