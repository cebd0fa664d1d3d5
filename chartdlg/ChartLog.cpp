#include "chartdlg/ChartLog.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace {

// Faults the pages of a new block in one call: touching them one by one costs several times
// more, most of a file load on some machines. Only an optimisation; failure changes nothing.
void prefault(void* block, size_t size)
{
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(block) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(block) + size) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)block;
    (void)size;
#endif
}

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
    if (count_ == int64_t(blocks_.size()) * blockSize)
    {
        blocks_.emplace_back(new ChartRecord[blockSize]);  // filled one record at a time
        prefault(blocks_.back().get(), sizeof(ChartRecord) * blockSize);
    }
    ChartRecord& slot = (*this)[count_];
    slot = record;
    slot.reserved = 0;
    ++count_;
    return slot;
}

void ChartLog::clear()
{
    blocks_.clear();
    blocks_.shrink_to_fit();
    count_ = 0;
}
