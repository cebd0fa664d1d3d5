#include "settingsdlg/FakeSliderSetupPageWgt.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "settingsdlg/SliderSettings.h"

FakeSliderSetupPageWgt::FakeSliderSetupPageWgt(QWidget* parent, SliderSettings* settings)
    : ProgramPageWgt(parent), settings(settings)
{
    UpdateBtn = new QPushButton(tr("Update borders"), this);
    UpdateBtn->setObjectName(QStringLiteral("UpdateBtn"));
    UpdateBtn->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(UpdateBtn);
    layout->addStretch();
}

void FakeSliderSetupPageWgt::FromClassToUi()
{
    if (settings)
        setPoints(settings->leftPoint, settings->rightPoint);
}

void FakeSliderSetupPageWgt::FromUiToClass()
{
    if (settings) {
        settings->leftPoint = left;
        settings->rightPoint = right;
    }
}

void FakeSliderSetupPageWgt::setPoints(int leftPoint, int rightPoint)
{
    const bool changed = left != leftPoint || right != rightPoint;
    left = leftPoint;
    right = rightPoint;
    if (changed)
        emit SgnChangeValues();
}
