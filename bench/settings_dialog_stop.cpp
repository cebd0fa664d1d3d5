// The single-axis window on a simulated stepper whose every call takes 0, 100 and 800 ms: the
// settings dialog opened, an edit applied, and Save to flash, each with STOP pressed 1 s after
// (an Apply's halfway through its write), or once the transfer is in. For each, the largest gap of the window's
// event loop (a 10 ms heartbeat) and the time from the STOP click to its command_stop's return.
// Goals: no gap over 50 ms; a STOP within the call under way plus its own.
// Usage: QT_QPA_PLATFORM=offscreen bench_settings_dialog_stop

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/BenchStats.h"
#include "bench/WindowHome.h"
#include "device/DeviceInterface.h"
#include "log/MessageLog.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "settingsdlg/SettingsDlg.h"
#include "tests/support/DialogCalls.h"
#include "tests/support/PageEdits.h"
#include "tests/support/RecordingPrompter.h"
#include "trovsim.h"

namespace {

const char* const axis = "sim:axis1";

// Every call of the library the window and its dialog make.
std::vector<const char*> everyCall()
{
    std::vector<const char*> calls{"get_status",           "get_chart_data",         "get_analog_data",
                                   "get_firmware_version", "get_bootloader_version", "get_serial_number",
                                   "get_device_information"};
#define BENCH_RECORD(name) calls.push_back("get_" #name), calls.push_back("set_" #name);
    DEVICE_INTERFACE_RECORDS(BENCH_RECORD)
#undef BENCH_RECORD
#define BENCH_COMMAND(name) calls.push_back(#name);
    DEVICE_INTERFACE_COMMANDS(BENCH_COMMAND)
#undef BENCH_COMMAND
    return calls;
}

void slowDown(int ms)
{
    trovsim_clear_faults();
    if (ms > 0) {
        for (const char* call : everyCall())
            trovsim_delay_call(axis, call, ms, 1000000);
    }
}

// The journal notes a call once it has returned.
bool stopReturned()
{
    for (int i = 0; i < trovsim_journal_size(); ++i) {
        trovsim_call_t call{};
        if (trovsim_journal_entry(i, &call) == 0 && std::strcmp(call.function, "command_stop") == 0)
            return true;
    }
    return false;
}

void wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Figures
{
    double gap = 0;
    double stop = -1;
};

// Starts the transfer, presses STOP stopAfterMs later (or when the transfer is in), and waits
// for both.
Figures run(MainWindow& window, SettingsDlg& dialog, int stopAfterMs, const std::function<void()>& start)
{
    double gap = 0;
    QElapsedTimer sinceBeat;
    sinceBeat.start();
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        gap = std::max(gap, bench::elapsedMs(sinceBeat));
        sinceBeat.restart();
    });
    heartbeat.start(10);
    start();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < stopAfterMs && dialog.transferUnderWay())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    trovsim_journal_clear();
    QElapsedTimer stopClock;
    stopClock.start();
    window.form()->stopBtn->click();
    Figures figures;
    while (stopClock.elapsed() < 10000) {
        if (figures.stop < 0 && stopReturned())
            figures.stop = bench::elapsedMs(stopClock);
        if (figures.stop >= 0 && !dialog.transferUnderWay())
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    heartbeat.stop();
    figures.gap = std::max(gap, bench::elapsedMs(sinceBeat));
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const WindowHome home;

    QApplication app(argc, argv);
    if (trovsim_reset(nullptr, "") != 0)
        return 1;
    MessageLog log;
    messageLog = &log;
    // A box of a transfer cut short is answered at once.
    RecordingPrompter prompter;
    MessagePrompter::install(&prompter);
    DeviceInterface gateway;
    const device_t handle = gateway.open_device(axis);
    if (handle == -1)
        return 1;
    MainWindow window(nullptr, handle, QString::fromLatin1(axis), &gateway);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    if (window.init() != MainWindow::InitStatus::Ready)
        return 1;
    window.show();
    wait(500);
    SettingsDlg& dialog = *window.settingsDialog();

    std::printf("settings dialog with STOP 1 s after each transfer (goals: no gap over 50 ms, STOP within the "
                "call under way plus its own)\n");
    std::printf("%-10s %-16s %14s %16s %8s\n", "call", "transfer", "largest gap", "STOP to its call", "goal");
    bool met = true;
    for (int ms : {0, 100, 800}) {
        for (const char* transfer : {"open", "apply", "save to flash"}) {
            // Each starts from a dialog read whole at normal speed.
            slowDown(0);
            dialog.hide();
            window.form()->settingsBtn->click();
            settled(dialog);
            if (std::strcmp(transfer, "apply") == 0)
                editPage(dialog, SettingsPage::HomePosition);
            if (std::strcmp(transfer, "open") == 0)
                dialog.hide();
            slowDown(ms);
            // The write of one edit is in before 1 s: its STOP comes halfway through its call.
            const bool apply = std::strcmp(transfer, "apply") == 0;
            const Figures figures = run(window, dialog, apply ? ms / 2 : 1000, [&] {
                if (std::strcmp(transfer, "open") == 0)
                    window.form()->settingsBtn->click();
                else if (std::strcmp(transfer, "apply") == 0)
                    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply)->click();
                else
                    dialog.findChild<QPushButton*>(QStringLiteral("saveFlashBtn"))->click();
            });
            const bool ok = figures.gap <= 50 && figures.stop >= 0 && figures.stop <= 2 * ms + 50;
            met = met && ok;
            std::printf("%4d ms    %-16s %11.1f ms %13.1f ms %8s\n", ms, transfer, figures.gap, figures.stop,
                        ok ? "met" : "missed");
            slowDown(0);
            settled(dialog, 60000);
        }
    }
    std::printf("%s\n", met ? "target met" : "target missed");
    trovsim_clear_faults();
    dialog.hide();
    window.close();
    MessagePrompter::install(nullptr);
    return 0;
}
