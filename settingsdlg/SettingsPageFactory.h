#ifndef SETTINGSPAGEFACTORY_H
#define SETTINGSPAGEFACTORY_H

#include <QString>

#include "settingsdlg/SettingsPageIndex.h"

class ControllerSettings;
class CyclicSettings;
class FirmwareUpdateThread;
class LogSettings;
class MotorSettings;
class QWidget;
class SliderSettings;
class StageSettings;
class UpdateThread;
struct GraphSettings;

// What the settings dialog hands its pages; a page takes the members its row names.
struct SettingsPageContext
{
    MotorSettings* motorSettings = nullptr;
    StageSettings* stageSettings = nullptr;
    ControllerSettings* controllerSettings = nullptr;
    FirmwareUpdateThread* firmwareThread = nullptr;
    QString* updateFirmwarePath = nullptr;
    UpdateThread* updateThread = nullptr;
    CyclicSettings* cyclicSettings = nullptr;
    LogSettings* logSettings = nullptr;
    GraphSettings* graphSettings = nullptr;
    SliderSettings* sliderSettings = nullptr;
};

// The settings dialog's 49 pages by tree position: the tree text, the parent item and the page.
// Pages not built yet are placeholders that show and write nothing.
class SettingsPageFactory
{
public:
    static const int pageCount = settingsPageIndex(SettingsPage::Count);
    static const int graphFirstCurvePage = 21;

    // Untranslated (context "SettingsDlg").
    static const char* treeText(int position);
    // -1 for a top-level item.
    static int parentPosition(int position);
    // A new page without parent; null for a position outside the tree.
    static QWidget* create(int position, const SettingsPageContext& context);
};

#endif // SETTINGSPAGEFACTORY_H
