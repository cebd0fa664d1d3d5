#ifndef SETTINGSCOMMANDS_H
#define SETTINGSCOMMANDS_H

#include <QCoreApplication>

#include "trov.h"

class SettingsDlg;

// The settings dialog's flash and file buttons. Each command that needs the controller does
// nothing while it takes no settings, and every one holds the dialog's reloads off while its
// boxes wait for the operator.
class SettingsCommands
{
    // The dialog's texts, translated as the dialog's.
    Q_DECLARE_TR_FUNCTIONS(SettingsDlg)

public:
    explicit SettingsCommands(SettingsDlg& dialog) : dialog(dialog) {}

    void restoreFromFlash();
    void saveToFlash();
    void saveToFile();
    void restoreFromFile();
    void compareFiles();

private:
    void tellSaved(result_t result);

    SettingsDlg& dialog;
};

#endif // SETTINGSCOMMANDS_H
