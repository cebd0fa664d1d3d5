#ifndef PAGESTAGEENCODERWGT_H
#define PAGESTAGEENCODERWGT_H

#include "pages/StagePageWgt.h"

namespace Ui { class PageStageEncoderWgtClass; }

// "Encoder": the data of the positioner's encoder, read-only.
class PageStageEncoderWgt : public StagePageWgt
{
    Q_OBJECT

public:
    PageStageEncoderWgt(QWidget* parent, StageSettings* settings);
    ~PageStageEncoderWgt() override;

private:
    Ui::PageStageEncoderWgtClass* form;
};

#endif // PAGESTAGEENCODERWGT_H
