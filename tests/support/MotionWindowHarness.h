#ifndef MOTIONWINDOWHARNESS_H
#define MOTIONWINDOWHARNESS_H

// A set-up main window on a simulated stepper whose clock the test steps, with readers of the
// simulator's journal: for the tests of the window's motion commands.

#include <QtTest>
#include "TestTime.h"

#include <QPointer>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "device/LatestSample.h"
#include "mainwindow/LogTable.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "support/SimulatedAxis.h"
#include "trovsim.h"

namespace motion_harness {

const char* const axis = "sim:axis1";

inline int journalSize() { return trovsim_journal_size(); }

// The motion commands of the axis from journal index `from` on ("command_" left out).
inline QStringList commandsSince(int from)
{
    QStringList sent;
    for (int i = from; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && std::strcmp(call.device, axis) == 0 &&
            std::strncmp(call.function, "command_", 8) == 0)
            sent << QString::fromLatin1(call.function + 8);
    }
    return sent;
}

inline int lastCall(const char* function)
{
    int at = -1;
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call;
        if (trovsim_journal_entry(i, &call) == 0 && std::strcmp(call.function, function) == 0)
            at = i;
    }
    return at;
}

inline double physicalPosition()
{
    double steps = 0;
    trovsim_physical_position(axis, &steps);
    return steps;
}

} // namespace motion_harness

class MotionWindowHarness
{
public:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<DeviceInterface> gateway;
    std::unique_ptr<MessageLog> log;
    QPointer<MainWindow> window;
    QStringList lines;
    static constexpr int simStepMs = 40;

    // Once per test case: a home with an empty defaults file, and the program log.
    bool setUpHome()
    {
        home = std::make_unique<QTemporaryDir>();
        if (!home->isValid())
            return false;
        qputenv("HOME", QFile::encodeName(home->path()));
        qputenv("TOLMO_SHARE_DIR", QFile::encodeName(home->filePath(QStringLiteral("share"))));
        QDir().mkpath(home->filePath(QStringLiteral("share")));
        QFile defaults(home->filePath(QStringLiteral("share/tolmodefault.cfg")));
        if (!defaults.open(QIODevice::WriteOnly))
            return false;
        defaults.close();
        log = std::make_unique<MessageLog>();
        messageLog = log.get();
        return true;
    }

    ~MotionWindowHarness() { dropWindow(); }

    void tearDownHome()
    {
        dropWindow();
        messageLog = nullptr;
        log.reset();
    }

    // A set-up window on a fresh simulated stepper, polled every 20 ms, its controls enabled.
    // Whatever fails, no window is left polling through the gateway.
    bool openWindow()
    {
        lines.clear();
        // One a failed test left goes, with its threads, before its gateway is replaced.
        dropWindow();
        // What an earlier window's threads logged is not this window's to show.
        for (LogItem item; log && log->takeItem(&item);) {
        }
        const device_t handle = openOnFreshSimulator(gateway, motion_harness::axis);
        if (handle == -1)
            return false;
        window = new MainWindow(nullptr, handle, QString::fromLatin1(motion_harness::axis), gateway.get());
        UpdateThread::Timing timing;
        timing.firmwarePeriodMs = 20;
        window->pollingThread()->setTiming(timing);
        QObject::connect(window, &MainWindow::InsertLineSgn, window,
                         [this](const QDateTime&, const QString& message, const QString&, int, const LogSettings&) {
                             lines << message;
                         });
        if (window->init() == MainWindow::InitStatus::Ready) {
            window->show();
            if (QTest::qWaitFor([this] { return window->form()->moveBtn->isEnabled(); }, scaledMs(5000)))
                return true;
        }
        dropWindow();
        return false;
    }

    void closeWindow()
    {
        trovsim_clear_faults();
        dropWindow();
        gateway.reset();
    }

    // The window and its threads end here, before the gateway they call through.
    void dropWindow() { delete window.data(); }

    // Simulated time in steps, each with a short real wait for the samples to arrive.
    void run(int simMs)
    {
        for (int t = 0; t < simMs && window; t += simStepMs) {
            trovsim_advance_ms(simStepMs);
            QTest::qWait(5);
        }
    }

    // Runs the simulation until done() or the bound; whether done() held.
    template <typename Done>
    bool runUntil(Done done, int simMs = 20000)
    {
        for (int t = 0; t < simMs; t += simStepMs) {
            if (done())
                return true;
            trovsim_advance_ms(simStepMs);
            QTest::qWait(5);
        }
        return done();
    }

    bool logged(const QString& start) const
    {
        for (const QString& line : lines) {
            if (line.startsWith(start))
                return true;
        }
        return false;
    }

    // The window's log table shows a line starting so, once the lines waiting are in.
    bool tableShows(const QString& start) const
    {
        window->logTable()->showPendingLogLines(window->currentLogSettings());
        const QTableWidget* table = window->form()->logEdit;
        for (int row = 0; row < table->rowCount(); ++row) {
            for (int column = 0; column < table->columnCount(); ++column) {
                if (table->item(row, column) && table->item(row, column)->text().startsWith(start))
                    return true;
            }
        }
        return false;
    }

    void pressExit() { QTimer::singleShot(0, window.data(), &MainWindow::OnExitBtnPressed); }
};

#endif // MOTIONWINDOWHARNESS_H
