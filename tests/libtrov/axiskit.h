// Helpers for the simulator's motion, power and service tests. They use nothing but the
// library's public header and its test controls: a fresh simulator in its own folder with the
// stepped clock, an open axis, settings edits, and sampling every 100 ms of simulated time.
#pragma once

#include "trovsim.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace axistest {

constexpr int kSampleMs = 100;

// A fresh simulator: power-cycled controllers in a temporary folder, time standing still.
class Rig {
public:
    explicit Rig(const char* controllers = nullptr) { reset(controllers); }
    void reset(const char* controllers = nullptr)
    {
        QVERIFY(dir_.isValid());
        QCOMPARE(trovsim_reset(controllers, dir_.path().toUtf8().constData()), 0);
        trovsim_clock_manual(1);
    }
    QString path(const QString& file) const { return dir_.filePath(file); }
    QByteArray folder() const { return dir_.path().toUtf8(); }

private:
    QTemporaryDir dir_;
};

// An open controller, closed again at the end of the test.
class Axis {
public:
    explicit Axis(const char* name = "sim:axis1") : name_(name) { open(); }
    ~Axis() { close(); }
    Axis(const Axis&) = delete;
    Axis& operator=(const Axis&) = delete;

    void open()
    {
        id = open_device(name_);
        if (id < 0)
            qWarning("open_device(%s) failed", name_);
    }
    void close()
    {
        if (id >= 0)
            close_device(&id);
    }
    status_t status() const
    {
        status_t s;
        std::memset(&s, 0xAB, sizeof s);
        if (get_status(id, &s) != 0)
            qWarning("get_status(%s) failed", name_);
        return s;
    }
    // Advances the clock in samples until the axis stops (or maxMs pass); returns the samples.
    std::vector<status_t> runUntilStill(int maxMs = 120000) const
    {
        std::vector<status_t> samples;
        for (int t = 0; t < maxMs; t += kSampleMs) {
            trovsim_advance_ms(kSampleMs);
            samples.push_back(status());
            if (!(samples.back().MoveSts & MOVE_STATE_MOVING))
                break;
        }
        return samples;
    }
    // Position in steps with the microstep fraction (divisor d).
    double position(int d = 256) const
    {
        status_t s = status();
        return s.CurPosition + static_cast<double>(s.uCurPosition) / d;
    }
    double physical() const
    {
        double p = 0;
        trovsim_physical_position(name_, &p);
        return p;
    }

    device_t id = -1;

private:
    const char* name_;
};

// Reads a settings record, lets f change it, writes it back; the result of the write.
template <class T>
result_t edit(device_t id, result_t (*get)(device_t, T*), result_t (*set)(device_t, const T*),
              const std::function<void(T&)>& f)
{
    T rec;
    if (get(id, &rec) != 0)
        return -99;
    f(rec);
    return set(id, &rec);
}

// Time in ms of a trapezoid from rest over dist at speed v with acceleration a and deceleration d.
inline double trapezoidMs(double dist, double v, double a, double d)
{
    double ramps = v * v / (2 * a) + v * v / (2 * d);
    if (dist >= ramps)
        return 1000.0 * (v / a + v / d + (dist - ramps) / v);
    double w = std::sqrt(2 * dist * a * d / (a + d));
    return 1000.0 * (w / a + w / d);
}

inline QByteArray hex(uint32_t v) { return "0x" + QByteArray::number(v, 16); }

} // namespace axistest
