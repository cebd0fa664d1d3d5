#ifndef PAGECONTROLPOSITIONWGT_H
#define PAGECONTROLPOSITIONWGT_H

#include "pages/ControllerPageWgt.h"

namespace Ui { class PageControlPositionWgtClass; }

// "Position control": on or off, its base sensor, the minimal error, the alarm and the
// revolution sensor's polarity.
class PageControlPositionWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageControlPositionWgt(QWidget* parent, MotorSettings* settings);
    ~PageControlPositionWgt() override;

private:
    Ui::PageControlPositionWgtClass* form;
};

#endif // PAGECONTROLPOSITIONWGT_H
