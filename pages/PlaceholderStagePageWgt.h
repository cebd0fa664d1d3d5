#ifndef PLACEHOLDERSTAGEPAGEWGT_H
#define PLACEHOLDERSTAGEPAGEWGT_H

#include "pages/StagePageWgt.h"

// Stands in the page tree for a stage page not built yet: shows nothing, writes nothing.
class PlaceholderStagePageWgt : public StagePageWgt
{
    Q_OBJECT

public:
    PlaceholderStagePageWgt(QWidget* parent, StageSettings* settings) : StagePageWgt(parent, settings) {}
};

#endif // PLACEHOLDERSTAGEPAGEWGT_H
