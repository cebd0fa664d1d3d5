#ifndef MULTIAXIS_H
#define MULTIAXIS_H

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <tuple>

#include "device/TrovMetaTypes.h"
#include "multiaxis/AxisSample.h"
#include "multiaxis/MultiaxisExit.h"
#include "multiaxis/JogTracker.h"
#include "multiaxis/UserUnits.h"
#include "scriptdlg/ScriptAxisHost.h"
#include "trov.h"

class DeviceInterface;
class QShortcut;
class ScriptControl;
class ScriptEngineThread;
class InfoBox;
class IniSaver;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotPicker;
class ScriptDlg;
class SettingsDlg;
class StepSpinBox;
class UpdateThread;
namespace Ui { class multiaxisClass; }

// The control window of two or three controllers opened together, shown in the slots X, Y and
// Z. Each axis (a controller, indexed in opening order) has its own polling thread and settings
// dialog; axisOrder says which axis each slot shows. The display is rebuilt from the latest
// samples by a 33 ms timer.
class Multiaxis : public QWidget, public ScriptAxisHost
{
    Q_OBJECT

public:
    static constexpr int maxAxes = 3;
    static constexpr int deviceNameSize = 256;
    static constexpr int refreshMs = 33;
    // How long the shut-down waits for each thread.
    static constexpr int threadJoinMs = 2000;
    // A failed read of the positioner name is tried again after this long.
    static constexpr int stageRetryMs = 1000;

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
    void loadUnitSettings();
    // Both write settings.ini; a failure is logged and shown once a session.
    void saveUnitSettings();
    // Serial numbers of the axes in slot order, as decimal text.
    QStringList serialList() const;
    void saveLastGroup();
    // Microstep divisor of axis `axis` (an axis index), from its settings dialog.
    int divisor(int axis) const;
    int axisCount() const { return n; }
    // Stops the refresh and every thread and closes the controllers; closeEvent runs it after
    // its saves. Safe to call more than once.
    void shutDown();
    bool isShutDown() const { return shutDownDone; }

    // Per axis index: the current handle, rewritten by the axis' polling thread when it
    // reconnects; every device call of the window uses it.
    std::atomic<device_t> deviceHandle[maxAxes];
    char deviceName[maxAxes][deviceNameSize];
    ScriptDlg* scriptDlg = nullptr;
    UserUnits units;
    // Per slot: the axis index shown in it; always a permutation of the open axes.
    int axisOrder[maxAxes] = {0, 1, 2};
    bool alarmShown[maxAxes] = {false, false, false};
    // Per slot: what its texts were last made from. The refresh runs three times per sample;
    // with the same inputs it formats and sets nothing.
    using SlotInputs = std::tuple<int, uint32_t, int, bool, QString, unsigned int, unsigned int, unsigned int, int32_t,
                                  int32_t, int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t>;
    SlotInputs shownInputs[maxAxes];
    Ui::multiaxisClass* ui;
    AxisSample samples[maxAxes];
    QList<DeviceInterface*> devices;
    QList<SettingsDlg*> settingsDlgs;
    QList<UpdateThread*> updateThreads;

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
    // Per slot: the plot and its axis showing the slot's position.
    int plotAxis[maxAxes];
    QwtPlot* slotPlot[maxAxes];

    QColor normalColor;
    QColor alarmColor;
    QFont font;
    // Per axis: the left and right border last set on the plot scale, in display units.
    double borderCache[maxAxes][2];
    // Per axis: no positioner memory known; its stage pages are disabled.
    bool stageAbsent[maxAxes];
    // Per axis: its slot's controls are disabled because it is lost.
    bool lostShown[maxAxes];
    bool exitPending = false;
    InfoBox* exitWaitBox = nullptr;
    QwtPlot* plotXY = nullptr;
    QwtPlot* plotZ = nullptr;
    QwtPlotCurve* curveXY = nullptr;
    QwtPlotCurve* curveZ = nullptr;
    // Per slot; positionLine[2] is null with two axes.
    QwtPlotMarker* leftLimit[maxAxes];
    QwtPlotMarker* rightLimit[maxAxes];
    QwtPlotMarker* positionLine[maxAxes] = {nullptr, nullptr, nullptr};
    QwtPlotPicker* pickerXY = nullptr;
    QwtPlotPicker* pickerZ = nullptr;
    QTimer* refreshTimer = nullptr;
    // Monotonic milliseconds; tests replace it to step the stage retry.
    std::function<qint64()> clockMs;

    // ---- motion, jogging, script engine and exit
    ScriptEngineThread* scriptEngine() const;
    // The script's view of the axes: the open ones only, by axis index.
    int scriptAxisCount() const override { return n; }
    DeviceInterface* scriptAxisGateway(int axis) const override;
    std::atomic<device_t>* scriptAxisHandle(int axis) const override;
    // The target of a slot's box value or plot coordinate, in display units, for the axis shown in
    // the slot; false (nothing to send) when it is not finite.
    bool slotTarget(int slot, double value, bool plotClick, UserUnits::StepPair* target) const;
    // How long the shut-down waits for a running script.
    static constexpr int scriptQuitMs = 5000;

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
    void rescalePlots();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void findSlotWidgets();
    void setUpSpinBoxes();
    void buildPlots();
    void refreshSlot(int slot, QString* title);
    // The slot's controls and position line as for a lost (or present) axis.
    void showLost(int slot, bool lost);
    void showAlarm(int slot, bool alarm);
    void detectStage(int axis);
    QString axisName(int axis) const;
    // Left and right border of axis `axis` in display units (microsteps from whole steps on).
    void borders(int axis, double* left, double* right) const;
    void applyScale(int slot, double left, double right);
    // Lets the targets of a slot's boxes go out in the unit of axis `axis`.
    void giveBoxesDivisor(int slot, int axis);
    void logLine(const QString& text) const;
    void commitOrReport(IniSaver& file);

    // Hooks of the script engine and the exit sequence, filled in with them.
    void startScriptEngine();
    void quitScriptEngine();
    // Fills the serial numbers of the open axes into the default script.
    void fillDefaultScript();
    void logScriptException(const QString& text);
    // The exit check of each refresh while an exit is pending; false ends the refresh.
    bool exitCheck();

    // Motion and exit helpers.
    result_t command(int axis, result_t (DeviceInterface::*call)(device_t));
    void sendJog(const JogTracker::Action& action);
    // Focus left the window: every held jog soft-stops now.
    void releaseJogs();
    bool handleJogKey(QObject* object, QKeyEvent* event);
    void handleJogButton(QObject* object, QEvent* event);
    void moveAll(bool shift);
    void openSettings(int slot);
    QString serialsOf(const QVector<int>& axes) const;
    // Gives the exit up, the wait box hidden, with a warning unless the text is empty.
    void abandonExit(const QString& warning);
    void finishExit();
    qint64 nowMs() const;

    std::unique_ptr<ScriptControl> scriptWiring;
    std::unique_ptr<JogTracker> jogTracker;
    MultiaxisExit exitSequence;
    QShortcut* stopShortcut = nullptr;
    QShortcut* enterShortcut = nullptr;

private slots:
    void onExitCancelled();

private:
    int n = 0;
    bool shutDownDone = false;
    // What the plots showed at their last replot.
    QVector<double> plottedState;
    // Per axis: when the positioner name was last asked for.
    qint64 stageReadAt[maxAxes];
};

#endif // MULTIAXIS_H
