#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QDateTime>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <deque>
#include <memory>

#include "device/TrovMetaTypes.h"
#include "log/LogSettings.h"
#include "mainwindow/LogTable.h"
#include "mainwindow/MotionCommands.h"
#include "mainwindow/StatusView.h"
#include "widgets/InfoBox.h"
#include "widgets/StepSpinBox.h"
#include "settings_model/ReconnectRead.h"
#include "settings_model/UnitTexts.h"
#include "trov.h"

class ChartDlg;
class ConfigurationFiles;
class DeviceInterface;
class QCloseEvent;
class ScriptControl;
class ScriptDlg;
class ScriptThread;
class SettingsDlg;
class AxisCourier;
class UpdateThread;
namespace Ui { class MainWindowClass; }

// The control window of one controller. Built in two steps: the constructor (form, indicators,
// polling thread) and init (settings, chart and script windows, the script thread, the saved
// configuration). Every status sample is shown by one refresh at a time: samples that arrive
// while a refresh runs wait in a short queue and are taken in order.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class InitStatus {
        Ready,
        // Neither the controller's own file nor a defaults file exists; a warning was shown.
        NoConfigurationFile,
        // A library call failed while the controller's identity was read (lastFailedFunction).
        IdentityReadFailed
    };

    // Samples waiting for the refresh; beyond this the oldest is dropped.
    static constexpr int maxQueuedSamples = 10;
    // How long the shut-down waits for each worker thread (tests shorten it).
    int shutdownJoinMs = 5000;

    // handle: the opened controller (-1: none); deviceName: the name it was opened by, which the
    // polling thread reopens it with. The gateway is not owned.
    MainWindow(QWidget* parent, device_t handle, const QString& deviceName, DeviceInterface* gateway);
    // Saves the configuration when the set-up succeeded, stops both threads, closes the device.
    ~MainWindow() override;

    // The second construction step. messageParent carries the warning about a missing
    // configuration file (the search window, so that it shows in front); null: this window.
    // The threads run after it whatever it returns; deleting the window stops them.
    InitStatus init(QWidget* messageParent = nullptr);

    // The configuration file chosen from the identity read of init.
    QString configFileName() const { return configFile; }

    // Widgets and objects for the motion commands, the start-up and the tests.
    Ui::MainWindowClass* form() const { return ui; }
    SettingsDlg* settingsDialog() const { return settingsDlg; }
    ChartDlg* chartDialog() const { return chartDlg; }
    ScriptDlg* scriptDialog() const { return scriptDlg; }
    ScriptThread* scriptEngineThread() const { return scriptThreadObject; }
    UpdateThread* pollingThread() const { return updateThread; }
    AxisCourier* courier() const { return axisCourier; }
    InfoBox* homingWaitBox() { return &homingBox; }
    InfoBox* stoppingWaitBox() const { return stoppingBox; }
    StepSpinBox* moveToSpinBox() { return &moveToBox; }
    StepSpinBox* shiftOnSpinBox() { return &shiftOnBox; }
    QLabel* indicator(const QString& text) const { return status->indicator(text); }
    QLabel* cyclicIndicator() const { return status->cyclicIndicator(); }
    StatusView* statusView() const { return status.get(); }
    MotionCommands* motionCommands() const { return motion.get(); }
    LogTable* logTable() const { return logs.get(); }
    bool isInitialized() const { return initialized; }
    // How the log and the boxes name the axis: "SN 10001" once the identity was read.
    QString axisName() const;
    // The log settings in force: the settings dialog's, or the defaults before it exists.
    LogSettings currentLogSettings() const;
    // Deepest nesting of the refresh seen so far (1 when it never ran inside itself).
    int deepestRefresh() const { return deepestRefreshDepth; }

    // The pure texts of the display, with this window's divisor.
    QString stepsText(int step, int microstep, bool padded) const;
    // The applied engine type and its unit texts (not the motor-type page's unapplied choice).
    int engineType() const;
    UnitTextSet appliedUnits() const;
    void disableDisplay(int mode);
    // Stops the script: from now on no call of it reaches the controller, so that none follows
    // the stop the caller hands to the courier next. Never waits.
    void stopScript();
    // A script's library call is under way: it holds the controller until it returns.
    bool scriptHoldsController() const;
    // STOP, Soft stop and Exit have something to stop (MotionRules::hasSomethingToStop).
    bool hasSomethingToStop() const;

    // The handle lives apart from the window: a script or polling thread that does not end at
    // shut-down keeps reading it after the window is gone, and then it is never freed.
    std::unique_ptr<std::atomic<device_t>> handleStore;
    std::atomic<device_t>& deviceHandle;
    char deviceName[256];

signals:
    void InsertLineSgn(const QDateTime& datetime, const QString& message, const QString& source, int loglevel,
                       const LogSettings& ls);
    void SgnDisableStagePages(bool disable);
    // After each sample's refresh, with the refresh's nesting depth.
    void SgnSampleShown(int depth);

public slots:
    // Shows the latest sample again without its side effects (no notices, no cyclic step, no exit
    // decision): for callers such as Zero.
    void UpdateState();
    void UpdateVars(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                    analog_data_t analog_data, bool connect, int device_mode);
    // The polling thread's sample with the number of its status read (UpdateThread::sampleRead).
    void UpdateVarsRead(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                        analog_data_t analog_data, bool connect, int device_mode, quint64 statusReadNumber);
    void Log(QString string, QString source, int loglevel);
    void SetCyclicEnable(bool enable) { motion->SetCyclicEnable(enable); }
    void updateSettings();
    void critSettingsChanged();
    void CommandErrorLog(const char* message, result_t result);
    void CommandWarningLog(const char* message, result_t result);
    void ScriptExceptionLog(QString message);
    void OnSettingsBtnPressed();
    void OnChartBtnPressed();
    void OnCyclicBtnPressed() { motion->OnCyclicBtnPressed(); }
    void OnScriptBtnPressed();
    void OnLeftBdrBtnPressed() { motion->OnLeftBdrBtnPressed(); }
    void OnLeftBtnPressed() { motion->OnLeftBtnPressed(); }
    void OnStopBtnPressed() { motion->OnStopBtnPressed(); }
    void OnSstpBtnPressed() { motion->OnSstpBtnPressed(); }
    void OnRightBtnPressed() { motion->OnRightBtnPressed(); }
    void OnRightBdrBtnPressed() { motion->OnRightBdrBtnPressed(); }
    void OnMoveBtnPressed() { motion->OnMoveBtnPressed(); }
    void OnShiftBtnPressed() { motion->OnShiftBtnPressed(); }
    void OnGoHomeBtnPressed() { motion->OnGoHomeBtnPressed(); }
    void stopHoming() { motion->stopHoming(); }
    void OnZeroBtnPressed(QString side) { motion->OnZeroBtnPressed(side); }
    void OnZeroBtnPressed() { OnZeroBtnPressed(QString()); }
    void OnClearLogBtnPressed() { logs->OnClearLogBtnPressed(); }
    void OnSaveLogBtnPressed() { logs->OnSaveLogBtnPressed(this); }
    void OnExitBtnPressed() { motion->OnExitBtnPressed(); }
    void makeNewInstance();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Sample
    {
        QDateTime time;
        status_t state;
        analog_data_t analog;
        bool connect;
        int mode;
        quint64 readNumber;
        uint64_t openings;
    };
    using Refresh = StatusView::Refresh;

    void InitUI();
    void connectButtons();
    // One refresh of the latest sample; false when it ended early on purpose.
    void refresh(Refresh kind);
    // Runs the samples waiting in the queue, unless a refresh is under way.
    void takeQueuedSamples();
    void trackStageEeprom(const status_t& state, bool connected);
    void lockStagePages();
    QString namePart(const status_t& state) const;
    void setTitles(const QString& name);
    void showBootloader(const status_t& state, const QString& mainTitle);
    void showFirmware(const status_t& state, Refresh kind);
    void showHomingBox(const status_t& state);
    // A connected sample releases the script's commands held after a failure.
    void releaseScriptHold();
    // After an identity read: another serial number than the one opened stops the script and
    // keeps the motion controls off (foreignController).
    void checkControllerIdentity(bool readOk);
    // Join a worker for at most ms; a timeout is logged straight to the message log.
    bool joinThread(QThread* thread, int ms, const QString& name);
    void logFoundAgain();
    void logIdentityFailure(const char* failed);
    // What the samples show of the controller; a change makes a read under way of no use.
    enum class Seen { Nothing, Lost, Bootloader, Firmware };
    void seen(Seen now);
    // Hands the read of a controller back (or in its bootloader) to the axis' courier, one at a
    // time; the reply goes to takeReconnectRead.
    void startReconnectRead(ReconnectRead::What what);
    // On this thread: takes the identity and the records of a read that ran whole and gives the
    // controls back, unless the controller was lost or switched over since; one cut short or
    // failed is read again at the next sample, the controls off until then.
    void takeReconnectRead(const ReconnectRead& read, quint64 spell, result_t result, bool ranWhole);
    // Why the controls stay off, once until they come back.
    void tellReadAgain(const QString& line);
    QWidget* stagePage(int index) const;

    UpdateThread* updateThread = nullptr;
    // Takes every command of the window to the controller, stops first, however long its
    // gateway is held.
    AxisCourier* axisCourier = nullptr;
    // The script's engine thread, owned by its wiring.
    ScriptThread* scriptThreadObject = nullptr;
    ScriptControl* scriptWiring = nullptr;
    ScriptDlg* scriptDlg = nullptr;
    SettingsDlg* settingsDlg = nullptr;
    bool initialized = false;
    DeviceInterface* gateway;
    Ui::MainWindowClass* ui;
    ChartDlg* chartDlg = nullptr;
    InfoBox* stoppingBox = nullptr;
    // Parented: a shown box without a parent would keep the process alive after the window.
    InfoBox homingBox{this};
    StepSpinBox moveToBox;
    StepSpinBox shiftOnBox;
    // The seams of the window: the display of a sample, the motion commands, the log table and
    // the configuration files.
    std::unique_ptr<StatusView> status;
    std::unique_ptr<MotionCommands> motion;
    std::unique_ptr<LogTable> logs;
    std::unique_ptr<ConfigurationFiles> configuration;

public:
    // Display state.
    bool controlsDisabled = false;
    bool stageEepromAbsent = true;
    // The positioner memory is being read on the courier's thread; counted up at each absent
    // sample, so that a read of a memory gone since is not taken.
    bool stageReadWaits = false;
    quint64 stageAbsentSamples = 0;
    // Set until the first sample of the firmware: the start announces the device as found.
    bool deviceLostLogged = true;

private:
    std::deque<Sample> queuedSamples;
    int refreshDepth = 0;
    int deepestRefreshDepth = 0;
    QString configFile;
    // Set when the first sample after a loss or a pause is a sample of the firmware.
    bool pausedSinceLastSample = false;

    // Status read number of the sample being refreshed; of the next one UpdateVars queues.
    quint64 currentReadNumber = 0;
    quint64 incomingReadNumber = 0;
    // Polling's count of reopenings when the sample shown came.
    uint64_t sampleOpenings = 0;
    // Set once the window closes: no refresh and no command after it.
    bool closing = false;
    // Serial number of the controller init opened; another one answering under the same name
    // keeps the motion controls off.
    uint32_t openedSerial = 0;
    bool foreignController = false;
    // A failing identity read is logged once until a read succeeds again.
    bool identityFailureLogged = false;
    Seen lastSeen = Seen::Nothing;
    // Counts the changes of lastSeen: a reply of an earlier spell is not taken.
    quint64 seenSpell = 0;
    bool readUnderWay = false;
    // The read of the controller back had to be made again: said once until the controls are back.
    bool readAgainTold = false;
    // In the bootloader: its identity has been read since it went there.
    bool bootloaderIdentityRead = false;
    // The first library call that failed in this thread since it was cleared.
    const char* lastFailedCall = nullptr;
};

// The single-axis window and its script thread while they exist (GUI thread only).
extern MainWindow* mainWindow;
extern ScriptThread* scriptThread;

#endif // MAINWINDOW_H
