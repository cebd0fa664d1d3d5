#ifndef AXISCOURIER_H
#define AXISCOURIER_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
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
// the window nor the other axes. Stops come first: a Stop or Soft stop drops the commands still
// waiting (one line says which), a waiting Stop is never replaced by a Soft stop, and a newer
// Stop replaces a waiting Soft stop. A stop that could not reach the controller because it was
// lost (or was given while no controller was open) waits for polling to open it again and goes
// then, as a plain stop or soft stop, for as long as the courier lives. A stop still waiting
// after answerLimitMs is told in the log; any other command still waiting then is dropped and
// told, never sent late. A failure the controller answers is the gateway's to report.
class AxisCourier : public QThread
{
    Q_OBJECT

public:
    // Release: a soft stop that ends a jog; it goes after what waits (the jog's start among
    // them) instead of dropping it, but is a stop otherwise.
    enum class Kind { Stop, SoftStop, Release, Command };
    using Command = std::function<result_t(DeviceInterface&, device_t)>;
    using Reply = std::function<void(result_t)>;
    // Milliseconds on a steady clock; from any thread.
    using Clock = std::function<qint64()>;
    static constexpr int answerLimitMs = 1000;
    // Commands waiting or answered but not yet replied, at most.
    static constexpr int queueLimit = 32;
    // How often the owner's thread looks at the waits.
    static constexpr int watchMs = 50;

    // axis: how the log names the axis ("SN 10001", "Motor X"). The handle must outlive the
    // courier. clock: empty for the steady clock.
    AxisCourier(DeviceInterface* gateway, const std::atomic<device_t>* handle, const QString& axis, Clock clock = {});
    // The axis is shown under another name from now on.
    void setAxis(const QString& axis);
    // Ends the thread, dropping what still waits.
    ~AxisCourier() override;

    // From the owner's thread only; never waits for the controller. what: the command as the
    // log names it ("Move to"). reply, when given, gets the result on the owner's thread while
    // context lives (the courier when null); a command that was not sent gets result_error, a
    // stop given up for a lost controller result_nodevice.
    void send(Kind kind, const QString& what, Command command, QObject* context = nullptr, Reply reply = {});
    // Sends what is left, then ends the thread; after ms, what still waits for the gateway is
    // dropped and the thread gets another ms. A stop waiting for a lost controller is given up.
    // False when it has not ended (it is inside a library call that does not return).
    bool finish(int ms);
    // Nothing waits and nothing is under way.
    bool idle() const;
    // A Stop or Soft stop waits or is under way: the axis is not known to have it yet.
    bool stopWaits() const;
    // A stop waits for polling to open the lost controller again.
    bool awaitsController() const;
    // Tells and drops what has waited too long; the owner's timer runs it every watchMs.
    void watchWaits();

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
    };
    // The entry the thread has taken, as the owner's thread sees it; guarded by mutex.
    struct UnderWay
    {
        bool busy = false;
        Kind kind = Kind::Command;
        QString what;
        qint64 sentAt = 0;
        bool told = false;
        bool lossWait = false;
        // A stop took its place, or it waited too long: its calls are barred.
        bool abandoned = false;
        bool late = false;
        // A stop took its place: the replies go with that stop.
        bool replaced = false;
        QString abandonedFor;
        // Replies of the stops merged into it.
        std::vector<quint64> tickets;
    };

    static bool isStop(Kind kind) { return kind != Kind::Command; }
    static bool isSoft(Kind kind) { return kind == Kind::SoftStop || kind == Kind::Release; }
    result_t deliver(Entry& entry);
    result_t deliverStop(Entry& entry);
    result_t deliverCommand(Entry& entry);
    // Waits for the controller to be open again with a handle other than lost; -1 once ending.
    device_t awaitReopen(device_t lost);
    // Under mutex: the replies of these tickets get result.
    void answerLocked(const std::vector<quint64>& tickets, result_t result);
    void deliverReplies();
    void startWatch();
    qint64 now() const;
    QString axis() const;
    QString seconds(qint64 ms) const;
    void log(const QString& text, int level) const;
    QString lateText(const QString& what) const;
    QString stillWaitsText(const QString& what, qint64 waitedMs) const;
    QString closedWhileBusyText(const QString& what) const;

    DeviceInterface* const gateway;
    const std::atomic<device_t>* const handle;
    mutable std::mutex nameMutex;
    QString axisName;
    const Clock clock;
    // The thread's call bar: set, its lock waits end and nothing more reaches the controller.
    // Set for good by dropping, or for the entry under way when a stop takes its place.
    std::atomic<bool> callBar{false};
    std::atomic<bool> dropping{false};

    mutable std::mutex mutex;
    std::condition_variable wake;
    // Guarded by mutex.
    std::deque<Entry> queue;
    UnderWay current;
    std::vector<std::pair<quint64, result_t>> answered;
    bool ending = false;

    // The owner's thread alone.
    struct Pending
    {
        QPointer<QObject> context;
        Reply reply;
    };
    std::map<quint64, Pending> pending;
    quint64 nextTicket = 1;
    QTimer* watch = nullptr;
};

#endif // AXISCOURIER_H
