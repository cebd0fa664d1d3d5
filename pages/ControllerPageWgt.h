#ifndef CONTROLLERPAGEWGT_H
#define CONTROLLERPAGEWGT_H

#include <QWidget>

#include "pages/FieldBinder.h"
#include "settings_model/UnitTexts.h"

class MotorSettings;

// A page of the controller's settings records. The page declares its fields once in its
// binder; loads and stores go through it, and pages with more to do override the transfers.
class ControllerPageWgt : public QWidget
{
    Q_OBJECT

public:
    ControllerPageWgt(QWidget* parent, MotorSettings* settings);

    // The page's container into the widgets.
    virtual void FromClassToUi();
    // The widgets into target's records; only the fields the page shows.
    virtual void FromUiToClass(MotorSettings* target);
    // Pages with positions or speeds switch their display; the others ignore it.
    virtual void setEngineType(unsigned int engineType);

    // The unit texts the dialog hands its pages; without them the program-wide ones.
    void setUnitTexts(const UnitTextSet* texts);
    UnitTextSet unitTexts() const;

    const FieldBinder& fieldBinder() const { return binder; }

protected:
    // The binder's step pairs follow the engine type, with the container's microstep divisor.
    void applyEngineType(unsigned int engineType);
    // The form's texts again after a language change (the form's retranslateUi).
    virtual void retranslate() {}
    void changeEvent(QEvent* event) override;

    MotorSettings* settings;
    FieldBinder binder;

private:
    const UnitTextSet* dialogUnits;
};

#endif // CONTROLLERPAGEWGT_H
