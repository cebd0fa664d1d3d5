#ifndef CHARTFILE_H
#define CHARTFILE_H

#include "chartdlg/ChartFileParser.h"
#include "chartdlg/ChartLog.h"
#include "chartdlg/ChartTimeline.h"
#include "chartdlg/TimeGapMap.h"

#include <QString>

#include <string>
#include <vector>

// Chart files (.grf): the program writes version 1.2 and reads every version. A load is checked
// whole before it may replace a chart; a save goes through a temporary file, so a failed save
// leaves an older file as it was.
class ChartFile
{
public:
    static constexpr char header[] = "TolmoGraphs_v1.2";

    // A loaded chart, ready to replace the window's: records below axis time 0, the latest at
    // -100, their breaks in the map and a timeline whose next time base starts after them.
    struct Loaded
    {
        ChartLog log;
        TimeGapMap map;
        ChartTimeline timeline;
        std::vector<TimeGapMap::Break> gaps;  // for the gap markers
        double shift = 0;                     // ms the records were moved to the left
        int64_t partialBytes = 0;
        int64_t skippedRecords = 0;
        int64_t damagedTimes = 0;
    };

    // Reads a regular file (not a device or a pipe): the size is checked before anything is
    // allocated, then the records are decoded in pieces.
    static ChartFileContent read(const QString& path, int64_t recordLimit = ChartFileParser::defaultRecordLimit());
    // Takes parsed records as a loaded chart. False (with the reason) when they cannot be one.
    static bool adopt(ChartFileContent&& content, Loaded& loaded, std::string* error);

    // A version 1.2 file of the log, each Time written as elapsed time; the log stays as it is.
    // Run the gap scan first: a record not scanned yet still holds its raw time, which the map
    // would move again by every pause cut before it.
    static std::string serialise(const ChartLog& log, const TimeGapMap& map);
    // Writes the file; false with the reason in *error when it did not, the old file then intact.
    static bool save(const QString& path, const ChartLog& log, const TimeGapMap& map, QString* error);

private:
    static void appendRecords(std::string& out, const ChartLog& log, const TimeGapMap& map, int64_t from,
                              int64_t to);
};

#endif // CHARTFILE_H
