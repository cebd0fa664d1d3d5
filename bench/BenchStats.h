#ifndef BENCHSTATS_H
#define BENCHSTATS_H

// Figures the benchmarks print: order statistics of measured times.

#include <QElapsedTimer>
#include <QFile>

#include <cstring>

#include <algorithm>
#include <vector>

namespace bench {

// Nearest-rank share of the values (0.5: median, 0.99: p99); 0 for none.
inline double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const double rank = std::clamp(share, 0.0, 1.0) * double(values.size() - 1) + 0.5;
    return values[std::min(values.size() - 1, size_t(rank))];
}

inline double median(std::vector<double> values) { return percentile(std::move(values), 0.5); }

inline double maximum(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

inline double elapsedMs(const QElapsedTimer& clock) { return double(clock.nsecsElapsed()) / 1e6; }

// Milliseconds of each of `rounds` calls of f(i).
template <typename F>
std::vector<double> timeRoundsMs(int rounds, F&& f)
{
    std::vector<double> times;
    times.reserve(size_t(std::max(rounds, 0)));
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        timer.start();
        f(i);
        times.push_back(elapsedMs(timer));
    }
    return times;
}

// A "VmRSS:"-style field of /proc/self/status in kB; -1 when it cannot be read.
inline long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<int>(std::strlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace bench

#endif // BENCHSTATS_H
