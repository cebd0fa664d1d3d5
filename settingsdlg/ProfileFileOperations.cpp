#include "settingsdlg/ProfileFileOperations.h"

#include "ui_settingsdlg.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QTemporaryFile>

#include "common/FileChooser.h"
#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "common/WindowPlacement.h"
#include "settings_model/MotorSettings.h"
#include "settingsdlg/CompareSettingsDialog.h"
#include "settingsdlg/RestoreErrorsDialog.h"
#include "settingsdlg/SettingsDlg.h"

namespace {

QString profileFilter()
{
    // "*.*" would hide names without a dot.
    return QCoreApplication::translate("SettingsDlg", "Config files (*.cfg);;All files (*)");
}

} // namespace

void ProfileFileOperations::showLabel(const QString& text, bool restored)
{
    QPalette palette = dialog.ui->configLbl->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText,
                     restored ? QColor(127, 127, 127) : QColor(0, 0, 0, 255));
    dialog.ui->configLbl->setPalette(palette);
    dialog.ui->configLbl->setText(text);
    if (restored)
        dialog.ui->configLbl->setToolTip(
            tr("Settings will be saved into the device when you click OK or Apply button"));
}

QString ProfileFileOperations::profileFolder(const QString& remembered, const QString& fallback) const
{
    return !remembered.isEmpty() && !dialog.ui->defaultLocationChk->isChecked() ? remembered : fallback;
}

void ProfileFileOperations::rememberFolder(QString* remembered, const QString& file) const
{
    if (!dialog.ui->defaultLocationChk->isChecked())
        *remembered = QFileInfo(file).absolutePath();
}

void ProfileFileOperations::saveToFile()
{
    bool anyValid = false;
    for (bool read : dialog.motorSettings->valid)
        anyValid = anyValid || read;
    if (!anyValid) {
        MessagePrompter::current()->prompt(&dialog, QMessageBox::Warning, tr("Error"),
                                           tr("The settings were not read from the controller, so there is nothing to save."),
                                           QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    // A manufacturer's profile is refused and the user asked again, until a name is taken or
    // the user cancels.
    for (;;) {
        QString name = FileChooser::current()->saveFileNameWithSuffix(
            &dialog, tr("Save config file"), profileFolder(dialog.saveConfigPath, profilesPath()), profileFilter(),
            QStringLiteral("cfg"));
        if (name.isEmpty())
            return;
        if (!name.endsWith(QLatin1String(".cfg"), Qt::CaseInsensitive))
            name += QStringLiteral(".cfg");

        QString reason;
        {
            IniSaver saver(name);
            QSettings& file = saver.settings();
            if (file.value(QStringLiteral("Protection/original"), false).toBool()) {
                MessagePrompter::current()->prompt(
                    nullptr, QMessageBox::Information, tr("Tolmo"),
                    tr("Can not change manufacturer installation-specific settings file.\n"
                       "Please choose different name for your installation-specific settings file."),
                    QMessageBox::Ok, QMessageBox::Ok);
                continue;
            }
            dialog.ProgramSettingsToFile(&file);
            // A write that failed here fails the commit too, which gives the reason.
            dialog.motorSettings->saveToFile(file);
            saver.commit(&reason);
        }
        if (!reason.isEmpty()) {
            MessagePrompter::current()->prompt(&dialog, QMessageBox::Critical, tr("Error"),
                                               tr("The settings could not be written to %1.\n%2").arg(name, reason),
                                               QMessageBox::Ok, QMessageBox::Ok);
            return;
        }
        showLabel(fileNameFromPath(name), false);
        rememberFolder(&dialog.saveConfigPath, name);
        return;
    }
}

void ProfileFileOperations::restoreFromFile()
{
    const QString name = FileChooser::current()->openFileName(
        &dialog, tr("Open config file"), profileFolder(dialog.loadConfigPath, profilesPath()), profileFilter());
    if (name.isEmpty())
        return;

    QString report;
    {
        IniSettings file(name);
        const MotorSettings kept(*dialog.motorSettings);
        if (!dialog.motorSettings->loadFromFile(file, report)) {
            // Not a profile: said as Compare says it, and nothing changes.
            showRestoreReport(tr("%1 is not a settings file.\n").arg(fileNameFromPath(name)) + report);
            return;
        }
        dialog.loadedConfigFile = name;
        showLabel(fileNameFromPath(name), true);
        dialog.dropUnappliedEdits();
        dialog.loadPages(false, false);
        // The restored values live in the pages until Ok or Apply; observers go back to what
        // the controller holds.
        *dialog.motorSettings = kept;
        emit dialog.SgnChangeSettings();
        report += dialog.ProgramSettingsFromFile(&file);
    }
    rememberFolder(&dialog.loadConfigPath, name);
    showRestoreReport(report);
}

void ProfileFileOperations::showRestoreReport(const QString& report)
{
    if (report.isEmpty())
        return;
    auto* shown = new RestoreErrorsDialog(&dialog, report.split(QLatin1Char('\n')));
    placeFirstShow(*shown, &dialog);
    shown->exec();
}

void ProfileFileOperations::compareFiles()
{
    const QStringList files = FileChooser::current()->openFileNames(
        &dialog, tr("Open two config files"), profileFolder(dialog.loadConfigPath, configDirPath()), profileFilter());
    if (files.isEmpty())
        return;
    if (files.size() != 2) {
        MessagePrompter::current()->prompt(&dialog, QMessageBox::Warning, tr("Error"),
                                           tr("Please select exactly two settings files to compare."),
                                           QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    // As Restore does: a file holding no controller settings is named, and no table is shown.
    for (const QString& name : files) {
        QString report;
        IniSettings file(name);
        MotorSettings probe(nullptr, nullptr);
        if (!probe.loadFromFile(file, report)) {
            MessagePrompter::current()->prompt(
                &dialog, QMessageBox::Warning, tr("Error"),
                tr("%1 is not a settings file.\n%2").arg(fileNameFromPath(name), report.trimmed()), QMessageBox::Ok,
                QMessageBox::Ok);
            return;
        }
    }
    auto* shown = new CompareSettingsDialog(&dialog, files);
    shown->exec();
}

void ProfileFileOperations::updateModifiedMark()
{
    bool modified = false;
    if (!dialog.multiaxis) {
        // Nothing restored yet: every program key counts as different, no file needs opening.
        modified = dialog.loadedConfigFile.isEmpty();
        if (!modified) {
            QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/tolmo-mark-XXXXXX.ini"));
            if (scratch.open()) {
                scratch.close();
                {
                    IniSettings written(scratch.fileName());
                    dialog.ProgramSettingsToFile(&written);
                    written.sync();
                    // Unable to compare: the file is taken as changed.
                    modified = written.status() == QSettings::AccessError;
                }
                // Reopened, so both sides are read back as text from a file.
                const IniSettings shown(scratch.fileName());
                const IniSettings loaded(dialog.loadedConfigFile);
                for (const QString& key : shown.allKeys()) {
                    if (!loaded.contains(key)
                        || settingsValueText(loaded.value(key)) != settingsValueText(shown.value(key))) {
                        modified = true;
                        break;
                    }
                }
            }
        }
    }
    QString text = dialog.ui->configLbl->text();
    if (!modified && text.startsWith(QLatin1Char('*')))
        text.remove(0, 1);
    else if (modified && !text.isEmpty() && !text.startsWith(QLatin1Char('*')))
        text.prepend(QLatin1Char('*'));
    dialog.ui->configLbl->setText(text);
}
