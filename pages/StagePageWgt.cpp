#include "pages/StagePageWgt.h"

#include "settings_model/StageSettings.h"

StagePageWgt::StagePageWgt(QWidget* parent, StageSettings* settings)
    : QWidget(parent), settings(settings), binder(settings)
{
}

void StagePageWgt::FromClassToUi()
{
    binder.toUi();
}

void StagePageWgt::FromUiToClass(StageSettings* target)
{
    binder.fromUi(target);
}

void StagePageWgt::SetDisabled(bool set)
{
    for (QWidget* widget : binder.widgets()) {
        widget->setDisabled(set);
    }
}
