#ifndef PAGESTAGEWGT_H
#define PAGESTAGEWGT_H

#include "pages/StagePageWgt.h"

namespace Ui { class PageStageWgtClass; }

// "Stage": the positioner's identity and mechanical data, read-only.
class PageStageWgt : public StagePageWgt
{
    Q_OBJECT

public:
    PageStageWgt(QWidget* parent, StageSettings* settings);
    ~PageStageWgt() override;

public slots:
    // The positioner's own length unit behind pitch, speed and travel range.
    void testValues();

private:
    Ui::PageStageWgtClass* form;
};

#endif // PAGESTAGEWGT_H
