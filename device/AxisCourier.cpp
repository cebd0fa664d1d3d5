#include "device/AxisCourier.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

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
        wake.notify_one();
    }
    wait();
    // The thread's last touch of this object was under the mutex: taking it once more shows the
    // join to ThreadSanitizer, which does not see QThread::wait.
    std::lock_guard<std::mutex> joined(mutex);
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

QString AxisCourier::seconds(qint64 ms) const
{
    return QString::number(double(ms) / 1000.0, 'f', ms % 1000 == 0 ? 0 : 1);
}

void AxisCourier::log(const QString& text, int level) const
{
    MessageLog::insertProgramLine(text, level);
}

QString AxisCourier::lateText(const QString& what) const
{
    return tr("%1, %2 was not sent: the controller has not answered for %3 s.").arg(axis(), what, seconds(answerLimitMs));
}

QString AxisCourier::stillWaitsText(const QString& what, qint64 waitedMs) const
{
    return tr("%1: %2 still waits: the controller has not answered for %3 s.").arg(axis(), what, seconds(waitedMs));
}

QString AxisCourier::closedWhileBusyText(const QString& what) const
{
    return tr("%1: %2 was not sent: the window closed while the controller was busy.").arg(axis(), what);
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

bool AxisCourier::stopWaits() const
{
    std::lock_guard<std::mutex> lock(mutex);
    if (current.busy && isStop(current.kind))
        return true;
    for (const Entry& entry : queue) {
        if (isStop(entry.kind))
            return true;
    }
    return false;
}

void AxisCourier::answerLocked(const std::vector<quint64>& tickets, result_t result)
{
    for (quint64 ticket : tickets)
        answered.emplace_back(ticket, result);
    if (!tickets.empty())
        QMetaObject::invokeMethod(this, &AxisCourier::deliverReplies, Qt::QueuedConnection);
}

void AxisCourier::send(Kind kind, const QString& what, Command command, QObject* context, Reply reply)
{
    Entry entry;
    entry.kind = kind;
    entry.what = what;
    entry.command = std::move(command);
    entry.sentAt = now();
    if (reply) {
        entry.tickets.push_back(nextTicket);
        pending[nextTicket++] = Pending{context ? context : this, std::move(reply)};
    }
    QStringList dropped;
    QString refused;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (ending) {
            refused = tr("%1: %2 was not sent: the window is closing.").arg(axis(), what);
        } else if (kind == Kind::Release && !(current.busy && current.lossWait && current.kind == Kind::Stop)) {
            bool full = int(queue.size() + answered.size()) >= queueLimit;
            if (full && !queue.empty() && queue.back().kind == Kind::Command) {
                // Room for the release: the newest command waiting goes instead.
                dropped << queue.back().what;
                answerLocked(queue.back().tickets, result_error);
                queue.pop_back();
            }
            queue.push_back(std::move(entry));
        } else if (isStop(kind)) {
            // The commands still waiting would follow the stop: they go no more.
            Entry* waiting = nullptr;
            for (auto it = queue.begin(); it != queue.end();) {
                if (isStop(it->kind)) {
                    waiting = &*it;
                    ++it;
                    continue;
                }
                dropped << it->what;
                answerLocked(it->tickets, result_error);
                it = queue.erase(it);
            }
            if (current.busy && current.lossWait) {
                // It waits for the controller to come back: a Stop makes a soft stop a Stop.
                if (kind == Kind::Stop && isSoft(current.kind)) {
                    current.kind = Kind::Stop;
                    current.what = what;
                }
                current.tickets.insert(current.tickets.end(), entry.tickets.begin(), entry.tickets.end());
            } else {
                // A command or soft stop under way that has not reached the controller ends there;
                // a Stop under way is never weakened.
                if (current.busy && !current.abandoned &&
                    (current.kind == Kind::Command || (kind == Kind::Stop && isSoft(current.kind)))) {
                    current.abandoned = true;
                    current.replaced = isSoft(current.kind);
                    current.abandonedFor = what;
                    callBar.store(true);
                }
                if (!waiting) {
                    queue.push_front(std::move(entry));
                } else if (isSoft(kind) && waiting->kind == Kind::Stop) {
                    waiting->tickets.insert(waiting->tickets.end(), entry.tickets.begin(), entry.tickets.end());
                } else {
                    // The newer stop goes in its place, as old as the first one for what is told.
                    entry.tickets.insert(entry.tickets.begin(), waiting->tickets.begin(), waiting->tickets.end());
                    entry.told = waiting->told;
                    entry.sentAt = waiting->sentAt;
                    *waiting = std::move(entry);
                }
            }
        } else if (int(queue.size() + answered.size()) + (current.busy ? 1 : 0) >= queueLimit) {
            refused = tr("%1: %2 was not sent: too many commands wait for the controller.").arg(axis(), what);
        } else {
            queue.push_back(std::move(entry));
        }
        if (!refused.isEmpty())
            answerLocked(entry.tickets, result_error);
        wake.notify_one();
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
            if (at - it->sentAt < answerLimitMs) {
                ++it;
            } else if (isStop(it->kind)) {
                if (!it->told)
                    lines << stillWaitsText(it->what, at - it->sentAt);
                it->told = true;
                ++it;
            } else {
                late << it->what;
                answerLocked(it->tickets, result_error);
                it = queue.erase(it);
            }
        }
        if (current.busy && !current.abandoned && at - current.sentAt >= answerLimitMs) {
            if (!isStop(current.kind)) {
                // Barred: it never reaches the controller late; the thread tells it.
                current.late = true;
                current.abandoned = true;
                callBar.store(true);
            } else if (!current.told && !current.lossWait) {
                lines << stillWaitsText(current.what, at - current.sentAt);
                current.told = true;
            }
        }
        if (queue.empty() && !current.busy && answered.empty())
            watch->stop();
    }
    for (const QString& what : late)
        log(lateText(what), 1);
    for (const QString& line : lines)
        log(line, 2);
}

void AxisCourier::deliverReplies()
{
    std::vector<std::pair<quint64, result_t>> taken;
    {
        std::lock_guard<std::mutex> lock(mutex);
        taken.swap(answered);
    }
    for (const auto& [ticket, result] : taken) {
        const auto it = pending.find(ticket);
        if (it == pending.end())
            continue;
        const Pending replying = std::move(it->second);
        pending.erase(it);
        if (replying.context)
            replying.reply(result);
    }
}

bool AxisCourier::finish(int ms)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        wake.notify_one();
    }
    if (wait(ms))
        return true;
    {
        std::lock_guard<std::mutex> lock(mutex);
        dropping.store(true);
        callBar.store(true);
    }
    return wait(ms);
}

void AxisCourier::run()
{
    DeviceInterface::setThreadCallBar(&callBar);
    // A stop waiting behind a slow status read goes the moment it ends, not after polling's next.
    DeviceInterface::setThreadGoesFirst(true);
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
            callBar.store(dropping.load());
        }
        const result_t result = deliver(entry);
        std::lock_guard<std::mutex> lock(mutex);
        Entry* stop = nullptr;
        for (Entry& e : queue) {
            if (isStop(e.kind))
                stop = &e;
        }
        if (current.replaced && stop) {
            stop->tickets.insert(stop->tickets.end(), entry.tickets.begin(), entry.tickets.end());
        } else {
            answerLocked(entry.tickets, result);
        }
        answerLocked(current.tickets, result);
        current = UnderWay{};
    }
    DeviceInterface::setThreadGoesFirst(false);
    DeviceInterface::setThreadCallBar(nullptr);
}

result_t AxisCourier::deliver(Entry& entry)
{
    return isStop(entry.kind) ? deliverStop(entry) : deliverCommand(entry);
}

result_t AxisCourier::deliverCommand(Entry& entry)
{
    const qint64 waited = now() - entry.sentAt;
    if (waited >= answerLimitMs) {
        log(lateText(entry.what), 1);
        return result_error;
    }
    const device_t id = handle->load();
    if (id == -1) {
        log(tr("%1: %2 was not sent: no controller is open.").arg(axis(), entry.what), 1);
        return result_error;
    }
    result_t result = result_error;
    bool refused = false;
    {
        DeviceInterface::LockWait limit{QDeadlineTimer(answerLimitMs - waited)};
        result = entry.command(*gateway, id);
        refused = limit.refused();
    }
    bool abandoned = false;
    bool tooLate = false;
    QString stop;
    {
        std::lock_guard<std::mutex> lock(mutex);
        abandoned = current.abandoned;
        tooLate = current.late;
        stop = current.abandonedFor;
    }
    if (dropping.load() && result == result_error)
        log(closedWhileBusyText(entry.what), 1);
    else if (refused || (tooLate && result == result_error))
        log(lateText(entry.what), 1);
    else if (abandoned && result == result_error)
        log(tr("%1: %2 not sent: %3 came first.").arg(axis(), entry.what, stop), 2);
    return result;
}

device_t AxisCourier::awaitReopen(device_t lost)
{
    std::unique_lock<std::mutex> lock(mutex);
    current.lossWait = true;
    for (;;) {
        if (ending)
            return -1;
        const device_t id = handle->load();
        if (id != -1 && id != lost) {
            current.lossWait = false;
            return id;
        }
        wake.wait_for(lock, reopenLookMs);
    }
}

result_t AxisCourier::deliverStop(Entry& entry)
{
    device_t id = handle->load();
    bool plain = false;
    for (;;) {
        result_t result = result_nodevice;
        if (id != -1) {
            Kind kind = entry.kind;
            if (plain) {
                std::lock_guard<std::mutex> lock(mutex);
                kind = current.kind;
                entry.what = current.what;
            }
            // After a loss the controller gets the stop itself, never what a fresh read would
            // make of a soft stop (a power-off).
            result = !plain ? entry.command(*gateway, id)
                            : kind == Kind::Stop ? gateway->command_stop(id) : gateway->command_sstp(id);
            bool abandoned = false;
            bool told = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                abandoned = current.abandoned;
                told = current.told;
            }
            if (result == result_ok) {
                if (told)
                    log(tr("%1: %2 sent, %3 s after it was pressed.").arg(axis(), entry.what, seconds(now() - entry.sentAt)), 2);
                return result;
            }
            if (dropping.load()) {
                log(closedWhileBusyText(entry.what), 1);
                return result;
            }
            // A Stop took its place.
            if (abandoned)
                return result;
            const device_t now = handle->load();
            if (now != id && now != -1) {
                // Polling lost the controller under it and has opened it again: a controller
                // back may still be moving.
                id = now;
                continue;
            }
            if (now == id && result != result_nodevice)
                return result; // the controller answered; the gateway tells
        }
        bool ended = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ended = ending;
            current.told = true;
            current.lossWait = true;
        }
        if (!ended)
            log(tr("%1: %2 waits for the controller to come back.").arg(axis(), entry.what), 2);
        id = awaitReopen(id);
        if (id == -1) {
            log(tr("%1: %2 was not sent: the window closed before the controller came back.").arg(axis(), entry.what), 1);
            return result_nodevice;
        }
        plain = true;
    }
}
