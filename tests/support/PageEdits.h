#ifndef PAGEEDITS_H
#define PAGEEDITS_H

// Edits of a settings dialog's controller pages as an operator makes them, and what the dialog
// then shows of them.

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include "pages/ControllerPageWgt.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/SettingsDlg.h"

// One operator's change to the widget: a step, a toggle, the next entry, a letter more.
inline void nudge(QWidget* widget)
{
    if (auto* box = qobject_cast<QAbstractSpinBox*>(widget)) {
        const QString before = box->text();
        box->stepBy(1);
        if (box->text() == before)
            box->stepBy(-1);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->count() > 1)
            combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
    } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        if (!radio->isChecked())
            radio->click();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->click();
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        if (group->isCheckable())
            group->setChecked(!group->isChecked());
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (!edit->isReadOnly())
            edit->setText(edit->text() + QStringLiteral("x"));
    }
}

// Changes fields of the page until a record it shows differs from the dialog's container: that
// record's index, or -1.
inline int editPage(SettingsDlg& dialog, SettingsPage position)
{
    auto* page = qobject_cast<ControllerPageWgt*>(dialog.page(position));
    if (!page)
        return -1;
    for (QWidget* widget : page->fieldBinder().widgets()) {
        if (!widget->isEnabled())
            continue;
        nudge(widget);
        MotorSettings shown(*dialog.motorSettings);
        page->FromUiToClass(&shown);
        for (int index = 0; index < MotorSettings::RecordCount; ++index) {
            if (!shown.sameRecord(*dialog.motorSettings, index))
                return index;
        }
    }
    return -1;
}

// The page still shows a value of record index that the container does not hold.
inline bool holdsEdit(SettingsDlg& dialog, SettingsPage position, int index)
{
    MotorSettings shown(*dialog.motorSettings);
    qobject_cast<ControllerPageWgt*>(dialog.page(position))->FromUiToClass(&shown);
    return !shown.sameRecord(*dialog.motorSettings, index);
}

inline bool marked(SettingsDlg& dialog, SettingsPage position)
{
    const QTreeWidgetItem* item = dialog.treeItem(position);
    return item->foreground(0).color() == QColor(QStringLiteral("#FF0000")) && !item->toolTip(0).isEmpty();
}

#endif // PAGEEDITS_H
