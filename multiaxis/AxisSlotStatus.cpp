#include "multiaxis/AxisSlotStatus.h"

#include "ui_multiaxis.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPen>
#include <QPushButton>

#include <qwt_plot_marker.h>

#include <algorithm>
#include <utility>
#include <cstring>
#include <memory>

#include "common/FieldText.h"
#include "device/AxisCourier.h"
#include "device/ControllerSettings.h"
#include "device/DeviceInterface.h"
#include "log/MessageLog.h"
#include "multiaxis/MultiaxisAxes.h"
#include "multiaxis/PositionPlot.h"
#include "settings_model/MotorSettings.h"
#include "settings_model/ReconnectRead.h"
#include "settings_model/StageRead.h"
#include "settings_model/StageSettings.h"
#include "settingsdlg/SettingsDlg.h"
#include "widgets/LabelUpdates.h"
#include "widgets/MessageLine.h"
#include "widgets/StepSpinBox.h"

namespace {

qint64 monotonicMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

QPen withStyle(QPen pen, Qt::PenStyle style)
{
    pen.setStyle(style);
    return pen;
}

} // namespace

AxisSlotStatus::AxisSlotStatus(Multiaxis& window) : clockMs(monotonicMs), window(window)
{
    for (int i = 0; i < Multiaxis::maxAxes; ++i) {
        stageAbsent[i] = true;
        useShown[i] = AxisUse::Unknown;
        useSpell[i] = 0;
        stageReadAt[i] = 0;
    }
}

void AxisSlotStatus::showUse(int s, AxisUse use)
{
    const bool disabled = use == AxisUse::Lost || use == AxisUse::Bootloader;
    // An axis back whose settings read was cut short or failed takes targets once they are read whole.
    const bool unread = use == AxisUse::Working && settingsUnread[window.axisOrder[s]];
    for (QWidget* w : std::initializer_list<QWidget*>{window.curPos[s], window.pushButton_joyDec[s],
                                                      window.pushButton_joyInc[s], window.spinBox_moveTo[s],
                                                      window.spinBox_shiftOn[s]})
        w->setEnabled(!disabled && !unread);
    // A controller in its bootloader keeps its Settings button: its firmware is updated there.
    QGroupBox* box = window.groupBox[s];
    box->setEnabled(use != AxisUse::Lost);
    const QString settingsButton = QStringLiteral("pushButton_settings_%1").arg(s + 1);
    for (QWidget* child : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->setEnabled(use != AxisUse::Bootloader || child->objectName() == settingsButton);
    QwtPlotMarker* positionLine = window.plot->positionLine[s];
    positionLine->setLinePen(withStyle(positionLine->linePen(), disabled ? Qt::DashLine : Qt::SolidLine));
    if (disabled)
        window.groupBox[s]->setTitle(slotTitle(s, window.axisOrder[s]));
    // A working axis gets its title from the next refresh.
    shownInputs[s] = SlotInputs();
}

void AxisSlotStatus::holdTitleWidths()
{
    const int n = window.axisCount();
    int width = 0;
    for (int s = 0; s < n; ++s) {
        QGroupBox* box = window.groupBox[s];
        const QString shown = box->title();
        for (int a = 0; a < n; ++a) {
            for (AxisUse use : {AxisUse::Working, AxisUse::Lost, AxisUse::Bootloader}) {
                box->setTitle(slotTitle(s, a, use));
                width = std::max(width, box->minimumSizeHint().width());
            }
        }
        box->setTitle(shown);
    }
    for (int s = 0; s < Multiaxis::maxAxes; ++s) {
        QGroupBox* box = window.groupBox[s];
        box->setMinimumWidth(std::max(width, box->minimumWidth()));
        // Drawn through its style sheet from the start: the plain style cuts the last pixels
        // of a title, the closing bracket of "(disconnected)" or the last digit of a serial.
        showAlarm(s, false);
    }
}

void AxisSlotStatus::tellBack(int a)
{
    const QString axis = window.axes->axisNamed(a);
    // The stop that waited for it is told with it, not wiped by it.
    const QString stop = std::exchange(window.stopWentWhileAway[a], QString());
    const QString back = stop.isEmpty() ? axis + Multiaxis::tr(" is back.")
                                        : axis + Multiaxis::tr(" is back; its %1.").arg(stop);
    // What the line shows about this axis (its failed calls, its library lines, its slot's
    // warnings) is over once it is back.
    window.ui->messageLine->settleWith(back, {axis + QLatin1Char(':'), axis + QLatin1Char(' '), axis + QLatin1Char(','),
                                              QString::fromLocal8Bit(window.deviceName[a]) + QLatin1Char(':')});
    MessageLog::insertProgramLine(back, 3);
}

QString AxisSlotStatus::slotTitle(int s, int a, AxisUse use) const
{
    const ControllerSettings* identity = window.settingsDlgs[a]->controllerSettings;
    QString title = Multiaxis::tr("Motor ") + QLatin1String(Multiaxis::slotLetters[s]) + QStringLiteral(", SN ")
                    + QString::number(identity->serialNumber);
    // As the single-axis window says it in its title.
    if (use == AxisUse::Lost)
        title += Multiaxis::tr(" (disconnected)");
    else if (use == AxisUse::Bootloader)
        title += Multiaxis::tr(" (bootloader v%1.%2.%3)")
                     .arg(identity->bootloaderMajor)
                     .arg(identity->bootloaderMinor)
                     .arg(identity->bootloaderRelease);
    return title;
}

void AxisSlotStatus::showAlarm(int s, bool alarm)
{
    const QColor& colour = alarm ? alarmColor : normalColor;
    LabelUpdates::setStyleSheet(window.groupBox[s], QStringLiteral("QGroupBox { background-color: ") + colour.name()
                                                        + QStringLiteral(" ; }"));
}

AxisUse AxisSlotStatus::use(int a) const
{
    return MultiaxisAxes::commandUse(window.samples[a].use(), window.deviceHandle[a].load());
}

void AxisSlotStatus::showAxisUse(int s)
{
    const int a = window.axisOrder[s];
    showUse(s, useShown[a]);
}

void AxisSlotStatus::readSettings(int a)
{
    settingsReadWaits[a] = true;
    settingsReadAt[a] = clockMs();
    const quint64 spell = useSpell[a];
    SettingsDlg* dialog = window.settingsDlgs[a];
    // A copy: the courier's thread reads into it, this one takes it in the reply.
    auto read = std::make_shared<ReconnectRead>(ReconnectRead::What::Settings, *dialog->controllerSettings,
                                                *dialog->motorSettings);
    std::atomic<device_t>* handle = &window.deviceHandle[a];
    window.couriers[a]->sendJob(
        AxisCourier::Kind::Command, Multiaxis::tr("Reading the settings"),
        [read, handle](DeviceInterface& gateway, device_t) { return read->run(gateway, *handle); }, &window,
        [this, a, read, spell](result_t result, AxisCourier::Outcome outcome) {
            settingsReadWaits[a] = false;
            // Away again since: its next return reads anew.
            if (spell != useSpell[a] || useShown[a] != AxisUse::Working || !read->ran() || read->lostMeanwhile())
                return;
            // Half a read is not taken: the axis is read again, its controls off until then.
            if (outcome != AxisCourier::Outcome::Done || result != result_ok) {
                settingsUnread[a] = true;
                for (int s = 0; s < window.axisCount(); ++s) {
                    if (window.axisOrder[s] == a)
                        showAxisUse(s);
                }
                if (!std::exchange(readAgainTold[a], true))
                    MessageLog::insertProgramLine(
                        Multiaxis::tr("%1 is back, but reading its settings %2: they are read again, and its "
                                      "controls stay off until then.")
                            .arg(window.axes->axisNamed(a),
                                 outcome == AxisCourier::Outcome::Done ? Multiaxis::tr("failed")
                                                                       : Multiaxis::tr("was cut short")),
                        2);
                return;
            }
            settingsUnread[a] = false;
            readAgainTold[a] = false;
            window.settingsDlgs[a]->motorSettings->takeBasicRecordsRead(read->settings);
            // Targets typed before go out in the unit the controller counts in now.
            for (int s = 0; s < window.axisCount(); ++s) {
                if (window.axisOrder[s] == a) {
                    window.giveBoxesDivisor(s, a);
                    showAxisUse(s);
                }
            }
        });
}

void AxisSlotStatus::refreshSlot(int s, QStringList* names)
{
    const int a = window.axisOrder[s];
    const AxisSample& sample = window.samples[a];
    const AxisUse use = this->use(a);
    if (use != useShown[a]) {
        const bool cameBack = use == AxisUse::Working;
        // A stop that went before this loss is not news of its return.
        if (use == AxisUse::Lost && useShown[a] == AxisUse::Working)
            window.stopWentWhileAway[a].clear();
        settingsUnread[a] = false;
        useShown[a] = use;
        ++useSpell[a];
        settingsReadWaits[a] = false;
        showUse(s, use);
        if (cameBack && window.toldUse[a].exchange(AxisUse::Working) != AxisUse::Working) {
            // A stop still waiting for it goes in a moment: its return is told with it.
            if (window.couriers[a]->awaitsController())
                window.backUntold[a] = true;
            else
                tellBack(a);
        }
        if (cameBack)
            readSettings(a);
    } else if (use == AxisUse::Working && settingsUnread[a] && !settingsReadWaits[a]
               && clockMs() - settingsReadAt[a] >= Multiaxis::stageRetryMs) {
        readSettings(a);
    }
    // A controller that drops off to enter its bootloader opens again in it at once: it is told
    // lost only once its reopening has failed (the first sample of a reopening comes before
    // it is tried).
    if (use == AxisUse::Bootloader || (use == AxisUse::Lost && window.reopenSamples[a] >= 2))
        window.tellAway(a, use);
    // An axis in its bootloader is there to be updated: the title names it all the same.
    if (use == AxisUse::Bootloader && sample.received)
        names->append(axisName(a));
    // Nothing to show before its first sample.
    if (use != AxisUse::Working || !sample.received)
        return;

    detectStage(a);

    names->append(axisName(a));

    const status_t& st = sample.state;
    const bool alarm = (st.Flags & STATE_ALARM) != 0;
    if (alarm != alarmShown[a]) {
        showAlarm(s, alarm);
        alarmShown[a] = alarm;
    }

    const UserUnits& units = window.units;
    const ControllerSettings* identity = window.settingsDlgs[a]->controllerSettings;
    const int d = window.divisor(a);
    SlotInputs inputs{a,           identity->serialNumber, d,           units.recalcEnabled, units.units,
                      units.coeff1, units.coeff2,           units.precision, st.CurPosition, st.uCurPosition,
                      st.CurSpeed, st.uCurSpeed,           st.Upwr,     st.Ipwr,             st.MvCmdSts,
                      st.PWRSts};
    if (inputs == shownInputs[s])
        return;
    shownInputs[s] = std::move(inputs);

    window.groupBox[s]->setTitle(slotTitle(s, a));

    // A DC or brushless motor's position is a whole count.
    const int positionDivisor = window.targetDivisor(a);
    LabelUpdates::setText(window.curPos[s],
                          units.recalcEnabled
                              ? units.unitPositionText(st.CurPosition, st.uCurPosition, positionDivisor)
                              : UserUnits::positionToString(st.CurPosition, st.uCurPosition, positionDivisor));
    LabelUpdates::setText(window.voltageValue[s], QStringLiteral("%1 V").arg(st.Upwr / 100.0));
    LabelUpdates::setText(window.currentValue[s], QStringLiteral("%1 mA").arg(st.Ipwr));
    LabelUpdates::setText(window.speedValue[s],
                          QStringLiteral("%1 %2/%3 steps/s").arg(st.CurSpeed).arg(st.uCurSpeed).arg(d));

    static const char* const commandTexts[] = {"Unknown", "Move to", "Shift on", "Move left", "Move right",
                                               "Stop",    "Homing",  "Loft",     "Soft stop"};
    const unsigned int command = st.MvCmdSts & MVCMD_NAME_BITS;
    LabelUpdates::setText(window.commandValue[s], Multiaxis::tr(commandTexts[command <= 8 ? command : 0]));
    QFont commandFont = font;
    commandFont.setWeight((st.MvCmdSts & MVCMD_RUNNING) ? 75 : 50);
    LabelUpdates::setFont(window.commandValue[s], commandFont);

    const char* power = "Unknown";
    switch (st.PWRSts) {
    case 0:
        power = "Uknwn";
        break;
    case 1:
        power = "Off";
        break;
    case 3:
        power = "Norm";
        break;
    case 4:
        power = "Reduc";
        break;
    case 5:
        power = "Max";
        break;
    default:
        break;
    }
    LabelUpdates::setText(window.powerValue[s], Multiaxis::tr(power));
}

void AxisSlotStatus::detectStage(int a)
{
    SettingsDlg* dialog = window.settingsDlgs[a];
    StageSettings* stage = dialog->stageSettings;
    const bool present = (window.samples[a].state.Flags & STATE_EEPROM_CONNECTED) != 0;
    if (!present) {
        if (!stageAbsent[a]) {
            std::memset(&stage->stageName, 0, sizeof stage->stageName);
            emit window.SgnDisableStagePages(true, a);
            if (!dialog->isVisible())
                stage->stageReloadPending = false;
        }
        stageAbsent[a] = true;
        stageReadAt[a] = 0;
        ++stageAbsentSamples[a];
        return;
    }
    if (!stageAbsent[a] || stageReadWaits[a])
        return;
    // A failed read is tried again once a second, not on every refresh.
    const qint64 now = clockMs();
    if (stageReadAt[a] != 0 && now - stageReadAt[a] < Multiaxis::stageRetryMs)
        return;
    stageReadAt[a] = now == 0 ? 1 : now;
    stageReadWaits[a] = true;
    const quint64 samples = stageAbsentSamples[a];
    auto read = std::make_shared<StageRead>(*stage, dialog->isVisible());
    window.couriers[a]->send(
        AxisCourier::Kind::Command, Multiaxis::tr("Reading the positioner memory"),
        [read](DeviceInterface& device, device_t id) { return read->run(device, id); }, &window,
        [this, a, dialog, read, samples](result_t) {
            stageReadWaits[a] = false;
            // Failed, or the memory has gone since: tried again on a later refresh.
            if (!read->usable() || samples != stageAbsentSamples[a] || !stageAbsent[a])
                return;
            // The dialog was opened meanwhile and shows no records of this positioner yet.
            if (!read->whole && dialog->isVisible()) {
                stageReadAt[a] = 0;
                return;
            }
            stageAbsent[a] = false;
            if (dialog->takeStageRecords(read->records))
                emit window.SgnDisableStagePages(false, a);
        });
}

QString AxisSlotStatus::axisName(int a) const
{
    const SettingsDlg* dialog = window.settingsDlgs[a];
    const QString positioner = readFieldText(dialog->stageSettings->stageName.PositionerName);
    if (!positioner.isEmpty() && (window.samples[a].state.Flags & STATE_EEPROM_CONNECTED))
        return QLatin1Char('[') + positioner + QLatin1Char(']');
    const QString controller = readFieldText(dialog->motorSettings->controllerName.ControllerName);
    if (!controller.isEmpty())
        return controller;
    return readFieldText(dialog->controllerSettings->deviceInformation.ManufacturerId)
           + QString::number(dialog->controllerSettings->serialNumber);
}
