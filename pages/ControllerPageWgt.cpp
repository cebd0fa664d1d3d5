#include "pages/ControllerPageWgt.h"

#include "settings_model/MotorSettings.h"

#include <QEvent>

ControllerPageWgt::ControllerPageWgt(QWidget* parent, MotorSettings* settings)
    : QWidget(parent), settings(settings), binder(settings), dialogUnits(nullptr)
{
}

void ControllerPageWgt::FromClassToUi()
{
    binder.toUi();
}

void ControllerPageWgt::FromUiToClass(MotorSettings* target)
{
    binder.fromUi(target);
}

void ControllerPageWgt::setEngineType(unsigned int engineType)
{
    Q_UNUSED(engineType);
}

void ControllerPageWgt::setUnitTexts(const UnitTextSet* texts)
{
    dialogUnits = texts;
}

UnitTextSet ControllerPageWgt::unitTexts() const
{
    return dialogUnits ? *dialogUnits : currentUnitTexts();
}

void ControllerPageWgt::applyEngineType(unsigned int engineType)
{
    binder.setEngineType(engineType, settings->microstepDivisor(), unitTexts());
}

void ControllerPageWgt::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        // retranslateUi puts back the form's suffixes; the run-time ones win.
        binder.reapplySuffixes();
    }
    QWidget::changeEvent(event);
}
