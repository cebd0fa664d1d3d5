#include "settingsdlg/PageCyclicWgt.h"

#include "settings_model/CyclicSettings.h"
#include "settings_model/UnitTexts.h"
#include "ui_pagecyclicwgt.h"

#include "settingsdlg/PageReports.h"

#include <QSettings>
#include <QStringList>

namespace {

const QString groupName = QStringLiteral("Cyclic");
const QString borderToBorder = QStringLiteral("border_to_border");
const QString pointToPoint = QStringLiteral("ptp_fine");

// A whole number the point fields can hold; anything else is refused, never turned into 0
// or a wrapped value.
bool readPoint(const QSettings* store, const QString& key, int minimum, int maximum, int* point)
{
    const QVariant value = store->value(key);
    if (value.userType() == QMetaType::QStringList) {
        return false;
    }
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok, 10);
    if (!ok || number < minimum || number > maximum) {
        return false;
    }
    *point = int(number);
    return true;
}

} // namespace

PageCyclicWgt::PageCyclicWgt(QWidget* parent, CyclicSettings* settings)
    : ProgramPageWgt(parent), form(new Ui::PageCyclicWgtClass), settings(settings)
{
    form->setupUi(this);
}

PageCyclicWgt::~PageCyclicWgt()
{
    delete form;
}

void PageCyclicWgt::FromClassToUi()
{
    if (settings->type == 0) {
        form->btbBtn->setChecked(true);
    } else if (settings->type == 1) {
        form->ptpFineBtn->setChecked(true);
    }
    form->leftPointValue->setValue(settings->leftPoint);
    form->rightPointValue->setValue(settings->rightPoint);
}

int PageCyclicWgt::cyclicType() const
{
    if (form->btbBtn->isChecked()) {
        return 0;
    }
    if (form->ptpFineBtn->isChecked()) {
        return 1;
    }
    return -1;
}

void PageCyclicWgt::FromUiToClass()
{
    settings->type = cyclicType();
    settings->leftPoint = form->leftPointValue->value();
    settings->rightPoint = form->rightPointValue->value();
}

void PageCyclicWgt::setEngineType(unsigned int engineType)
{
    Q_UNUSED(engineType);
    form->leftPointValue->setSuffix(positionUnit);
    form->rightPointValue->setSuffix(positionUnit);
}

void PageCyclicWgt::SaveToFile(QSettings* settings)
{
    settings->beginGroup(groupName);
    settings->setValue(QStringLiteral("Left_point"), form->leftPointValue->value());
    settings->setValue(QStringLiteral("Right_point"), form->rightPointValue->value());
    QString type = QStringLiteral("undefined");
    if (form->btbBtn->isChecked()) {
        type = borderToBorder;
    } else if (form->ptpFineBtn->isChecked()) {
        type = pointToPoint;
    }
    settings->setValue(QStringLiteral("Cyclic_type"), type);
    settings->endGroup();
}

QString PageCyclicWgt::RestoreFromFile(QSettings* file, QSettings* defaults)
{
    if (defaults == file) {
        defaults = nullptr;
    }
    QString report;
    file->beginGroup(groupName);
    if (defaults) {
        defaults->beginGroup(groupName);
    }

    for (const auto& field : {std::make_pair(QStringLiteral("Left_point"), form->leftPointValue),
                              std::make_pair(QStringLiteral("Right_point"), form->rightPointValue)}) {
        const QString& key = field.first;
        QSpinBox* box = field.second;
        const QSettings* store = file->contains(key) ? file : defaults;
        if (!store) {
            report += pageKeyNotFound(key);
            continue;
        }
        if (!store->contains(key)) {
            box->setValue(0);    // in neither store: the default point
            continue;
        }
        int point = 0;
        if (readPoint(store, key, box->minimum(), box->maximum(), &point)) {
            box->setValue(point);
        } else {
            report += pageValueWrong(key);
        }
    }

    const QString typeKey = QStringLiteral("Cyclic_type");
    const QSettings* store = file->contains(typeKey) ? file : defaults;
    if (!store) {
        report += pageKeyNotFound(typeKey);
    } else {
        const QString type = store->value(typeKey, borderToBorder).toString();
        if (type == borderToBorder) {
            form->btbBtn->setChecked(true);
        } else if (type == pointToPoint) {
            form->ptpFineBtn->setChecked(true);
        } else {
            report += pageValueWrong(typeKey);
        }
    }

    file->endGroup();
    if (defaults) {
        defaults->endGroup();
    }
    return report;
}
