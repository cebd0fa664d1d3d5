#ifndef AXISCOURIER_H
#define AXISCOURIER_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "trov.h"

class DeviceInterface;
class QTimer;

// Takes every command a window sends one axis to its controller, on a thread of its own, in the
// order given, so that a slow controller or a gateway held by another thread holds up neither
// the window nor the other axes.
//
// Stops come first: a Stop or Soft stop drops the commands still waiting (one line says which)
// and takes the place of every stop and jog release waiting, the strongest kind winning (a Stop
// is never weakened to a soft stop). A stop the controller answers "no device" while polling
// still has it is tried again at once and then every stopRetryMs; one that meets a lost
// controller (or is given while none is open) waits for polling to open it again and goes then,
// as a plain stop or soft stop, for as long as the courier lives; one the controller refuses is
// tried refusedStopRetries times more, then told in red. A later stop is always tried itself.
//
// A non-stop command that cannot start within startLimitMs is dropped and told; once started it
// runs to its end unless a stop cuts it. Replies tell done, cut short and not sent apart.
class AxisCourier : public QThread
{
    Q_OBJECT

public:
    // Release: the soft stop that ends a jog; it goes after what waits (the jog's start among
    // them) instead of dropping it, but is a stop otherwise. Motion: a command that sets the axis
    // moving; Command: any other.
    enum class Kind { Stop, SoftStop, Release, Motion, Command };
    enum class Outcome { Done, Cut, NotSent };
    using Command = std::function<result_t(DeviceInterface&, device_t)>;
    using Reply = std::function<void(result_t)>;
    using JobReply = std::function<void(result_t, Outcome)>;
    // Milliseconds on a steady clock; from any thread.
    using Clock = std::function<qint64()>;
    static constexpr int startLimitMs = 1000;
    // Commands waiting or answered but not yet replied, at most.
    static constexpr int queueLimit = 32;
    // How often the owner's thread looks at the waits.
    static constexpr int watchMs = 50;
    static constexpr int stopRetryMs = 100;
    static constexpr int refusedStopRetries = 3;
    // A Soft stop this soon after a motion command went (or while one waits) is a soft stop,
    // whatever a fresh status read makes of it: the controller may not show the motion yet.
    static constexpr int motionSettleMs = 500;

    // axis: how the log names the axis ("SN 10001"). The handle must outlive the courier.
    // clock: empty for the steady clock.
    AxisCourier(DeviceInterface* gateway, const std::atomic<device_t>* handle, const QString& axis, Clock clock = {});
    // Polling's count of the controller's reopenings (UpdateThread::reopenings), which must
    // outlive the courier: a controller opened again may have moved on meanwhile.
    void followReopenings(const std::atomic<uint64_t>* count);
    // The axis is shown under another name from now on.
    void setAxis(const QString& axis);
    // Ends the thread, dropping what still waits.
    ~AxisCourier() override;

    // From the owner's thread only; never waits for the controller. what: the command as the
    // log names it ("Move to"). reply, when given, gets the result on the owner's thread while
    // context lives (the courier when null); a command that was not sent gets result_error, a
    // stop given up for a lost controller result_nodevice.
    void send(Kind kind, const QString& what, Command command, QObject* context = nullptr, Reply reply = {});
    // The same, for a job whose reply needs to know whether it ran whole.
    void sendJob(Kind kind, const QString& what, Command command, QObject* context, JobReply reply);
    // From now on only stops go: the commands still waiting are dropped and told, the stops are
    // sent, then the thread ends; after ms, what still waits for the gateway is dropped and the
    // thread gets another ms. A stop waiting for a lost controller is given up. False when it has
    // not ended (it is inside a library call that does not return).
    bool finish(int ms);
    // Nothing waits and nothing is under way.
    bool idle() const;
    // A stop waits for polling to open the lost controller again.
    bool awaitsController() const;
    // The stop that waits for the controller ("Stop", "Soft stop", "Jog release"); empty if none.
    QString stopAwaitingController() const;
    // Tells and drops what has waited too long; the owner's timer runs it every watchMs.
    void watchWaits();

    // Seconds as the courier's lines write them: "1", "2.5".
    static QString secondsText(qint64 ms);
    // From a command on a courier's thread: `then` runs on that thread once the stop that cut the
    // command has gone (at once when none waits). Elsewhere it runs at once.
    static void afterStops(std::function<void()> then);

signals:
    // On the owner's thread. A stop the controller refused, its red line: the axis may still move.
    void stopFailed(const QString& line);
    // A stop that was told waiting has gone, waitedMs after it was pressed.
    void stopWent(const QString& what, qint64 waitedMs);

protected:
    void run() override;

private:
    struct Entry
    {
        Kind kind = Kind::Command;
        QString what;
        Command command;
        qint64 sentAt = 0;
        // Its replies: those of the stops it took the place of too.
        std::vector<quint64> tickets;
        bool told = false;
        // A stop after a loss: the controller gets the stop itself, never what a fresh read would
        // make of a soft stop (a power-off).
        bool plain = false;
        bool followsMotion = false;
    };
    // The entry the thread has taken, as the owner's thread sees it; guarded by mutex.
    struct UnderWay
    {
        bool busy = false;
        Kind kind = Kind::Command;
        QString what;
        qint64 sentAt = 0;
        bool told = false;
        bool plain = false;
        bool lossWait = false;
        // A stop that has failed once: a newer stop takes over instead of waiting behind it.
        bool failedOnce = false;
        // A stop took its place before it reached the controller, or it could not start in time:
        // its calls are barred.
        bool abandoned = false;
        bool late = false;
        // A newer stop took over: the replies go with that stop.
        bool superseded = false;
        QString abandonedFor;
        // Replies of the releases merged into it.
        std::vector<quint64> tickets;
    };
    struct Delivery
    {
        result_t result = result_error;
        Outcome outcome = Outcome::NotSent;
    };
    struct Answer
    {
        quint64 ticket;
        result_t result;
        Outcome outcome;
    };

    static bool isStop(Kind kind) { return kind == Kind::Stop || kind == Kind::SoftStop || kind == Kind::Release; }
    static int strength(Kind kind);
    // newer takes the place of older: the stronger kind, both's replies, newer's press time.
    static void merge(Entry& newer, Entry&& older);
    void post(Entry entry, QObject* context, JobReply reply);
    // Under mutex; the commands dropped for it go into dropped.
    void placeStop(Entry entry, QStringList& dropped);
    void placeRelease(Entry entry, QStringList& dropped);
    bool motionPendingLocked(qint64 at) const;
    // Under mutex, for the stop under way: a newer stop waits, and takes its place.
    bool givesWayLocked();
    void takeOverLocked(Entry& stop);
    Delivery deliver(Entry& entry);
    Delivery deliverStop(Entry& entry);
    Delivery deliverCommand(Entry& entry);
    result_t attemptStop(const Entry& entry, device_t id);
    // Waits until polling has the controller open again; -1 once ending or taken over.
    device_t awaitReopen(uint64_t seen);
    // Waits ms unless ending or taken over; false then.
    bool pauseStop(int ms);
    uint64_t reopened() const;
    void runDeferred();
    // Under mutex: the replies of these tickets get result.
    void answerLocked(const std::vector<quint64>& tickets, result_t result, Outcome outcome);
    void deliverReplies();
    void startWatch();
    qint64 now() const;
    QString axis() const;
    void log(const QString& text, int level) const;
    QString notSentText(const QString& what, const QString& why) const;
    QString busyText() const;
    QString stillWaitsText(const QString& what, qint64 waitedMs) const;
    QString sentText(const Entry& entry) const;

    DeviceInterface* const gateway;
    const std::atomic<device_t>* const handle;
    const std::atomic<uint64_t>* reopenings = nullptr;
    mutable std::mutex nameMutex;
    QString axisName;
    const Clock clock;
    // The thread's call bar: set, its lock waits end and nothing more reaches the controller.
    // Set for good by dropping, or for the entry under way when a stop takes its place.
    std::atomic<bool> callBar{false};
    std::atomic<bool> dropping{false};
    // A call of the command under way has had the gateway: it has started.
    std::atomic<bool> started{false};

    mutable std::mutex mutex;
    std::condition_variable wake;
    // Guarded by mutex. A stop, when one waits, stands first.
    std::deque<Entry> queue;
    UnderWay current;
    std::vector<Answer> answered;
    bool ending = false;
    bool ended = false;
    // When a motion command last went (0: none since the last stop).
    qint64 motionSentAt = 0;
    // The thread's alone: what waits for the stops that cut a command.
    std::vector<std::function<void()>> deferred;

    // The owner's thread alone.
    struct Pending
    {
        QPointer<QObject> context;
        JobReply reply;
    };
    std::map<quint64, Pending> pending;
    quint64 nextTicket = 1;
    QTimer* watch = nullptr;
};

#endif // AXISCOURIER_H
