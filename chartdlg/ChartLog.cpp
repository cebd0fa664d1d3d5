#include "chartdlg/ChartLog.h"

#include <cstdlib>
#include <new>

namespace {

constexpr size_t blockBytes = sizeof(ChartRecord) * size_t(ChartLog::blockSize);

} // namespace

ChartLog::ChartLog(const QDateTime* startTime) : startTime_(startTime) {}

ChartRecord& ChartLog::append(const QDateTime& sampleTime, int32_t microstepDivisor, const status_t& status,
                              const chart_data_t& chart, const analog_data_t& analog)
{
    const double time = startTime_ ? double(startTime_->msecsTo(sampleTime)) : 0.0;
    return append(ChartRecord::fromSample(status, chart, analog, microstepDivisor, time));
}

ChartRecord& ChartLog::append(const ChartRecord& record)
{
    const int64_t block = count_ / blockSize;
    if (block == int64_t(blocks_.size()))
        addBlocks(1, false);  // a live chart: filled one record at a time
    if (count_ % blockSize == 0 && block >= reservedBegin_ && block < reservedEnd_)
        LargeMemory::prefault(blocks_[size_t(block)], blockBytes);
    ChartRecord& slot = blocks_[size_t(block)][size_t(count_ % blockSize)];
    slot = record;
    slot.reserved = 0;
    ++count_;
    return slot;
}

void ChartLog::reserve(int64_t records)
{
    const int64_t room = int64_t(blocks_.size()) * blockSize - count_;
    if (records > room)
        addBlocks((records - room + blockSize - 1) / blockSize, true);
}

void ChartLog::addBlocks(int64_t blocks, bool reserved)
{
    if (blocks > int64_t(SIZE_MAX / blockBytes))
        throw std::bad_alloc();
    const size_t bytes = size_t(blocks) * blockBytes;
    std::unique_ptr<ChartRecord, LargeMemory::Free> memory(
        static_cast<ChartRecord*>(reserved ? LargeMemory::allocate(bytes) : std::malloc(bytes)));
    if (!memory)
        throw std::bad_alloc();
    blocks_.reserve(blocks_.size() + size_t(blocks));
    ChartRecord* const first = memory.get();
    memory_.push_back(std::move(memory));
    if (reserved)
        reservedBegin_ = int64_t(blocks_.size());
    for (int64_t i = 0; i < blocks; ++i)
        blocks_.push_back(first + i * blockSize);
    if (reserved)
        reservedEnd_ = int64_t(blocks_.size());
}

void ChartLog::clear()
{
    blocks_.clear();
    blocks_.shrink_to_fit();
    memory_.clear();
    memory_.shrink_to_fit();
    reservedBegin_ = reservedEnd_ = 0;
    count_ = 0;
}
