#ifndef STATUSVIEW_H
#define STATUSVIEW_H

#include <QColor>
#include <QCoreApplication>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include <cstdint>

#include "trov.h"

class MainWindow;
class QLabel;
class SliderScaleDraw;
namespace Ui { class MainWindowClass; }

// What the single-axis window shows of a status sample on its form: the slider, the readings, the
// motion icons, the status-bar indicators and the alarm tint, and the controls that go off while
// no firmware answers. The texts come from StatusDisplay; the display's notices (alarm, encoder)
// go to the window's log.
class StatusView
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    // Sample: a new sample, with its notices; RenderOnly: the latest one shown again.
    enum class Refresh { Sample, RenderOnly };

    // Built once the window's form is set up: sets up the slider's scale.
    explicit StatusView(MainWindow& window);
    // The indicators, the icons and the labels' room.
    void InitUI();

    QLabel* indicator(const QString& text) const;
    QLabel* cyclicIndicator() const { return indicatorLabels[cyclicIndicatorIndex]; }
    // The cyclic lamp on or off.
    void showCyclic(bool on);

    void showAlarm(bool alarm, Refresh kind);
    // A sample of the firmware: slider, readings, icons, indicators and, for a new sample, the
    // encoder hint.
    void showFirmware(const status_t& state, Refresh kind);
    void setDivisorLabel(int divisor);
    // Dashes, lamps and motion controls off: mode 2 no device (STOP and Soft stop stay), 1 the
    // bootloader.
    void disableDisplay(int mode);
    void enableControls();

    // The slider's range and its points as the last sample showed them.
    int sliderMin = 0, sliderMax = 0, sliderLeftPoint = 0, sliderRightPoint = 0;
    bool alarmLogged = false;
    bool encoderHintLogged = false;

private:
    void showSlider(const status_t& state);
    void showReadings(const status_t& state);
    void showIndicators(const status_t& state);
    void showEncoderHint(const status_t& state);
    // text with the limit mark when the engine record limits this value and it reached nominal.
    QString limitMarked(const QString& text, unsigned int flag, int64_t value, unsigned int nominal) const;

    MainWindow& window;
    Ui::MainWindowClass* const ui;
    SliderScaleDraw* scaleDraw = nullptr;
    int sliderDivisor = 1;
    QPixmap indOnPixmap, indOffPixmap, cyclicOnPixmap, cyclicOffPixmap;
    QPalette redPalette, greyPalette, greenPalette, yellowPalette;
    QColor normalBackground, alarmBackground;

    static constexpr int indicatorCount = 12;
    static constexpr int cyclicIndicatorIndex = 3;
    QLabel* indicatorLabels[indicatorCount] = {};
};

#endif // STATUSVIEW_H
