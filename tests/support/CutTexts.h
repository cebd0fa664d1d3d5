#ifndef CUTTEXTS_H
#define CUTTEXTS_H

// Texts that do not fit their widgets: the labels, check boxes and radio buttons of every page
// of a shown settings dialog, and the names of its page tree.

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QStringList>
#include <QTreeWidget>

#include "settingsdlg/SettingsDlg.h"

// A visible widget narrower than its text goes into cut.
inline void noteIfCut(QWidget* widget, const QString& text, QStringList* cut)
{
    if (widget->isVisible() && !text.isEmpty() && widget->sizeHint().width() > widget->width())
        cut->append(QStringLiteral("%1 \"%2\" (%3 of %4)")
                        .arg(widget->objectName(), text)
                        .arg(widget->width())
                        .arg(widget->sizeHint().width()));
}

// Walks the usable pages of the shown dialog at its size: each page is rendered whole into the
// home folder as <kind>_page_<position>.png, and its cut texts are named.
inline QStringList cutTextsOfEveryPage(SettingsDlg& dialog, const QString& kind)
{
    const auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    QStringList cut;
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
        page->grab().save(QDir::home().filePath(QStringLiteral("%1_page_%2.png").arg(kind).arg(position)));
        QStringList onPage;
        for (QLabel* label : page->findChildren<QLabel*>()) {
            if (!label->wordWrap() && !label->hasScaledContents())
                noteIfCut(label, label->text(), &onPage);
        }
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
            if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button))
                noteIfCut(button, button->text(), &onPage);
        }
        for (const QString& text : onPage)
            cut << item->text(0) + QStringLiteral(": ") + text;
    }
    return cut;
}

#endif // CUTTEXTS_H
