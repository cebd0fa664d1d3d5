#include "mainwindow/StatusView.h"

#include "mainwindow/MainWindowForm.h"

#include <QApplication>
#include <QLabel>

#include <algorithm>
#include <climits>

#include <qwt_slider.h>

#include "device/ControllerSettings.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/StatusDisplay.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/SliderSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "widgets/LabelUpdates.h"
#include "widgets/SliderScaleDraw.h"

namespace {

const QString programSource = QStringLiteral("Tolmo");

// The status-bar indicators in the order they stand; the cyclic one (index 3) has a picture.
struct IndicatorRow
{
    const char* text;
    const char* tip;
};
const IndicatorRow indicatorRows[] = {
    {"L btn", QT_TRANSLATE_NOOP("MainWindow", "Lights up when left button on the controller is pressed.")},
    {"R btn", QT_TRANSLATE_NOOP("MainWindow", "Lights up when right button on the controller is pressed.")},
    {"EEPR", QT_TRANSLATE_NOOP("MainWindow", "Lights up when EEPROM is connected.")},
    {"", QT_TRANSLATE_NOOP("MainWindow", "Cyclic mode off")},
    {"WndA", QT_TRANSLATE_NOOP("MainWindow", "Winding A status.")},
    {"WndB", QT_TRANSLATE_NOOP("MainWindow", "Winding B status.")},
    {"ENCD", QT_TRANSLATE_NOOP("MainWindow", "Encoder status.")},
    {"PWHT", QT_TRANSLATE_NOOP("MainWindow", "Lights up when power overheat is detected.")},
    {"SLIP", QT_TRANSLATE_NOOP("MainWindow", "Lights up when engine slip error is detected.")},
    {"ErrC", QT_TRANSLATE_NOOP("MainWindow", "Lights up when command error is detected.")},
    {"ErrD", QT_TRANSLATE_NOOP("MainWindow", "Lights up when data error is detected.")},
    {"ErrV", QT_TRANSLATE_NOOP("MainWindow", "Lights up when incorrect value error is detected.")},
};

const QString imagePath = QStringLiteral(":/mainwindow/images/mainwindow/");

QPalette textPalette(const QColor& text, bool dimDisabled)
{
    QPalette palette;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Light, QColor(0, 0, 0, 0));
        palette.setColor(group, QPalette::WindowText, text);
    }
    if (dimDisabled)
        palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0, 0, 0, 12));
    return palette;
}

QFont weighted(int weight)
{
    QFont font = QApplication::font();
    font.setWeight(weight);
    return font;
}

void showWeight(QWidget* widget, int weight)
{
    LabelUpdates::setFont(widget, weighted(weight));
}

} // namespace

StatusView::StatusView(MainWindow& windowIn) : window(windowIn), ui(windowIn.form())
{
    for (int i = 0; i < indicatorCount; ++i)
        indicatorLabels[i] = new QLabel();

    sliderDivisor = 1;
    ui->divisorLbl->hide();
    ui->divisorLbl->clear();

    scaleDraw = new SliderScaleDraw(sliderDivisor);
    ui->positionSldr->setScaleDraw(scaleDraw);
    ui->positionSldr->setScalePosition(QwtSlider::TrailingScale);
    ui->positionSldr->setTrough(false);
    ui->positionSldr->setGroove(true);
    ui->positionSldr->setHandleSize(QSize(30, 12));
}

void StatusView::InitUI()
{
    const QFont indicatorFont = weighted(QFont::Bold);
    redPalette = textPalette(QColor(255, 0, 0), true);
    greenPalette = textPalette(QColor(0, 208, 0), true);
    yellowPalette = textPalette(QColor(255, 212, 0), true);
    greyPalette = textPalette(QColor(0, 0, 0, 12), false);
    indOnPixmap = QPixmap(imagePath + QStringLiteral("ind_on.svg"));
    indOffPixmap = QPixmap(imagePath + QStringLiteral("ind_off.svg"));
    cyclicOffPixmap = QPixmap(imagePath + QStringLiteral("cyclic_off.svg"));
    cyclicOnPixmap = QPixmap(imagePath + QStringLiteral("cyclic.svg"));

    for (int i = 0; i < indicatorCount; ++i) {
        QLabel* label = indicatorLabels[i];
        const IndicatorRow& row = indicatorRows[i];
        label->setFixedWidth(50);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(indicatorFont);
        label->setToolTip(tr(row.tip));
        if (i == cyclicIndicatorIndex) {
            label->setPixmap(cyclicOffPixmap);
        } else {
            label->setText(QString::fromLatin1(row.text));
            const bool lamp = i < 3;
            const bool alarm = i >= 7;
            label->setPalette(lamp ? greenPalette : alarm ? redPalette : greyPalette);
            label->setEnabled(!(lamp || alarm));
        }
        ui->statusBar->addPermanentWidget(label);
    }

    const struct
    {
        QLabel* label;
        const char* picture;
    } icons[] = {{ui->movingStateLbl, "state_moving.svg"}, {ui->targetSpeedLbl, "check.svg"},
                 {ui->antiplayLbl, "antiplay.svg"}};
    for (const auto& icon : icons) {
        icon.label->setPixmap(QPixmap(imagePath + QLatin1String(icon.picture)));
        QPalette palette = icon.label->palette();
        palette.setColor(QPalette::Window, QColor(255, 255, 255, 0));
        icon.label->setPalette(palette);
        icon.label->setEnabled(false);
    }

    // Room for a stepper's speed from the start. The Motor box's own minimum width stands in for
    // its contents' in the layout, so it has to cover them.
    ui->speedValue->setMinimumWidth(
        ui->speedValue->fontMetrics().horizontalAdvance(QStringLiteral("-10000 255/256 steps/s")));
    // A new value repaints its label alone, without laying out the window again. The position
    // has room for its widest value from the start, so the window keeps its size as it moves.
    const QStringList widestPosition{StatusDisplay::stepsText(INT_MIN, -255, 256, true), QString::number(INT_MIN)};
    LabelUpdates::holdSize(ui->positionValue, widestPosition);
    LabelUpdates::holdSize(ui->encoderValue, {QString::number(INT_MIN)});
    for (QLabel* label : {ui->speedValue, ui->pwrVoltageValue, ui->pwrCurrentValue, ui->usbVoltageValue,
                          ui->usbCurrentValue, ui->temperatureValue, ui->deviceValue, ui->pwmValue, ui->pwrValue,
                          ui->sourceValue, ui->divisorLbl})
        LabelUpdates::holdSize(label);
    ui->groupBox_3->setMinimumWidth(std::max(ui->groupBox_3->minimumWidth(), ui->groupBox_3->minimumSizeHint().width()));
    ui->positionSldr->setReadOnly(true);
    ui->encoderValue->setStyleSheet(QStringLiteral("QLabel { color : gray; }"));
    ui->centralWidget->setAutoFillBackground(true);

    normalBackground = ui->centralWidget->palette().color(QPalette::Window);
    int red, green, blue;
    StatusDisplay::alarmTint(normalBackground.red(), normalBackground.green(), normalBackground.blue(), &red,
                             &green, &blue);
    alarmBackground = QColor(red, green, blue);
}

QLabel* StatusView::indicator(const QString& text) const
{
    for (int i = 0; i < indicatorCount; ++i) {
        if (indicatorRows[i].text == text && i != cyclicIndicatorIndex)
            return indicatorLabels[i];
    }
    return nullptr;
}

void StatusView::showCyclic(bool on)
{
    QLabel* lamp = cyclicIndicator();
    lamp->setPixmap(on ? cyclicOnPixmap : cyclicOffPixmap);
    lamp->setToolTip(on ? tr("Cyclic mode on") : tr("Cyclic off"));
    ui->statusBar->update();
}

void StatusView::showAlarm(bool alarm, Refresh kind)
{
    QPalette palette = ui->centralWidget->palette();
    palette.setBrush(QPalette::All, QPalette::Window, alarm ? alarmBackground : normalBackground);
    LabelUpdates::setPalette(ui->centralWidget, palette);
    QFont font = ui->stopBtn->font();
    font.setWeight(alarm ? QFont::Bold : QFont::Normal);
    LabelUpdates::setFont(ui->stopBtn, font);
    if (kind == Refresh::RenderOnly)
        return;
    if (alarm && !alarmLogged)
        window.Log(tr("ALARM signal from device."), programSource, 1);
    alarmLogged = alarm;
}

void StatusView::showFirmware(const status_t& state, Refresh kind)
{
    showSlider(state);

    const SettingsDlg* settingsDlg = window.settingsDialog();
    const SliderSettings* slider = settingsDlg->sliderSettings;
    const engine_settings_t& engine = settingsDlg->motorSettings->engine;
    QString speed;
    if (window.engineType() == ENGINE_TYPE_STEP) {
        LabelUpdates::setText(ui->positionValue, window.stepsText(state.CurPosition, state.uCurPosition, true));
        speed = window.stepsText(state.CurSpeed, state.uCurSpeed, false) + window.appliedUnits().speed;
    } else {
        LabelUpdates::setText(ui->positionValue, QString::number(state.CurPosition));
        speed = QString::number(state.CurSpeed) + window.appliedUnits().speed;
    }
    LabelUpdates::setText(ui->speedValue, limitMarked(speed, ENGINE_LIMIT_RPM, state.CurSpeed, engine.NomSpeed));
    LabelUpdates::setText(ui->encoderValue, QString::number(state.EncPosition));
    ui->encoderValue->setVisible(slider->showSecondaryPosition);

    const struct
    {
        QLabel* label;
        unsigned int bit;
        const char* tip;
    } motion[] = {{ui->movingStateLbl, MOVE_STATE_MOVING, QT_TR_NOOP("State is moving.")},
                  {ui->targetSpeedLbl, MOVE_STATE_TARGET_SPEED, QT_TR_NOOP("Target speed reached.")},
                  {ui->antiplayLbl, MOVE_STATE_ANTIPLAY, QT_TR_NOOP("Antiplay active.")}};
    for (const auto& icon : motion) {
        const bool on = state.MoveSts & icon.bit;
        icon.label->setEnabled(on);
        LabelUpdates::setToolTip(icon.label, on ? tr(icon.tip) : QString());
    }

    showReadings(state);
    showIndicators(state);
    if (kind == Refresh::Sample)
        showEncoderHint(state);
}

void StatusView::showSlider(const status_t& state)
{
    const SettingsDlg* settingsDlg = window.settingsDialog();
    const SliderSettings* slider = settingsDlg->sliderSettings;
    const edges_settings_t& edges = settingsDlg->motorSettings->edges;
    int left = slider->leftPoint, right = slider->rightPoint;
    if (slider->loadFromDevice) {
        left = edges.LeftBorder;
        right = edges.RightBorder;
    }
    sliderLeftPoint = left;
    sliderRightPoint = right;
    const StatusDisplay::Range range =
        StatusDisplay::shiftRangeToPosition(left, right, state.CurPosition, slider->watchOverLimits);
    sliderMin = range.min;
    sliderMax = range.max;
    const int divisor = StatusDisplay::sliderDivisor(sliderMin, sliderMax);
    ui->divisorLbl->setVisible(divisor > 1);
    setDivisorLabel(divisor);
    if (divisor != sliderDivisor || scaleDraw->divisor() != divisor) {
        sliderDivisor = divisor;
        scaleDraw->setDivisor(divisor);
    }
    QwtSlider* bar = ui->positionSldr;
    if (bar->minimum() != sliderMin || bar->maximum() != sliderMax) {
        bar->setScale(sliderMin, sliderMax);
        const qint64 span = qint64(sliderMax) - sliderMin;
        bar->setTotalSteps(static_cast<uint>(std::clamp<qint64>(span, 1, UINT_MAX)));
        bar->setPageSteps(0);
        bar->setScaleMaxMajor(8);
        bar->setScaleMaxMinor(10);
        bar->update();
    }
    if (bar->value() != state.CurPosition)
        bar->setValue(state.CurPosition);
    bar->setEnabled(edges.LeftBorder <= edges.RightBorder);
}

void StatusView::showReadings(const status_t& state)
{
    static const QPalette red = textPalette(QColor(255, 0, 0), false);
    static const QPalette blue = textPalette(QColor(0, 0, 255), false);
    const engine_settings_t& engine = window.settingsDialog()->motorSettings->engine;
    const struct
    {
        QLabel* value;
        QLabel* caption;
        unsigned int redBit;
        unsigned int blueBit;
        QString text;
    } rows[] = {
        {ui->pwrVoltageValue, ui->pwrVoltageLbl, STATE_OVERLOAD_POWER_VOLTAGE, STATE_LOW_POWER_VOLTAGE,
         limitMarked(StatusDisplay::voltageText(state.Upwr), ENGINE_LIMIT_VOLT, state.Upwr, engine.NomVoltage)},
        {ui->pwrCurrentValue, ui->pwrCurrentLbl, STATE_OVERLOAD_POWER_CURRENT, 0,
         limitMarked(QStringLiteral("%1 mA").arg(state.Ipwr), ENGINE_LIMIT_CURR, state.Ipwr, engine.NomCurrent)},
        {ui->usbVoltageValue, ui->usbVoltageLbl, STATE_OVERLOAD_USB_VOLTAGE, STATE_LOW_USB_VOLTAGE,
         StatusDisplay::voltageText(state.Uusb)},
        {ui->usbCurrentValue, ui->usbCurrentLbl, STATE_OVERLOAD_USB_CURRENT, 0,
         QStringLiteral("%1 mA").arg(state.Iusb)},
        {ui->temperatureValue, ui->temperatureLbl, STATE_CONTROLLER_OVERHEAT, 0,
         StatusDisplay::temperatureText(state.curT)},
    };
    for (const auto& row : rows) {
        const bool isRed = state.Flags & row.redBit;
        const bool isBlue = !isRed && row.blueBit && (state.Flags & row.blueBit);
        showWeight(row.value, isRed || isBlue ? QFont::Bold : QFont::Normal);
        LabelUpdates::setPalette(row.value, isRed ? red : isBlue ? blue : row.caption->palette());
        LabelUpdates::setText(row.value, row.text);
    }
    for (QWidget* widget : {static_cast<QWidget*>(ui->usbVoltageValue), static_cast<QWidget*>(ui->usbCurrentValue),
                            static_cast<QWidget*>(ui->usbVoltageLbl), static_cast<QWidget*>(ui->usbCurrentLbl),
                            static_cast<QWidget*>(ui->temperatureLbl), static_cast<QWidget*>(ui->temperatureValue)})
        widget->setEnabled(true);

    showWeight(ui->deviceValue, state.MvCmdSts & MVCMD_RUNNING ? QFont::Bold : QFont::Normal);
    QPalette command = ui->deviceLbl->palette();
    const QColor commandColour = state.MvCmdSts & MVCMD_ERROR ? QColor(255, 0, 0) : QColor(0, 0, 0);
    for (auto group : {QPalette::Active, QPalette::Inactive})
        command.setColor(group, QPalette::WindowText, commandColour);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        command.setColor(group, QPalette::Light, QColor(0, 0, 0, 0));
    LabelUpdates::setPalette(ui->deviceValue, command);
    LabelUpdates::setText(ui->deviceValue, tr(StatusDisplay::commandText(state.MvCmdSts)));
    ui->pwmValue->hide();
    ui->pwmLbl->hide();

    LabelUpdates::setText(ui->pwrValue, tr(StatusDisplay::powerStateText(state.PWRSts)));
    ui->pwrValue->setEnabled(true);
    ui->pwrLbl->setEnabled(true);
    LabelUpdates::setText(ui->sourceValue, state.Flags & STATE_EXT_POWER ? tr("External") : QStringLiteral("USB"));
    LabelUpdates::setPixmap(ui->lBdrInd, state.GPIOFlags & STATE_LEFT_EDGE ? indOnPixmap : indOffPixmap);
    LabelUpdates::setPixmap(ui->rBdrInd, state.GPIOFlags & STATE_RIGHT_EDGE ? indOnPixmap : indOffPixmap);
}

void StatusView::showIndicators(const status_t& state)
{
    const struct
    {
        const char* text;
        bool lit;
    } lamps[] = {
        {"ErrC", (state.Flags & STATE_ERRC) != 0},          {"ErrD", (state.Flags & STATE_ERRD) != 0},
        {"ErrV", (state.Flags & STATE_ERRV) != 0},          {"SLIP", (state.Flags & STATE_CTP_ERROR) != 0},
        {"PWHT", (state.Flags & STATE_POWER_OVERHEAT) != 0}, {"R btn", (state.GPIOFlags & STATE_BUTTON_RIGHT) != 0},
        {"L btn", (state.GPIOFlags & STATE_BUTTON_LEFT) != 0}, {"EEPR", (state.Flags & STATE_EEPROM_CONNECTED) != 0},
    };
    for (const auto& lamp : lamps)
        indicator(QLatin1String(lamp.text))->setEnabled(lamp.lit);

    QLabel* encoder = indicator(QStringLiteral("ENCD"));
    encoder->setEnabled(true);
    LabelUpdates::setPalette(encoder, state.EncSts == ENC_STATE_MALFUNC  ? redPalette
                        : state.EncSts == ENC_STATE_REVERS ? yellowPalette
                        : state.EncSts == ENC_STATE_OK     ? greenPalette
                                                           : greyPalette);
    QLabel* windingA = indicator(QStringLiteral("WndA"));
    windingA->setEnabled(true);
    const unsigned int a = state.WindSts & 0x3;
    LabelUpdates::setPalette(windingA, a == WIND_A_STATE_MALFUNC ? redPalette : a == WIND_A_STATE_OK ? greenPalette : greyPalette);
    QLabel* windingB = indicator(QStringLiteral("WndB"));
    windingB->setEnabled(true);
    const unsigned int b = state.WindSts & 0x30;
    LabelUpdates::setPalette(windingB, b == WIND_B_STATE_MALFUNC ? redPalette : b == WIND_B_STATE_OK ? greenPalette : greyPalette);
}

void StatusView::showEncoderHint(const status_t& state)
{
    const bool available = state.EncSts == ENC_STATE_OK || state.EncSts == ENC_STATE_REVERS;
    if (!available) {
        encoderHintLogged = false;
        return;
    }
    if (window.settingsDialog()->motorSettings->feedback.FeedbackType == FEEDBACK_ENCODER || encoderHintLogged)
        return;
    if (state.EncSts == ENC_STATE_OK)
        window.Log(tr("Encoder is available. You may turn it on in Settings -> Device configuration -> [Motor type: DC or "
               "stepper] -> Feedback -> Encoder"),
            programSource, 3);
    else
        window.Log(tr("Encoder is available and reversed. You may turn it on in Settings -> Device configuration -> [Motor "
               "type: DC or stepper] -> Feedback -> Encoder"),
            programSource, 3);
    encoderHintLogged = true;
}

QString StatusView::limitMarked(const QString& text, unsigned int flag, int64_t value, unsigned int nominal) const
{
    const engine_settings_t& engine = window.settingsDialog()->motorSettings->engine;
    if ((engine.EngineFlags & flag) && StatusDisplay::atLimit(value, nominal))
        return StatusDisplay::overlined(text);
    return text;
}

void StatusView::setDivisorLabel(int divisor)
{
    LabelUpdates::setText(ui->divisorLbl, StatusDisplay::divisorLabelText(divisor, window.appliedUnits().position));
}

void StatusView::disableDisplay(int mode)
{
    if (mode == 2) {
        LabelUpdates::setText(ui->positionValue, tr("No device"));
    } else if (mode == 1 && window.settingsDialog()) {
        const ControllerSettings* identity = window.settingsDialog()->controllerSettings;
        LabelUpdates::setText(ui->positionValue, tr("Bootloader v%1.%2.%3")
                                        .arg(identity->bootloaderMajor)
                                        .arg(identity->bootloaderMinor)
                                        .arg(identity->bootloaderRelease));
    }
    for (QLabel* label : {ui->speedValue, ui->pwrVoltageValue, ui->pwrCurrentValue, ui->usbVoltageValue,
                          ui->usbCurrentValue, ui->temperatureValue, ui->deviceValue, ui->pwmValue, ui->pwrValue,
                          ui->sourceValue})
        LabelUpdates::setText(label, tr("-"));
    LabelUpdates::setPixmap(ui->lBdrInd, indOffPixmap);
    LabelUpdates::setPixmap(ui->rBdrInd, indOffPixmap);
    for (int i = 0; i < indicatorCount; ++i) {
        if (i != cyclicIndicatorIndex)
            indicatorLabels[i]->setEnabled(false);
    }
    for (QLabel* icon : {ui->movingStateLbl, ui->targetSpeedLbl, ui->antiplayLbl})
        icon->setEnabled(false);
    const struct
    {
        QLabel* value;
        QLabel* caption;
    } readings[] = {{ui->pwrVoltageValue, ui->pwrVoltageLbl}, {ui->pwrCurrentValue, ui->pwrCurrentLbl},
                    {ui->usbVoltageValue, ui->usbVoltageLbl}, {ui->usbCurrentValue, ui->usbCurrentLbl},
                    {ui->temperatureValue, ui->temperatureLbl}, {ui->deviceValue, ui->deviceLbl}};
    for (const auto& reading : readings) {
        showWeight(reading.value, QFont::Normal);
        LabelUpdates::setPalette(reading.value, reading.caption->palette());
    }
    // STOP and Soft stop stay while the controller is away: a stop waits for it and goes at its
    // return. In the bootloader there is nothing to stop.
    for (QWidget* button : {static_cast<QWidget*>(ui->stopBtn), static_cast<QWidget*>(ui->sstpBtn)})
        button->setEnabled(mode != 1);
    for (QWidget* button : {static_cast<QWidget*>(ui->leftBdrBtn), static_cast<QWidget*>(ui->leftBtn),
                            static_cast<QWidget*>(ui->rightBdrBtn), static_cast<QWidget*>(ui->rightBtn),
                            static_cast<QWidget*>(ui->shiftBtn), static_cast<QWidget*>(ui->moveBtn),
                            static_cast<QWidget*>(ui->zeroBtn), static_cast<QWidget*>(ui->cyclicBtn),
                            static_cast<QWidget*>(ui->chartBtn), static_cast<QWidget*>(ui->homeBtn),
                            static_cast<QWidget*>(window.moveToSpinBox()),
                            static_cast<QWidget*>(window.shiftOnSpinBox())})
        button->setEnabled(false);
    ui->encoderValue->hide();
    ui->statusBar->clearMessage();
}

void StatusView::enableControls()
{
    for (QWidget* widget : {static_cast<QWidget*>(ui->movingStateLbl), static_cast<QWidget*>(ui->targetSpeedLbl),
                            static_cast<QWidget*>(ui->antiplayLbl), static_cast<QWidget*>(ui->leftBdrBtn),
                            static_cast<QWidget*>(ui->leftBtn), static_cast<QWidget*>(ui->stopBtn),
                            static_cast<QWidget*>(ui->sstpBtn), static_cast<QWidget*>(ui->rightBdrBtn),
                            static_cast<QWidget*>(ui->rightBtn), static_cast<QWidget*>(ui->shiftBtn),
                            static_cast<QWidget*>(ui->moveBtn), static_cast<QWidget*>(ui->zeroBtn),
                            static_cast<QWidget*>(ui->cyclicBtn), static_cast<QWidget*>(ui->chartBtn),
                            static_cast<QWidget*>(ui->homeBtn), static_cast<QWidget*>(window.moveToSpinBox()),
                            static_cast<QWidget*>(window.shiftOnSpinBox())})
        widget->setEnabled(true);
}

