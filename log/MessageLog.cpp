#include "log/MessageLog.h"

#include "common/Formatting.h"
#include "common/Paths.h"

#include <QFile>
#include <QTimer>

#include <mutex>
#include <shared_mutex>
#include <utility>

MessageLog* messageLog = nullptr;

namespace {

const int flushIntervalMs = 5000;

// The log that receives the controller library's lines. The lock lets a log go away only when
// no thread is inside it through insertLibraryLine or insertProgramLine.
std::shared_mutex& libraryTargetLock()
{
    static std::shared_mutex lock;
    return lock;
}
MessageLog* libraryTarget = nullptr;

void appendDigits(QString& text, int value, int digits)
{
    QChar buffer[4];
    for (int i = digits - 1; i >= 0; --i) {
        buffer[i] = QLatin1Char(static_cast<char>('0' + value % 10));
        value /= 10;
    }
    text.append(buffer, digits);
}

// "yyyy.MM.dd","hh:mm:ss.zzz","source","message" and CR LF; quotes inside a field are doubled.
QByteArray csvLine(const QDateTime& datetime, const QString& source, const QString& message)
{
    QString line;
    line.reserve(40 + source.size() + message.size());
    const QDate date = datetime.date();
    const QTime time = datetime.time();
    line += QLatin1Char('"');
    if (date.isValid() && date.year() >= 0 && date.year() <= 9999) {
        appendDigits(line, date.year(), 4);
        line += QLatin1Char('.');
        appendDigits(line, date.month(), 2);
        line += QLatin1Char('.');
        appendDigits(line, date.day(), 2);
    } else {
        line += date.toString(QStringLiteral("yyyy.MM.dd"));
    }
    line += QLatin1String("\",\"");
    if (time.isValid()) {
        appendDigits(line, time.hour(), 2);
        line += QLatin1Char(':');
        appendDigits(line, time.minute(), 2);
        line += QLatin1Char(':');
        appendDigits(line, time.second(), 2);
        line += QLatin1Char('.');
        appendDigits(line, time.msec(), 3);
    }
    line += QLatin1String("\",");
    appendCsvField(line, source);
    line += QLatin1Char(',');
    appendCsvField(line, message);
    line += QLatin1String("\r\n");
    return line.toUtf8();
}

QString droppedText(quint64 count)
{
    return QStringLiteral("%1 log lines were dropped").arg(count);
}

// The folder a settings text stands for. The empty text (the settings' default) means the
// configuration folder, where the first file of the run went, never the working directory.
QDir folderFor(const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("."))
        return QDir(configDirPath());
    return QDir(text);
}

} // namespace

MessageLog::MessageLog()
{
    qRegisterMetaType<LogSettings>("LogSettings");

    const QDateTime now = QDateTime::currentDateTime();
    fileDate = now.date();
    openFolder = QDir(configDirPath());
    lastFolderText = openFolder.path();
    lastFolderIsOpen = true;

    // Made before main moves the log to its thread and without a parent: the timer stays in
    // the creating thread and reaches update() by a queued call.
    flushTimer = new QTimer;
    flushTimer->setInterval(flushIntervalMs);
    connect(flushTimer, &QTimer::timeout, this, &MessageLog::update);
    flushTimer->start();

    // Lines that come before any settings go to today's file in the configuration folder.
    openLogFile(openFolder, fileDate);

    std::unique_lock<std::shared_mutex> targetLocker(libraryTargetLock());
    libraryTarget = this;
}

MessageLog::~MessageLog()
{
    {
        // Waits for the threads inside; the ones that come later find no log.
        std::unique_lock<std::shared_mutex> targetLocker(libraryTargetLock());
        if (libraryTarget == this)
            libraryTarget = nullptr;
        if (messageLog == this)
            messageLog = nullptr;
    }
    delete flushTimer;
    std::lock_guard<std::mutex> locker(mutex);
    writeOut();
    closeLogFile();
}

void MessageLog::destroy(MessageLog*& log)
{
    MessageLog* dying = nullptr;
    {
        std::unique_lock<std::shared_mutex> targetLocker(libraryTargetLock());
        dying = std::exchange(log, nullptr);
    }
    delete dying;
}

void MessageLog::setSerial(unsigned int newSerial)
{
    std::lock_guard<std::mutex> locker(mutex);
    serial = newSerial;
    serialText = QString::number(serial);
}

int MessageLog::takeItem(LogItem* out)
{
    if (!out)
        return 0;
    std::lock_guard<std::mutex> locker(mutex);
    if (droppedItems > 0) {
        out->datetime = lastDroppedItemTime;
        out->message = droppedText(droppedItems);
        out->source = QStringLiteral("Tolmo");
        out->loglevel = 2;
        droppedItems = 0;
        return 1;
    }
    if (items.empty())
        return 0;
    *out = std::move(items.front());
    items.pop_front();
    return 1;
}

void MessageLog::clearItems()
{
    std::lock_guard<std::mutex> locker(mutex);
    items.clear();
    droppedItems = 0;
}

QString MessageLog::logFileName(const QDir& folder, const QDateTime& date)
{
    std::lock_guard<std::mutex> locker(mutex);
    return fileNameFor(folder, date.date());
}

void MessageLog::setLogSettings(const LogSettings& settings)
{
    std::lock_guard<std::mutex> locker(mutex);
    currentSettings = settings;
    hasSettings = true;
}

void MessageLog::insertLibraryLine(const QDateTime& datetime, int level, const QString& message)
{
    std::shared_lock<std::shared_mutex> targetLocker(libraryTargetLock());
    if (libraryTarget)
        libraryTarget->insert(datetime, message, QStringLiteral("libtrov"), level, SettingsChoice::Current,
                              nullptr);
}

bool MessageLog::insertProgramLine(const QString& message, int level)
{
    return insertLineNow(message, QStringLiteral("Tolmo"), level);
}

bool MessageLog::insertLineNow(const QString& message, const QString& source, int level)
{
    // The log is cleared from messageLog and deleted only under the exclusive lock.
    std::shared_lock<std::shared_mutex> targetLocker(libraryTargetLock());
    if (!messageLog)
        return false;
    messageLog->InsertLine(QDateTime::currentDateTime(), message, source, level);
    return true;
}

void MessageLog::update()
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> locker(mutex);
        writeOut();
        if (file)
            file->flush();
        // A write failure said meanwhile is a line of the queue too.
        wake = std::exchange(wakeDue, false);
    }
    if (wake)
        emit itemsWaiting();
}

void MessageLog::InsertLine(const QDateTime& datetime, const QString& message, const QString& source,
                            int loglevel, const LogSettings& ls)
{
    insert(datetime, message, source, loglevel, SettingsChoice::Given, &ls);
}

void MessageLog::InsertLine(const QDateTime& datetime, const QString& message, const QString& source,
                            int loglevel)
{
    insert(datetime, message, source, loglevel, SettingsChoice::None, nullptr);
}

void MessageLog::insert(const QDateTime& datetime, const QString& message, const QString& source,
                        int loglevel, SettingsChoice choice, const LogSettings* given)
{
    QByteArray line = csvLine(datetime, source, message);
    bool wake = false;
    {
        std::lock_guard<std::mutex> locker(mutex);
        insertLocked(datetime, message, source, loglevel, choice, given, std::move(line));
        wake = std::exchange(wakeDue, false);
    }
    if (wake)
        emit itemsWaiting();
}

void MessageLog::insertLocked(const QDateTime& datetime, const QString& message, const QString& source,
                              int loglevel, SettingsChoice choice, const LogSettings* given, QByteArray&& line)
{
    queueItem(datetime, message, source, loglevel);
    queuePending(datetime, std::move(line));

    const LogSettings* settings = nullptr;
    if (choice == SettingsChoice::Given && given) {
        currentSettings = *given;
        hasSettings = true;
        settings = &currentSettings;
    } else if (choice == SettingsChoice::Current && hasSettings) {
        settings = &currentSettings;
    }

    if (settings) {
        if (!settings->autosave)
            return;  // kept until a line comes with autosave on
        followSettings(datetime, *settings);
    }
    if (file)
        releasePending();
}

void MessageLog::queueItem(const QDateTime& datetime, const QString& message, const QString& source,
                           int loglevel)
{
    if (items.empty() && droppedItems == 0)
        wakeDue = true;
    if (items.size() >= static_cast<size_t>(maxItems)) {
        lastDroppedItemTime = items.front().datetime;
        items.pop_front();
        ++droppedItems;
    }
    items.push_back(LogItem{datetime, message, source, loglevel});
}

void MessageLog::queuePending(const QDateTime& datetime, QByteArray&& line)
{
    if (pending.size() >= static_cast<size_t>(maxPendingLines)) {
        lastDroppedPendingTime = pending.front().time;
        pending.pop_front();
        ++droppedPending;
    }
    pending.push_back(PendingLine{datetime, std::move(line)});
}

void MessageLog::followSettings(const QDateTime& datetime, const LogSettings& settings)
{
    // Only path() is read from the settings' folder: the copy shares its data with the sender's
    // original, and the other QDir calls fill caches inside that shared data.
    const QString text = settings.autosaveFolder.path();
    const bool known = text == lastFolderText;
    const QDate day = datetime.date();
    const bool sameDay = !day.isValid() || day == fileDate;
    if (known && lastFolderIsOpen && sameDay && file)
        return;  // the common case, without touching the file system

    const QDir target = folderFor(text);
    const bool sameFolder = known ? lastFolderIsOpen : target == openFolder;
    lastFolderText = text;
    lastFolderIsOpen = sameFolder;
    // A folder that exists only later (the first run) is opened as soon as it is there.
    const bool exists = target.exists();
    if (sameDay && !(exists && (!sameFolder || !file)))
        return;

    const QDate openDay = day.isValid() ? day : fileDate;
    writeOut();  // what the old file was given goes into it before the switch
    if (openLogFile(target, openDay)) {
        openFolder = target;
        fileDate = openDay;
        lastFolderText = text;
        lastFolderIsOpen = true;
    }
}

void MessageLog::releasePending()
{
    // The file did not take the last batch (disk full): the lines wait among the pending ones,
    // which are bounded, not in the write buffer.
    if (outBuffer.size() >= writeChunkBytes && !writeOut())
        return;
    if (droppedPending > 0) {
        outBuffer += csvLine(lastDroppedPendingTime, QStringLiteral("Tolmo"), droppedText(droppedPending));
        droppedPending = 0;
    }
    for (PendingLine& line : pending)
        outBuffer += line.text;
    pending.clear();
    if (outBuffer.size() >= writeChunkBytes)
        writeOut();
}

bool MessageLog::writeOnce()
{
    if (!file)
        return false;
    const qint64 written = file->write(outBuffer);
    if (written > 0)
        outBuffer.remove(0, static_cast<int>(written));
    if (!outBuffer.isEmpty())
        lastWriteError = file->errorString();
    return outBuffer.isEmpty();
}

void MessageLog::reportWriteFailure(const QString& name, const QString& reason)
{
    // The file is tried again and again: one line a session says so.
    if (writeFailureSaid)
        return;
    writeFailureSaid = true;
    queueItem(QDateTime::currentDateTime(),
              tr("The log file %1 cannot be written (%2); its lines are kept and written when it can be.")
                  .arg(name, reason),
              QStringLiteral("Tolmo"), 1);
}

bool MessageLog::writeOut()
{
    if (outBuffer.isEmpty())
        return true;
    if (!file)
        return false;
    if (writeOnce())
        return true;
    // The file failed (disk full, device gone): open it afresh and try once more. What is
    // still unwritten stays for the next attempt, and the next line with settings reopens.
    const QDir folder = openFolder;
    const QDate date = fileDate;
    openLogFile(folder, date);
    if (writeOnce())
        return true;
    reportWriteFailure(fileNameFor(folder, date), lastWriteError);
    closeLogFile();
    return false;
}

QString MessageLog::fileNameFor(const QDir& folder, const QDate& date) const
{
    QString name = folder.absolutePath() + QStringLiteral("/tolmo_log_")
                   + date.toString(QStringLiteral("yyyy.MM.dd"));
    if (serial != 0)
        name += QStringLiteral("_SN") + serialText;
    return name + QStringLiteral(".csv");
}

bool MessageLog::openLogFile(const QDir& folder, const QDate& date)
{
    closeLogFile();
    auto* next = new QFile(fileNameFor(folder, date));
    // Unbuffered: the log collects its own batches and must see every failed write.
    if (!next->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        // A folder that is not there yet (the first run) is no failure.
        if (folder.exists())
            reportWriteFailure(next->fileName(), next->errorString());
        delete next;
        return false;
    }
    file = next;
    return true;
}

void MessageLog::closeLogFile()
{
    if (!file)
        return;
    file->flush();
    file->close();
    delete file;
    file = nullptr;
}
