#ifndef FAKESLIDERSETUPPAGEWGT_H
#define FAKESLIDERSETUPPAGEWGT_H

#include "settingsdlg/ProgramPageWgt.h"

class QPushButton;

// Stands in for the slider setup page with what the dialog uses of it: the update button
// "UpdateBtn", SgnChangeValues, and setUnitSuffix, leftPoint and rightPoint reached by name
// through the meta-object. Stores nothing and reads nothing.
class FakeSliderSetupPageWgt : public ProgramPageWgt
{
    Q_OBJECT

public:
    explicit FakeSliderSetupPageWgt(QWidget* parent);

    void FromClassToUi() override {}
    void FromUiToClass() override {}
    void SaveToFile(QSettings*) override {}
    QString RestoreFromFile(QSettings*, QSettings*) override { return QString(); }

    Q_INVOKABLE void setUnitSuffix(unsigned int engineType) { Q_UNUSED(engineType); }
    Q_INVOKABLE int leftPoint() const { return 0; }
    Q_INVOKABLE int rightPoint() const { return 0; }

    QPushButton* UpdateBtn;

signals:
    void SgnChangeValues();
};

#endif // FAKESLIDERSETUPPAGEWGT_H
