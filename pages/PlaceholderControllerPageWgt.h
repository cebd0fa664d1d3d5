#ifndef PLACEHOLDERCONTROLLERPAGEWGT_H
#define PLACEHOLDERCONTROLLERPAGEWGT_H

#include "pages/ControllerPageWgt.h"

// Stands in the page tree for a controller page not built yet: shows nothing, writes nothing.
class PlaceholderControllerPageWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PlaceholderControllerPageWgt(QWidget* parent, MotorSettings* settings) : ControllerPageWgt(parent, settings) {}
};

#endif // PLACEHOLDERCONTROLLERPAGEWGT_H
