#include "settingsdlg/SettingsCommands.h"

#include "ui_settingsdlg.h"

#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "settingsdlg/ApplyReport.h"
#include "settingsdlg/SettingsDlg.h"

void SettingsCommands::restoreFromFlash()
{
    if (!dialog.takesSettings())
        return;
    const result_t result = dialog.gateway->command_read_settings(dialog.updateThread->deviceHandle->load());
    // The mark says the controller reloaded its flash: not when it refused to.
    QLabel* label = dialog.ui->configLbl;
    if (result == result_ok && !label->text().startsWith(QLatin1Char('*')))
        label->setText(QLatin1Char('*') + label->text());
    dialog.dropUnappliedEdits();
    dialog.loadPages(true, true);
    if (result != result_ok) {
        const SettingsDlg::OperationScope operation(&dialog);
        ApplyReport::tellRefusedCommand(&dialog, dialog.logPrefix(), tr("Not restored from flash"),
                                        tr("Restore from flash"), result,
                                        tr("The pages show the settings the controller holds now."));
    }
}

void SettingsCommands::saveToFlash()
{
    if (!dialog.takesSettings())
        return;
    // Flash holds what the pages show, or nothing: a refused edit stops the save.
    dialog.applyPages(tr("Nothing was saved to flash. The pages keep the values; Apply tries them again."));
    if (dialog.editsLeftUnapplied)
        return;
    dialog.loadPages(true, true);
    const result_t result = dialog.gateway->command_save_settings(dialog.updateThread->deviceHandle->load());
    if (result == result_ok) {
        MessageLog::insertProgramLine(dialog.logPrefix() + tr("Settings saved to flash."), 3);
        return;
    }
    const SettingsDlg::OperationScope operation(&dialog);
    ApplyReport::tellRefusedCommand(
        &dialog, dialog.logPrefix(), tr("Not saved to flash"), tr("Save to flash"), result,
        tr("The controller uses the settings the pages show; its flash keeps the ones it held."));
}

void SettingsCommands::saveToFile()
{
    if (!dialog.takesSettings())
        return;
    const SettingsDlg::OperationScope operation(&dialog);
    dialog.profileFiles.saveToFile();
}

void SettingsCommands::restoreFromFile()
{
    if (!dialog.takesSettings())
        return;
    const SettingsDlg::OperationScope operation(&dialog);
    dialog.profileFiles.restoreFromFile();
}

void SettingsCommands::compareFiles()
{
    const SettingsDlg::OperationScope operation(&dialog);
    dialog.profileFiles.compareFiles();
}
