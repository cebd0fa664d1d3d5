#ifndef POLLINGTESTSUPPORT_H
#define POLLINGTESTSUPPORT_H

// Helpers shared by the polling, identity and firmware tests: a thread-safe log of the
// polling thread's samples and readers of the simulator's call journal.

#include <QByteArray>
#include "support/TestTime.h"
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "device/DeviceInterface.h"
#include "support/SimulatedAxis.h"
#include "device/SharedFlags.h"
#include "device/UpdateThread.h"
#include "trovsim.h"

struct Sample
{
    int number = 0;
    bool connect = false;
    int mode = 0;
    status_t state;
    chart_data_t chart;
    analog_data_t analog;
    bool pollingAllowedAtEmit = false;
    Qt::HANDLE thread = nullptr;
    std::chrono::steady_clock::time_point at;
};

// Records every sample in the thread that emits it, so that nothing depends on an event loop.
class SampleLog
{
public:
    void attach(UpdateThread* thread)
    {
        QObject::connect(
            thread, &UpdateThread::finished, thread,
            [this](int number, QDateTime, status_t state, chart_data_t chart, analog_data_t analog, bool connect,
                   int mode) {
                Sample sample;
                sample.number = number;
                sample.connect = connect;
                sample.mode = mode;
                sample.state = state;
                sample.chart = chart;
                sample.analog = analog;
                sample.pollingAllowedAtEmit = pollingAllowed.load();
                sample.thread = QThread::currentThreadId();
                sample.at = std::chrono::steady_clock::now();
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    samples.append(sample);
                }
                changed.notify_all();
            },
            Qt::DirectConnection);
    }

    QVector<Sample> snapshot() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return samples;
    }

    int size() const { return snapshot().size(); }

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        samples.clear();
    }

    // Waits (real time, bounded) until the samples satisfy the test.
    bool waitFor(const std::function<bool(const QVector<Sample>&)>& test, int timeoutMs = 10000) const
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(scaledMs(timeoutMs)), [&] { return test(samples); });
    }

    bool waitForCount(int count, int timeoutMs = 10000) const
    {
        return waitFor([count](const QVector<Sample>& s) { return s.size() >= count; }, timeoutMs);
    }

    static int countOf(const QVector<Sample>& samples, bool connect, int mode, int from = 0)
    {
        int n = 0;
        for (int i = from; i < samples.size(); ++i)
            n += samples[i].connect == connect && samples[i].mode == mode;
        return n;
    }

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    QVector<Sample> samples;
};

// Runs its work when the scope ends, also when a failed check leaves a test early.
template <typename Work>
class Finally
{
public:
    explicit Finally(Work work) : work(std::move(work)) {}
    ~Finally() { work(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    Work work;
};

inline QVector<trovsim_call_t> journal()
{
    QVector<trovsim_call_t> calls;
    const int size = trovsim_journal_size();
    for (int i = 0; i < size; ++i) {
        trovsim_call_t call;
        std::memset(&call, 0, sizeof call);
        if (trovsim_journal_entry(i, &call) == 0)
            calls.append(call);
    }
    return calls;
}

inline bool isCall(const trovsim_call_t& call, const char* function)
{
    return std::strncmp(call.function, function, sizeof call.function) == 0;
}

// Handles of one device that are open now, from the journal: successful opens less successful closes.
inline int openHandles(const char* device)
{
    int open = 0;
    for (const trovsim_call_t& call : journal()) {
        if (std::strncmp(call.device, device, sizeof call.device) != 0)
            continue;
        if (isCall(call, "open_device") && call.result >= 0)
            ++open;
        else if (isCall(call, "close_device") && call.result == 0)
            --open;
    }
    return open;
}

// Counts the debug lines of the reconnection loop, from whichever thread writes them.
class ReconnectLineCounter
{
public:
    ReconnectLineCounter() { previous = qInstallMessageHandler(&ReconnectLineCounter::handle); }
    ~ReconnectLineCounter() { qInstallMessageHandler(previous); }
    static int count() { return lines.load(); }
    static void reset() { lines = 0; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (text.startsWith(QLatin1String("waiting for reconnect")))
            ++lines;
        else if (previous)
            previous(type, context, text);
    }
    static inline std::atomic<int> lines{0};
    static inline QtMessageHandler previous = nullptr;
};

#endif // POLLINGTESTSUPPORT_H
