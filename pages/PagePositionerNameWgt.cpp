#include "pages/PagePositionerNameWgt.h"

#include "settings_model/StageSettings.h"
#include "ui_pagepositionernamewgt.h"

PagePositionerNameWgt::PagePositionerNameWgt(QWidget* parent, StageSettings* settings)
    : StagePageWgt(parent, settings), form(new Ui::PagePositionerNameWgtClass)
{
    form->setupUi(this);
    binder.text(form->positionerName, settings->stageName.PositionerName);
}

PagePositionerNameWgt::~PagePositionerNameWgt()
{
    delete form;
}

void PagePositionerNameWgt::setEditable(bool editable)
{
    form->positionerName->setReadOnly(!editable);
}

QString PagePositionerNameWgt::shownName() const
{
    return form->positionerName->text();
}
