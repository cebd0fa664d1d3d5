#ifndef PAGEPOSITIONERNAMEWGT_H
#define PAGEPOSITIONERNAMEWGT_H

#include "pages/StagePageWgt.h"

namespace Ui { class PagePositionerNameWgtClass; }

// "Positioner name": the one editable stage page. An untouched name goes back byte for byte.
class PagePositionerNameWgt : public StagePageWgt
{
    Q_OBJECT

public:
    PagePositionerNameWgt(QWidget* parent, StageSettings* settings);
    ~PagePositionerNameWgt() override;

    // A dialog that never writes stage records offers no edit.
    void setEditable(bool editable);
    QString shownName() const;

private:
    Ui::PagePositionerNameWgtClass* form;
};

#endif // PAGEPOSITIONERNAMEWGT_H
