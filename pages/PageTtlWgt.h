#ifndef PAGETTLWGT_H
#define PAGETTLWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PageTtlWgtClass; }

// "TTL sync": what the controller does on a pulse at its synchronisation input, and when its
// synchronisation output pulses.
class PageTtlWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageTtlWgt(QWidget* parent, MotorSettings* settings);
    ~PageTtlWgt() override;

    void setEngineType(unsigned int engineType) override;

public slots:
    void RewriteClutterValue(int value);
    void OnOneOfTwoChecked();

private slots:
    void OnEnabledChkToggled();

private:
    Ui::PageTtlWgtClass* form;
};

#endif // PAGETTLWGT_H
