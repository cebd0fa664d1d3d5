#ifndef FAKESLIDERSETUPPAGEWGT_H
#define FAKESLIDERSETUPPAGEWGT_H

#include "settingsdlg/ProgramPageWgt.h"

class QPushButton;
class SliderSettings;

// Stands in for the slider setup page with what the dialog uses of it: the update button
// "UpdateBtn", SgnChangeValues, and setUnitSuffix, leftPoint and rightPoint reached by name
// through the meta-object. Shows and stores only the two bounds of its record.
class FakeSliderSetupPageWgt : public ProgramPageWgt
{
    Q_OBJECT

public:
    FakeSliderSetupPageWgt(QWidget* parent, SliderSettings* settings);

    void FromClassToUi() override;
    void FromUiToClass() override;
    void SaveToFile(QSettings*) override {}
    QString RestoreFromFile(QSettings*, QSettings*) override { return QString(); }

    Q_INVOKABLE void setUnitSuffix(unsigned int engineType) { Q_UNUSED(engineType); }
    Q_INVOKABLE int leftPoint() const { return left; }
    Q_INVOKABLE int rightPoint() const { return right; }
    // What typing the two bounds does on the real page.
    void setPoints(int leftPoint, int rightPoint);

    QPushButton* UpdateBtn;

signals:
    void SgnChangeValues();

private:
    SliderSettings* settings;
    int left = 0;
    int right = 0;
};

#endif // FAKESLIDERSETUPPAGEWGT_H
