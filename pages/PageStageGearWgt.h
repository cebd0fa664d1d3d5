#ifndef PAGESTAGEGEARWGT_H
#define PAGESTAGEGEARWGT_H

#include "pages/StagePageWgt.h"

namespace Ui { class PageStageGearWgtClass; }

// "Gear": the data of the positioner's gear, read-only.
class PageStageGearWgt : public StagePageWgt
{
    Q_OBJECT

public:
    PageStageGearWgt(QWidget* parent, StageSettings* settings);
    ~PageStageGearWgt() override;

private:
    Ui::PageStageGearWgtClass* form;
};

#endif // PAGESTAGEGEARWGT_H
