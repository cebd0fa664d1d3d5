#include "device/AxisCourier.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <chrono>

#include "device/DeviceInterface.h"
#include "log/MessageLog.h"

namespace {

// How often a stop waiting for a lost controller looks at the handle polling reopens.
constexpr auto reopenLookMs = std::chrono::milliseconds(10);

qint64 steadyMs()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// What waits on this courier's thread for the stops that cut a command, for afterStops.
thread_local std::vector<std::function<void()>>* deferredHere = nullptr;

} // namespace

AxisCourier::AxisCourier(DeviceInterface* gatewayIn, const std::atomic<device_t>* handleIn, const QString& axisIn,
                         Clock clockIn)
    : gateway(gatewayIn), handle(handleIn), axisName(axisIn), clock(clockIn ? std::move(clockIn) : Clock(steadyMs))
{
    watch = new QTimer(this);
    watch->setInterval(watchMs);
    connect(watch, &QTimer::timeout, this, &AxisCourier::watchWaits);
}

AxisCourier::~AxisCourier()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        dropping.store(true);
        callBar.store(true);
        ending = true;
        wake.notify_all();
    }
    wait();
    // The thread's last touch of this object was under the mutex: taking it once more shows the
    // join to ThreadSanitizer, which does not see QThread::wait.
    std::lock_guard<std::mutex> joined(mutex);
}

QString AxisCourier::secondsText(qint64 ms)
{
    // Tenths, a whole number without them: every line writes seconds one way.
    const qint64 tenths = (std::max<qint64>(0, ms) + 50) / 100;
    return tenths % 10 == 0 ? QString::number(tenths / 10) : QString::number(double(tenths) / 10.0, 'f', 1);
}

void AxisCourier::followReopenings(const std::atomic<uint64_t>* count)
{
    std::lock_guard<std::mutex> lock(mutex);
    reopenings = count;
}

void AxisCourier::setAxis(const QString& axis)
{
    std::lock_guard<std::mutex> lock(nameMutex);
    axisName = axis;
}

QString AxisCourier::axis() const
{
    std::lock_guard<std::mutex> lock(nameMutex);
    return axisName;
}

qint64 AxisCourier::now() const
{
    return clock();
}

uint64_t AxisCourier::reopened() const
{
    return reopenings ? reopenings->load() : 0;
}

void AxisCourier::log(const QString& text, int level) const
{
    MessageLog::insertProgramLine(text, level);
}

QString AxisCourier::notSentText(const QString& what, const QString& why) const
{
    return tr("%1: %2 was not sent: %3").arg(axis(), what, why);
}

QString AxisCourier::busyText() const
{
    return tr("the controller was busy for %1 s.").arg(secondsText(startLimitMs));
}

QString AxisCourier::stillWaitsText(const QString& what, qint64 waitedMs) const
{
    if (gateway->heldByMarkedThread())
        return tr("%1: %2 still waits: a script's call holds the controller.").arg(axis(), what);
    return tr("%1: %2 still waits: the controller has not answered for %3 s.").arg(axis(), what, secondsText(waitedMs));
}

QString AxisCourier::sentText(const Entry& entry) const
{
    const QString after = secondsText(now() - entry.sentAt);
    if (entry.kind == Kind::Release)
        return tr("%1: %2 sent, %3 s after the jog was let go.").arg(axis(), entry.what, after);
    return tr("%1: %2 sent, %3 s after it was pressed.").arg(axis(), entry.what, after);
}

bool AxisCourier::idle() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return queue.empty() && !current.busy;
}

bool AxisCourier::awaitsController() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return current.busy && current.lossWait;
}

QString AxisCourier::stopAwaitingController() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return current.busy && current.lossWait ? current.what : QString();
}

int AxisCourier::strength(Kind kind)
{
    switch (kind) {
    case Kind::Stop: return 3;
    case Kind::SoftStop: return 2;
    case Kind::Release: return 1;
    case Kind::Motion:
    case Kind::Command: break;
    }
    return 0;
}

void AxisCourier::merge(Entry& newer, Entry&& older)
{
    if (strength(older.kind) > strength(newer.kind)) {
        newer.kind = older.kind;
        newer.what = std::move(older.what);
        newer.command = std::move(older.command);
    }
    older.tickets.insert(older.tickets.end(), newer.tickets.begin(), newer.tickets.end());
    newer.tickets = std::move(older.tickets);
    newer.told = newer.told || older.told;
    newer.plain = newer.plain || older.plain;
    newer.followsMotion = newer.followsMotion || older.followsMotion;
}

void AxisCourier::answerLocked(const std::vector<quint64>& tickets, result_t result, Outcome outcome)
{
    for (quint64 ticket : tickets)
        answered.push_back(Answer{ticket, result, outcome});
    if (!tickets.empty())
        wakeOwner();
}

void AxisCourier::tellOwnerLocked(std::function<void()> news)
{
    owed.push_back(std::move(news));
    wakeOwner();
}

// The one place the courier's thread posts to the owner's: Qt's posted-event queue is handed
// over under Qt's own lock, which the thread sanitizer does not see. Two calls deep, neither
// inlined nor a tail call, so that its stacks show wakeOwner over Qt's (tests/tsan.supp).
Q_NEVER_INLINE void AxisCourier::wakeOwner()
{
    postDelivery();
}

Q_NEVER_INLINE __attribute__((optimize("no-optimize-sibling-calls"))) void AxisCourier::postDelivery()
{
    QMetaObject::invokeMethod(this, &AxisCourier::deliverReplies, Qt::QueuedConnection);
}

void AxisCourier::send(Kind kind, const QString& what, Command command, QObject* context, Reply reply)
{
    JobReply job;
    if (reply)
        job = [reply = std::move(reply)](result_t result, Outcome) { reply(result); };
    sendJob(kind, what, std::move(command), context, std::move(job));
}

void AxisCourier::sendJob(Kind kind, const QString& what, Command command, QObject* context, JobReply reply)
{
    Entry entry;
    entry.kind = kind;
    entry.what = what;
    entry.command = std::move(command);
    entry.sentAt = now();
    post(std::move(entry), context, std::move(reply));
}

bool AxisCourier::motionPendingLocked(qint64 at) const
{
    if (current.busy && current.kind == Kind::Motion)
        return true;
    for (const Entry& entry : queue) {
        if (entry.kind == Kind::Motion)
            return true;
    }
    return motionSentAt != 0 && at - motionSentAt < motionSettleMs;
}

void AxisCourier::placeStop(Entry entry, QStringList& dropped)
{
    entry.followsMotion = motionPendingLocked(entry.sentAt);
    // The commands still waiting would follow the stop: they go no more. The stops and releases
    // waiting become this one. Rebuilt whole: nothing points into the queue across the change.
    std::deque<Entry> waiting;
    waiting.swap(queue);
    for (Entry& e : waiting) {
        if (isStop(e.kind)) {
            merge(entry, std::move(e));
        } else {
            dropped << e.what;
            answerLocked(e.tickets, result_error, Outcome::NotSent);
        }
    }
    const QString what = entry.what;
    queue.push_back(std::move(entry));
    if (!current.busy)
        return;
    Entry& stop = queue.front();
    if (!isStop(current.kind)) {
        // A command under way that has not reached the controller ends there.
        if (!current.abandoned) {
            current.abandoned = true;
            current.abandonedFor = what;
            callBar.store(true);
        }
    } else if (current.lossWait || current.failedOnce) {
        // A stop that failed, or waits for the controller, gives way: the new one is tried itself,
        // as strong as the stronger of the two.
        takeOverLocked(stop);
    } else if (strength(stop.kind) > strength(current.kind) && !current.abandoned) {
        // A soft stop under way that has not reached the controller gives way to the Stop.
        current.abandoned = true;
        current.superseded = true;
        current.abandonedFor = what;
        callBar.store(true);
    }
}

void AxisCourier::placeRelease(Entry entry, QStringList& dropped)
{
    // At most one release waits: the newest, behind every command.
    bool commandsWait = false;
    for (auto it = queue.begin(); it != queue.end();) {
        if (it->kind == Kind::Release) {
            Entry older = std::move(*it);
            it = queue.erase(it);
            merge(entry, std::move(older));
            continue;
        }
        commandsWait = commandsWait || !isStop(it->kind);
        ++it;
    }
    if (!commandsWait && !queue.empty()) {
        // A stop waiting with nothing behind it ends the jog too.
        Entry& stop = queue.front();
        stop.tickets.insert(stop.tickets.end(), entry.tickets.begin(), entry.tickets.end());
        return;
    }
    if (!commandsWait && current.busy && isStop(current.kind) && (current.lossWait || current.failedOnce)) {
        current.tickets.insert(current.tickets.end(), entry.tickets.begin(), entry.tickets.end());
        return;
    }
    if (int(queue.size()) + (current.busy ? 1 : 0) >= queueLimit && !queue.empty() && !isStop(queue.back().kind)) {
        // Room for the release: the newest command waiting goes instead.
        dropped << queue.back().what;
        answerLocked(queue.back().tickets, result_error, Outcome::NotSent);
        queue.pop_back();
    }
    queue.push_back(std::move(entry));
}

void AxisCourier::post(Entry entry, QObject* context, JobReply reply)
{
    if (reply) {
        entry.tickets.push_back(nextTicket);
        pending[nextTicket++] = Pending{context ? context : this, std::move(reply)};
    }
    const Kind kind = entry.kind;
    const QString what = entry.what;
    QStringList dropped;
    QString refused;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (ended || (ending && !isStop(kind))) {
            refused = notSentText(what, tr("the window is closing."));
        } else if (kind == Kind::Release) {
            placeRelease(std::move(entry), dropped);
        } else if (isStop(kind)) {
            placeStop(std::move(entry), dropped);
        } else if (int(queue.size()) + (current.busy ? 1 : 0) >= queueLimit) {
            refused = notSentText(what, tr("too many commands wait for the controller."));
        } else {
            queue.push_back(std::move(entry));
        }
        if (!refused.isEmpty())
            answerLocked(entry.tickets, result_error, Outcome::NotSent);
        wake.notify_all();
    }
    if (!refused.isEmpty()) {
        log(refused, 1);
        return;
    }
    if (!dropped.isEmpty())
        log(tr("%1: %2 not sent: %3 came first.").arg(axis(), dropped.join(QStringLiteral(", ")), what), 2);
    if (!isRunning())
        start();
    startWatch();
}

void AxisCourier::startWatch()
{
    if (!watch->isActive())
        watch->start();
}

void AxisCourier::watchWaits()
{
    const qint64 at = now();
    QStringList lines;
    QStringList late;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = queue.begin(); it != queue.end();) {
            if (at - it->sentAt < startLimitMs) {
                ++it;
            } else if (isStop(it->kind)) {
                if (!it->told)
                    lines << stillWaitsText(it->what, at - it->sentAt);
                it->told = true;
                ++it;
            } else {
                late << it->what;
                answerLocked(it->tickets, result_error, Outcome::NotSent);
                it = queue.erase(it);
            }
        }
        // A command that has started keeps the gateway's own limits; one that has not is barred,
        // so that it never reaches the controller late; a stop is told.
        if (current.busy && at - current.sentAt >= startLimitMs) {
            if (!isStop(current.kind) && !current.abandoned && !started.load()) {
                current.abandoned = true;
                current.late = true;
                callBar.store(true);
            } else if (isStop(current.kind) && !current.told && !current.lossWait) {
                lines << stillWaitsText(current.what, at - current.sentAt);
                current.told = true;
            }
        }
        if (queue.empty() && !current.busy && answered.empty())
            watch->stop();
    }
    for (const QString& what : late)
        log(notSentText(what, busyText()), 1);
    for (const QString& line : lines)
        log(line, 2);
}

void AxisCourier::deliverReplies()
{
    std::vector<Answer> taken;
    std::vector<std::function<void()>> news;
    {
        std::lock_guard<std::mutex> lock(mutex);
        taken.swap(answered);
        news.swap(owed);
    }
    for (const auto& told : news)
        told();
    for (const Answer& answer : taken) {
        const auto it = pending.find(answer.ticket);
        if (it == pending.end())
            continue;
        const Pending replying = std::move(it->second);
        pending.erase(it);
        if (replying.context)
            replying.reply(answer.result, answer.outcome);
    }
}

bool AxisCourier::finish(int ms)
{
    QStringList dropped;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        // Only stops go now: a command still waiting would go out as the window disappears.
        for (auto it = queue.begin(); it != queue.end();) {
            if (isStop(it->kind)) {
                ++it;
                continue;
            }
            dropped << it->what;
            answerLocked(it->tickets, result_error, Outcome::NotSent);
            it = queue.erase(it);
        }
        if (current.busy && !isStop(current.kind) && !current.abandoned) {
            current.abandoned = true;
            callBar.store(true);
        }
        wake.notify_all();
    }
    for (const QString& what : dropped)
        log(notSentText(what, tr("the window closed.")), 1);
    if (wait(ms))
        return true;
    {
        std::lock_guard<std::mutex> lock(mutex);
        dropping.store(true);
        callBar.store(true);
        wake.notify_all();
    }
    return wait(ms);
}

void AxisCourier::afterStops(std::function<void()> then)
{
    if (deferredHere)
        deferredHere->push_back(std::move(then));
    else
        then();
}

void AxisCourier::runDeferred()
{
    std::vector<std::function<void()>> now;
    now.swap(deferred);
    // What a stop cut is put right whatever bars the calls of the next command.
    const std::atomic<bool>* const bar = DeviceInterface::threadCallBar();
    DeviceInterface::setThreadCallBar(nullptr);
    for (const auto& then : now)
        then();
    DeviceInterface::setThreadCallBar(bar);
}

void AxisCourier::run()
{
    DeviceInterface::setThreadCallBar(&callBar);
    // A stop waiting behind a slow status read goes the moment it ends, not after polling's next.
    DeviceInterface::setThreadGoesFirst(true);
    deferredHere = &deferred;
    DeviceInterface::LockWait patient{QDeadlineTimer(QDeadlineTimer::Forever)};
    for (;;) {
        Entry entry;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return !queue.empty() || ending; });
            if (queue.empty())
                break;
            entry = std::move(queue.front());
            queue.pop_front();
            current = UnderWay{};
            current.busy = true;
            current.kind = entry.kind;
            current.what = entry.what;
            current.sentAt = entry.sentAt;
            current.told = entry.told;
            current.plain = entry.plain;
            started.store(false);
            callBar.store(dropping.load());
        }
        const Delivery delivery = deliver(entry);
        bool putRight = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            std::vector<quint64> tickets = std::move(entry.tickets);
            tickets.insert(tickets.end(), current.tickets.begin(), current.tickets.end());
            if (current.superseded && !queue.empty() && isStop(queue.front().kind)) {
                // The stop that took over answers for this one too.
                std::vector<quint64>& next = queue.front().tickets;
                next.insert(next.begin(), tickets.begin(), tickets.end());
            } else {
                answerLocked(tickets, delivery.result, delivery.outcome);
            }
            if (entry.kind == Kind::Motion && delivery.outcome != Outcome::NotSent)
                motionSentAt = std::max<qint64>(1, now());
            else if (isStop(entry.kind) && delivery.result == result_ok)
                motionSentAt = 0;
            current = UnderWay{};
            putRight = !deferred.empty() && !dropping.load() && (queue.empty() || !isStop(queue.front().kind));
        }
        if (putRight)
            runDeferred();
    }
    if (!dropping.load() && !deferred.empty())
        runDeferred();
    deferredHere = nullptr;
    DeviceInterface::setThreadGoesFirst(false);
    DeviceInterface::setThreadCallBar(nullptr);
    std::lock_guard<std::mutex> lock(mutex);
    ended = true;
}

AxisCourier::Delivery AxisCourier::deliver(Entry& entry)
{
    return isStop(entry.kind) ? deliverStop(entry) : deliverCommand(entry);
}

AxisCourier::Delivery AxisCourier::deliverCommand(Entry& entry)
{
    const qint64 waited = now() - entry.sentAt;
    if (waited >= startLimitMs) {
        log(notSentText(entry.what, busyText()), 1);
        return {};
    }
    const device_t id = handle->load();
    if (id == -1) {
        log(notSentText(entry.what, tr("no controller is open.")), 1);
        return {};
    }
    const DeviceInterface::CallCounts before = DeviceInterface::callCountsHere();
    result_t result = result_error;
    {
        // Until its first call has had the gateway; each later one keeps the gateway's own limit.
        DeviceInterface::LockWait limit{QDeadlineTimer(startLimitMs - waited), DeviceInterface::LockWait::Until::FirstCall,
                                        &started};
        result = entry.command(*gateway, id);
    }
    const DeviceInterface::CallCounts after = DeviceInterface::callCountsHere();
    const bool began = after.made != before.made;
    const bool refused = after.refused != before.refused;
    bool abandoned = false;
    bool late = false;
    QString stop;
    {
        std::lock_guard<std::mutex> lock(mutex);
        abandoned = current.abandoned;
        late = current.late;
        stop = current.abandonedFor;
    }
    if (!refused)
        return {result, Outcome::Done};
    const bool byStop = abandoned && !late && !stop.isEmpty();
    QString why = busyText();
    if (dropping.load() || (abandoned && !late && stop.isEmpty()))
        why = tr("the window closed.");
    else if (byStop)
        why = tr("%1 came first.").arg(stop);
    if (began) {
        log(tr("%1: %2 was cut short: %3").arg(axis(), entry.what, why), byStop ? 2 : 1);
        return {result, Outcome::Cut};
    }
    if (byStop)
        log(tr("%1: %2 not sent: %3").arg(axis(), entry.what, why), 2);
    else
        log(notSentText(entry.what, why), 1);
    return {result, Outcome::NotSent};
}

result_t AxisCourier::attemptStop(const Entry& entry, device_t id)
{
    if (entry.plain || (entry.kind == Kind::SoftStop && entry.followsMotion))
        return entry.kind == Kind::Stop ? gateway->command_stop(id) : gateway->command_sstp(id);
    return entry.command(*gateway, id);
}

bool AxisCourier::pauseStop(int ms)
{
    std::unique_lock<std::mutex> lock(mutex);
    return !wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ending || givesWayLocked(); });
}

device_t AxisCourier::awaitReopen(uint64_t seen)
{
    std::unique_lock<std::mutex> lock(mutex);
    current.lossWait = true;
    for (;;) {
        if (ending || givesWayLocked()) {
            current.lossWait = false;
            return -1;
        }
        const device_t id = handle->load();
        // Opened again, whatever number it has now; with no count to follow, any handle is.
        if (id != -1 && (!reopenings || reopenings->load() != seen)) {
            current.lossWait = false;
            return id;
        }
        wake.wait_for(lock, reopenLookMs);
    }
}

bool AxisCourier::givesWayLocked()
{
    if (!current.superseded && !queue.empty() && isStop(queue.front().kind))
        takeOverLocked(queue.front());
    return current.superseded;
}

void AxisCourier::takeOverLocked(Entry& stop)
{
    current.superseded = true;
    if (strength(current.kind) > strength(stop.kind)) {
        stop.kind = current.kind;
        stop.what = current.what;
    }
    stop.plain = stop.plain || current.plain || current.lossWait;
    stop.told = stop.told || current.told;
}

AxisCourier::Delivery AxisCourier::deliverStop(Entry& entry)
{
    // A failure here is told in the courier's words: a stop that waits is no red failure.
    const DeviceInterface::QuietFailures quiet;
    const auto ended = [this, &entry](result_t result) -> Delivery {
        bool closing = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = ending && !current.superseded;
        }
        // Taken over by a newer stop, which answers for it; or the window closed.
        if (closing)
            log(notSentText(entry.what, result == result_nodevice
                                            ? tr("the window closed before the controller came back.")
                                            : tr("the window closed before the controller took it.")),
                1);
        return {result, Outcome::NotSent};
    };
    int refusals = 0;
    int noDevice = 0;
    for (;;) {
        const uint64_t seen = reopened();
        device_t id = handle->load();
        if (id == -1) {
            bool told = false;
            bool closing = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                told = current.told;
                closing = ending;
                current.told = true;
                current.failedOnce = true;
            }
            entry.told = true;
            if (!told && !closing)
                log(tr("%1: %2 waits for the controller to come back.").arg(axis(), entry.what), 2);
            id = awaitReopen(seen);
            if (id == -1)
                return ended(result_nodevice);
            entry.plain = true;
            std::lock_guard<std::mutex> lock(mutex);
            current.plain = true;
            continue;
        }
        const result_t result = attemptStop(entry, id);
        if (result == result_ok) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                entry.told = entry.told || current.told;
            }
            if (entry.told) {
                log(sentText(entry), 2);
                const QString what = entry.what;
                const qint64 waited = now() - entry.sentAt;
                std::lock_guard<std::mutex> lock(mutex);
                tellOwnerLocked([this, what, waited] { emit stopWent(what, waited); });
            }
            return {result, Outcome::Done};
        }
        if (dropping.load()) {
            log(notSentText(entry.what, tr("the window closed while the controller was busy.")), 1);
            return {result, Outcome::NotSent};
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            current.failedOnce = true;
            // A stop pressed since is tried itself.
            if (givesWayLocked())
                return {result, Outcome::NotSent};
        }
        if (reopened() != seen || handle->load() != id) {
            // Polling let the controller go under it, or has opened it again: one back may still be
            // moving, and gets the stop itself.
            entry.plain = true;
            continue;
        }
        if (result == result_nodevice) {
            // Polling still has the controller: again at once, then every stopRetryMs until it
            // goes or polling finds it lost.
            if (noDevice++ > 0 && !pauseStop(stopRetryMs))
                return ended(result);
            continue;
        }
        if (++refusals <= refusedStopRetries) {
            if (!pauseStop(stopRetryMs))
                return ended(result);
            continue;
        }
        const QString line = tr("%1: %2 failed (result %3): the axis may still be moving. Press STOP again.")
                                 .arg(axis(), entry.kind == Kind::Stop ? tr("STOP") : entry.what)
                                 .arg(result);
        log(line, 1);
        std::lock_guard<std::mutex> lock(mutex);
        tellOwnerLocked([this, line] { emit stopFailed(line); });
        return {result, Outcome::Done};
    }
}
