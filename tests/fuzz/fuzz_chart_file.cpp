// Arbitrary bytes as a chart file, parsed with a small record limit, taken as a loaded chart,
// saved and parsed again: the limit holds, every axis time is finite, and whatever loads saves
// into a file that loads again with as many records.
#include "chartdlg/ChartFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int64_t recordLimit = 16;  // small, so that the limit is often reached

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ChartFileContent content = ChartFileParser::parse(reinterpret_cast<const char*>(data), size, recordLimit);
    check(content.records.count() + content.skippedRecords <= recordLimit);
    check(content.ok != content.records.isEmpty());
    check(content.ok || !content.error.empty());
    for (int64_t i = 0; i < content.records.count(); ++i)
        check(ChartFileParser::validRecord(content.records[i]) && content.records[i].reserved == 0);
    const int64_t count = content.records.count();

    ChartFile::Loaded loaded;
    std::string error;
    if (!ChartFile::adopt(std::move(content), loaded, &error)) {
        check(!error.empty());
        return 0;
    }
    check(loaded.log.count() == count);
    for (int64_t i = 0; i < count; ++i)
        check(std::isfinite(loaded.log[i].Time) && loaded.log[i].Time < 0);
    for (const TimeGapMap::Break& gap : loaded.gaps)
        check(gap.start < 0 && gap.length > 100);

    const std::string saved = ChartFile::serialise(loaded.log, loaded.map);
    check(saved.size() == 16 + 192 * size_t(count));
    const ChartFileContent again = ChartFileParser::parse(saved.data(), saved.size(), recordLimit);
    check(again.ok && again.records.count() == count && again.skippedRecords == 0 && again.partialBytes == 0);
    return 0;
}
