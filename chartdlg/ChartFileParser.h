#ifndef CHARTFILEPARSER_H
#define CHARTFILEPARSER_H

#include "chartdlg/ChartLog.h"

#include <cstddef>
#include <cstdint>
#include <string>

// What a chart file held. Only ok content may replace a chart.
struct ChartFileContent
{
    enum Version { Unknown, V12, V11, V10, Legacy };

    bool ok = false;
    bool unknownVersion = false;  // "TolmoGraphs" with no version this program reads
    std::string error;            // why it was refused
    Version version = Unknown;
    ChartLog records;
    int64_t partialBytes = 0;     // a cut last record, dropped
    int64_t skippedRecords = 0;   // records with values no chart can hold, left out
    int64_t damagedTimes = 0;     // those of them whose time is no time
};

// Decodes a chart file of any version from its bytes, in pieces of any size, without reading
// past what it is given. Every record is checked; nothing else is trusted.
class ChartFileParser
{
public:
    static constexpr size_t headerSize = 16;
    static constexpr double timeLimit = 1e13;   // ms, about 317 years
    static constexpr double valueLimit = 1e19;

    // More records than fit in this machine's memory cannot be a chart it recorded.
    static int64_t defaultRecordLimit();
    static bool validRecord(const ChartRecord& record);

    explicit ChartFileParser(int64_t recordLimit = defaultRecordLimit());

    // The file's size and its first min(16, size) bytes; false when the file is refused.
    bool begin(const char* head, size_t headSize, uint64_t fileSize);
    size_t dataOffset() const { return dataOffset_; }
    // The bytes from dataOffset() on, in order, in pieces of any size.
    bool feed(const char* data, size_t size);
    // Ends the parse; the content is ok when at least one record was taken.
    ChartFileContent finish();

    // The whole file at once.
    static ChartFileContent parse(const char* data, size_t size, int64_t recordLimit = defaultRecordLimit());

private:
    bool refuse(const std::string& error);
    bool decode(const char* bytes);

    int64_t recordLimit_;
    size_t dataOffset_ = 0;
    size_t recordSize_ = 0;
    std::string carry_;  // the start of a record split between pieces
    ChartFileContent content_;
    bool refused_ = false;
};

#endif // CHARTFILEPARSER_H
