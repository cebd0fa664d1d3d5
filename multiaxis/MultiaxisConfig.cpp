#include "multiaxis/MultiaxisConfig.h"

#include <QGroupBox>
#include <QLayout>

#include <algorithm>
#include <optional>

#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "common/SettingsWriteReport.h"
#include "common/WindowPlacement.h"
#include "device/ControllerSettings.h"
#include "log/MessageLog.h"
#include "multiaxis/AxisSlotStatus.h"
#include "multiaxis/DimensionalUnitsDlg.h"
#include "multiaxis/PositionPlot.h"
#include "settings_model/UnitTexts.h"
#include "settingsdlg/SettingsDlg.h"
#include "widgets/StepSpinBox.h"

MultiaxisConfig::MultiaxisConfig(Multiaxis& window) : window(window) {}

void MultiaxisConfig::loadUnitSettings()
{
    IniSettings file(settingsIniPath());
    const ProgramSettingsFile::UnitOptions options = ProgramSettingsFile::readUnitOptions(file);
    UserUnits& units = window.units;
    units.recalcEnabled = options.recalcEnabled;
    units.units = options.units;
    units.coeff1 = options.coeff1;
    units.coeff2 = options.coeff2;
    units.precision = options.precision;
}

void MultiaxisConfig::saveUnitSettings()
{
    const UserUnits& units = window.units;
    ProgramSettingsFile::UnitOptions options;
    options.recalcEnabled = units.recalcEnabled;
    options.units = units.units;
    options.coeff1 = units.coeff1;
    options.coeff2 = units.coeff2;
    options.precision = units.precision;
    IniSaver file(settingsIniPath());
    ProgramSettingsFile::writeUnitOptions(file.settings(), options);
    commitOrReport(file);
}

QStringList MultiaxisConfig::serialList() const
{
    QStringList serials;
    for (int s = 0; s < window.axisCount(); ++s)
        serials.append(QString::number(window.settingsDlgs[window.axisOrder[s]]->controllerSettings->serialNumber));
    return serials;
}

void MultiaxisConfig::saveLastGroup()
{
    QVector<unsigned int> serials;
    for (int s = 0; s < window.axisCount(); ++s)
        serials.append(window.settingsDlgs[window.axisOrder[s]]->controllerSettings->serialNumber);
    if (serials.isEmpty())
        return;
    IniSaver file(settingsIniPath());
    ProgramSettingsFile::writeControllerSet(file.settings(), serials);
    commitOrReport(file);
}

void MultiaxisConfig::commitOrReport(IniSaver& file)
{
    QString reason;
    if (file.commit(&reason))
        return;
    SettingsWriteReport::fileFailed(&window, file.path(), reason, [](const QString& line) { MessageLog::insertProgramLine(line, 1); });
}

void MultiaxisConfig::applyUnits(bool enabled, const QString& unitText, uint coeff1, uint coeff2, uint precision)
{
    UserUnits& units = window.units;
    units.recalcEnabled = enabled;
    units.units = unitText;
    units.coeff1 = std::clamp(coeff1, 1u, UserUnits::maxCoefficient);
    units.coeff2 = std::clamp(coeff2, 1u, UserUnits::maxCoefficient);
    units.precision = std::min(precision, UserUnits::maxPrecision);
    const double factor = units.ratio();

    for (int s = 0; s < window.axisCount(); ++s) {
        const int d = window.divisor(window.axisOrder[s]);
        for (StepSpinBox* box : {window.spinBox_moveTo[s], window.spinBox_shiftOn[s]}) {
            const int before = box->unitMode;
            if (enabled) {
                const int step = box->getStep();
                const int uStep = box->getUStep();
                box->setUnitMode(2, QLatin1Char(' ') + units.units, int(units.precision), factor);
                if (before != 2)
                    box->setValue(double(units.roundedToPrecision(UserUnits::fullSteps(step, uStep, d) * factor)));
            } else {
                const double value = box->value();
                // A target nobody touched in units goes back to the pair it was, not to one
                // rounded through them.
                const std::optional<StepSpinBox::UnitsOrigin> origin = box->unitsOrigin();
                box->setUnitMode(1, stepperPositionUnit, 0);
                if (before == 2) {
                    const UserUnits::StepPair pair =
                        origin ? UserUnits::StepPair{origin->step, origin->uStep}
                               : UserUnits::nearestStepPair(units.unitsToSteps(value), window.targetDivisor(window.axisOrder[s]));
                    box->setValue(pair.step, pair.uStep);
                    box->setStepFactor(d);
                }
            }
        }
        window.showTargetUnit(s, window.axisOrder[s]);
    }
}

void MultiaxisConfig::openCalibration()
{
    const UserUnits& units = window.units;
    auto* dialog = new DimensionalUnitsDlg(&window, Multiaxis::tr("Dimensional unit setup"), units.recalcEnabled,
                                           units.units, units.coeff1, units.coeff2, units.precision, serialList());
    const QMetaObject::Connection unitsLink =
        QObject::connect(dialog, &DimensionalUnitsDlg::sendUnits, &window, &Multiaxis::receiveUnits);
    const QMetaObject::Connection serialsLink =
        QObject::connect(dialog, &DimensionalUnitsDlg::sendSerials, &window, &Multiaxis::receiveSerials);
    dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
    placeFirstShow(*dialog, &window);
    dialog->exec();
    QObject::disconnect(unitsLink);
    QObject::disconnect(serialsLink);
    delete dialog;
}

void MultiaxisConfig::applyOrder(const QStringList& serials)
{
    const int n = window.axisCount();
    // Only a permutation of the open axes' serials is taken; anything else keeps the order.
    int order[Multiaxis::maxAxes] = {0, 1, 2};
    if (serials.size() != n)
        return;
    bool used[Multiaxis::maxAxes] = {false, false, false};
    for (int k = 0; k < n; ++k) {
        bool ok = false;
        const unsigned int serial = serials[k].trimmed().toUInt(&ok);
        int found = -1;
        for (int j = 0; ok && j < n; ++j) {
            if (!used[j] && window.settingsDlgs[j]->controllerSettings->serialNumber == serial)
                found = j;
        }
        if (found < 0)
            return;
        used[found] = true;
        order[k] = found;
    }

    const QList<StepSpinBox*>& spinBox_moveTo = window.spinBox_moveTo;
    const QList<StepSpinBox*>& spinBox_shiftOn = window.spinBox_shiftOn;
    struct Kept
    {
        int moveStep, moveUStep, divisor, shiftStep, shiftUStep;
        double moveValue, shiftValue;
        // What the operator left in the boxes untaken goes with the axis too.
        std::optional<QString> moveTyped, shiftTyped;
        std::optional<StepSpinBox::UnitsOrigin> moveOrigin, shiftOrigin;
    } kept[Multiaxis::maxAxes];
    for (int s = 0; s < n; ++s) {
        const int a = window.axisOrder[s];
        kept[a] = {spinBox_moveTo[s]->getStep(),       spinBox_moveTo[s]->getUStep(),
                   spinBox_moveTo[s]->getStepFactor(), spinBox_shiftOn[s]->getStep(),
                   spinBox_shiftOn[s]->getUStep(),     spinBox_moveTo[s]->value(),
                   spinBox_shiftOn[s]->value(),        spinBox_moveTo[s]->untakenText(),
                   spinBox_shiftOn[s]->untakenText(),  spinBox_moveTo[s]->unitsOrigin(),
                   spinBox_shiftOn[s]->unitsOrigin()};
    }
    std::copy(order, order + Multiaxis::maxAxes, window.axisOrder);
    AxisSlotStatus& status = *window.slotStatus;
    for (int s = 0; s < n; ++s) {
        // The slot's widgets take the use and alarm state of the axis they show now.
        const int a = window.axisOrder[s];
        status.showAxisUse(s);
        if (status.alarmShown[a] || !window.groupBox[s]->styleSheet().isEmpty())
            status.showAlarm(s, status.alarmShown[a]);
        const Kept& k = kept[window.axisOrder[s]];
        // The divisor first, so that the recorded pair comes back exactly.
        const struct {
            StepSpinBox* box;
            int step, uStep;
            double value;
            const std::optional<QString>& typed;
            const std::optional<StepSpinBox::UnitsOrigin>& origin;
        } boxes[] = {
            {spinBox_moveTo[s], k.moveStep, k.moveUStep, k.moveValue, k.moveTyped, k.moveOrigin},
            {spinBox_shiftOn[s], k.shiftStep, k.shiftUStep, k.shiftValue, k.shiftTyped, k.shiftOrigin}};
        for (const auto& b : boxes) {
            if (b.box->unitMode == 2) {
                b.box->setValue(b.value);
                b.box->setUnitsOrigin(b.origin);
            } else {
                b.box->setStepFactor(k.divisor);
                b.box->setValue(b.step, b.uStep);
            }
            b.box->showUntakenText(b.typed);
        }
        window.showTargetUnit(s, a);
    }
    window.plot->rescale();
}
