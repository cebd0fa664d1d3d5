#include "settingsdlg/FakeSliderSetupPageWgt.h"

#include <QPushButton>
#include <QVBoxLayout>

FakeSliderSetupPageWgt::FakeSliderSetupPageWgt(QWidget* parent) : ProgramPageWgt(parent)
{
    UpdateBtn = new QPushButton(tr("Update borders"), this);
    UpdateBtn->setObjectName(QStringLiteral("UpdateBtn"));
    UpdateBtn->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(UpdateBtn);
    layout->addStretch();
}
