#include "pages/FakeBordersPageWgt.h"

#include "settings_model/MotorSettings.h"

FakeBordersPageWgt::FakeBordersPageWgt(QWidget* parent, MotorSettings* settings)
    : PlaceholderControllerPageWgt(parent, settings), left(0), right(0), edited(false)
{
}

void FakeBordersPageWgt::FromClassToUi()
{
    left = settings->edges.LeftBorder;
    right = settings->edges.RightBorder;
    edited = false;
    emit SgnChangeValues();
}

void FakeBordersPageWgt::FromUiToClass(MotorSettings* target)
{
    if (edited) {
        target->edges.LeftBorder = left;
        target->edges.RightBorder = right;
    }
}

void FakeBordersPageWgt::setBorderSteps(int leftSteps, int rightSteps)
{
    left = leftSteps;
    right = rightSteps;
    edited = true;
    emit SgnChangeValues();
}
