#include "chartdlg/ChartLog.h"

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
        blocks_.emplace_back(new ChartRecord[blockSize]);  // filled one record at a time
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
