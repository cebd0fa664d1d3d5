#include "pages/FakeBordersPageWgt.h"

#include "settings_model/MotorSettings.h"

FakeBordersPageWgt::FakeBordersPageWgt(QWidget* parent, MotorSettings* settings)
    : PlaceholderControllerPageWgt(parent, settings), left(0), right(0)
{
}

void FakeBordersPageWgt::FromClassToUi()
{
    left = settings->edges.LeftBorder;
    right = settings->edges.RightBorder;
    emit SgnChangeValues();
}
