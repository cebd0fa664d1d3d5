#include "settingsdlg/CompareSettingsDialog.h"

#include "ui_comparesettingsdialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include <algorithm>

#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/WindowPlacement.h"

QString settingsValueText(const QVariant& value)
{
    if (value.type() == QVariant::StringList || value.type() == QVariant::List)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

QFont sansSerifArial(int pointSize)
{
    QFont font(QStringLiteral("Arial"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    font.setKerning(false);
    return font;
}

QList<CompareSettingsDialog::Row> CompareSettingsDialog::differences(const QString& firstPath,
                                                                     const QString& secondPath)
{
    IniSettings first(firstPath);
    IniSettings second(secondPath);
    QStringList keys = first.allKeys() + second.allKeys();
    // QString's operator< compares code units, so "Zeta" sorts before "alpha".
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

    const QString absent = QStringLiteral("<NO KEY>");
    QList<Row> rows;
    for (const QString& key : keys) {
        if (key.contains(QLatin1String("Window_params")) || key.contains(QLatin1Char('@')))
            continue;
        const bool inFirst = first.contains(key);
        const bool inSecond = second.contains(key);
        const QString a = inFirst ? settingsValueText(first.value(key)) : absent;
        const QString b = inSecond ? settingsValueText(second.value(key)) : absent;
        if (inFirst && inSecond && a == b)
            continue;
        rows.append(Row{key, a, b});
    }
    return rows;
}

CompareSettingsDialog::CompareSettingsDialog(QWidget* parent, const QStringList& files)
    : QDialog(parent), ui(new Ui::CompareSettingsDialogClass)
{
    ui->setupUi(this);
    keepOnScreen(this);
    setAttribute(Qt::WA_DeleteOnClose);
    const QString firstPath = files.value(0);
    const QString secondPath = files.value(1);
    const QList<Row> rows = differences(firstPath, secondPath);

    if (rows.isEmpty()) {
        auto* label = new QLabel(tr("Settings in these two files appear to be identical."), this);
        label->setObjectName(QStringLiteral("identicalLbl"));
        label->setTextFormat(Qt::PlainText);
        ui->verticalLayout->addWidget(label);
    } else {
        auto* table = new QTableWidget(rows.size(), 3, this);
        table->setObjectName(QStringLiteral("compareTable"));
        table->setHorizontalHeaderLabels(
            {tr("Key name"), fileNameFromPath(firstPath), fileNameFromPath(secondPath)});
        for (int row = 0; row < rows.size(); ++row) {
            const QString texts[] = {rows.at(row).key, rows.at(row).first, rows.at(row).second};
            for (int column = 0; column < 3; ++column) {
                auto* cell = new QTableWidgetItem(texts[column]);
                cell->setFlags(Qt::ItemIsEnabled);
                table->setItem(row, column, cell);
            }
        }
        table->resizeColumnsToContents();
        // The width the dialog gives beyond the texts goes to the second file's values.
        table->horizontalHeader()->setStretchLastSection(true);
        table->setSelectionMode(QAbstractItemView::NoSelection);
        ui->verticalLayout->addWidget(table);
        setMinimumWidth(table->horizontalHeader()->length() + 100);
    }
    // Sized, not shown: shown before the caller's exec() it would not be modal, and the
    // settings dialog beneath would take the keys (Escape would close it).
    adjustSize();
    setMinimumWidth(0);
    setWindowTitle(tr("Compare settings"));
}

CompareSettingsDialog::~CompareSettingsDialog()
{
    delete ui;
}
