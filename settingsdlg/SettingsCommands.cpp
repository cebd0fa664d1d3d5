#include "settingsdlg/SettingsCommands.h"

#include "ui_settingsdlg.h"

#include "device/DeviceInterface.h"
#include "device/UpdateThread.h"
#include "log/MessageLog.h"
#include "settings_model/SettingsJob.h"
#include "settingsdlg/ApplyReport.h"
#include "settingsdlg/SettingsDlg.h"
#include "settingsdlg/SettingsTransfers.h"

void SettingsCommands::restoreFromFlash()
{
    if (!dialog.takesSettings())
        return;
    auto job = dialog.transfers.newJob();
    job->command(SettingsJob::Command::RestoreFromFlash);
    job->readAll();
    dialog.dropUnappliedEdits();
    dialog.transfers.readWith(
        job, tr("Restore from flash"), tr("Restoring the settings of %1 from flash").arg(dialog.axisText()),
        [this](SettingsJob& done, SettingsTransfers::ReadEnd) {
            const result_t result = done.commandResult;
            // The mark says the controller reloaded its flash: not when it refused to.
            QLabel* label = dialog.ui->configLbl;
            if (result == result_ok && !label->text().startsWith(QLatin1Char('*')))
                label->setText(QLatin1Char('*') + label->text());
            if (result == result_ok || !done.commandWent)
                return;
            const SettingsDlg::OperationScope operation(&dialog);
            ApplyReport::tellRefusedCommand(&dialog, dialog.logPrefix(), tr("Not restored from flash"),
                                            tr("Restore from flash"), result,
                                            tr("The pages show the settings the controller holds now."));
        });
}

void SettingsCommands::saveToFlash()
{
    if (!dialog.takesSettings())
        return;
    // Flash holds what the pages show, or nothing: a refused edit stops the save.
    dialog.transfers.apply(
        tr("Nothing was saved to flash. The pages keep the values; Apply tries them again."), tr("Save to flash"),
        tr("Applying the settings of %1 before saving them to flash"), [this](bool allApplied) {
            if (!allApplied)
                return;
            auto job = dialog.transfers.newJob();
            job->readAll();
            job->command(SettingsJob::Command::SaveToFlash);
            dialog.transfers.readWith(job, tr("Save to flash"),
                                      tr("Saving the settings of %1 to flash").arg(dialog.axisText()),
                                      [this](SettingsJob& done, SettingsTransfers::ReadEnd end) {
                                          if (end != SettingsTransfers::ReadEnd::Cut)
                                              tellSaved(done.commandResult);
                                      });
        });
}

void SettingsCommands::tellSaved(result_t result)
{
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
