#ifndef PAGESLIDERSETUPWGT_H
#define PAGESLIDERSETUPWGT_H

#include "settingsdlg/ProgramPageWgt.h"

class QPushButton;
class SliderSettings;
namespace Ui { class PageSliderSetupWgtClass; }

// "Program configuration": the main window's position slider (group "Slider_setup" of a
// configuration file) and the device search options of settings.ini. The search options reach
// settings.ini only through saveSearchOptions, never through SaveToFile, so a profile save or
// the dialog's modified mark leaves that file alone.
class PageSliderSetupWgt : public ProgramPageWgt
{
    Q_OBJECT

public:
    PageSliderSetupWgt(QWidget* parent, SliderSettings* settings);
    ~PageSliderSetupWgt() override;

    void FromClassToUi() override;
    void FromUiToClass() override;
    void SaveToFile(QSettings* settings) override;
    QString RestoreFromFile(QSettings* file, QSettings* defaults) override;

    // The bounds shown, not the record's.
    Q_INVOKABLE int leftPoint() const;
    Q_INVOKABLE int rightPoint() const;
    // The current position unit text behind both bounds.
    Q_INVOKABLE void setUnitSuffix(unsigned int engineType);

    // The two search boxes from settings.ini (missing keys: probe on, all ports off).
    void readSearchOptions();
    // The two search boxes into settings.ini, when they differ from what it holds. False, with
    // the reason, when the file could not be written (it is then as it was).
    bool saveSearchOptions(QString* reason = nullptr);

    QPushButton* UpdateBtn;

signals:
    void SgnChangeValues();

private:
    Ui::PageSliderSetupWgtClass* form;
    SliderSettings* settings;
};

#endif // PAGESLIDERSETUPWGT_H
