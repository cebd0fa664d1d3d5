#include "chartdlg/ChartFile.h"

#include "common/FileSaver.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

constexpr char ChartFile::header[];

namespace {

// Reads up to size bytes at offset; fewer only at the end of the file.
ssize_t readAt(int fd, char* buffer, size_t size, off_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, buffer + done, size - done, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

struct Descriptor
{
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

ChartFileContent refused(const std::string& error)
{
    ChartFileContent content;
    content.error = error;
    return content;
}

} // namespace

ChartFileContent ChartFile::read(const QString& path, int64_t recordLimit)
{
    // Non-blocking, so that a pipe is refused instead of waited on.
    Descriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0)
        return refused(std::string("Cannot open the file: ") + std::strerror(errno));
    struct stat info;
    if (fstat(file.fd, &info) != 0)
        return refused(std::string("Cannot read the file: ") + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return refused("The file is not a regular file");

    const uint64_t size = uint64_t(info.st_size);
    char head[ChartFileParser::headerSize];
    const ssize_t headSize = readAt(file.fd, head, sizeof head, 0);
    if (headSize < 0)
        return refused(std::string("Cannot read the file: ") + std::strerror(errno));
    ChartFileParser parser(recordLimit);
    if (parser.begin(head, size_t(headSize), size)) {
        // Only the size seen above is read: a file growing meanwhile adds nothing.
        std::vector<char> buffer(size_t(64) << 10);
        uint64_t offset = parser.dataOffset();
        while (offset < size) {
            const size_t want = size_t(std::min<uint64_t>(buffer.size(), size - offset));
            const ssize_t got = readAt(file.fd, buffer.data(), want, off_t(offset));
            if (got < 0)
                return refused(std::string("Cannot read the file: ") + std::strerror(errno));
            if (!parser.feed(buffer.data(), size_t(got)) || size_t(got) < want)
                break;
            offset += uint64_t(got);
        }
    }
    return parser.finish();
}

bool ChartFile::adopt(ChartFileContent&& content, Loaded& loaded, std::string* error)
{
    if (!content.ok) {
        if (error)
            *error = content.error;
        return false;
    }
    Loaded result;
    result.log = std::move(content.records);
    result.partialBytes = content.partialBytes;
    result.skippedRecords = content.skippedRecords;
    result.damagedTimes = content.damagedTimes;
    result.gaps = result.timeline.adoptLoaded(result.log, result.map, &result.shift);
    // Whatever is loaded must save into a file that loads again. The map never puts a later time
    // before an earlier one, so the earliest and the latest record bound all others.
    double earliest = 0, latest = 0;
    for (int64_t i = 0; i < result.log.count(); ++i) {
        const double time = result.log[i].Time;
        earliest = i == 0 ? time : std::min(earliest, time);
        latest = i == 0 ? time : std::max(latest, time);
    }
    if (!(std::fabs(result.map.mapTime(earliest)) <= ChartFileParser::timeLimit
          && std::fabs(result.map.mapTime(latest)) <= ChartFileParser::timeLimit)) {
        if (error)
            *error = "The chart's times span too long a period";
        return false;
    }
    loaded = std::move(result);
    return true;
}

void ChartFile::appendRecords(std::string& out, const ChartLog& log, const TimeGapMap& map, int64_t from,
                              int64_t to)
{
    const size_t at = out.size();
    out.resize(at + size_t(to - from) * sizeof(ChartRecord));
    char* p = &out[at];
    for (int64_t i = from; i < to; ++i, p += sizeof(ChartRecord)) {
        ChartRecord r = log[i];
        r.Time = map.mapTime(r.Time);
        r.reserved = 0;
        std::memcpy(p, &r, sizeof r);
    }
}

std::string ChartFile::serialise(const ChartLog& log, const TimeGapMap& map)
{
    std::string out(header, ChartFileParser::headerSize);
    appendRecords(out, log, map, 0, log.count());
    return out;
}

bool ChartFile::save(const QString& path, const ChartLog& log, const TimeGapMap& map, QString* error)
{
    FileSaver file(path);
    bool ok = file.open() && file.write(header, qint64(ChartFileParser::headerSize));
    std::string chunk;
    for (int64_t from = 0; ok && from < log.count(); from += ChartLog::blockSize) {
        chunk.clear();
        appendRecords(chunk, log, map, from, std::min(log.count(), from + ChartLog::blockSize));
        ok = file.write(chunk.data(), qint64(chunk.size()));
    }
    ok = ok && file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}
