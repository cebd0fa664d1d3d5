#ifndef HELDCALL_H
#define HELDCALL_H

// A library call held in the simulator while the test looks at the window. The test lets it go
// (release); should the window itself wait for it, a thread of its own lets it go after boundMs,
// so that such a window fails the test in a bounded time instead of hanging it.

#include <QCoreApplication>
#include "TestTime.h"
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "trovsim.h"

class HeldCall
{
public:
    HeldCall(const char* device, const char* function, int boundMs = 300) : device(device), function(function)
    {
        armed = trovsim_hold_call(device, function) == 0;
        letter = std::thread([this, boundMs] {
            if (!armed || trovsim_wait_held(this->device.c_str(), this->function.c_str(), 5000) != 0)
                return;
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(boundMs), [this] { return letGo; });
            trovsim_release_call(this->device.c_str(), this->function.c_str());
        });
    }
    ~HeldCall() { release(); }
    HeldCall(const HeldCall&) = delete;
    HeldCall& operator=(const HeldCall&) = delete;

    bool isArmed() const { return armed; }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            letGo = true;
        }
        wake.notify_one();
        if (letter.joinable())
            letter.join();
        trovsim_release_call(device.c_str(), function.c_str());
    }

    // How long a 10 ms timer started before act() took to fire: the longest the event loop
    // was held by act() and what it set going.
    static qint64 heartbeatDelayMs(const std::function<void()>& act)
    {
        QElapsedTimer clock;
        clock.start();
        qint64 firedAt = -1;
        QObject scope;
        QTimer::singleShot(10, &scope, [&] { firedAt = clock.elapsed(); });
        act();
        while (firedAt < 0 && clock.elapsed() < scaledMs(5000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return firedAt < 0 ? clock.elapsed() : firedAt;
    }

private:
    const std::string device;
    const std::string function;
    bool armed = false;
    std::mutex mutex;
    std::condition_variable wake;
    bool letGo = false;
    std::thread letter;
};

#endif // HELDCALL_H
