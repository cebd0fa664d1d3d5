#include "chartdlg/ChartFileParser.h"

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

const char* const magic = "TolmoGraphs";
const char* const notChart = "The file is not a chart file";

// Record sizes of the versions, and the number of leading doubles each stores in record order.
size_t recordSizeOf(ChartFileContent::Version v)
{
    switch (v) {
    case ChartFileContent::V12: return 192;
    case ChartFileContent::V11: return 184;
    case ChartFileContent::V10: return 164;
    case ChartFileContent::Legacy: return 128;
    default: return 0;
    }
}

// The sixteen doubles of a file without a header, in file order.
double ChartRecord::* const legacyFields[16] = {
    &ChartRecord::Encoder,   &ChartRecord::Position,  &ChartRecord::uPosition,  &ChartRecord::Speed,
    &ChartRecord::CurrentA,  &ChartRecord::CurrentB,  &ChartRecord::CurrentC,   &ChartRecord::EnCurrent,
    &ChartRecord::VoltageA,  &ChartRecord::VoltageB,  &ChartRecord::VoltageC,   &ChartRecord::EnVoltage,
    &ChartRecord::PwrVoltage, &ChartRecord::PWM,      &ChartRecord::Temperature, &ChartRecord::Time};

} // namespace

int64_t ChartFileParser::defaultRecordLimit()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::numeric_limits<int64_t>::max() / int64_t(sizeof(ChartRecord));
    return int64_t(pages) * int64_t(pageSize) / int64_t(sizeof(ChartRecord));
}

bool ChartFileParser::validRecord(const ChartRecord& r)
{
    double values[22];
    static_assert(offsetof(ChartRecord, Time) + sizeof(double) == sizeof values, "doubles lead the record");
    std::memcpy(values, &r, sizeof values);
    for (int i = 0; i < 21; ++i) {
        if (!(std::fabs(values[i]) <= valueLimit))  // false for NaN too
            return false;
    }
    return std::fabs(r.Time) <= timeLimit;
}

ChartFileParser::ChartFileParser(int64_t recordLimit) : recordLimit_(recordLimit) {}

bool ChartFileParser::refuse(const std::string& error)
{
    if (!refused_) {
        refused_ = true;
        content_.error = error;
        content_.records.clear();
    }
    return false;
}

bool ChartFileParser::begin(const char* head, size_t headSize, uint64_t fileSize)
{
    if (fileSize == 0)
        return refuse("The file is empty");
    const size_t n = std::min(headSize, headerSize);
    const std::string text(head, strnlen(head, n));
    auto startsWith = [&](const char* prefix) { return text.compare(0, std::strlen(prefix), prefix) == 0; };
    using V = ChartFileContent;
    V::Version version = startsWith("TolmoGraphs_v1.2") ? V::V12
                       : startsWith("TolmoGraphs_v1.1") ? V::V11
                       : startsWith("TolmoGraphs_v1.0") ? V::V10
                       : startsWith(magic)              ? V::Unknown
                                                        : V::Legacy;
    if (version == V::Unknown) {
        content_.unknownVersion = true;
        return refuse("The file has unknown version or created with newer Tolmo");
    }
    content_.version = version;
    recordSize_ = recordSizeOf(version);
    dataOffset_ = version == V::Legacy ? 0 : headerSize;
    const uint64_t body = fileSize - dataOffset_;
    if (version == V::Legacy && body % recordSize_ != 0)
        return refuse(notChart);
    if (body / recordSize_ == 0)
        return refuse("The file holds no chart records");
    if (body / recordSize_ > uint64_t(recordLimit_))
        return refuse("The file holds more records than this computer can keep ("
                      + std::to_string(body / recordSize_) + ")");
    try {
        content_.records.reserve(int64_t(body / recordSize_));
    } catch (const std::bad_alloc&) {
        // Only an optimisation: the records then take their memory a block at a time.
    }
    return true;
}

bool ChartFileParser::decode(const char* bytes)
{
    ChartRecord r{};
    switch (content_.version) {
    case ChartFileContent::V12:
        std::memcpy(&r, bytes, sizeof r);
        r.reserved = 0;
        break;
    case ChartFileContent::V11:
        std::memcpy(&r, bytes, offsetof(ChartRecord, Flags));
        std::memcpy(&r.MicrostepDivisor, bytes + 176, sizeof r.MicrostepDivisor);
        break;
    case ChartFileContent::V10:
        std::memcpy(&r, bytes, offsetof(ChartRecord, Joy));
        std::memcpy(&r.Time, bytes + 152, sizeof r.Time);
        std::memcpy(&r.MicrostepDivisor, bytes + 160, sizeof r.MicrostepDivisor);
        break;
    default:
        for (size_t i = 0; i < 16; ++i)
            std::memcpy(&(r.*legacyFields[i]), bytes + 8 * i, sizeof(double));
        r.PwrCurrent = r.EnCurrent;
        break;
    }
    if (!validRecord(r)) {
        if (content_.version == ChartFileContent::Legacy)
            return refuse(notChart);
        ++content_.skippedRecords;
        if (!(std::fabs(r.Time) <= timeLimit))
            ++content_.damagedTimes;
    } else {
        content_.records.append(r);
    }
    if (content_.records.count() + content_.skippedRecords > recordLimit_)
        return refuse("The file holds more records than this computer can keep");
    return true;
}

bool ChartFileParser::feed(const char* data, size_t size)
{
    if (refused_)
        return false;
    if (recordSize_ == 0)
        return refuse(notChart);
    try {
        if (!carry_.empty()) {
            const size_t take = std::min(size, recordSize_ - carry_.size());
            carry_.append(data, take);
            data += take;
            size -= take;
            if (carry_.size() < recordSize_)
                return true;
            if (!decode(carry_.data()))
                return false;
            carry_.clear();
        }
        for (; size >= recordSize_; data += recordSize_, size -= recordSize_) {
            if (!decode(data))
                return false;
        }
        carry_.assign(data, size);
    } catch (const std::bad_alloc&) {
        return refuse("Not enough memory to load this chart");
    }
    return true;
}

ChartFileContent ChartFileParser::finish()
{
    if (!refused_) {
        content_.partialBytes = int64_t(carry_.size());
        if (content_.records.isEmpty())
            refuse(content_.skippedRecords > 0 ? "The file holds no valid chart records"
                                               : "The file holds no chart records");
    }
    content_.ok = !refused_;
    carry_.clear();
    return std::move(content_);
}

ChartFileContent ChartFileParser::parse(const char* data, size_t size, int64_t recordLimit)
{
    ChartFileParser parser(recordLimit);
    if (parser.begin(data, size, size) && size > parser.dataOffset())
        parser.feed(data + parser.dataOffset(), size - parser.dataOffset());
    return parser.finish();
}
