#ifndef CHARTLOG_H
#define CHARTLOG_H

#include "chartdlg/ChartRecord.h"
#include "chartdlg/LargeMemory.h"

#include <QDateTime>

#include <cstdint>
#include <memory>
#include <vector>

// The records of one chart, oldest first, in fixed blocks: a record never moves once appended,
// index access is O(1) and there is no limit but memory.
class ChartLog
{
public:
    static constexpr int64_t blockSize = 4096;

    // startTime: the moment chart time 0 stands for, owned by the chart window (may be null
    // for a store filled only with ready records).
    explicit ChartLog(const QDateTime* startTime = nullptr);
    ChartLog(const ChartLog&) = delete;
    ChartLog& operator=(const ChartLog&) = delete;
    ChartLog(ChartLog&&) noexcept = default;
    ChartLog& operator=(ChartLog&&) noexcept = default;

    // A sample: Time is the milliseconds from the start time to sampleTime.
    ChartRecord& append(const QDateTime& sampleTime, int32_t microstepDivisor, const status_t& status,
                        const chart_data_t& chart, const analog_data_t& analog);
    ChartRecord& append(const ChartRecord& record);
    void clear();
    // Room for `records` more records in one piece (see LargeMemory), faulted in a block at a
    // time as appends reach it, so a file that turns out to be no chart never becomes resident.
    void reserve(int64_t records);

    int64_t count() const { return count_; }
    bool isEmpty() const { return count_ == 0; }
    ChartRecord& operator[](int64_t index) { return blocks_[size_t(index / blockSize)][size_t(index % blockSize)]; }
    const ChartRecord& operator[](int64_t index) const
    {
        return blocks_[size_t(index / blockSize)][size_t(index % blockSize)];
    }
    const ChartRecord& newest() const { return (*this)[count_ - 1]; }

    void setStartTime(const QDateTime* startTime) { startTime_ = startTime; }

private:
    void addBlocks(int64_t blocks, bool reserved);

    const QDateTime* startTime_;
    std::vector<std::unique_ptr<ChartRecord, LargeMemory::Free>> memory_;
    std::vector<ChartRecord*> blocks_;  // into memory_
    int64_t reservedBegin_ = 0;         // the blocks of the last reservation
    int64_t reservedEnd_ = 0;
    int64_t count_ = 0;
};

#endif // CHARTLOG_H
