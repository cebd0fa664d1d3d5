#ifndef STAGEPAGEWGT_H
#define STAGEPAGEWGT_H

#include <QWidget>

#include "pages/FieldBinder.h"

class StageSettings;

// A page of the positioner's records, declared once in its binder like the controller pages.
class StagePageWgt : public QWidget
{
    Q_OBJECT

public:
    StagePageWgt(QWidget* parent, StageSettings* settings);

    virtual void FromClassToUi();
    virtual void FromUiToClass(StageSettings* target);

    const FieldBinder& fieldBinder() const { return binder; }

public slots:
    // Disables (true) or enables the page's input widgets.
    virtual void SetDisabled(bool set);

protected:
    StageSettings* settings;
    FieldBinder binder;
};

#endif // STAGEPAGEWGT_H
