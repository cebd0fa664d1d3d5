#ifndef FAKEBORDERSPAGEWGT_H
#define FAKEBORDERSPAGEWGT_H

#include "pages/PlaceholderControllerPageWgt.h"

// Stands in for the Borders page with the calls the dialog makes on it, reached by name through
// the meta-object, so the real page drops in unchanged. Shows the container's whole-step
// borders; writes them back only once setBorderSteps has changed them, microsteps untouched.
class FakeBordersPageWgt : public PlaceholderControllerPageWgt
{
    Q_OBJECT

public:
    FakeBordersPageWgt(QWidget* parent, MotorSettings* settings);

    void FromClassToUi() override;
    void FromUiToClass(MotorSettings* target) override;
    Q_INVOKABLE int leftBorderSteps() const { return left; }
    Q_INVOKABLE int rightBorderSteps() const { return right; }
    // The whole-step parts of the two border boxes, as typing them would set them.
    Q_INVOKABLE void setBorderSteps(int leftSteps, int rightSteps);

signals:
    void SgnChangeValues();

private:
    int left;
    int right;
    bool edited;
};

#endif // FAKEBORDERSPAGEWGT_H
