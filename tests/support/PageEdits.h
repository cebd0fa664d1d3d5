#ifndef PAGEEDITS_H
#define PAGEEDITS_H

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTreeWidget>

#include "pages/ControllerPageWgt.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/SettingsDlg.h"

// One change to the widget: a step, a click, the next entry, a letter more.
inline void nudge(QWidget* widget)
{
    if (auto* box = qobject_cast<QAbstractSpinBox*>(widget)) {
        const QString before = box->text();
        box->stepBy(1);
        if (box->text() == before)
            box->stepBy(-1);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->click();
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setChecked(!group->isChecked());
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (!edit->isReadOnly())
            edit->setText(edit->text() + QStringLiteral("x"));
    }
}

// The index of a record the page shows but the dialog's container does not hold, or -1.
inline int editedRecord(SettingsDlg& dialog, SettingsPage position)
{
    MotorSettings shown(*dialog.motorSettings);
    qobject_cast<ControllerPageWgt*>(dialog.page(position))->FromUiToClass(&shown);
    for (int index = 0; index < MotorSettings::RecordCount; ++index) {
        if (!shown.sameRecord(*dialog.motorSettings, index))
            return index;
    }
    return -1;
}

// Changes the page's fields one by one until one of its records differs: that record's index.
inline int editPage(SettingsDlg& dialog, SettingsPage position)
{
    auto* page = qobject_cast<ControllerPageWgt*>(dialog.page(position));
    for (QWidget* widget : page->fieldBinder().widgets()) {
        if (widget->isEnabled())
            nudge(widget);
        if (editedRecord(dialog, position) >= 0)
            return editedRecord(dialog, position);
    }
    return -1;
}

// Red in the page tree, with a tip that says why.
inline bool marked(SettingsDlg& dialog, SettingsPage position)
{
    const QTreeWidgetItem* item = dialog.treeItem(position);
    return item->foreground(0).color() == QColor(QStringLiteral("#FF0000")) && !item->toolTip(0).isEmpty();
}

#endif // PAGEEDITS_H
