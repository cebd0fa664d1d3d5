#ifndef PAGELOGSETTINGSWGT_H
#define PAGELOGSETTINGSWGT_H

#include "settingsdlg/ProgramPageWgt.h"

class LogSettings;
class QSettings;
namespace Ui { class PageLogSettingsWgtClass; }

// The "Log settings" page: a display threshold per source of log lines and the log file's
// autosave folder. The file functions work on the widgets; the record changes only through
// FromUiToClass.
class PageLogSettingsWgt : public ProgramPageWgt
{
    Q_OBJECT

public:
    // The widgets start from the default record (levels 3, autosave off), so that a file
    // without the group keeps the defaults.
    PageLogSettingsWgt(QWidget* parent, LogSettings* settings);
    ~PageLogSettingsWgt() override;

    void FromClassToUi() override;
    void FromUiToClass() override;
    void SaveToFile(QSettings* settings) override;
    // Reads group "Log_setup". Returns one report line per key that is missing or wrong, in
    // key order; such a widget keeps its value.
    QString RestoreFromFile(QSettings* file);
    // The log settings have no defaults store: a missing key is always reported.
    QString RestoreFromFile(QSettings* file, QSettings* defaults) override;

private:
    void showRecord(const LogSettings& record);

    Ui::PageLogSettingsWgtClass* form;
    LogSettings* settings;
};

#endif // PAGELOGSETTINGSWGT_H
