#ifndef SETTINGSDLG_H
#define SETTINGSDLG_H

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "settingsdlg/ApplyReport.h"
#include "settingsdlg/ProfileFileOperations.h"
#include "settingsdlg/SettingsCommands.h"
#include "settingsdlg/SettingsPageIndex.h"
#include "settingsdlg/SettingsTransfers.h"
#include "settingsdlg/StagePages.h"
#include "settings_model/UnitTexts.h"

class AxisCourier;
class ControllerPageWgt;
class ControllerSettings;
class CyclicSettings;
class DeviceInterface;
class FirmwareUpdateThread;
class LogSettings;
class MotorSettings;
class ProgramPageWgt;
class QAbstractButton;
class QSettings;
class QTreeWidgetItem;
class ReconnectRead;
class SettingsJobRunner;
class SliderSettings;
class StageSettings;
class UpdateThread;
struct GraphSettings;
namespace Ui { class SettingsDlg; }

// The settings dialog of one axis: the page tree, and the transfers from the controller to the
// containers it owns, from them to the pages and back. Pages are reached only through their
// bases and by name, so any page of the factory fits.
class SettingsDlg : public QDialog
{
    Q_OBJECT

public:
    // Now: the identity and the basic records are read at once, on this thread (the single-axis
    // window's start-up); Later: the owner reads them on the axis' courier and hands them over
    // (takeStartRead).
    enum class StartRead { Now, Later };
    // Owners stop the polling thread before deleting the dialog: a firmware run waits in that
    // thread's reconnection, which only its stop request ends. courier: the axis' (not owned),
    // which takes every read and write of the dialog to the controller; null: one of its own.
    SettingsDlg(QWidget* parent, UpdateThread* updateThread, DeviceInterface* gateway, bool multiaxis,
                AxisCourier* courier = nullptr, StartRead startRead = StartRead::Now);
    ~SettingsDlg() override;

    // The identity and basic records the owner read for it on the axis' courier (StartRead::Later).
    void takeStartRead(const ReconnectRead& read);
    using ReadEnd = SettingsTransfers::ReadEnd;
    // Shows the controller's settings: every record and the identity are read on the axis'
    // courier and the pages fill when the read replies; ended then gets how it went.
    void readForShowing(std::function<void(ReadEnd end)> ended);
    // A read or write of the dialog is on its way to the controller or under way.
    bool transferUnderWay() const;
    // "SN 10001", or the device's name before its serial number is known.
    QString axisText() const;

    QWidget* page(SettingsPage position) const;
    QTreeWidgetItem* treeItem(SettingsPage position) const;
    // The page's name as the operator reads it in the tree ("Home position").
    QString pageTitle(SettingsPage position) const;
    // The pages' names, or the library call when there are none.
    QString pageTitles(const QList<SettingsPage>& positions, const char* call) const;

    // The pages into target, the motor page of the type the Motor & Driver type page has just
    // written into target.
    void AllPagesFromUiToClass(MotorSettings* target);
    // Every stage page shows what it loaded from the positioner present now.
    bool stagePagesCurrent() const { return stagePages.current(); }
    // The search options of the Program configuration page into settings.ini: Ok, Apply and
    // the owning window's exit save (nothing for a multi-axis dialog).
    void saveSearchOptions();
    void FromUiToSettings(QSettings* file);
    void FromSettingsToUi(QSettings* file, QSettings* defaults);
    QString getDeviceConfigFileName() const;
    // Why the controller takes no settings now ("the controller is lost"); empty when it does:
    // its firmware runs, its handle is open and answers, no upload is under way.
    QString whyNoSettings() const;
    bool takesSettings() const { return whyNoSettings().isEmpty(); }
    // The program pages' groups into file (nothing for a multi-axis dialog).
    void ProgramSettingsToFile(QSettings* file);
    // A change that alters how the controller counts positions and speeds.
    static bool isCriticalChange(const MotorSettings& before, const MotorSettings& after);
    // The unit texts this dialog's pages show.
    const UnitTextSet& unitTexts() const { return dialogUnits; }

    MotorSettings* motorSettings;
    ControllerSettings* controllerSettings;
    CyclicSettings* cyclicSettings;
    SliderSettings* sliderSettings;
    LogSettings* logSettings;
    GraphSettings* graphSettings;
    StageSettings* stageSettings;
    QList<QTreeWidgetItem*> treeItems;
    QList<QWidget*> pages;
    const bool multiaxis;
    DeviceInterface* const gateway;
    UpdateThread* const updateThread;
    FirmwareUpdateThread* firmwareThread;
    QString loadConfigPath;
    QString saveConfigPath;
    QString updateFirmwarePath;
    QString appliedConfigFile;
    QString loadedConfigFile;

signals:
    void SgnChangeSettings();
    void SgnChangeCritSettings();
    void SgnHardwareChanged(unsigned int entype);

public slots:
    // With load_settings the records are read on the axis' courier and shown when the read
    // replies; without, the pages show the containers at once. While a file operation waits for
    // the user (a file dialog, a message, the restore report) this reload, the stage reload and
    // the firmware hand-back are put off and run once when the operation ends. Always true.
    bool AllPagesFromDeviceToClassToUi(bool load_settings = true, bool load_all_settings = true);
    void AllPagesFromUiToClassToDevice();
    void StageSettingsFromDeviceToClassToUi();
    // The stage records read on the axis' courier when its positioner memory appeared: the name
    // is taken at once; the rest is taken and shown when the dialog is on show (after an
    // operation under way), else left for the reload at the next opening. True when shown.
    bool takeStageRecords(const StageSettings& read);
    void OnCurItemChanged(QTreeWidgetItem* curItem, QTreeWidgetItem* prevItem);
    void OnUpdateSliderBdrBtnPressed();
    void UpdateBtnEnable();
    void saveWindowParams();
    unsigned int getCurrentMotorType();
    void setEngineType();
    void motorTypeChanged(unsigned int entype);
    void OnBtnBoxClicked(QAbstractButton* button);
    void OnRestoreFlashBtnClicked() { commands.restoreFromFlash(); }
    void OnSaveFlashBtnClicked() { commands.saveToFlash(); }
    void OnSaveFileBtnClicked() { commands.saveToFile(); }
    void OnRestoreFileBtnClicked() { commands.restoreFromFile(); }
    void OnCompareFileBtnClicked() { commands.compareFiles(); }
    void firmwareUploaded(int result);
    void updateModifiedMark();
    // Ok closes the dialog only when its Apply wrote every edit.
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Works on the pages, the label and the remembered folders as the dialog's own file buttons.
    friend class ProfileFileOperations;
    friend class SettingsCommands;
    friend class SettingsTransfers;
    friend class StagePages;
    // Held by a file operation for as long as it runs: the nested event loops of its dialogs
    // would otherwise let the owning window reload the pages in the middle of it (a save would
    // write the controller's values instead of those shown, a restore would lose its values).
    class OperationScope
    {
    public:
        explicit OperationScope(SettingsDlg* dialog) : dialog(dialog) { ++dialog->operationDepth; }
        ~OperationScope()
        {
            if (--dialog->operationDepth == 0)
                dialog->runPutOffReloads();
        }
        OperationScope(const OperationScope&) = delete;
        OperationScope& operator=(const OperationScope&) = delete;

    private:
        SettingsDlg* const dialog;
    };
    void loadPages(bool load_settings, bool load_all_settings);
    void markUnapplied(const ApplyReport& report);
    // Reset, Cancel and the restores: the pages are to show what is read, not the kept edits.
    void dropUnappliedEdits();
    void clearUnappliedMarks();
    void takeBackFirmware();
    // After a failed upload: the mode the controller is in now, on the courier.
    void readModeAfterFailure();
    void runPutOffReloads();
    void initPages();
    ControllerPageWgt* controllerPage(SettingsPage position) const;
    ProgramPageWgt* programPage(SettingsPage position) const;
    // The controller pages in transfer order, with the motor page of engineType in its place.
    QList<ControllerPageWgt*> controllerPagesFor(unsigned int engineType) const;
    static QList<SettingsPage> controllerPositionsFor(unsigned int engineType);
    // The motor pages of the other engine types.
    QList<ControllerPageWgt*> otherMotorPages(unsigned int engineType) const;
    void redrawProgramPages();
    // The program pages' widgets into their records.
    void programPagesToRecords();
    // Cancel: the program pages show their records, the search boxes settings.ini.
    void dropProgramEdits();
    // The program pages' groups from file; the report lines of what was not taken.
    QString ProgramSettingsFromFile(QSettings* file);
    void giveEngineType(unsigned int engineType);
    // Every item's flags from the controller's mode, the engine type and the dialog's kind.
    void applyTreeState(unsigned int engineType);
    void makeCurrent(SettingsPage position);
    void updateApplyEnabled();
    void fitWidestPage();
    void retranslateTree();
    // What the latest sample or job found: 0 no device, 1 bootloader, 2 firmware.
    int controllerMode() const;
    void writeName(const controller_name_t& name);
    // "SN 10001: " in the multi-axis window, whose log holds the lines of every axis.
    QString logPrefix() const;

    Ui::SettingsDlg* ui;
    UnitTextSet dialogUnits;
    unsigned int lastKnownEngineType = 0;
    bool controllerReachable = true;
    // The last Apply left edits on the pages that the controller did not take.
    bool editsLeftUnapplied = false;
    // What it left, by page.
    ApplyReport unapplied;
    ProfileFileOperations profileFiles{*this};
    SettingsCommands commands{*this};
    StagePages stagePages{*this};
    SettingsTransfers transfers{*this};
    SettingsJobRunner* runner = nullptr;
    int knownMode = 0;
    // The last read ran whole: pages not cut short are the controller's.
    bool wholeRead = true;
    // Ok was pressed while its Apply went to the controller: it closes once all is applied.
    bool acceptAfterApply = false;
    // The last firmware run failed: once it has ended the controller's mode is read again.
    bool firmwareFailed = false;
    QWidget* shownPage = nullptr;
    // File operations under way, and the reloads asked for meanwhile.
    int operationDepth = 0;
    struct PutOffReloads {
        bool pages = false;
        bool loadSettings = false;
        bool loadAllSettings = false;
        bool stage = false;
        std::shared_ptr<const StageSettings> stageRead;
        bool firmware = false;
    } putOff;
};

#endif // SETTINGSDLG_H
