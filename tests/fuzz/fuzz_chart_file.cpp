// Arbitrary bytes as a chart file, parsed with a small record limit, taken as a loaded chart,
// saved and parsed again: the limit holds, every axis time is finite, and whatever loads saves
// into a file that loads again with as many records. The time axis over the loaded range is
// divided and labelled: ticks inside the range, labels and tracker times that never fail.
#include "chartdlg/ChartFile.h"
#include "chartdlg/TimeScaleDraw.h"
#include "chartdlg/myPicker.h"
#include "chartdlg/myScaleEngine.h"

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

// Divides [x1, x2] as a chart time axis with its pause markers and reads every label.
void divideAxis(const ChartFile::Loaded& loaded, double x1, double x2)
{
    myScaleEngine engine(loaded.map);
    for (const TimeGapMap::Break& gap : loaded.gaps)
        engine.appendPoint(gap.start);
    const QwtScaleDiv div = engine.divideScale(x1, x2, 4, 8);
    const QwtInterval range = div.interval().normalized();
    const double slack = 1e-6 * range.width();  // Qwt's own tolerance at the ends
    for (int type = 0; type < QwtScaleDiv::NTickTypes; ++type)
        for (double tick : div.ticks(type))
            check(tick >= range.minValue() - slack && tick <= range.maxValue() + slack);
    for (double tick : div.ticks(QwtScaleDiv::MajorTick)) {
        const double elapsed = loaded.map.mapTime(tick);
        check(std::isfinite(elapsed));
        check(!TimeScaleDraw::secondsText(elapsed).isEmpty() && !myPicker::timeText(elapsed).isEmpty());
    }
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

    if (count > 0) {
        divideAxis(loaded, loaded.log[0].Time, loaded.log.newest().Time);
        divideAxis(loaded, loaded.log.newest().Time - 60000, loaded.log.newest().Time);
    }

    const std::string saved = ChartFile::serialise(loaded.log, loaded.map);
    check(saved.size() == 16 + 192 * size_t(count));
    const ChartFileContent again = ChartFileParser::parse(saved.data(), saved.size(), recordLimit);
    check(again.ok && again.records.count() == count && again.skippedRecords == 0 && again.partialBytes == 0);
    return 0;
}
