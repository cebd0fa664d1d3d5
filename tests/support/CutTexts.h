#ifndef CUTTEXTS_H
#define CUTTEXTS_H

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStringList>
#include <QTreeWidget>

#include "settingsdlg/SettingsDlg.h"

// The texts of the shown dialog, at its size, that do not fit their widgets: the names of its
// page tree, and the labels, check boxes and radio buttons of each usable page.
inline QStringList cutTextsOfEveryPage(SettingsDlg& dialog)
{
    const auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    QStringList cut;
    const auto note = [&](const QString& where, QWidget* widget, const QString& text) {
        if (widget->isVisible() && !text.isEmpty() && widget->sizeHint().width() > widget->width())
            cut << QStringLiteral("%1: %2 \"%3\" (%4 of %5)")
                       .arg(where, widget->objectName(), text)
                       .arg(widget->width())
                       .arg(widget->sizeHint().width());
    };
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("treeWgt"));
    tree->expandAll();
    settle();
    const int names = static_cast<QAbstractItemView*>(tree)->sizeHintForColumn(0);
    if (names > tree->viewport()->width())
        cut << QStringLiteral("the page tree (%1 of %2)").arg(tree->viewport()->width()).arg(names);
    for (int position = 0; position < dialog.treeItems.size(); ++position) {
        QTreeWidgetItem* item = dialog.treeItems.at(position);
        if (!(item->flags() & Qt::ItemIsEnabled))
            continue;
        tree->setCurrentItem(item);
        settle();
        QWidget* page = dialog.pages.at(position);
        for (QLabel* label : page->findChildren<QLabel*>()) {
            if (!label->wordWrap() && !label->hasScaledContents())
                note(item->text(0), label, label->text());
        }
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
            if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button))
                note(item->text(0), button, button->text());
        }
    }
    return cut;
}

#endif // CUTTEXTS_H
