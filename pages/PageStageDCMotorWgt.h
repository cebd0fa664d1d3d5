#ifndef PAGESTAGEDCMOTORWGT_H
#define PAGESTAGEDCMOTORWGT_H

#include "pages/StagePageWgt.h"

namespace Ui { class PageStageDCMotorWgtClass; }

// "DC Motor": the data of the positioner's DC motor, read-only.
class PageStageDCMotorWgt : public StagePageWgt
{
    Q_OBJECT

public:
    PageStageDCMotorWgt(QWidget* parent, StageSettings* settings);
    ~PageStageDCMotorWgt() override;

private:
    Ui::PageStageDCMotorWgtClass* form;
};

#endif // PAGESTAGEDCMOTORWGT_H
