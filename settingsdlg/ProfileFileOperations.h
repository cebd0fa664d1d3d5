#ifndef PROFILEFILEOPERATIONS_H
#define PROFILEFILEOPERATIONS_H

#include <QCoreApplication>
#include <QString>

class SettingsDlg;

// The settings dialog's profile files: the pages saved to a file, restored from one, two files
// compared, and the label that names the file shown and marks it '*' while the pages differ.
// The dialog checks that the controller can be used and holds its reloads off around each call.
class ProfileFileOperations
{
    // The dialog's texts, translated as the dialog's.
    Q_DECLARE_TR_FUNCTIONS(SettingsDlg)

public:
    explicit ProfileFileOperations(SettingsDlg& dialog) : dialog(dialog) {}

    void saveToFile();
    void restoreFromFile();
    void compareFiles();
    void updateModifiedMark();

private:
    void showLabel(const QString& text, bool restored);
    QString profileFolder(const QString& remembered, const QString& fallback) const;
    void rememberFolder(QString* remembered, const QString& file) const;
    void showRestoreReport(const QString& report);

    SettingsDlg& dialog;
};

#endif // PROFILEFILEOPERATIONS_H
