#ifndef MULTIAXIS_H
#define MULTIAXIS_H

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <memory>

#include "device/TrovMetaTypes.h"
#include "multiaxis/AxisSample.h"
#include "multiaxis/UserUnits.h"
#include "multiaxis/MultiaxisAxes.h"
#include "trov.h"

class AxisSlotStatus;
class DeviceInterface;
class MultiaxisConfig;
class MultiaxisExitRun;
class MultiaxisMotion;
class PositionPlot;
class QShortcut;
class ScriptControl;
class ScriptEngineThread;
class InfoBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class ScriptDlg;
class SettingsDlg;
class AxisCourier;
class StepSpinBox;
class UpdateThread;
namespace Ui { class multiaxisClass; }

// The control window of two or three controllers opened together, shown in the slots X, Y and
// Z. Each axis (a controller, indexed in opening order) has its own polling thread and settings
// dialog; axisOrder says which axis each slot shows. The display is rebuilt from the latest
// samples by a 33 ms timer. The slots' status, the position plot, the motion commands and the
// window's configuration are each kept by a helper of their own.
class Multiaxis : public QWidget
{
    Q_OBJECT

public:
    static constexpr int maxAxes = MultiaxisAxes::maxAxes;
    static constexpr int deviceNameSize = 256;
    static constexpr int refreshMs = 33;
    // How long the shut-down waits for each thread.
    int threadJoinMs = 2000;
    // A failed read of the positioner name is tried again after this long.
    static constexpr int stageRetryMs = 1000;
    static constexpr const char* slotLetters[maxAxes] = {"X", "Y", "Z"};

    // One entry per opened controller, in the same order: the handle open_device gave through
    // the gateway, the name it was opened by, the gateway. Controllers beyond the third are
    // closed here and not used. The gateways stay the caller's; they must outlive the window.
    // The window is not shown here.
    Multiaxis(QWidget* parent, Qt::WindowFlags flags, QList<int> handles, QStringList names,
              QList<DeviceInterface*> devices);
    // Shuts down (as close() does, without the saves) if that has not happened yet.
    ~Multiaxis() override;

    // "12 005/256" for axis `axis` (an axis index), with its microstep divisor.
    QString positionToString(int steps, int usteps, int axis) const;
    // Microstep divisor of axis `axis` (an axis index), from its settings dialog.
    int divisor(int axis) const;
    // The divisor a target for axis `axis` is worked out in: its microstep divisor, or 1 for a
    // DC or brushless motor, which counts whole encoder counts and ignores microsteps.
    int targetDivisor(int axis) const;
    // Lets the targets of a slot's boxes go out in the unit of axis `axis`.
    void giveBoxesDivisor(int slot, int axis);
    // A slot's boxes outside user units show targets in the unit axis `axis` counts in.
    void showTargetUnit(int slot, int axis);
    int axisCount() const { return n; }
    // "10001, 10003": the serial numbers of these axes.
    QString serialsOf(const QVector<int>& axes) const;
    // STOP, Soft stop, a jog's release and Exit have something to stop on axis `axis`
    // (MotionRules::hasSomethingToStop).
    bool hasSomethingToStop(int axis) const;
    // A line in the message log (or on stderr without one).
    void logLine(const QString& text) const;
    // Axis `axis` is lost or in its bootloader: one warning for each change, until toldUse is
    // set back to Working by its return.
    void tellAway(int axis, AxisUse use);
    // The warnings and errors about axis `axis` of one of `kinds` go from the message line.
    void settleFailures(int axis, const QStringList& kinds);
    static QStringList commandFailureKinds();
    // Stops the refresh and every thread and closes the controllers; closeEvent runs it after
    // its saves. Safe to call more than once.
    void shutDown();
    bool isShutDown() const { return shutDownDone; }

    // The handles and gateways its threads read (kept when one of them is left running).
    std::unique_ptr<MultiaxisAxes> axes;
    // Per axis index: the current handle, rewritten by the axis' polling thread when it
    // reconnects; every device call of the window uses it.
    std::atomic<device_t> (&deviceHandle)[maxAxes];
    char deviceName[maxAxes][deviceNameSize];
    ScriptDlg* scriptDlg = nullptr;
    UserUnits units;
    // Per slot: the axis index shown in it; always a permutation of the open axes.
    int axisOrder[maxAxes] = {0, 1, 2};
    Ui::multiaxisClass* ui;
    AxisSample samples[maxAxes];
    // Per axis: Lost or Bootloader once told, Working once its return is told.
    std::atomic<AxisUse> toldUse[maxAxes] = {{AxisUse::Working}, {AxisUse::Working}, {AxisUse::Working}};
    // Per axis: a read failed, or a command was refused, since the last good one.
    std::atomic<bool> readFailed[maxAxes] = {{false}, {false}, {false}};
    std::atomic<bool> commandRefused[maxAxes] = {{false}, {false}, {false}};
    // Per axis: samples of its reopening (no device mode) since it last had one.
    int reopenSamples[maxAxes] = {0, 0, 0};
    // Per axis: a refused stop is held on the message line until the axis is seen standing.
    bool stopFailedShown[maxAxes] = {false, false, false};
    // Per axis: "Stop went 2.5 s after it was pressed", for the line that tells its return.
    QString stopWentWhileAway[maxAxes];
    QList<DeviceInterface*> devices;
    QList<SettingsDlg*> settingsDlgs;
    QList<UpdateThread*> updateThreads;
    // Per axis index: takes every command of the window to it, in order, on its own thread.
    QList<AxisCourier*> couriers;

    // Per slot, element k named stem + "_" + (k + 1); all three slots, whatever the axis count.
    QList<QLabel*> curPos;
    QList<StepSpinBox*> spinBox_moveTo;
    QList<StepSpinBox*> spinBox_shiftOn;
    QList<QPushButton*> pushButton_joyDec;
    QList<QPushButton*> pushButton_joyInc;
    QList<QGroupBox*> groupBox;
    QList<QLabel*> voltageValue;
    QList<QLabel*> currentValue;
    QList<QLabel*> speedValue;
    QList<QLabel*> commandValue;
    QList<QLabel*> powerValue;

    bool exitPending = false;
    InfoBox* exitWaitBox = nullptr;
    QTimer* refreshTimer = nullptr;

    std::unique_ptr<AxisSlotStatus> slotStatus;
    std::unique_ptr<PositionPlot> plot;
    std::unique_ptr<MultiaxisConfig> config;
    // Made with the script engine, as the arrows and jog buttons start to count.
    std::unique_ptr<MultiaxisMotion> motion;

    // ---- script engine
    ScriptEngineThread* scriptEngine() const;
    // How long the shut-down waits for a running script.
    int scriptQuitMs = 5000;
    // How long Exit waits for a soft stop held by a call before it goes on without it.
    int exitAnswerMs = 5000;

signals:
    // true disables, false enables the stage pages of axis `number`'s settings dialog.
    void SgnDisableStagePages(bool set, int number);

public slots:
    // statusReadNumber: see UpdateThread::sampleRead.
    void UpdateVars(int number, QDateTime msrTime, status_t state, chart_data_t chart_data,
                    analog_data_t analog_data, bool connect, int device_mode, quint64 statusReadNumber = 0);
    void UpdateState();
    void OnStopBtnPressed();
    void OnSstpBtnPressed();
    void OnMoveBtnPressed();
    void OnShiftBtnPressed();
    void OnHomeBtnPressed();
    void OnZeroBtnPressed();
    void OnExitBtnPressed();
    void OnScriptingBtnPressed();
    void OnCalibrationBtnPressed();
    void OnSettings1BtnClicked();
    void OnSettings2BtnClicked();
    void OnSettings3BtnClicked();
    void OnPickerXYPointSelected(const QPointF& point);
    void OnPickerZPointSelected(const QPointF& point);
    void updateSettings();
    void receiveUnits(bool enabled, QString unitText, uint coeff1, uint coeff2, uint precision);
    void receiveSerials(QStringList serials);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void findSlotWidgets();
    void setUpSpinBoxes();

    // Hooks of the script engine and the exit sequence, filled in with them.
    void startScriptEngine();
    // False when the script thread did not end and is left running.
    bool quitScriptEngine();
    // Fills the serial numbers of the open axes into the default script.
    void fillDefaultScript();
    void logScriptException(const QString& text);
    // Settings buttons.
    void openSettings(int slot);
    qint64 nowMs() const;

    std::unique_ptr<ScriptControl> scriptWiring;
    // Exit as it runs, once pressed.
    friend class MultiaxisExitRun;
    std::unique_ptr<MultiaxisExitRun> exitRun;
    QShortcut* stopShortcut = nullptr;
    QShortcut* enterShortcut = nullptr;

private:
    int n = 0;
    bool shutDownDone = false;
    // A close starts the exit: if it fails, that close asks at once.
    bool closeStartsExit = false;
};

#endif // MULTIAXIS_H
