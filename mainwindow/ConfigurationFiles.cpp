#include "mainwindow/ConfigurationFiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

#include "chartdlg/ChartDlg.h"
#include "common/IniSaver.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "common/SettingsWriteReport.h"
#include "common/WindowPlacement.h"
#include "device/ControllerSettings.h"
#include "mainwindow/MainWindow.h"
#include "scriptdlg/ScriptDlg.h"
#include "settingsdlg/PageLogSettingsWgt.h"
#include "settingsdlg/ProgramPageWgt.h"
#include "settingsdlg/SettingsDlg.h"

ConfigurationFiles::ConfigurationFiles(MainWindow& windowIn) : window(windowIn)
{
}

QString ConfigurationFiles::defaultConfigPath()
{
    return sharePath() + QStringLiteral("tolmodefault.cfg");
}

QString ConfigurationFiles::appDirDefaultConfigPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tolmodefault.cfg");
}

namespace {

const QString programSource = QStringLiteral("Tolmo");

// The program pages of the configuration file, in the order of its groups.
QList<ProgramPageWgt*> configPages(SettingsDlg* dialog)
{
    QList<ProgramPageWgt*> list;
    QList<SettingsPage> order = {SettingsPage::Cyclic, SettingsPage::ProgramConfiguration, SettingsPage::GraphSetup};
    for (int index = static_cast<int>(SettingsPage::PositionCurve); index <= static_cast<int>(SettingsPage::PotCurve);
         ++index)
        order.append(static_cast<SettingsPage>(index));
    for (SettingsPage position : order) {
        if (auto* page = qobject_cast<ProgramPageWgt*>(dialog->page(position)))
            list.append(page);
    }
    return list;
}

} // namespace

void ConfigurationFiles::saveAllSettings(const QString& path)
{
    SettingsDlg* settingsDlg = window.settingsDialog();
    if (!settingsDlg || path.isEmpty())
        return;
    IniSaver saver(path);
    QSettings* file = &saver.settings();
    // The pages write their widgets: they show the applied records first, so that an edit left
    // unapplied in the dialog is not stored.
    for (ProgramPageWgt* page : configPages(settingsDlg)) {
        page->FromClassToUi();
        page->SaveToFile(file);
    }
    placeToSettings(file);
    window.chartDialog()->FromUiToSettings(file);
    window.scriptDialog()->FromUiToSettings(file);
    settingsDlg->FromUiToSettings(file);
    commitOrReport(saver);
}

bool ConfigurationFiles::commitOrReport(IniSaver& file)
{
    QString reason;
    if (file.commit(&reason))
        return true;
    SettingsWriteReport::fileFailed(&window, file.path(), reason,
                                    [this](const QString& line) { window.Log(line, programSource, 1); });
    return false;
}

void ConfigurationFiles::loadAllSettings(const QString& path)
{
    SettingsDlg* settingsDlg = window.settingsDialog();
    if (!settingsDlg || !QFileInfo::exists(path))
        return;
    IniSettings file(path);
    IniSettings defaults(defaultConfigPath());
    for (ProgramPageWgt* page : configPages(settingsDlg))
        page->RestoreFromFile(&file, &defaults);
    placeFromSettings(&file, &defaults);
    window.chartDialog()->FromSettingsToUi(&file, &defaults);
    window.scriptDialog()->FromSettingsToUi(&file, &defaults);
    settingsDlg->FromSettingsToUi(&file, &defaults);
}

void ConfigurationFiles::placeToSettings(QSettings* settings)
{
    settings->beginGroup(QStringLiteral("mainWindow_params"));
    if (!window.isMaximized()) {
        settings->setValue(QStringLiteral("position"), window.pos());
        settings->setValue(QStringLiteral("size"), sizeToStore(window));
    }
    settings->setValue(QStringLiteral("fullScreen"), window.isMaximized());
    settings->endGroup();
}

bool ConfigurationFiles::storedGeometry(QSettings* file, QSettings* defaults, const QVector<QRect>& screens,
                                        QRect* geometry, bool* maximised)
{
    const QString group = QStringLiteral("mainWindow_params/");
    QSettings* source = nullptr;
    if (file->contains(group + QStringLiteral("fullScreen")))
        source = file;
    else if (defaults)
        source = defaults;
    if (!source)
        return false;
    *maximised = source->value(group + QStringLiteral("fullScreen"), false).toBool();
    // A value of another type (a broken file) counts as missing.
    const QVariant storedPosition = source->value(group + QStringLiteral("position"));
    const QVariant storedSize = source->value(group + QStringLiteral("size"));
    const QPoint position = storedPosition.userType() == QMetaType::QPoint ? storedPosition.toPoint() : QPoint(100, 200);
    QSize size = storedSize.userType() == QMetaType::QSize ? storedSize.toSize() : QSize(633, 355);
    if (size.isEmpty())
        size = QSize(633, 355);
    // Cut to end on the screen; a position on no screen (a changed desktop, a broken value)
    // goes back to the default one.
    *geometry = placeWindow(position, size, QSize(1, 1), screens, QPoint(100, 200));
    return true;
}

void ConfigurationFiles::placeFromSettings(QSettings* file, QSettings* defaults)
{
    QRect geometry;
    bool maximised = false;
    if (!storedGeometry(file, defaults, screenGeometries(), &geometry, &maximised))
        return;
    if (maximised) {
        window.showMaximized();
        return;
    }
    // The stored place, kept on a screen, not below the window's minimum size.
    const QRect placed = placeWindow(geometry.topLeft(), geometry.size(), window.minimumSize(), screenGeometries(),
                                     QPoint(100, 200));
    applyPlace(window, placed, geometry.size());
}

void ConfigurationFiles::saveSettingsIni(const QString& path)
{
    SettingsDlg* settingsDlg = window.settingsDialog();
    if (!settingsDlg)
        return;
    IniSaver saver(path);
    ProgramSettingsFile::writeControllerSet(saver.settings(), {settingsDlg->controllerSettings->serialNumber});
    if (auto* page = qobject_cast<ProgramPageWgt*>(settingsDlg->page(SettingsPage::LogSettings))) {
        page->FromClassToUi();
        page->SaveToFile(&saver.settings());
    }
    commitOrReport(saver);
}

void ConfigurationFiles::loadLogSettings(const QString& path, bool apply)
{
    SettingsDlg* settingsDlg = window.settingsDialog();
    if (!apply || !settingsDlg || !QFileInfo::exists(path))
        return;
    auto* page = qobject_cast<PageLogSettingsWgt*>(settingsDlg->page(SettingsPage::LogSettings));
    if (!page)
        return;
    IniSettings ini(path);
    page->RestoreFromFile(&ini);
    page->FromUiToClass();
}

