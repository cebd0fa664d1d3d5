#ifndef COMPARESETTINGSDIALOG_H
#define COMPARESETTINGSDIALOG_H

#include <QDialog>
#include <QFont>
#include <QStringList>
#include <QVariant>

namespace Ui { class CompareSettingsDialogClass; }

// A stored value as the user reads it: a list (a value with commas) joined with ", ".
QString settingsValueText(const QVariant& value);
// "Arial" where installed, any sans-serif face elsewhere.
QFont sansSerifArial(int pointSize);

// Two INI files compared key by key: a table of the keys whose values differ, or a label when
// none do. Window positions are left out.
class CompareSettingsDialog : public QDialog
{
public:
    CompareSettingsDialog(QWidget* parent, const QStringList& files);
    ~CompareSettingsDialog() override;

    // The differing keys with both texts ("<NO KEY>" where absent), in code-unit order.
    struct Row
    {
        QString key, first, second;
    };
    static QList<Row> differences(const QString& firstPath, const QString& secondPath);

private:
    Ui::CompareSettingsDialogClass* ui;
};

#endif // COMPARESETTINGSDIALOG_H
